// The platform layer shows the same files the same way natively and under
// Wine: these run in both builds, the POSIX twin's own cases natively.
#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "fileops/wipe.h"
#include "tests/support/lq_test.h"

namespace {

std::string found(const std::string& pattern) {
    PfFindData fd;
    if (!pf_find_first(pattern.c_str(), &fd)) return "none";
    return std::string(fd.cFileName) + " " + std::to_string(fd.dwFileAttributes);
}
uint64_t u64(const PfFileTime& t) { return (uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime; }
uint32_t refusal(const std::string& p, unsigned access, unsigned share,
                 PfDisposition d = PF_OPEN_EXISTING) {
    return pf_open(p.c_str(), access, share, d) == PF_INVALID_FILE ? pf_last_error() : 0;
}

typedef LqTest Platform;

TEST_F(Platform, AttributesNamesAndFinding) {
    for (const char* f : {"x", "x.txt.bak", "xylo", "Mixed.TXT", ".dot"}) write_file(path(f), f);
    EXPECT_EQ(pf_get_attributes(dir().c_str()), uint32_t(PF_ATTR_DIRECTORY));
    // A leading dot reads as hidden through the name, not through a handle.
    EXPECT_EQ(pf_get_attributes(path(".dot").c_str()), uint32_t(PF_ATTR_ARCHIVE | PF_ATTR_HIDDEN));
    PfFile f = pf_open(path(".dot").c_str(), PF_ACCESS_READ, PF_SHARE_READ, PF_OPEN_EXISTING);
    FileInformation info;
    EXPECT_TRUE(pf_get_file_information(f, &info) && pf_close(f));
    EXPECT_EQ(info.dwFileAttributes, uint32_t(PF_ATTR_ARCHIVE));
    const char* finds[][2] = {{".DOT", ".dot 34"}, {"mixed.txt", "Mixed.TXT 32"}, {"X", "x 32"},
                              {"x.*", "x 32"},     {"xyl*.*", "xylo 32"},         {"x?", "none"},
                              {"q*", "none"},      {"x.t*", "x.txt.bak 32"},      {"x*/x", "none"},
                              {"", "none"}};  // a wildcard in the folder; no name after it
    for (const auto& c : finds) EXPECT_EQ(found(path(c[0])), c[1]) << c[0];
    std::vector<char> buf(path("x").size() + 1);  // an exact fit, and one too small
    EXPECT_TRUE(pf_get_full_path("x", buf.data(), uint32_t(buf.size())) && path("x") == buf.data());
    EXPECT_FALSE(pf_get_full_path("x", buf.data(), uint32_t(buf.size() - 1)) ||
                 pf_resolve_path(path("none").c_str(), buf.data(), uint32_t(buf.size())));
    EXPECT_EQ(pf_last_error(), uint32_t(PF_ERROR_FILE_NOT_FOUND));
    pf_delete(path("x").c_str());
    EXPECT_EQ(found(path("X.*")), "x.txt.bak 32");
    // Names found without regard to case are opened, renamed and removed so.
    EXPECT_TRUE(pf_move(path("MIXED.txt").c_str(), path("mixed.txt").c_str()));
    EXPECT_TRUE(pf_move(path("xylo").c_str(), path("xylo").c_str()));
    EXPECT_FALSE(pf_move(path("xylo").c_str(), path("X.TXT.BAK").c_str()));
    EXPECT_EQ(pf_last_error(), uint32_t(PF_ERROR_ALREADY_EXISTS));
    EXPECT_TRUE(found(path("gone")) == "none" && pf_last_error() == PF_ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(pf_set_attributes(path("XYLO").c_str(), PF_ATTR_READONLY) &&
                !pf_delete(path("xylo").c_str()));
    EXPECT_TRUE(pf_set_attributes(path("xylo").c_str(), PF_ATTR_ARCHIVE) &&
                pf_delete(path("XYLO").c_str()));
    EXPECT_EQ(list_dir(dir()), (std::vector<std::string>{".dot", "Mixed.TXT", "x.txt.bak"}));
}

TEST_F(Platform, HandlesShareModesInjectedFailuresAndMemory) {
    std::string p = path("rw");
    PfFile f = pf_open(p.c_str(), PF_ACCESS_READ | PF_ACCESS_WRITE, 0, PF_CREATE_NEW);
    char buf[16] = {0};
    EXPECT_TRUE(pf_write(f, "hello world", 11) == 11 && pf_seek(f, 5, PF_SEEK_SET) == 5);
    EXPECT_TRUE(pf_truncate(f) && pf_seek(f, 0, PF_SEEK_END) == 5);
    EXPECT_EQ(pf_seek(f, -9, PF_SEEK_SET), -1);
    EXPECT_EQ(pf_seek(f, 0, PF_SEEK_SET) + pf_read(f, buf, sizeof buf) + pf_read(f, buf, 9), 5);
    pf_fault_arm(PF_FAULT_WRITE, 0, PF_ERROR_WRITE_FAULT);  // below 1: the next call
    EXPECT_TRUE(pf_write(f, "cd", 2) == -1 && pf_last_error() == PF_ERROR_WRITE_FAULT);
    EXPECT_TRUE(pf_write(f, "ab", 2) == 2 && pf_flush(f) && pf_close(f));
    EXPECT_EQ(read_file(p), "helloab");
    EXPECT_EQ(refusal(p, PF_ACCESS_READ, 0, PF_CREATE_NEW), uint32_t(PF_ERROR_FILE_EXISTS));
    EXPECT_EQ(refusal(path("no"), PF_ACCESS_READ, 0), uint32_t(PF_ERROR_FILE_NOT_FOUND));
    PfFile a = pf_open(p.c_str(), PF_ACCESS_READ, PF_SHARE_READ, PF_OPEN_EXISTING);
    PfFile b = pf_open(p.c_str(), PF_ACCESS_READ, PF_SHARE_READ, PF_OPEN_EXISTING);
    EXPECT_NE(b, PF_INVALID_FILE);  // two readers share reading, and refuse a writer
    EXPECT_EQ(refusal(p, PF_ACCESS_WRITE, PF_SHARE_READ | PF_SHARE_WRITE),
              uint32_t(PF_ERROR_SHARING_VIOLATION));
    EXPECT_FALSE(pf_move(p.c_str(), path("t").c_str()));
    EXPECT_TRUE(pf_close(a) && pf_close(b) && pf_move(p.c_str(), path("t").c_str()));
    PfGlobal g = pf_global_alloc(100);
    unsigned char* m = (unsigned char*)pf_global_lock(g);
    EXPECT_EQ(m[0] | m[99], 0);  // zeroed: the editor's texts end in that zero
    pf_global_free(g);
}

// The platform's conversions, and the file services' on top of them (which
// keep four attribute bits and say why they fail).
TEST_F(Platform, DosStampsFrom1980To2107) {
    // Seconds since 1601 and the stamp, 0 0 when refused: 1980-01-01, 1979-12-31 23:59:59,
    // 2000-02-29, 2024-02-29, 2100-03-01, 2107-12-31 23:59:58, 2108-01-01.
    const uint64_t cases[][3] = {{11960006400, 0x0021, 0}, {11960006399, 0, 0},
                                 {12596256000, 0x285d, 0}, {13353638400, 0x585d, 0},
                                 {15752016000, 0xf061, 0}, {15999292798, 0xff9f, 0xbf7d},
                                 {15999292800, 0, 0}};
    PfFileTime ft;
    for (const auto& c : cases) {
        const uint64_t v = c[0] * 10000000;
        ft = PfFileTime{uint32_t(v), uint32_t(v >> 32)};
        uint16_t d = 0, t = 0;
        EXPECT_EQ(pf_file_time_to_dos(&ft, &d, &t), c[1] != 0) << c[0];
        EXPECT_TRUE(d == c[1] && t == c[2]) << c[0] << ": " << d << " " << t;
        EXPECT_TRUE(!d || (pf_dos_to_file_time(d, t, &ft) && u64(ft) == v));
    }
    // 2000-02-30, 2001-06-31, month 13, April 31, 24:00, 00:60, 00:00:60, 2001-02-29, 2100-02-29.
    const uint16_t bad[][2] = {{0x285E, 0}, {0x2ADF, 0},      {0x2BA1, 0},
                               {0x2A9F, 0}, {0x21, 24 << 11}, {0x21, 60 << 5},
                               {0x21, 30},  {0x2A5D, 0},      {0xF05D, 0}};
    for (const auto& c : bad) EXPECT_FALSE(pf_dos_to_file_time(c[0], c[1], &ft)) << c[0];
    FileInformation info = {};
    const uint16_t date = 0x2A43, time = 0x20A3;  // 2001-02-03 04:05:06
    ASSERT_EQ(iDateTimeAttribeToByHandleFileInformation(&info, date, time, 0x27 | 0x18), 0);
    EXPECT_TRUE(info.dwFileAttributes == 0x27 && u64(info.ftLastWriteTime) == 126256467060000000);
    EXPECT_EQ(u64(info.ftCreationTime), 0u);
    info.dwFileAttributes = 0x27 | 0x98;
    uint16_t d = 0, t = 0, a = 0;
    ASSERT_EQ(iByHandleFileInformationToDateTimeAttribute(&d, &t, &a, &info), 0);
    EXPECT_TRUE(d == date && t == time && a == 0x27);
    EXPECT_EQ(iDateTimeAttribeToByHandleFileInformation(&info, 0x2BA1, 0, 0), -1);  // month 13
    info.ftLastWriteTime = PfFileTime{0, 0x01000000};                               // 1975
    EXPECT_EQ(iByHandleFileInformationToDateTimeAttribute(&d, &t, &a, &info), -1);
    EXPECT_EQ(lq_boxes().size(), 2u);
}

// The attribute word against the file as the host keeps it: the POSIX twin
// natively, Wine's own under Wine.  Read-only is no write permission bit,
// hidden and system are user.DOSATTRIB "0x%x", archive is on every file.
TEST_F(Platform, AttributesAsTheHostKeepsThem) {
    write_file(path("f"), "");
    if (sh("setfattr -n user.test -v 1 f")) GTEST_SKIP() << "no extended attributes here";
    const std::string dos = "getfattr --only-values -n user.DOSATTRIB f 2>/dev/null";
    const struct {
        const char* host;   // a host command before
        uint32_t set, get;  // set: the word set through the layer, 0: none
        std::string check;  // a host command that must succeed after
    } cases[] = {
        {"chmod 640 f", 0, 0x20, "! " + dos},
        {"chmod a-w f", 0, 0x21, ""},
        {"chmod u+w f; setfattr -n user.DOSATTRIB -v 0sMHg2 f", 0, 0x26, ""},  // "0x6"
        {"", 0x22, 0x22, "[ $(" + dos + ") = 0x2 ]"},
        {"", 0x20, 0x20, "! " + dos},
        {"", 0x27, 0x27, "[ $(" + dos + ") = 0x6 ] && [ $(stat -c %a f) = 440 ]"},
        {"", 0x20, 0x20, "[ $(stat -c %a f) = 640 ] && ! " + dos},
    };
    for (const auto& c : cases) {
#ifdef _WIN32  // Wine makes the file read-only first: a user then cannot write the bits
        if (c.set == 0x27) continue;
#endif
        SCOPED_TRACE(std::string(c.host) + " " + std::to_string(c.set));
        EXPECT_EQ(sh(c.host), 0);
        EXPECT_TRUE(!c.set || pf_set_attributes(path("f").c_str(), c.set));
        EXPECT_EQ(pf_get_attributes(path("f").c_str()), c.get);
        EXPECT_EQ(sh(c.check), 0) << c.check;
#ifndef _WIN32  // the POSIX twin refuses it even for root (Wine run by root does not)
        EXPECT_TRUE(!(c.get & PF_ATTR_READONLY) ||
                    refusal(path("f"), PF_ACCESS_WRITE, 0) == PF_ERROR_ACCESS_DENIED);
#endif
    }
}

#ifndef _WIN32
// What only the POSIX twin can get wrong: times below the second, fd 0, the
// root folder, errors that only a real system call gives, FIFOs and devices.
TEST_F(Platform, PosixTimesDescriptorsRootErrorsAndSpecialFiles) {
    std::string p = path("t");
    write_file(p, "abc");
    const struct timespec ts[2] = {{981173106, 123456789}, {981173106, 987654321}};
    ASSERT_EQ(utimensat(AT_FDCWD, p.c_str(), ts, 0), 0);  // 2001-02-03 04:05:06.1234567..
    int saved = dup(0);
    close(0);  // the next descriptor is 0: a valid one
    PfFile f = pf_open(p.c_str(), PF_ACCESS_READ, PF_SHARE_READ, PF_OPEN_EXISTING);
    FileInformation info;
    EXPECT_TRUE(f == 0 && pf_get_file_information(f, &info) && pf_close(f));
    dup2(saved, 0);
    close(saved);
    EXPECT_EQ(u64(info.ftLastAccessTime), 126256467061234567u);
    EXPECT_EQ(u64(info.ftLastWriteTime), 126256467069876543u);
    EXPECT_EQ(found("/tm?") + found("/TMP"), "tmp 16tmp 16");  // found in the root folder
    f = pf_open(p.c_str(), PF_ACCESS_WRITE, 0, PF_OPEN_EXISTING);
    int full = open("/dev/full", O_WRONLY);
    ASSERT_TRUE(full >= 0 && dup2(full, int(f)) == int(f));  // the handle now fills a disk
    close(full);
    EXPECT_TRUE(pf_write(f, "x", 1) == -1 && pf_last_error() == PF_ERROR_DISK_FULL);
    pf_close(f);
    EXPECT_EQ(refusal("", PF_ACCESS_READ, 0), uint32_t(PF_ERROR_PATH_NOT_FOUND));
    ASSERT_EQ(mkfifo(path("fifo").c_str(), 0644), 0);
    for (const std::string& s : {path("fifo"), std::string("/dev/null")}) {
        for (PfDisposition d : {PF_OPEN_EXISTING, PF_CREATE_ALWAYS, PF_OPEN_ALWAYS})
            EXPECT_EQ(refusal(s, PF_ACCESS_READ | PF_ACCESS_WRITE, PF_SHARE_READ, d),
                      uint32_t(PF_ERROR_ACCESS_DENIED))
                << s;
        EXPECT_EQ(iWipeFile(s.c_str(), 0), -1);  // no hang on the FIFO, nothing written
        EXPECT_EQ(lGetFileSize(s.c_str()), -10);
    }
    struct stat st;
    EXPECT_TRUE(stat(path("fifo").c_str(), &st) == 0 && S_ISFIFO(st.st_mode));
}
#endif

}  // namespace
