#include <cstring>
#include <map>
#include <vector>

#include "fileops/wipe.h"
#include "tests/support/lq_test.h"

namespace {

struct WriteRecord {
    int64_t position;
    uint32_t size;
    unsigned char first;
    bool uniform;
};
std::vector<WriteRecord> writes;

void observe(PfFile, int64_t position, const void* data, uint32_t n) {
    const unsigned char* p = (const unsigned char*)data;
    bool uniform = true;
    for (uint32_t i = 1; i < n; ++i)
        if (p[i] != p[0]) uniform = false;
    writes.push_back(WriteRecord{position, n, n ? p[0] : (unsigned char)0, uniform});
}

class WipeFile : public LqTest {
  protected:
    void SetUp() override {
        LqTest::SetUp();
        writes.clear();
        pf_set_write_observer(observe);
    }
    std::string last_name() { return path("\xFF"); }
};

TEST_F(WipeFile, ChunksGetFourFlushedPassesInOrder) {
    std::string p = path("secret.txt");
    write_file(p, lq_random_bytes(100000, 1));
    ASSERT_EQ(iWipeFile(p.c_str(), 0), 0) << lq_boxes_dump();
    EXPECT_TRUE(lq_boxes().empty()) << lq_boxes_dump();
    EXPECT_FALSE(exists(p));
    EXPECT_FALSE(exists(last_name()));

    const unsigned char patterns[4] = {0x00, 0x0F, 0xFF, 0x00};
    ASSERT_EQ(writes.size(), 8u);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(writes[i].position, i < 4 ? 0 : 65500) << i;
        EXPECT_EQ(writes[i].size, i < 4 ? 65500u : 34500u) << i;
        EXPECT_EQ(writes[i].first, patterns[i % 4]) << i;
        EXPECT_TRUE(writes[i].uniform) << i;
    }
    // Every pass reaches the medium before the next pattern is written.
    EXPECT_EQ(pf_fault_calls(PF_FAULT_FLUSH), 8);
}

TEST_F(WipeFile, StoppedAfterAPassLeavesThatPatternOnDisk) {
    // The third write (the 0xFF pass) fails: the file holds the 0x0F pass,
    // cut to length 0 afterwards.  We check the content through the observer
    // and the length on disk.
    std::string p = path("x.bin");
    write_file(p, std::string(3000, 'A'));
    pf_fault_arm(PF_FAULT_WRITE, 3, PF_ERROR_DISK_FULL);
    EXPECT_EQ(iWipeFile(p.c_str(), 0), -6);
    EXPECT_BOX(0, "Lockquill(TM) ERROR: iWipeFile",
               " COULD NOT write 0xFF to the file " + p + " to WIPE it!", 16);
    ASSERT_TRUE(exists(p));
    EXPECT_EQ(read_file(p), "");
    EXPECT_EQ(writes.size(), 3u);
    EXPECT_EQ(pf_fault_calls(PF_FAULT_FLUSH), 2);
}

TEST_F(WipeFile, EachPassFailureHasItsOwnWords) {
    const char* words[4] = {"0x00", "0x0F", "0xFF", "0x00/b"};
    for (int pass = 1; pass <= 4; ++pass) {
        lq_boxes_clear();
        std::string p = path("f" + std::to_string(pass));
        write_file(p, "content");
        pf_fault_arm(PF_FAULT_WRITE, pass);
        EXPECT_EQ(iWipeFile(p.c_str(), 0), -6);
        EXPECT_BOX(0, "Lockquill(TM) ERROR: iWipeFile",
                   std::string(" COULD NOT write ") + words[pass - 1] + " to the file " + p +
                       " to WIPE it!",
                   16);
        EXPECT_EQ(lq_boxes().size(), 1u);
        EXPECT_EQ(read_file(p), "");
    }
}

TEST_F(WipeFile, EmptyReadOnlyAndHiddenFilesGo) {
    std::string e = path("empty"), r = path("ro"), h = path("hid");
    write_file(e, "");
    write_file(r, "read only");
    write_file(h, "hidden");
    set_readonly(r, true);
    pf_set_attributes(h.c_str(), PF_ATTR_HIDDEN | PF_ATTR_SYSTEM);
    EXPECT_EQ(iWipeFile(e.c_str(), 0), 0);
    EXPECT_TRUE(writes.empty());
    EXPECT_EQ(iWipeFile(r.c_str(), 0), 0);
    EXPECT_EQ(iWipeFile(h.c_str(), 0), 0);
    EXPECT_TRUE(lq_boxes().empty()) << lq_boxes_dump();
    EXPECT_TRUE(list_dir(dir()).empty());
}

TEST_F(WipeFile, StartOffsetKeepsTheHeadButRemovesTheFile) {
    std::string p = path("tail");
    write_file(p, std::string(2000, 'z'));
    EXPECT_EQ(iWipeFile(p.c_str(), 1500), 0);
    ASSERT_EQ(writes.size(), 4u);
    EXPECT_EQ(writes[0].position, 1500);
    EXPECT_EQ(writes[0].size, 500u);
    EXPECT_FALSE(exists(p));
}

