// The file services: derived names, attributes and times, sizes, end values,
// renaming, existence and free space, with their messages.  iWipeFile: four
// flushed passes per chunk, then cut, zeroed, renamed and removed; every
// failure with its words and the file it leaves.  And the progress window the
// operations keep up to date.
#include <algorithm>

#include "fileops/progress.h"
#include "fileops/wipe.h"
#include "tests/support/lq_test.h"

namespace {

class FileServices : public LqTest {
  protected:
    std::string boxes() { return lq_boxes_text(path("")); }
};

uint64_t u64(const PfFileTime& t) { return (uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime; }
const uint64_t t2001 = 126256467060000000ull;  // 2001-02-03 04:05:06 UTC
const std::string err = "Lockquill(TM) ERROR: ";

TEST_F(FileServices, NamesAttributesAndTimes) {
    const std::string fits(LQ_MAX_PATH - 5, 'n'), over = fits + "n.txt";  // 259 with .TCF fits
    const std::string cases[][3] = {{"C:\\DIR\\NOTE.TXT", "uut", "C:\\DIR\\NOTE.uut"},
                                    {"C:\\DIR\\ARCH.TAR.GZ", "uub", "C:\\DIR\\ARCH.TAR.uub"},
                                    {"C:\\MY.DIR\\FILE", "uub", "C:\\MY.DIR\\FILE.uub"},
                                    {"/tmp/my.dir/file", "TCF", "/tmp/my.dir/file.TCF"},
                                    {"NAME.", "uub", "NAME.uub"},
                                    {"a.b\\c.d", "TEF", "a.b\\c.TEF"},
                                    {fits, "TCF", fits + ".TCF"},
                                    {"C:\\DIR\\NOTE.UUT", "uut", ""},
                                    {over, "TCF", ""}};
    for (const auto& c : cases) {
        char target[LQ_MAX_PATH] = "garbage";
        EXPECT_EQ(iMakeExtendedFilename(target, c[0].c_str(), c[1].c_str()), c[2].empty() ? -1 : 0);
        EXPECT_EQ(target, c[2]);
    }
    EXPECT_EQ(lq_boxes().size(), 2u);  // their words: in the UU tests
    lq_boxes_clear();
    std::string p = path("ro.txt");
    write_file(p, "data");
    PfFile f = pf_open(p.c_str(), PF_ACCESS_WRITE, PF_SHARE_READ, PF_OPEN_EXISTING);
    PfFileTime a{uint32_t(t2001 + 5), uint32_t(t2001 >> 32)}, w{uint32_t(t2001), a.dwHighDateTime};
    ASSERT_TRUE(pf_set_file_time(f, nullptr, &a, &w) && pf_close(f));
    set_readonly(p, true);
    FileInformation rec, now;
    ASSERT_EQ(iGetDateTimeAttribsRemoveReadOnly(p.c_str(), &rec), 0);
    EXPECT_TRUE(rec.dwFileAttributes == 0x21 && rec.nFileSizeLow == 4);
    EXPECT_EQ(pf_get_attributes(p.c_str()), uint32_t(PF_ATTR_ARCHIVE));
    write_file(p, "other data");
    ASSERT_EQ(iSetDateTimeAttribs(p.c_str(), &rec), 0);
    f = pf_open(p.c_str(), PF_ACCESS_READ, PF_SHARE_READ, PF_OPEN_EXISTING);
    EXPECT_TRUE(pf_get_file_information(f, &now) && pf_close(f));
    EXPECT_TRUE(now.dwFileAttributes == 0x21 && u64(now.ftLastWriteTime) == t2001);
#ifndef _WIN32  // under Wine the access time reads as the time of this check
    EXPECT_EQ(u64(now.ftLastAccessTime), t2001 + 5);
#endif
    rec.dwFileAttributes = PF_ATTR_ARCHIVE;  // on a file read-only at the time of the call
    ASSERT_EQ(iSetDateTimeAttribs(p.c_str(), &rec), 0);
    EXPECT_EQ(pf_get_attributes(p.c_str()), uint32_t(PF_ATTR_ARCHIVE));
    // A missing file (the other failures: in the wipe's cases).
    EXPECT_EQ(iSetDateTimeAttribs(path("none").c_str(), &rec), 1);
    EXPECT_EQ(boxes(), err +
                           "iGetDateTimeAttribsRemoveReadOnly | Error code: 2 \r\n filename: "
                           "@none |16\n");
}

TEST_F(FileServices, SizesEndValuesRenameExistenceAndFreeSpace) {
    const std::string size_box = err +
                                 "lGetFileSize| COULD NOT determine size of the file, "
                                 "error # -10 \r\n @missing |16\n",
                      end_box = err + "sGetShortEndValue | Internal error code: ";
    const struct {
        const char* name;
        std::string bytes;  // "-" for none
        int value;
        std::string boxes;
    } cases[] = {{"v", std::string("abc\x34\x12", 5), 0x1234, ""},
                 {"neg", std::string("abc\xFE\xFF", 5), -2, ""},
                 {"empty", "", -1, end_box + "-1 \r\n filename: @empty |16\n"},
                 {"two", "ab", -4, end_box + "-4 \r\n filename: @two |16\n"},
                 {"missing", "-", -1, size_box + end_box + "-1 \r\n filename: @missing |16\n"}};
    for (const auto& c : cases) {
        if (c.bytes != "-") write_file(path(c.name), c.bytes);
        EXPECT_EQ(sGetShortEndValue(path(c.name).c_str()), c.value) << c.name;
        EXPECT_EQ(boxes(), c.boxes);
    }
    pf_fault_arm(PF_FAULT_READ, 1, PF_ERROR_READ_FAULT);
    EXPECT_EQ(sGetShortEndValue(path("v").c_str()), -3);
    EXPECT_EQ(lGetFileSize(path("v").c_str()) + lGetFileSize(path("missing").c_str()), 5 - 10);
    PfFile alone = pf_open(path("v").c_str(), PF_ACCESS_READ, 0, PF_OPEN_EXISTING);  // none kept
    EXPECT_TRUE(alone != PF_INVALID_FILE && pf_close(alone));
    EXPECT_EQ(iRename(path("v").c_str(), path("c").c_str()), 0);
    EXPECT_EQ(iRename(path("c").c_str(), path("two").c_str()), -1);
    EXPECT_EQ(read_file(path("two")) + read_file(path("c")), std::string("ab") + "abc\x34\x12");
    PfFindData fd;
    EXPECT_TRUE(bDoesFileExist(path("c*").c_str(), &fd, true) && fd.nFileSizeLow == 5);
    EXPECT_STREQ(fd.cFileName, "c");
    EXPECT_FALSE(bDoesFileExist(path("*.doc").c_str(), nullptr, false) ||
                 bDoesFileExist(path("gone").c_str(), nullptr, true));
    EXPECT_EQ(lGetDiskFree("") + lGetDiskFree(nullptr), -2);
    EXPECT_GT(lGetDiskFree("x"), 0);
    pf_fault_arm(PF_FAULT_DISKFREE, 1, 21);
    EXPECT_EQ(lGetDiskFree("a.txt"), -1);
    EXPECT_EQ(boxes(),
              end_box + "-3 \r\n filename: @v |16\n" + size_box + err +
                  "iRename | Could not ReName\r\n @c to\r\n @two |16\n" + err +
                  "bDoesFileExist | The file(s) @gone DOES/DO NOT EXIST.\r\n Code: 2 |16\n" + err +
                  "lGetDiskFree | Could not retrieve amount of free media space "
                  "for a.txt.  Code: 21 |16\n");
}

std::string writes;  // "position+size:byte " per write; the byte of a uniform one, else "?"

void observe(PfFile, int64_t position, const void* data, uint32_t n) {
    const unsigned char* p = (const unsigned char*)data;
    bool uniform = n && std::count(p, p + n, p[0]) == int64_t(n);
    writes += std::to_string(position) + "+" + std::to_string(n) + ":" +
              (uniform ? std::to_string(p[0]) : "?") + " ";
}

class WipeFile : public LqTest {
  protected:
    int wipe(const std::string& name, const std::string& bytes, int32_t start = 0) {
        write_file(path(name), bytes);
        writes.clear();
        pf_set_write_observer(observe);
        return iWipeFile(path(name).c_str(), start);
    }
    std::string boxes() { return lq_boxes_text(path("")); }
};

TEST_F(WipeFile, FourFlushedPassesPerChunkAndEveryFailureWithItsWords) {
    const struct {
        size_t size, start;
        bool low_memory;  // the 65500-byte buffer refused, its half taken
        std::vector<std::pair<int, int>> chunks;
    } cases[] = {{100000, 0, false, {{0, 65500}, {65500, 34500}}},
                 {70000, 0, true, {{0, 32750}, {32750, 32750}, {65500, 4500}}},
                 {2000, 1500, false, {{1500, 500}}},
                 {0, 0, false, {}}};
    for (const auto& c : cases) {
        pf_fault_reset();
        if (c.low_memory) pf_fault_arm(PF_FAULT_ALLOC, 1);
        ASSERT_EQ(wipe("secret", lq_random_bytes(c.size, 1), int32_t(c.start)), 0);
        std::string want;
        for (auto chunk : c.chunks)
            for (int byte : {0x00, 0x0F, 0xFF, 0x00})
                want += std::to_string(chunk.first) + "+" + std::to_string(chunk.second) + ":" +
                        std::to_string(byte) + " ";
        EXPECT_EQ(writes, want) << c.size;
        EXPECT_EQ(pf_fault_calls(PF_FAULT_FLUSH), int(4 * c.chunks.size()));
    }
    for (const char* f : {"ro", "hid"}) write_file(path(f), f);
    set_readonly(path("ro"), true);
    pf_set_attributes(path("hid").c_str(), PF_ATTR_HIDDEN | PF_ATTR_SYSTEM);
    EXPECT_EQ(iWipeFile(path("ro").c_str(), 0) + iWipeFile(path("hid").c_str(), 0), 0);
    EXPECT_TRUE(boxes().empty() && list_dir(dir()).empty());
    const std::string code = " | Error code: 112 \r\n filename: @f |16\n",
                      E = "Lockquill(TM) ERROR: ";
    const struct {
        PfFaultOp op;
        int n, result;
        std::string before, words, left;  // left: the file's bytes afterwards, "-" when gone
    } failures[] = {
        {PF_FAULT_WRITE, 1, -6, "", "write 0x00 to the file", ""},
        {PF_FAULT_WRITE, 2, -6, "", "write 0x0F to the file", ""},
        {PF_FAULT_WRITE, 3, -6, "", "write 0xFF to the file", ""},
        {PF_FAULT_WRITE, 4, -6, "", "write 0x00/b to the file", ""},
        {PF_FAULT_SEEK, 1, -4, "", "seek into the file", "abc"},
        {PF_FAULT_TRUNCATE, 1, -6, "", "change size of the file", std::string(3, '\0')},
        {PF_FAULT_ALLOC, 1, -5, "", "allocate buffer for file", "abc"},  // every size refused
        {PF_FAULT_SETTIME, 1, -7, E + "iSetDateTimeAttribs" + code,
         "change date and time of the file", ""},
        {PF_FAULT_DELETE, 1, -6, "", "remove the file", "-"},
        {PF_FAULT_OPEN, 1, -1, E + "iGetDateTimeAttribsRemoveReadOnly" + code,
         "obtain and/or remove Read Only attributes of the file", "abc"},
        {PF_FAULT_OPEN, 2, -3, "", "open the file", "abc"},
    };
    for (const auto& c : failures) {
        SCOPED_TRACE(c.words);
        for (const std::string& f : list_dir(dir())) pf_delete(path(f).c_str());
        pf_fault_arm(c.op, c.n, PF_ERROR_DISK_FULL, c.op == PF_FAULT_ALLOC);
        EXPECT_EQ(wipe("f", "abc"), c.result);
        pf_fault_reset();
        EXPECT_EQ(boxes(),
                  c.before + E + "iWipeFile| COULD NOT " + c.words + " @f to WIPE it!|16\n");
        EXPECT_EQ(exists(path("f")) ? read_file(path("f")) : "-", c.left);
    }
    // Low memory halves the buffer while the half stays above 1 KB: 3000,
    // 1500, then no 750.
    pf_fault_arm(PF_FAULT_ALLOC, 1, PF_ERROR_NOT_ENOUGH_MEMORY, true);
    EXPECT_EQ(wipe("f", std::string(3000, 'q')), -5);
    EXPECT_EQ(pf_fault_calls(PF_FAULT_ALLOC), 2);
    pf_fault_reset();
    lq_boxes_clear();
    // The last name taken by another file: the rename's box only, nothing
    // of that file lost.
    write_file(path("\xFF"), "someone else's");
    EXPECT_EQ(wipe("f", "abc"), -1);
    EXPECT_EQ(boxes(), "Lockquill(TM) ERROR: iRename | Could not ReName\r\n @f to\r\n @\xFF |16\n");
    EXPECT_EQ(read_file(path("\xFF")), "someone else's");
}

std::string events;  // o(pen), p(aint), c(lose), each with the percentage shown
bool refuse_open;
intptr_t fake_open() {
    return refuse_open ? 0 : (events += "o" + std::string(szProgressPercent), 42);
}
void fake_paint(intptr_t w) { events += (w == 42 ? "|p" : "|?") + std::string(szProgressPercent); }
void fake_close(intptr_t) { events += "|c" + std::string(szProgressPercent) + "|"; }
const LqProgressUi fake_ui = {fake_open, fake_paint, fake_close};

TEST_F(WipeFile, ShowProgressOpensPaintsClosesOnceAndSteps) {
    lq_set_progress_ui(&fake_ui);
    std::snprintf(szProgressPercent, sizeof szProgressPercent, " 12%% completed ");
    fProgressFraction = 0.5f;
    EXPECT_EQ(iShowProgress(1) + iShowProgress(1), 0);  // a nested open does nothing
    EXPECT_TRUE(hwndProgress == 42 && fProgressFraction == 0.0f);
    EXPECT_EQ(iShowProgress(-1) + iShowProgress(-1) + iShowProgress(0), 0);  // closed once
    EXPECT_TRUE(hwndProgress == 0 && !szProgressOperation[0] && !szProgressPercent[0]);
    refuse_open = true;
    EXPECT_EQ(iShowProgress(1), -1);
    lq_progress_step(10);  // no window: nothing counted or painted
    refuse_open = false;
    lq_progress_begin(" Compressing ", "a.txt", 100);
    lq_progress_step(5);
    lq_progress_step(32);
    EXPECT_TRUE(fProgressFraction == 0.37f && dwProgressDone == 37);
    lq_progress_end();
    EXPECT_EQ(events,
              "o 12% completed |p 12% completed |c|o|p 0% completed |p  5% completed |p 37% "
              "completed |c|");
}

}  // namespace
