// The save's replace step on both twins (natively, and under Wine on the
// Windows build): every kind of target, and a fault at every platform call.
#include "fileops/replace_file.h"

#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#endif

#include "tests/support/lq_test.h"

namespace {

const std::string old_text = "old text\r\n" + std::string(70000, 'o');
const std::string new_text = "new text\r\n" + std::string(81911, 'n');  // 5 copy chunks and 1 byte

// Writes new_text in three pieces (three write calls to fail).
int write_new(PfFile f, void*) {
    for (size_t at = 0; at < new_text.size(); at += 40000) {
        uint32_t n = uint32_t(std::min<size_t>(40000, new_text.size() - at));
        if (pf_write(f, new_text.data() + at, n) != int32_t(n))
            return lq_message_format(" test writer failed"), -1;
    }
    return 0;
}

// setup and check: shell commands in the test folder; check must succeed
// after the save (natively: the POSIX layer keeps mode and owner).  saved:
// the name saved to; also: another name that must show the same content;
// files: every name in the folder afterwards.
struct Case {
    const char *name, *setup, *check;
    bool existed, locked;  // locked: held open elsewhere without delete sharing
    const char *saved, *also, *files;
};
const char keeps_mode_and_owner[] =
    "[ $(stat -c %a t.txt) = 604 ] && { [ $(id -u) != 0 ] || [ $(stat -c %u t.txt) = 65534 ]; }";
const Case cases[] = {
    {"new file", "", "", false, false, "t.txt", "", "t.txt"},
    {"plain", "chmod 604 t.txt; chown 65534 t.txt 2>/dev/null; true", keeps_mode_and_owner, true,
     false, "t.txt", "", "t.txt"},
    {"read-only", "chmod 444 t.txt", "", true, false, "t.txt", "", "t.txt"},
    {"symlink", "ln -s t.txt l.txt", "test -L l.txt", true, false, "l.txt", "t.txt", "l.txt t.txt"},
    {"hard link", "ln t.txt h.txt", "", true, false, "t.txt", "h.txt", "h.txt t.txt"},
    {"open elsewhere", "", "", true, true, "t.txt", "", "t.txt"},
    {"no new files in the folder", "chmod 555 .", "", true, false, "t.txt", "", "t.txt"},
};

class ReplaceStep : public LqTest {
  protected:
    void TearDown() override {
        sh("chmod 755 .");
        LqTest::TearDown();
    }

    // Runs a shell command in the test folder (under Wine: the host's shell).
    int sh(const std::string& cmd) {
        if (cmd.empty()) return 0;
#ifdef _WIN32
        typedef char*(CDECL * UnixName)(const WCHAR*);
        static UnixName unix_name = UnixName(
            (void*)GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name"));
        if (!unix_name) return -1;
        std::wstring wdir(dir().begin(), dir().end());
        char* u = unix_name(wdir.c_str());
        // Wine does not wait for a host process: it leaves its status behind.
        std::string line = "/bin/sh -c \"cd '" + std::string(u) + "' && (" + cmd + "); echo $? >'" +
                           u + ".done'\"";
        HeapFree(GetProcessHeap(), 0, u);
        STARTUPINFOA si = {sizeof si};
        PROCESS_INFORMATION pi;
        if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, 0, 0, nullptr, nullptr, &si, &pi))
            return -1;
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
        std::string done = dir() + ".done";  // beside the folder, which may be read-only
        for (int i = 0; i < 2000 && !exists(done); ++i) Sleep(5);
        std::string code = exists(done) ? read_file(done) : "-1";
        DeleteFileA(done.c_str());
        return std::atoi(code.c_str());
#else
        return std::system(("cd '" + dir() + "' && " + cmd).c_str());
#endif
    }

    // Makes the case's files; returns the handle that holds the file open.
    PfFile prepare(const Case& c) {
        PfFaultPause pause;
        sh("chmod 755 .; rm -f ./*");
        if (c.existed) write_file(path("t.txt"), old_text);
        EXPECT_EQ(sh(c.setup), 0) << c.name;
        return c.locked ? pf_open(path("t.txt").c_str(), PF_ACCESS_READ,
                                  PF_SHARE_READ | PF_SHARE_WRITE, PF_OPEN_EXISTING)
                        : PF_INVALID_FILE;
    }

