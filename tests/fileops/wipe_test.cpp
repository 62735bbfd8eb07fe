// iWipeFile: four flushed passes per chunk, then cut, zeroed, renamed and
// removed; every failure with its words and the file it leaves.  And the
// progress window the operations keep up to date.
#include <algorithm>
#include <vector>

#include "fileops/progress.h"
#include "fileops/wipe.h"
#include "tests/support/lq_test.h"

namespace {

struct WriteRecord {
    int64_t position;
    uint32_t size;
    int pattern;  // the byte of a uniform write, -1 otherwise
};
std::vector<WriteRecord> writes;

void observe(PfFile, int64_t position, const void* data, uint32_t n) {
    const unsigned char* p = (const unsigned char*)data;
    bool uniform = n && std::count(p, p + n, p[0]) == int64_t(n);
    writes.push_back(WriteRecord{position, n, uniform ? p[0] : -1});
}

class WipeFile : public LqTest {
  protected:
    void SetUp() override {
        LqTest::SetUp();
        writes.clear();
        pf_set_write_observer(observe);
    }
};

TEST_F(WipeFile, ChunksGetFourFlushedPassesInOrder) {
    const struct {
        size_t size, start;
        bool low_memory;
        std::vector<std::pair<int64_t, uint32_t>> chunks;
    } cases[] = {{100000, 0, false, {{0, 65500}, {65500, 34500}}},
                 {70000, 0, true, {{0, 32750}, {32750, 32750}, {65500, 4500}}},
                 {2000, 1500, false, {{1500, 500}}},
                 {0, 0, false, {}}};
    for (const auto& c : cases) {
        std::string p = path("secret");
        write_file(p, lq_random_bytes(c.size, 1));
        writes.clear();
        pf_fault_reset();
        pf_set_write_observer(observe);
        if (c.low_memory) pf_fault_arm(PF_FAULT_ALLOC, 1);  // 65500 fails, 32750 is taken
        ASSERT_EQ(iWipeFile(p.c_str(), int32_t(c.start)), 0) << lq_boxes_dump();
        ASSERT_EQ(writes.size(), 4 * c.chunks.size()) << c.size;
        for (size_t i = 0; i < writes.size(); ++i) {
            EXPECT_EQ(writes[i].position, c.chunks[i / 4].first) << i;
            EXPECT_EQ(writes[i].size, c.chunks[i / 4].second) << i;
            EXPECT_EQ(writes[i].pattern, "\x00\x0f\xff\x00"[i % 4] & 0xFF) << i;
        }
        EXPECT_EQ(pf_fault_calls(PF_FAULT_FLUSH), int(writes.size()));
    }
    write_file(path("ro"), "read only");
    set_readonly(path("ro"), true);
    write_file(path("hid"), "hidden");
    pf_set_attributes(path("hid").c_str(), PF_ATTR_HIDDEN | PF_ATTR_SYSTEM);
    EXPECT_EQ(iWipeFile(path("ro").c_str(), 0) + iWipeFile(path("hid").c_str(), 0), 0);
    EXPECT_EQ(lq_boxes_text(path("")), "");
    EXPECT_TRUE(list_dir(dir()).empty());
}

TEST_F(WipeFile, EachFailureHasItsWordsAndLeavesItsFile) {
    const std::string w = "Lockquill(TM) ERROR: iWipeFile| COULD NOT ";
    const struct {
        PfFaultOp op;
        int n;
        bool sticky;
        int result;
        std::string boxes, left;  // left: the file's bytes afterwards, "-" when gone
    } cases[] = {
        {PF_FAULT_WRITE, 1, false, -6, w + "write 0x00 to the file @f to WIPE it!|16\n", ""},
        {PF_FAULT_WRITE, 2, false, -6, w + "write 0x0F to the file @f to WIPE it!|16\n", ""},
        {PF_FAULT_WRITE, 3, false, -6, w + "write 0xFF to the file @f to WIPE it!|16\n", ""},
        {PF_FAULT_WRITE, 4, false, -6, w + "write 0x00/b to the file @f to WIPE it!|16\n", ""},
        {PF_FAULT_SEEK, 1, false, -4, w + "seek into the file @f to WIPE it!|16\n", "abc"},
        {PF_FAULT_TRUNCATE, 1, false, -6, w + "change size of the file @f to WIPE it!|16\n",
         std::string(3, '\0')},
        {PF_FAULT_ALLOC, 1, true, -5, w + "allocate buffer for file @f to WIPE it!|16\n", "abc"},
        {PF_FAULT_SETTIME, 1, false, -7,
         "Lockquill(TM) ERROR: iSetDateTimeAttribs | Error code: 112 \r\n filename: @f |16\n" + w +
             "change date and time of the file @f to WIPE it!|16\n",
         ""},
        {PF_FAULT_DELETE, 1, false, -6, w + "remove the file @f to WIPE it!|16\n", "-"},
        {PF_FAULT_OPEN, 1, false, -1,
         "Lockquill(TM) ERROR: iGetDateTimeAttribsRemoveReadOnly | Error code: 112 \r\n filename: "
         "@f |16\n" +
             w + "obtain and/or remove Read Only attributes of the file @f to WIPE it!|16\n",
         "abc"},
        {PF_FAULT_OPEN, 2, false, -3, w + "open the file @f to WIPE it!|16\n", "abc"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.boxes);
        for (const std::string& f : list_dir(dir())) pf_delete(path(f).c_str());
        write_file(path("f"), "abc");
        pf_fault_arm(c.op, c.n, PF_ERROR_DISK_FULL, c.sticky);
        EXPECT_EQ(iWipeFile(path("f").c_str(), 0), c.result);
        pf_fault_reset();
        EXPECT_EQ(lq_boxes_text(path("")), c.boxes);
        EXPECT_EQ(exists(path("f")) ? read_file(path("f")) : "-", c.left);
    }
    // Low memory halves the buffer while the half stays above 1 KB: 3000,
    // 1500, then no 750.
    write_file(path("f"), std::string(3000, 'q'));
    pf_fault_arm(PF_FAULT_ALLOC, 1, PF_ERROR_NOT_ENOUGH_MEMORY, true);
    EXPECT_EQ(iWipeFile(path("f").c_str(), 0), -5);
    EXPECT_EQ(pf_fault_calls(PF_FAULT_ALLOC), 2);
    pf_fault_reset();
    lq_boxes_clear();
    // The last name taken by another file: the rename's box only, nothing
    // of that file lost.
    write_file(path("\xFF"), "someone else's");
    EXPECT_EQ(iWipeFile(path("f").c_str(), 0), -1);
    EXPECT_EQ(lq_boxes_text(path("")),
              "Lockquill(TM) ERROR: iRename | Could not ReName\r\n @f "
              "to\r\n @\xFF |16\n");
    EXPECT_EQ(read_file(path("\xFF")), "someone else's");
}

std::vector<std::string> events;  // o(pen) p(aint) c(lose) and the percentage shown
bool refuse_open;

intptr_t fake_open() {
    if (refuse_open) return 0;
    events.push_back(std::string("o") + szProgressPercent);
    return 42;
}
void fake_paint(intptr_t w) {
    EXPECT_EQ(w, 42);
    events.push_back(std::string("p") + szProgressPercent);
}
void fake_close(intptr_t) { events.push_back(std::string("c") + szProgressPercent); }
const LqProgressUi fake_ui = {fake_open, fake_paint, fake_close};

class ShowProgress : public LqTest {
  protected:
    void SetUp() override {
        LqTest::SetUp();
        events.clear();
        refuse_open = false;
        lq_set_progress_ui(&fake_ui);
    }
};

TEST_F(ShowProgress, OpenPaintCloseNestedCallsAndSteps) {
    std::snprintf(szProgressPercent, sizeof szProgressPercent, " 12%% completed ");
    EXPECT_EQ(iShowProgress(1), 0);
    EXPECT_EQ(hwndProgress, 42);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1], "p 12% completed ");  // a preset percentage stays
    fProgressFraction = 0.5f;
    EXPECT_EQ(iShowProgress(1), 0);  // nested open: nothing happens
    EXPECT_EQ(events.size(), 2u);
    EXPECT_EQ(iShowProgress(-1), 0);
    EXPECT_TRUE(hwndProgress == 0 && fProgressFraction == 0.0f);
    EXPECT_STREQ(szProgressOperation, "");
    EXPECT_STREQ(szProgressPercent, "");
    EXPECT_EQ(iShowProgress(-1) + iShowProgress(0), 0);  // nothing to close or paint
    EXPECT_EQ(events.size(), 3u);
    refuse_open = true;
    EXPECT_EQ(iShowProgress(1), -1);
    lq_progress_step(10);  // no window: nothing is counted or painted
    EXPECT_EQ(dwProgressDone, 0u);
    refuse_open = false;
    lq_progress_begin(" Compressing ", "a.txt", 100);
    EXPECT_EQ(events[4], "p 0% completed ");
    lq_progress_step(5);
    EXPECT_STREQ(szProgressPercent, "  5% completed ");
    lq_progress_step(32);
    EXPECT_STREQ(szProgressPercent, " 37% completed ");
    EXPECT_FLOAT_EQ(fProgressFraction, 0.37f);
    lq_progress_end();
    // Coarse steps paint only past each whole percent.
    lq_progress_begin(" Compressing ", "a.txt", 1000);
    size_t before = events.size();
    for (int i = 0; i < 100; ++i) lq_progress_step_coarse(1);  // 0.1 .. 10%
    EXPECT_GE(events.size() - before, 8u);
    EXPECT_LE(events.size() - before, 10u);
    EXPECT_EQ(dwProgressDone, 100u);
    lq_progress_end();
}

}  // namespace
