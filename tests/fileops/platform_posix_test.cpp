// What the POSIX layer leaves on disk is what Wine leaves for the Windows
// program (attributes_under_wine.sh pins Wine's side).
#include <sys/stat.h>
#include <sys/xattr.h>

#include "platform/platform.h"
#include "tests/support/lq_test.h"

namespace {

class PlatformPosix : public LqTest {
  protected:
    std::string dos_xattr(const std::string& p) {
        char buf[32];
        ssize_t n = getxattr(p.c_str(), "user.DOSATTRIB", buf, sizeof buf);
        return n < 0 ? std::string("<none>") : std::string(buf, (size_t)n);
    }
    mode_t mode(const std::string& p) {
        struct stat st;
        stat(p.c_str(), &st);
        return st.st_mode & 0777;
    }
};

TEST_F(PlatformPosix, AttributesOnDiskMatchWine) {
    std::string p = path("f");
    write_file(p, "x");
    chmod(p.c_str(), 0644);
    if (setxattr(p.c_str(), "user.test", "1", 1, 0) != 0) GTEST_SKIP() << "no xattrs here";
    removexattr(p.c_str(), "user.test");

    ASSERT_TRUE(pf_set_attributes(p.c_str(), PF_ATTR_ARCHIVE | PF_ATTR_HIDDEN));
    EXPECT_EQ(dos_xattr(p), "0x2");
    ASSERT_TRUE(pf_set_attributes(p.c_str(), PF_ATTR_HIDDEN | PF_ATTR_SYSTEM | PF_ATTR_READONLY));
    EXPECT_EQ(dos_xattr(p), "0x6");
    EXPECT_EQ(mode(p), 0444u);
    EXPECT_EQ(pf_get_attributes(p.c_str()), 0x27u);
    ASSERT_TRUE(pf_set_attributes(p.c_str(), PF_ATTR_ARCHIVE));
    EXPECT_EQ(dos_xattr(p), "<none>");
    EXPECT_EQ(mode(p), 0644u);

    // Written by Wine, read by us.
    setxattr(p.c_str(), "user.DOSATTRIB", "0x4", 3, 0);
    EXPECT_EQ(pf_get_attributes(p.c_str()), 0x24u);
}

TEST_F(PlatformPosix, ReadOnlyRefusesWritingEvenForRoot) {
    std::string p = path("ro");
    write_file(p, "x");
    set_readonly(p, true);
    EXPECT_EQ(pf_open(p.c_str(), PF_ACCESS_WRITE, PF_SHARE_READ, PF_OPEN_EXISTING),
              PF_INVALID_FILE);
    EXPECT_EQ(pf_last_error(), (uint32_t)PF_ERROR_ACCESS_DENIED);
}

}  // namespace
