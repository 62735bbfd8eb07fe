#include <cstring>

#include "fileops/file_services.h"
#include "tests/support/lq_test.h"

namespace {

const char* const E16 = "";  // keeps the table below aligned
const unsigned STOP = 16;

class MakeExtendedFilename : public LqTest {};

TEST_F(MakeExtendedFilename, ReplacesOnlyTheLastExtension) {
    struct Case {
        const char* src;
        const char* ext;
        const char* want;
    } cases[] = {
        {"C:\\DIR\\NOTE.TXT", "uut", "C:\\DIR\\NOTE.uut"},
        {"C:\\DIR\\ARCH.TAR.GZ", "uub", "C:\\DIR\\ARCH.TAR.uub"},
        {"C:\\MY.DIR\\FILE", "uub", "C:\\MY.DIR\\FILE.uub"},
        {"/tmp/my.dir/file", "TCF", "/tmp/my.dir/file.TCF"},
        {"NAME.", "uub", "NAME.uub"},
        {"NAME", "hlp", "NAME.hlp"},
        {"a.b\\c.d", "TEF", "a.b\\c.TEF"},
    };
    for (const Case& c : cases) {
        char target[300] = "garbage";
        EXPECT_EQ(iMakeExtendedFilename(target, c.src, c.ext), 0) << c.src;
        EXPECT_STREQ(target, c.want);
    }
    EXPECT_TRUE(lq_boxes().empty()) << lq_boxes_dump() << E16;
}

TEST_F(MakeExtendedFilename, RefusesTheSameExtensionInAnyCase) {
    char source[] = "C:\\DIR\\NOTE.UUT";
    char target[300] = "garbage";
    EXPECT_EQ(iMakeExtendedFilename(target, source, "uut"), -1);
    EXPECT_STREQ(target, "");
    EXPECT_STREQ(source, "C:\\DIR\\NOTE.UUT");
    ASSERT_EQ(lq_boxes().size(), 1u);
    EXPECT_BOX(
        0, "Lockquill(TM) ERROR: iMakeExtendedFilename",
        " C:\\DIR\\NOTE.UUT already exists WILL/CAN NOT overwrite. ReName the file manually.",
        STOP);  // A name that would not fit LQ_MAX_PATH with its zero is refused.
    std::string fits(LQ_MAX_PATH - 5, 'n'), over(LQ_MAX_PATH - 4, 'n');
    char exact[LQ_MAX_PATH];
    EXPECT_EQ(iMakeExtendedFilename(exact, fits.c_str(), "TCF"), 0);
    EXPECT_EQ(std::strlen(exact), LQ_MAX_PATH - 1);
    EXPECT_EQ(iMakeExtendedFilename(exact, (over + ".txt").c_str(), "TCF"), -1);
    EXPECT_STREQ(exact, "");
    EXPECT_BOX(1, "Lockquill(TM) ERROR: iMakeExtendedFilename",
               " The name made from " + over +
                   ".txt with the extension TCF would be longer than "
                   "259 characters.",
               STOP);
}

class AttributesAndTimes : public LqTest {};

PfFileTime ft(uint64_t v) { return PfFileTime{(uint32_t)v, (uint32_t)(v >> 32)}; }
uint64_t u64(const PfFileTime& t) { return ((uint64_t)t.dwHighDateTime << 32) | t.dwLowDateTime; }

// 2001-02-03 04:05:06 UTC, as a FILETIME.
const uint64_t t2001 = 126256467060000000ull;

void stamp(const std::string& p, uint64_t access, uint64_t write) {
    PfFile f =
        pf_open(p.c_str(), PF_ACCESS_READ | PF_ACCESS_WRITE, PF_SHARE_READ, PF_OPEN_EXISTING);
    ASSERT_NE(f, PF_INVALID_FILE);
    PfFileTime a = ft(access), w = ft(write);
    ASSERT_TRUE(pf_set_file_time(f, nullptr, &a, &w));
    pf_close(f);
}

FileInformation info_of(const std::string& p) {
    FileInformation i;
    std::memset(&i, 0, sizeof i);
    PfFile f = pf_open(p.c_str(), PF_ACCESS_READ, PF_SHARE_READ | PF_SHARE_WRITE, PF_OPEN_EXISTING);
    EXPECT_NE(f, PF_INVALID_FILE);
    EXPECT_TRUE(pf_get_file_information(f, &i));
    pf_close(f);
    return i;
}

TEST_F(AttributesAndTimes, ReadOnlyFileIsOpenedUpAndPutBack) {
    std::string p = path("ro.txt");
    write_file(p, "data");
    stamp(p, t2001 + 50000000, t2001);
    set_readonly(p, true);

    FileInformation rec;
    std::memset(&rec, 0, sizeof rec);
    ASSERT_EQ(iGetDateTimeAttribsRemoveReadOnly(p.c_str(), &rec), 0) << lq_boxes_dump();
    EXPECT_TRUE(rec.dwFileAttributes & PF_ATTR_READONLY);
    EXPECT_FALSE(pf_get_attributes(p.c_str()) & PF_ATTR_READONLY);
    EXPECT_EQ(u64(rec.ftLastWriteTime), t2001);
    EXPECT_EQ(rec.nFileSizeLow, 4u);

    // The file is changed meanwhile; putting the record back restores all.
    write_file(p, "other data");
    ASSERT_EQ(iSetDateTimeAttribs(p.c_str(), &rec), 0) << lq_boxes_dump();
    FileInformation now = info_of(p);
    EXPECT_TRUE(now.dwFileAttributes & PF_ATTR_READONLY);
    EXPECT_EQ(u64(now.ftLastWriteTime), t2001);
    EXPECT_EQ(u64(now.ftLastAccessTime), t2001 + 50000000);
    EXPECT_TRUE(lq_boxes().empty()) << lq_boxes_dump();

    // Setting works on a file that is read-only at the time of the call.
    rec.dwFileAttributes = PF_ATTR_ARCHIVE;
    rec.ftLastWriteTime = ft(t2001 + 20000000);
    ASSERT_EQ(iSetDateTimeAttribs(p.c_str(), &rec), 0) << lq_boxes_dump();
    now = info_of(p);
    EXPECT_FALSE(now.dwFileAttributes & PF_ATTR_READONLY);
    EXPECT_EQ(u64(now.ftLastWriteTime), t2001 + 20000000);
}

TEST_F(AttributesAndTimes, MissingFileIsReportedWithTheErrorCode) {
    FileInformation rec;
    EXPECT_EQ(iGetDateTimeAttribsRemoveReadOnly(path("none.txt").c_str(), &rec), 1);
    EXPECT_BOX(0, "Lockquill(TM) ERROR: iGetDateTimeAttribsRemoveReadOnly ",
               " Error code: 2 \r\n filename: " + path("none.txt") + " ", STOP);
    std::memset(&rec, 0, sizeof rec);
    EXPECT_EQ(iSetDateTimeAttribs(path("none.txt").c_str(), &rec), 1);
    EXPECT_BOX(1, "Lockquill(TM) ERROR: iGetDateTimeAttribsRemoveReadOnly ",
               " Error code: 2 \r\n filename: " + path("none.txt") + " ", STOP);
}

TEST_F(AttributesAndTimes, FailureWhileSettingUsesItsOwnCaption) {
    std::string p = path("f.txt");
    write_file(p, "x");
    FileInformation rec = info_of(p);
    pf_fault_arm(PF_FAULT_SETTIME, 1, PF_ERROR_ACCESS_DENIED);
    EXPECT_EQ(iSetDateTimeAttribs(p.c_str(), &rec), 1);
    EXPECT_BOX(0, "Lockquill(TM) ERROR: iSetDateTimeAttribs ",
               " Error code: 5 \r\n filename: " + p + " ", STOP);
}

TEST_F(AttributesAndTimes, FileOpenForWritingElsewhereCannotBeTaken) {
    std::string p = path("busy.txt");
    write_file(p, "x");
    PfFile writer =
        pf_open(p.c_str(), PF_ACCESS_WRITE, PF_SHARE_READ | PF_SHARE_WRITE, PF_OPEN_EXISTING);
    ASSERT_NE(writer, PF_INVALID_FILE);
    FileInformation rec;
    EXPECT_EQ(iGetDateTimeAttribsRemoveReadOnly(p.c_str(), &rec), 1);
    EXPECT_BOX(0, "Lockquill(TM) ERROR: iGetDateTimeAttribsRemoveReadOnly ",
               " Error code: 32 \r\n filename: " + p + " ", STOP);
    pf_close(writer);
}

class SizeAndEndValue : public LqTest {};

TEST_F(SizeAndEndValue, SizesAndMissingFiles) {
    write_file(path("five"), "12345");
    write_file(path("empty"), "");
    EXPECT_EQ(lGetFileSize(path("five").c_str()), 5);
    EXPECT_EQ(lGetFileSize(path("empty").c_str()), 0);
    EXPECT_TRUE(lq_boxes().empty());
    EXPECT_EQ(lGetFileSize(path("missing").c_str()), -10);
    EXPECT_BOX(0, "Lockquill(TM) ERROR: lGetFileSize",
               " COULD NOT determine size of the file, error # -10 \r\n " + path("missing") + " ",
               STOP);
}

TEST_F(SizeAndEndValue, ReadsTheLastTwoBytesLittleEndian) {
    write_file(path("v"), std::string("abc\x34\x12", 5));
    EXPECT_EQ(sGetShortEndValue(path("v").c_str()), 0x1234);
    write_file(path("neg"), std::string("abc\xFE\xFF", 5));
    EXPECT_EQ(sGetShortEndValue(path("neg").c_str()), -2);
    write_file(path("rec"), std::string("abc\xFE\x00", 5));
    EXPECT_EQ(sGetShortEndValue(path("rec").c_str()), 254);
    EXPECT_TRUE(lq_boxes().empty()) << lq_boxes_dump();
}

TEST_F(SizeAndEndValue, ShortAndMissingFilesGiveInternalCodes) {
    write_file(path("empty"), "");
    write_file(path("two"), "ab");
    write_file(path("one"), "a");
    EXPECT_EQ(sGetShortEndValue(path("empty").c_str()), -1);
    EXPECT_BOX(0, "Lockquill(TM) ERROR: sGetShortEndValue ",
               " Internal error code: -1 \r\n filename: " + path("empty") + " ", STOP);
    EXPECT_EQ(sGetShortEndValue(path("two").c_str()), -4);
    EXPECT_BOX(1, "Lockquill(TM) ERROR: sGetShortEndValue ",
               " Internal error code: -4 \r\n filename: " + path("two") + " ", STOP);
    EXPECT_EQ(sGetShortEndValue(path("one").c_str()), -4);
    lq_boxes_clear();
    EXPECT_EQ(sGetShortEndValue(path("missing").c_str()), -1);
    ASSERT_EQ(lq_boxes().size(), 2u) << lq_boxes_dump();
    EXPECT_BOX(0, "Lockquill(TM) ERROR: lGetFileSize",
               " COULD NOT determine size of the file, error # -10 \r\n " + path("missing") + " ",
               STOP);
    EXPECT_BOX(1, "Lockquill(TM) ERROR: sGetShortEndValue ",
               " Internal error code: -1 \r\n filename: " + path("missing") + " ", STOP);
}

TEST_F(SizeAndEndValue, ShortReadIsCodeMinusThree) {
    write_file(path("v"), "abcd");
    pf_fault_arm(PF_FAULT_READ, 1, PF_ERROR_READ_FAULT);
    EXPECT_EQ(sGetShortEndValue(path("v").c_str()), -3);
    EXPECT_BOX(0, "Lockquill(TM) ERROR: sGetShortEndValue ",
               " Internal error code: -3 \r\n filename: " + path("v") + " ", STOP);
}

class RenameExistFree : public LqTest {};

TEST_F(RenameExistFree, RenameRefusesAnExistingTarget) {
    write_file(path("a"), "A");
    write_file(path("b"), "B");
    EXPECT_EQ(iRename(path("a").c_str(), path("c").c_str()), 0);
    EXPECT_EQ(read_file(path("c")), "A");
    EXPECT_EQ(iRename(path("c").c_str(), path("b").c_str()), -1);
    EXPECT_BOX(0, "Lockquill(TM) ERROR: iRename ",
               " Could not ReName\r\n " + path("c") + " to\r\n " + path("b") + " ", STOP);
    EXPECT_EQ(read_file(path("b")), "B");
    EXPECT_EQ(read_file(path("c")), "A");
}

TEST_F(RenameExistFree, ExistenceWithWildcards) {
    write_file(path("Report.TXT"), "x");
    write_file(path("noext"), "x");
    PfFindData fd;
    EXPECT_TRUE(bDoesFileExist(path("*.txt").c_str(), &fd, true));
    EXPECT_STREQ(fd.cFileName, "Report.TXT");
    EXPECT_EQ(fd.nFileSizeLow, 1u);
    EXPECT_TRUE(bDoesFileExist(path("rep?rt.*").c_str(), nullptr, true));
    EXPECT_TRUE(bDoesFileExist(path("noext").c_str(), nullptr, true));
    EXPECT_TRUE(bDoesFileExist("*.*", nullptr, false));
    EXPECT_TRUE(lq_boxes().empty()) << lq_boxes_dump();
    EXPECT_FALSE(bDoesFileExist(path("*.doc").c_str(), nullptr, false));
    EXPECT_TRUE(lq_boxes().empty());
    EXPECT_FALSE(bDoesFileExist(path("gone.doc").c_str(), nullptr, true));
    EXPECT_BOX(0, "Lockquill(TM) ERROR: bDoesFileExist ",
               " The file(s) " + path("gone.doc") + " DOES/DO NOT EXIST.\r\n Code: 2 ", STOP);
}

TEST_F(RenameExistFree, DiskFreeIsClampedAndEmptyNamesAreSilent) {
    EXPECT_EQ(lGetDiskFree(""), -1);
    EXPECT_EQ(lGetDiskFree(nullptr), -1);
    EXPECT_TRUE(lq_boxes().empty());
    int32_t free_bytes = lGetDiskFree("x");
    EXPECT_GT(free_bytes, 0);
    EXPECT_LE(free_bytes, 0x7FFFFFFF);
    pf_fault_arm(PF_FAULT_DISKFREE, 1, 21);
    EXPECT_EQ(lGetDiskFree("a.txt"), -1);
    EXPECT_BOX(0, "Lockquill(TM) ERROR: lGetDiskFree ",
               " Could not retrieve amount of free media space for a.txt.  Code: 21 ", STOP);
}

class DosStamp : public LqTest {};

TEST_F(DosStamp, FourBitsSurviveBothWays) {
    FileInformation info;
    std::memset(&info, 0, sizeof info);
    // 2001-02-03 04:05:06: date (21<<9)|(2<<5)|3, time (4<<11)|(5<<5)|3.
    const uint16_t date = (21 << 9) | (2 << 5) | 3, time = (4 << 11) | (5 << 5) | 3;
    ASSERT_EQ(iDateTimeAttribeToByHandleFileInformation(&info, date, time, 0x27 | 0x10 | 0x08), 0);
    EXPECT_EQ(info.dwFileAttributes, 0x27u);
    EXPECT_EQ(u64(info.ftLastWriteTime), t2001);
    EXPECT_EQ(u64(info.ftCreationTime), 0u);

    info.dwFileAttributes = 0x27 | 0x10 | 0x08 | 0x80;
    uint16_t d = 0, t = 0, a = 0;
    ASSERT_EQ(iByHandleFileInformationToDateTimeAttribute(&d, &t, &a, &info), 0);
    EXPECT_EQ(d, date);
    EXPECT_EQ(t, time);
    EXPECT_EQ(a, 0x27);
}

TEST_F(DosStamp, ImpossibleDatesAreReported) {
    FileInformation info;
    std::memset(&info, 0, sizeof info);
    EXPECT_EQ(iDateTimeAttribeToByHandleFileInformation(&info, (21 << 9) | (13 << 5) | 1, 0, 0),
              -1);
    ASSERT_EQ(lq_boxes().size(), 1u);
    EXPECT_EQ(lq_boxes()[0].caption,
              "Lockquill(TM) ERROR: iDateTimeAttribeToByHandleFileInformation ");
    EXPECT_EQ(lq_boxes()[0].text.rfind(" Could not convert file information  Code: ", 0), 0u);
    // Before 1980 no DOS stamp exists.
    info.ftLastWriteTime = ft(t2001 - 30ull * 365 * 86400 * 10000000);
    uint16_t d, t, a;
    EXPECT_EQ(iByHandleFileInformationToDateTimeAttribute(&d, &t, &a, &info), -1);
    EXPECT_EQ(lq_boxes()[1].caption,
              "Lockquill(TM) ERROR: iByHandleFileInformationToDateTimeAttribute ");
}

}  // namespace