TEST_F(WipeFile, MissingFileAndLockedFiles) {
    std::string m = path("missing");
    EXPECT_EQ(iWipeFile(m.c_str(), 0), -1);
    ASSERT_EQ(lq_boxes().size(), 2u) << lq_boxes_dump();
    EXPECT_EQ(lq_boxes()[0].caption, "Lockquill(TM) ERROR: iGetDateTimeAttribsRemoveReadOnly ");
    EXPECT_BOX(
        1, "Lockquill(TM) ERROR: iWipeFile",
        " COULD NOT obtain and/or remove Read Only attributes of the file " + m + " to WIPE it!",
        16);

    // A reader that denies writes lets the attributes be taken but not the
    // open for writing.
    lq_boxes_clear();
    std::string r = path("reader");
    write_file(r, "abc");
    PfFile reader = pf_open(r.c_str(), PF_ACCESS_READ, PF_SHARE_READ, PF_OPEN_EXISTING);
    ASSERT_NE(reader, PF_INVALID_FILE);
    EXPECT_EQ(iWipeFile(r.c_str(), 0), -3);
    EXPECT_BOX(0, "Lockquill(TM) ERROR: iWipeFile",
               " COULD NOT open the file " + r + " to WIPE it!", 16);
    pf_close(reader);
    EXPECT_EQ(read_file(r), "abc");

    // A writer elsewhere stops it at once.
    lq_boxes_clear();
    PfFile writer =
        pf_open(r.c_str(), PF_ACCESS_WRITE, PF_SHARE_READ | PF_SHARE_WRITE, PF_OPEN_EXISTING);
    ASSERT_NE(writer, PF_INVALID_FILE);
    EXPECT_EQ(iWipeFile(r.c_str(), 0), -1);
    EXPECT_EQ(lq_boxes().size(), 2u);
    pf_close(writer);
    EXPECT_EQ(read_file(r), "abc");
}

TEST_F(WipeFile, BufferIsHalvedInLowMemoryAndGivenUpBelowOneKilobyte) {
    std::string p = path("big");
    write_file(p, std::string(70000, 'q'));
    pf_fault_arm(PF_FAULT_ALLOC, 1);  // 65500 fails, 32750 is taken
    EXPECT_EQ(iWipeFile(p.c_str(), 0), 0) << lq_boxes_dump();
    ASSERT_EQ(writes.size(), 12u);
    EXPECT_EQ(writes[0].size, 32750u);
    EXPECT_EQ(writes[8].size, 70000u - 2 * 32750u);

    std::string s = path("small");
    write_file(s, std::string(3000, 'q'));
    pf_fault_arm(PF_FAULT_ALLOC, 1, PF_ERROR_NOT_ENOUGH_MEMORY, true);
    int before = pf_fault_calls(PF_FAULT_ALLOC);
    EXPECT_EQ(iWipeFile(s.c_str(), 0), -5);
    EXPECT_EQ(pf_fault_calls(PF_FAULT_ALLOC) - before, 2);  // 3000, then 1500; 750 is not tried
    EXPECT_BOX(0, "Lockquill(TM) ERROR: iWipeFile",
               " COULD NOT allocate buffer for file " + s + " to WIPE it!", 16);
    EXPECT_EQ(read_file(s), std::string(3000, 'q'));
}

TEST_F(WipeFile, SeekCutTimesAndDeleteFailures) {
    std::string p = path("f");
    write_file(p, "abc");
    pf_fault_arm(PF_FAULT_SEEK, 1);
    EXPECT_EQ(iWipeFile(p.c_str(), 0), -4);
    EXPECT_BOX(0, "Lockquill(TM) ERROR: iWipeFile",
               " COULD NOT seek into the file " + p + " to WIPE it!", 16);
    EXPECT_EQ(read_file(p), "abc");

    pf_fault_arm(PF_FAULT_TRUNCATE, 1);
    EXPECT_EQ(iWipeFile(p.c_str(), 0), -6);
    EXPECT_BOX(1, "Lockquill(TM) ERROR: iWipeFile",
               " COULD NOT change size of the file " + p + " to WIPE it!", 16);
    EXPECT_EQ(read_file(p), std::string(3, '\0'));  // overwritten, not cut

    lq_boxes_clear();
    pf_fault_arm(PF_FAULT_SETTIME, 1, PF_ERROR_ACCESS_DENIED);
    EXPECT_EQ(iWipeFile(p.c_str(), 0), -7);
    ASSERT_EQ(lq_boxes().size(), 2u) << lq_boxes_dump();
    EXPECT_EQ(lq_boxes()[0].caption, "Lockquill(TM) ERROR: iSetDateTimeAttribs ");
    EXPECT_BOX(1, "Lockquill(TM) ERROR: iWipeFile",
               " COULD NOT change date and time of the file " + p + " to WIPE it!", 16);

    lq_boxes_clear();
    pf_fault_arm(PF_FAULT_DELETE, 1, PF_ERROR_ACCESS_DENIED);
    EXPECT_EQ(iWipeFile(p.c_str(), 0), -6);
    EXPECT_BOX(0, "Lockquill(TM) ERROR: iWipeFile",
               " COULD NOT remove the file " + p + " to WIPE it!", 16);
    EXPECT_TRUE(exists(last_name()));
}

TEST_F(WipeFile, ExistingLastNameStopsTheRenameWithItsBoxOnly) {
    std::string p = path("keep.txt");
    write_file(p, "precious");
    write_file(last_name(), "someone else's");
    EXPECT_EQ(iWipeFile(p.c_str(), 0), -1);
    ASSERT_EQ(lq_boxes().size(), 1u) << lq_boxes_dump();
    EXPECT_BOX(0, "Lockquill(TM) ERROR: iRename ",
               " Could not ReName\r\n " + p + " to\r\n " + last_name() + " ", 16);
    EXPECT_EQ(read_file(p), "");
    EXPECT_EQ(read_file(last_name()), "someone else's");
}

}  // namespace
