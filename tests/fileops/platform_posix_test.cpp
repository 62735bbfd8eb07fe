// What the POSIX layer leaves on disk is what Wine leaves for the Windows
// program (attributes_under_wine.sh pins Wine's side); and only regular files
// are files to it.
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "fileops/file_services.h"
#include "fileops/wipe.h"
#include "tests/support/lq_test.h"

namespace {

class PlatformPosix : public LqTest {};

TEST_F(PlatformPosix, AttributesOnDiskMatchWine) {
    std::string p = path("f");
    write_file(p, "x");
    chmod(p.c_str(), 0644);
    auto dos = [&] {
        char buf[32];
        ssize_t n = getxattr(p.c_str(), "user.DOSATTRIB", buf, sizeof buf);
        return n < 0 ? std::string("<none>") : std::string(buf, size_t(n));
    };
    if (setxattr(p.c_str(), "user.test", "1", 1, 0) != 0) GTEST_SKIP() << "no xattrs here";
    ASSERT_TRUE(pf_set_attributes(p.c_str(), PF_ATTR_HIDDEN | PF_ATTR_SYSTEM | PF_ATTR_READONLY));
    EXPECT_EQ(dos(), "0x6");
    EXPECT_EQ(pf_get_attributes(p.c_str()), 0x27u);
    EXPECT_EQ(pf_open(p.c_str(), PF_ACCESS_WRITE, PF_SHARE_READ, PF_OPEN_EXISTING),
              PF_INVALID_FILE);  // even for root
    ASSERT_TRUE(pf_set_attributes(p.c_str(), PF_ATTR_ARCHIVE));
    EXPECT_EQ(dos(), "<none>");
    struct stat st;
    stat(p.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    setxattr(p.c_str(), "user.DOSATTRIB", "0x4", 3, 0);  // as Wine writes it
    EXPECT_EQ(pf_get_attributes(p.c_str()), 0x24u);
}

TEST_F(PlatformPosix, FifosAndDevicesAreRefusedNotOpened) {
    ASSERT_EQ(mkfifo(path("fifo").c_str(), 0644), 0);
    for (const std::string& p :
         {path("fifo"), std::string("/dev/null"), std::string("/dev/zero")}) {
        SCOPED_TRACE(p);
        for (PfDisposition d : {PF_OPEN_EXISTING, PF_CREATE_ALWAYS, PF_OPEN_ALWAYS}) {
            EXPECT_EQ(pf_open(p.c_str(), PF_ACCESS_READ | PF_ACCESS_WRITE, PF_SHARE_READ, d),
                      PF_INVALID_FILE);
            EXPECT_EQ(pf_last_error(), uint32_t(PF_ERROR_ACCESS_DENIED));
        }
        lq_boxes_clear();
        EXPECT_EQ(iWipeFile(p.c_str(), 0), -1);  // no hang on the FIFO, nothing written
        EXPECT_EQ(lGetFileSize(p.c_str()), -10);
    }
    struct stat st;
    EXPECT_TRUE(stat(path("fifo").c_str(), &st) == 0 && S_ISFIFO(st.st_mode));
}

}  // namespace