    // The names in the folder, sorted, separated by blanks.
    std::string names() {
        std::string all;
        for (const std::string& n : list_dir(dir())) all += (all.empty() ? "" : " ") + n;
        return all;
    }

    // Runs the replace step on the case; checks the one thing that must hold
    // whatever failed: the old content or the new, never neither, and no
    // file left that no box names.
    int run(const Case& c) {
        PfFile held = prepare(c);
        lq_boxes_clear();
        int r = lq_replace_file(path(c.saved).c_str(), write_new, nullptr);
        PfFaultPause pause;
        if (held != PF_INVALID_FILE) pf_close(held);
        std::string got = exists(path(c.saved)) ? read_file(path(c.saved)) : "(missing)";
        EXPECT_TRUE(got == (r == 0      ? new_text
                            : c.existed ? old_text
                                        : "(missing)"))
            << c.name << ": " << got.substr(0, 12);
        EXPECT_TRUE(r == 0 || r == -1) << r;
        EXPECT_EQ(szMessageBuffer[0] != 0, r != 0) << c.name;
        EXPECT_TRUE(!c.also[0] || read_file(path(c.also)) == got) << c.name;
        // A file left behind is named in a box of its own.
        size_t strays = 0, named = 0;
        for (const std::string& n : list_dir(dir())) strays += !std::strstr(c.files, n.c_str());
        for (const RecordedBox& b : lq_boxes())
            named += b.text.find("could NOT be removed") != std::string::npos;
        EXPECT_LE(strays, named) << c.name << ": " << names();
        return r;
    }
};

TEST_F(ReplaceStep, SavesEveryKindOfTargetKeepingItsIdentity) {
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!std::strcmp(c.setup, "chmod 555 .")) {
            // Where the system lets this user create files in a folder
            // without write permission, the case cannot be made.
            prepare(c);
            PfFaultPause pause;
            PfFile f =
                pf_open(path("probe").c_str(), PF_ACCESS_WRITE, PF_SHARE_NONE, PF_CREATE_NEW);
            if (f != PF_INVALID_FILE) {
                pf_close(f);
                std::printf("skipped \"%s\": this user creates files anywhere\n", c.name);
                continue;
            }
        }
        ASSERT_EQ(run(c), 0) << szMessageBuffer << lq_boxes_dump();
        EXPECT_EQ(names(), c.files);
        EXPECT_TRUE(lq_boxes().empty()) << lq_boxes_dump();
        uint32_t attributes = pf_get_attributes(path("t.txt").c_str());
        EXPECT_EQ(attributes & PF_ATTR_READONLY, std::strstr(c.setup, "444") ? 1u : 0u);
#ifdef _WIN32
        if (c.check == keeps_mode_and_owner) continue;  // the system's own ACL business
#endif
        EXPECT_EQ(sh(c.check), 0) << c.check;
    }
}

// A fault at each platform call of the save, in each kind of save.
TEST_F(ReplaceStep, AFaultAnywhereLeavesTheOldFileOrTheNewOne) {
    int failures = 0;
    for (const Case* c : {&cases[0], &cases[2], &cases[4], &cases[5]}) {
        pf_fault_reset();
        run(*c);
        int calls[PF_FAULT_COUNT_];
        for (int op = 0; op < PF_FAULT_COUNT_; ++op) calls[op] = pf_fault_calls(PfFaultOp(op));
        for (int op = 0; op < PF_FAULT_COUNT_; ++op) {
            for (int n = 1; n <= calls[op]; ++n) {
                SCOPED_TRACE(std::string(c->name) + ": op " + std::to_string(op) + " call " +
                             std::to_string(n));
                pf_fault_reset();
                pf_fault_arm(PfFaultOp(op), n);
                failures += run(*c) != 0;
                pf_fault_reset();
            }
        }
    }
    EXPECT_GT(failures, 20);
}

}  // namespace
