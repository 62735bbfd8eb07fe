// The platform layer shows the same files the same way natively and under
// Wine: these run in both builds.
#include <cstring>

#include "platform/platform.h"
#include "tests/support/lq_test.h"

namespace {

class Platform : public LqTest {};

TEST_F(Platform, AttributeWordOfRegularFiles) {
    std::string p = path("a.txt");
    write_file(p, "x");
    EXPECT_EQ(pf_get_attributes(p.c_str()), (uint32_t)PF_ATTR_ARCHIVE);
    ASSERT_TRUE(pf_set_attributes(p.c_str(), PF_ATTR_READONLY | PF_ATTR_HIDDEN | PF_ATTR_ARCHIVE));
    uint32_t a = pf_get_attributes(p.c_str());
    EXPECT_TRUE(a & PF_ATTR_READONLY);
    EXPECT_TRUE(a & PF_ATTR_ARCHIVE);
    ASSERT_TRUE(pf_set_attributes(p.c_str(), PF_ATTR_ARCHIVE));
    EXPECT_EQ(pf_get_attributes(p.c_str()), (uint32_t)PF_ATTR_ARCHIVE);
    EXPECT_TRUE(pf_get_attributes(dir().c_str()) & PF_ATTR_DIRECTORY);
}

TEST_F(Platform, ReadOnlyRefusesWritingAndDeleting) {
    std::string p = path("ro");
    write_file(p, "x");
    set_readonly(p, true);
    // (Wine running as root opens a read-only file for writing; Windows and
    // the POSIX layer refuse.  Deleting is refused everywhere.)
    EXPECT_FALSE(pf_delete(p.c_str()));
    set_readonly(p, false);
    EXPECT_TRUE(pf_delete(p.c_str()));
}

TEST_F(Platform, ShareModesBetweenHandles) {
    std::string p = path("s");
    write_file(p, "x");
    PfFile a = pf_open(p.c_str(), PF_ACCESS_READ, PF_SHARE_READ, PF_OPEN_EXISTING);
    ASSERT_NE(a, PF_INVALID_FILE);
    PfFile b = pf_open(p.c_str(), PF_ACCESS_READ, PF_SHARE_READ, PF_OPEN_EXISTING);
    EXPECT_NE(b, PF_INVALID_FILE);
    EXPECT_EQ(pf_open(p.c_str(), PF_ACCESS_WRITE, PF_SHARE_READ | PF_SHARE_WRITE, PF_OPEN_EXISTING),
              PF_INVALID_FILE);
    EXPECT_EQ(pf_last_error(), (uint32_t)PF_ERROR_SHARING_VIOLATION);
    EXPECT_FALSE(pf_move(p.c_str(), path("t").c_str()));
    pf_close(a);
    pf_close(b);
    EXPECT_TRUE(pf_move(p.c_str(), path("t").c_str()));
}

TEST_F(Platform, MoveRefusesAnExistingTarget) {
    write_file(path("a"), "a");
    write_file(path("b"), "b");
    EXPECT_FALSE(pf_move(path("a").c_str(), path("b").c_str()));
    EXPECT_EQ(pf_last_error(), (uint32_t)PF_ERROR_ALREADY_EXISTS);
    EXPECT_EQ(read_file(path("b")), "b");
}

TEST_F(Platform, ReadWriteSeekTruncate) {
    std::string p = path("rw");
    PfFile f = pf_open(p.c_str(), PF_ACCESS_READ | PF_ACCESS_WRITE, 0, PF_CREATE_NEW);
    ASSERT_NE(f, PF_INVALID_FILE);
    EXPECT_EQ(pf_write(f, "hello world", 11), 11);
    EXPECT_EQ(pf_seek(f, 5, PF_SEEK_SET), 5);
    EXPECT_TRUE(pf_truncate(f));
    EXPECT_EQ(pf_seek(f, 0, PF_SEEK_END), 5);
    EXPECT_EQ(pf_seek(f, 0, PF_SEEK_SET), 0);
    char buf[16] = {0};
    EXPECT_EQ(pf_read(f, buf, sizeof buf), 5);
    EXPECT_EQ(pf_read(f, buf, sizeof buf), 0);
    EXPECT_TRUE(pf_flush(f));
    EXPECT_TRUE(pf_close(f));
    EXPECT_EQ(read_file(p), "hello");
    EXPECT_EQ(pf_open(p.c_str(), PF_ACCESS_READ, 0, PF_CREATE_NEW), PF_INVALID_FILE);
    EXPECT_EQ(pf_last_error(), (uint32_t)PF_ERROR_FILE_EXISTS);
    EXPECT_EQ(pf_open(path("none").c_str(), PF_ACCESS_READ, 0, PF_OPEN_EXISTING), PF_INVALID_FILE);
    EXPECT_EQ(pf_last_error(), (uint32_t)PF_ERROR_FILE_NOT_FOUND);
}

TEST_F(Platform, InjectedWriteFailureTransfersNothing) {
    std::string p = path("w");
    PfFile f = pf_open(p.c_str(), PF_ACCESS_WRITE, 0, PF_CREATE_ALWAYS);
    pf_fault_arm(PF_FAULT_WRITE, 2);
    EXPECT_EQ(pf_write(f, "ab", 2), 2);
    EXPECT_EQ(pf_write(f, "cd", 2), -1);
    EXPECT_EQ(pf_last_error(), (uint32_t)PF_ERROR_DISK_FULL);
    EXPECT_EQ(pf_write(f, "ef", 2), 2);
    pf_close(f);
    EXPECT_EQ(read_file(p), "abef");
}

TEST_F(Platform, GlobalBlocksAreZeroedAndGrowZeroed) {
    PfGlobal g = pf_global_alloc(100);
    ASSERT_NE(g, nullptr);
    unsigned char* p = (unsigned char*)pf_global_lock(g);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(p[i], 0);
    std::memset(p, 0xAB, 100);
    pf_global_unlock(g);
    PfGlobal h = pf_global_realloc(g, 5000);
    ASSERT_NE(h, nullptr);
    p = (unsigned char*)pf_global_lock(h);
    EXPECT_EQ(p[99], 0xAB);
    for (int i = 100; i < 5000; ++i) ASSERT_EQ(p[i], 0) << i;
    EXPECT_GE(pf_global_size(h), 5000u);
    pf_global_unlock(h);
    pf_global_free(h);
}

}  // namespace
