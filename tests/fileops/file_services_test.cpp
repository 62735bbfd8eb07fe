// The file services: derived names, attributes and times, sizes, end values,
// renaming, existence, free space and DOS stamps, with their messages.
#include "tests/support/lq_test.h"

namespace {

class FileServices : public LqTest {
  protected:
    std::string boxes() { return lq_boxes_text(path("")); }
};

uint64_t u64(const PfFileTime& t) { return (uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime; }
const uint64_t t2001 = 126256467060000000ull;  // 2001-02-03 04:05:06 UTC
const std::string err = "Lockquill(TM) ERROR: ";

TEST_F(FileServices, MakeExtendedFilename) {
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
}

TEST_F(FileServices, AttributesAndTimesRoundTripAndFailures) {
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
    EXPECT_EQ(iRename(path("v").c_str(), path("c").c_str()), 0);
    EXPECT_EQ(iRename(path("c").c_str(), path("two").c_str()), -1);
    EXPECT_EQ(read_file(path("two")) + read_file(path("c")), std::string("ab") + "abc\x34\x12");
    PfFindData fd;
    EXPECT_TRUE(bDoesFileExist(path("c*").c_str(), &fd, true) && fd.nFileSizeLow == 5);
    EXPECT_STREQ(fd.cFileName, "c");
    EXPECT_TRUE(bDoesFileExist(path("N?G").c_str(), nullptr, true));
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

TEST_F(FileServices, DosStampsKeepFourAttributeBits) {
    FileInformation info = {};
    const uint16_t date = (21 << 9) | (2 << 5) | 3, time = (4 << 11) | (5 << 5) | 3;
    ASSERT_EQ(iDateTimeAttribeToByHandleFileInformation(&info, date, time, 0x27 | 0x18), 0);
    EXPECT_TRUE(info.dwFileAttributes == 0x27 && u64(info.ftLastWriteTime) == t2001);
    EXPECT_EQ(u64(info.ftCreationTime), 0u);
    info.dwFileAttributes = 0x27 | 0x98;
    uint16_t d = 0, t = 0, a = 0;
    ASSERT_EQ(iByHandleFileInformationToDateTimeAttribute(&d, &t, &a, &info), 0);
    EXPECT_TRUE(d == date && t == time && a == 0x27);
    EXPECT_EQ(iDateTimeAttribeToByHandleFileInformation(&info, 0x2BA1, 0, 0), -1);  // month 13
    info.ftLastWriteTime = PfFileTime{0, 0x01000000};                               // 1975
    EXPECT_EQ(iByHandleFileInformationToDateTimeAttribute(&d, &t, &a, &info), -1);
    ASSERT_EQ(lq_boxes().size(), 2u);
    EXPECT_EQ(lq_boxes()[1].caption, err + "iByHandleFileInformationToDateTimeAttribute ");
}

}  // namespace
