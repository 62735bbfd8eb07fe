// The save's replace step on both twins (natively, and under Wine on the
// Windows build): every kind of target, and a fault at every platform call.
#include "fileops/replace_file.h"

#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "tests/support/lq_test.h"

namespace {

const std::string old_text = "old text\r\n" + std::string(70000, 'o');
const std::string new_text = "new text\r\n" + std::string(90000, 'n');

// Writes new_text in three pieces (three write calls to fail).
int write_new(PfFile f, void*) {
    for (size_t at = 0; at < new_text.size(); at += 40000) {
        uint32_t n = uint32_t(std::min<size_t>(40000, new_text.size() - at));
        if (pf_write(f, new_text.data() + at, n) != int32_t(n)) {
            lq_message_format(" test writer failed");
            return -1;
        }
    }
    return 0;
}

struct Case {
    const char* name;
    const char* setup;  // shell command run in the test folder, or ""
    bool existed;
    bool locked;        // held open elsewhere without delete sharing
    const char* saved;  // the name saved to
    const char* also;   // another name that must show the new content, or ""
    const char* files;  // every name in the folder afterwards
};

const Case cases[] = {
    {"new file", "", false, false, "t.txt", "", "t.txt"},
    {"plain", "", true, false, "t.txt", "", "t.txt"},
    {"read-only", "chmod 444 t.txt", true, false, "t.txt", "", "t.txt"},
    {"symlink", "ln -s t.txt l.txt", true, false, "l.txt", "t.txt", "l.txt t.txt"},
    {"hard link", "ln t.txt h.txt", true, false, "t.txt", "h.txt", "h.txt t.txt"},
    {"open elsewhere", "", true, true, "t.txt", "", "t.txt"},
    {"no new files in the folder", "chmod 555 .", true, false, "t.txt", "", "t.txt"},
};

class ReplaceFile : public LqTest {
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
        static UnixName unix_name =
            UnixName(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name"));
        if (!unix_name) return -1;
        std::wstring wdir(dir().begin(), dir().end());
        char* u = unix_name(wdir.c_str());
        std::string line = "/bin/sh -c \"cd '" + std::string(u) + "' && " + cmd + "\"";
        HeapFree(GetProcessHeap(), 0, u);
        STARTUPINFOA si = {sizeof si};
        PROCESS_INFORMATION pi;
        if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                            &pi))
            return -1;
        WaitForSingleObject(pi.hProcess, INFINITE);
        DWORD code = 1;
        GetExitCodeProcess(pi.hProcess, &code);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
        return int(code);
#else
        return std::system(("cd '" + dir() + "' && " + cmd).c_str());
#endif
    }

    // Where the system lets this user create files in a folder without
    // write permission, the case cannot be made.
    bool permissions_bind() {
        std::string probe = path("probe");
        PfFaultPause pause;
        PfFile f = pf_open(probe.c_str(), PF_ACCESS_WRITE, PF_SHARE_NONE, PF_CREATE_NEW);
        if (f == PF_INVALID_FILE) return true;
        pf_close(f);
        pf_delete(probe.c_str());
        return false;
    }

    // Makes the case's files; returns the handle that holds the file open.
    PfFile prepare(const Case& c) {
        PfFaultPause pause;
        sh("chmod 755 .; rm -f ./*");
        if (c.existed) write_file(path("t.txt"), old_text);
        EXPECT_EQ(sh(c.setup), 0) << c.name;
        if (!c.locked) return PF_INVALID_FILE;
        return pf_open(path("t.txt").c_str(), PF_ACCESS_READ, PF_SHARE_READ | PF_SHARE_WRITE,
                       PF_OPEN_EXISTING);
    }

    // The names in the folder, sorted, separated by blanks.
    std::string names() {
        PfFaultPause pause;
        std::string all;
        for (const std::string& n : list_dir(dir())) all += (all.empty() ? "" : " ") + n;
        return all;
    }

    // Reads name's content past the fault injector.
    std::string content(const char* name) {
        PfFaultPause pause;
        return exists(path(name)) ? read_file(path(name)) : std::string("(missing)");
    }

    // Runs the replace step on the case; checks the one thing that must hold
    // whatever failed: the old content or the new, never neither, and no
    // file left that no box names.
    int run(const Case& c) {
        PfFile held = prepare(c);
        lq_boxes_clear();
        int r = lq_replace_file(path(c.saved).c_str(), write_new, nullptr);
        {
            PfFaultPause pause;
            if (held != PF_INVALID_FILE) pf_close(held);
        }
        std::string got = content(c.saved);
        if (r == 0) {
            EXPECT_EQ(got, new_text) << c.name;
            EXPECT_EQ(szMessageBuffer[0], 0) << c.name;
        } else {
            EXPECT_EQ(r, -1);
            EXPECT_EQ(got, c.existed ? old_text : "(missing)") << c.name;
            EXPECT_NE(szMessageBuffer[0], 0) << c.name;
        }
        if (c.also[0]) {
            EXPECT_EQ(content(c.also), got) << c.name;
        }
        std::string left = names();
        if (left != c.files) {
            std::string boxes = lq_boxes_dump();
            for (const std::string& n : list_dir(dir()))
                if (!std::strstr(c.files, n.c_str())) {
                    EXPECT_NE(boxes.find(n), std::string::npos) << c.name << ": " << n << " left";
                }
        }
        return r;
    }
};

TEST_F(ReplaceFile, SavesEveryKindOfTargetKeepingItsIdentity) {
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!std::strcmp(c.name, "no new files in the folder")) {
            prepare(c);
            if (!permissions_bind()) {
                std::printf("skipped \"%s\": this user creates files anywhere\n", c.name);
                continue;
            }
        }
        ASSERT_EQ(run(c), 0) << szMessageBuffer << lq_boxes_dump();
        EXPECT_EQ(names(), c.files);
        EXPECT_TRUE(lq_boxes().empty()) << lq_boxes_dump();
        uint32_t attributes = pf_get_attributes(path("t.txt").c_str());
        EXPECT_EQ(attributes & PF_ATTR_READONLY, std::strstr(c.setup, "444") ? 1u : 0u);
#ifndef _WIN32
        struct stat st;
        ASSERT_EQ(lstat(path(c.saved).c_str(), &st), 0);
        EXPECT_EQ(S_ISLNK(st.st_mode), !std::strcmp(c.name, "symlink"));
#endif
    }
}

#ifndef _WIN32
TEST_F(ReplaceFile, KeepsModeAndOwner) {
    write_file(path("t.txt"), old_text);
    ASSERT_EQ(chmod(path("t.txt").c_str(), 0604), 0);
    bool root = geteuid() == 0;
    if (root) {
        ASSERT_EQ(chown(path("t.txt").c_str(), 65534, 65534), 0);
    }
    ASSERT_EQ(lq_replace_file(path("t.txt").c_str(), write_new, nullptr), 0) << szMessageBuffer;
    struct stat st;
    ASSERT_EQ(stat(path("t.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0604u);
    EXPECT_EQ(st.st_uid, root ? 65534u : geteuid());
}
#endif

// A fault at each platform call of the save, in each kind of save.
TEST_F(ReplaceFile, AFaultAnywhereLeavesTheOldFileOrTheNewOne) {
    const Case* kinds[] = {&cases[0], &cases[2], &cases[4], &cases[5]};
    int failures = 0;
    for (const Case* c : kinds) {
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
