// The platform layer shows the same files the same way natively and under
// Wine (attributes_under_wine.sh pins Wine's side): these run in both builds,
// the POSIX twin's own cases natively.
#include <cstring>
#ifndef _WIN32
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#endif

#include "fileops/wipe.h"

#include "platform/platform.h"
#include "tests/support/lq_test.h"

namespace {

class Platform : public LqTest {
  protected:
    std::string found(const std::string& pattern) {
        PfFindData fd;
        if (!pf_find_first(path(pattern).c_str(), &fd)) return "none";
        return std::string(fd.cFileName) + " " + std::to_string(fd.dwFileAttributes);
    }
};

TEST_F(Platform, AttributesNamesAndFinding) {
    for (const char* f : {"x", "x.txt.bak", "xylo", "Mixed.TXT", ".dot"}) write_file(path(f), f);
    EXPECT_EQ(pf_get_attributes(path("x").c_str()), uint32_t(PF_ATTR_ARCHIVE));
    EXPECT_TRUE(pf_get_attributes(dir().c_str()) & PF_ATTR_DIRECTORY);
    // A leading dot reads as hidden through the name, not through a handle.
    EXPECT_EQ(pf_get_attributes(path(".dot").c_str()), uint32_t(PF_ATTR_ARCHIVE | PF_ATTR_HIDDEN));
    EXPECT_EQ(found(".DOT"), ".dot 34");
    PfFile f = pf_open(path(".dot").c_str(), PF_ACCESS_READ, PF_SHARE_READ, PF_OPEN_EXISTING);
    FileInformation info;
    ASSERT_TRUE(pf_get_file_information(f, &info));
    pf_close(f);
    EXPECT_EQ(info.dwFileAttributes, uint32_t(PF_ATTR_ARCHIVE));
    const std::pair<const char*, const char*> finds[] = {
        {"mixed.txt", "Mixed.TXT 32"}, {"X", "x 32"},  {"x.*", "x 32"},
        {"xyl*.*", "xylo 32"},         {"x?", "none"}, {"q*", "none"},
        {"x.t*", "x.txt.bak 32"}};
    for (const auto& c : finds) EXPECT_EQ(found(c.first), c.second) << c.first;
    EXPECT_FALSE(pf_find_first((path("x*") + "/x").c_str(), nullptr));  // wildcard in a folder
    EXPECT_FALSE(pf_find_first(path("").c_str(), nullptr));             // no name after the folder
    std::string full = path("x");
    std::vector<char> buf(full.size() + 1);  // an exact fit
    EXPECT_TRUE(pf_get_full_path("x", buf.data(), uint32_t(buf.size())) && full == buf.data());
    pf_delete(path("x").c_str());
    EXPECT_EQ(found("X.*"), "x.txt.bak 32");
    // Names found without regard to case are opened, renamed and removed so.
    EXPECT_TRUE(pf_move(path("MIXED.txt").c_str(), path("mixed.txt").c_str()));
    EXPECT_TRUE(pf_move(path("xylo").c_str(), path("xylo").c_str()));
    EXPECT_FALSE(pf_move(path("xylo").c_str(), path("X.TXT.BAK").c_str()));
    EXPECT_EQ(pf_last_error(), uint32_t(PF_ERROR_ALREADY_EXISTS));
    EXPECT_TRUE(pf_set_attributes(path("XYLO").c_str(), PF_ATTR_READONLY));
    EXPECT_FALSE(pf_delete(path("xylo").c_str()));  // read-only
    EXPECT_TRUE(pf_set_attributes(path("xylo").c_str(), PF_ATTR_ARCHIVE));
    EXPECT_TRUE(pf_delete(path("XYLO").c_str()));
    EXPECT_EQ(list_dir(dir()), (std::vector<std::string>{".dot", "Mixed.TXT", "x.txt.bak"}));
}

TEST_F(Platform, HandlesShareModesAndInjectedFailures) {
    std::string p = path("rw");
    PfFile f = pf_open(p.c_str(), PF_ACCESS_READ | PF_ACCESS_WRITE, 0, PF_CREATE_NEW);
    ASSERT_NE(f, PF_INVALID_FILE);
    EXPECT_EQ(pf_write(f, "hello world", 11), 11);
    EXPECT_EQ(pf_seek(f, 5, PF_SEEK_SET), 5);
    EXPECT_TRUE(pf_truncate(f));
    EXPECT_EQ(pf_seek(f, 0, PF_SEEK_END), 5);
    EXPECT_EQ(pf_seek(f, -9, PF_SEEK_SET), -1);
    EXPECT_EQ(pf_seek(f, 0, PF_SEEK_SET), 0);
    char buf[16] = {0};
    EXPECT_EQ(pf_read(f, buf, sizeof buf), 5);
    EXPECT_EQ(pf_read(f, buf, sizeof buf), 0);
    pf_fault_arm(PF_FAULT_WRITE, 2);
    EXPECT_EQ(pf_write(f, "ab", 2), 2);
    EXPECT_EQ(pf_write(f, "cd", 2), -1);
    EXPECT_EQ(pf_last_error(), uint32_t(PF_ERROR_DISK_FULL));
    EXPECT_TRUE(pf_flush(f) && pf_close(f));
    EXPECT_EQ(read_file(p), "helloab");
    EXPECT_EQ(pf_open(p.c_str(), PF_ACCESS_READ, 0, PF_CREATE_NEW), PF_INVALID_FILE);
    EXPECT_EQ(pf_last_error(), uint32_t(PF_ERROR_FILE_EXISTS));
    EXPECT_EQ(pf_open(path("none").c_str(), PF_ACCESS_READ, 0, PF_OPEN_EXISTING), PF_INVALID_FILE);
    EXPECT_EQ(pf_last_error(), uint32_t(PF_ERROR_FILE_NOT_FOUND));
    PfFile a = pf_open(p.c_str(), PF_ACCESS_READ, PF_SHARE_READ, PF_OPEN_EXISTING);
    PfFile b = pf_open(p.c_str(), PF_ACCESS_READ, PF_SHARE_READ, PF_OPEN_EXISTING);
    EXPECT_NE(b, PF_INVALID_FILE);
    EXPECT_EQ(pf_open(p.c_str(), PF_ACCESS_WRITE, PF_SHARE_READ | PF_SHARE_WRITE, PF_OPEN_EXISTING),
              PF_INVALID_FILE);
    EXPECT_EQ(pf_last_error(), uint32_t(PF_ERROR_SHARING_VIOLATION));
    EXPECT_FALSE(pf_move(p.c_str(), path("t").c_str()));
    pf_close(a);
    pf_close(b);
    EXPECT_TRUE(pf_move(p.c_str(), path("t").c_str()));
    PfGlobal g = pf_global_alloc(100);
    unsigned char* m = (unsigned char*)pf_global_lock(g);
    EXPECT_EQ(m[0] | m[99], 0);
    std::memset(m, 0xAB, 100);
    pf_global_unlock(g);
    g = pf_global_realloc(g, 5000);
    m = (unsigned char*)pf_global_lock(g);
    EXPECT_EQ(m[99], 0xAB);
    EXPECT_EQ(m[100] | m[4999], 0);
    pf_global_unlock(g);
    pf_global_free(g);
}

TEST_F(Platform, DosStampsFrom1980To2107) {
    struct {
        uint64_t filetime;  // seconds since 1601 x 10^7
        uint16_t date, time;
    } cases[] = {{119600064000000000ull, 0x0021, 0},        // 1980-01-01
                 {125962560000000000ull, 0x285d, 0},        // 2000-02-29
                 {133537248000000000ull, 0x5861, 0},        // 2024-03-01
                 {157520160000000000ull, 0xf061, 0},        // 2100-03-01
                 {159992927980000000ull, 0xff9f, 0xbf7d}};  // 2107-12-31 23:59:58
    for (const auto& c : cases) {
        PfFileTime ft{uint32_t(c.filetime), uint32_t(c.filetime >> 32)}, back;
        uint16_t d, t;
        ASSERT_TRUE(pf_file_time_to_dos(&ft, &d, &t)) << c.filetime;
        EXPECT_EQ(d, c.date) << c.filetime;
        EXPECT_EQ(t, c.time);
        ASSERT_TRUE(pf_dos_to_file_time(d, t, &back));
        EXPECT_EQ(back.dwLowDateTime, ft.dwLowDateTime);
    }
    for (uint64_t bad : {159992928000000000ull, 119600063990000000ull}) {  // 2108, 1979
        PfFileTime ft{uint32_t(bad), uint32_t(bad >> 32)};
        uint16_t d, t;
        EXPECT_FALSE(pf_file_time_to_dos(&ft, &d, &t)) << bad;
    }
}

#ifndef _WIN32
TEST_F(Platform, AttributesOnDiskMatchWine) {
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

TEST_F(Platform, FifosAndDevicesAreRefusedNotOpened) {
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

#endif

}  // namespace
