// The save's replace step on both twins (natively, and under Wine on the
// Windows build): every kind of target, and a fault at every platform call.
#include "fileops/replace_file.h"

#include <cstring>

#include "tests/support/lq_test.h"

namespace {

const std::string old_text = "old text\r\n" + std::string(70000, 'o');
const std::string new_text = "new text\r\n" + std::string(81911, 'n');  // 5 copy chunks and 1 byte

// Writes new_text in three pieces (three write calls to fail).
int write_new(PfFile f, void*) {
    for (size_t at = 0, n; at < new_text.size(); at += n)
        if (pf_write(f, &new_text[at], n = std::min<size_t>(40000, new_text.size() - at)) != int(n))
            return lq_message_format(" test writer failed"), -1;
    return 0;
}

// setup, check: host commands in the folder before and (to succeed) after the
// save; saved: the name saved to; files: the folder afterwards, each name with
// the saved content.  Locked: held open elsewhere without delete sharing;
// swept: a fault is made at each platform call of the save.
enum { existed = 1, locked = 2, swept = 4 };
const char keeps_mode_and_owner[] =
    "[ $(stat -c %a t.txt) = 404 ] && { [ $(id -u) != 0 ] || [ $(stat -c %u t.txt) = 65534 ]; }";
const struct Case {
    const char *name, *setup, *check;
    int flags;
    const char *saved, *files;
} cases[] = {
    {"new file", "", "", swept, "t.txt", "t.txt"},
    {"plain", "", "", existed, "t.txt", "t.txt"},
    {"read-only, another owner", "chmod 404 t.txt; chown 65534 t.txt 2>/dev/null; true",
     keeps_mode_and_owner, existed | swept, "t.txt", "t.txt"},
    {"symlink", "ln -s t.txt l.txt", "test -L l.txt", existed, "l.txt", "l.txt t.txt"},
    {"hard link", "ln t.txt h.txt", "", existed | swept, "t.txt", "h.txt t.txt"},
    {"open elsewhere", "", "", existed | locked | swept, "t.txt", "t.txt"},
    {"no new files in the folder", "chmod 555 .", "", existed, "t.txt", "t.txt"},
};

class ReplaceStep : public LqTest {
  protected:
    // Saves over the case's files; checks what must hold whatever failed: the
    // old content or the new, never neither, under every name, the failure's
    // text, and no file left that no box names.  names: the folder afterwards.
    int run(const Case& c, std::string* names = nullptr) {
        PfFile held = PF_INVALID_FILE;
        {
            PfFaultPause pause;
            sh("chmod 755 .; rm -f ./*");
            if (c.flags & existed) write_file(path("t.txt"), old_text);
            EXPECT_EQ(sh(c.setup), 0) << c.name;
            if (c.flags & locked)
                held = pf_open(path("t.txt").c_str(), PF_ACCESS_READ,
                               PF_SHARE_READ | PF_SHARE_WRITE, PF_OPEN_EXISTING);
        }
        lq_boxes_clear();
        int r = lq_replace_file(path(c.saved).c_str(), write_new, nullptr);
        PfFaultPause pause;
        if (held != PF_INVALID_FILE) pf_close(held);
        std::string want = r == 0 ? new_text : c.flags & existed ? old_text : "", all;
        EXPECT_TRUE(r == 0 || (r == -1 && szMessageBuffer[0])) << r;
        size_t strays = 0, named = 0;
        for (const std::string& n : list_dir(dir())) {
            all += (all.empty() ? "" : " ") + n;
            if (!std::strstr(c.files, n.c_str()))
                ++strays;
            else
                EXPECT_TRUE(read_file(path(n)) == want)
                    << n << ": " << read_file(path(n)).substr(0, 12);
        }
        EXPECT_EQ(exists(path(c.saved)), r == 0 || (c.flags & existed));
        for (const RecordedBox& b : lq_boxes())
            named += b.text.find("could NOT be removed") != std::string::npos;
        EXPECT_LE(strays, named) << c.name << ": " << all;
        if (names) *names = all;
        return r;
    }
};

TEST_F(ReplaceStep, SavesEveryKindOfTargetAndSurvivesAFaultAnywhere) {
    int failures = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // A user who may create files in a folder without write permission
        // (root) cannot have that case made.
        if (c.setup == cases[6].setup && !sh("chmod 555 . && touch p 2>/dev/null && rm p")) {
            std::printf("skipped \"%s\": this user creates files anywhere\n", c.name);
            continue;
        }
        pf_fault_reset();
        std::string names;
        ASSERT_EQ(run(c, &names), 0) << szMessageBuffer << lq_boxes_dump();
        EXPECT_EQ(names, c.files);
        EXPECT_TRUE(lq_boxes().empty()) << lq_boxes_dump();
        EXPECT_EQ(pf_get_attributes(path("t.txt").c_str()) & PF_ATTR_READONLY,
                  std::strstr(c.setup, "404") ? 1u : 0u);
#ifdef _WIN32
        if (c.check != keeps_mode_and_owner)  // the mode: the system's own ACL business
#endif
            EXPECT_EQ(sh(c.check), 0) << c.check;
        // The first write and flush are the new content's: a save that does not
        // see them fail reports a copy that may not be on the medium.
        int calls[PF_FAULT_COUNT_];
        for (int op = 0; op < PF_FAULT_COUNT_; ++op) calls[op] = pf_fault_calls(PfFaultOp(op));
        for (int op = 0; op < PF_FAULT_COUNT_ && (c.flags & swept); ++op) {
            for (int n = 1; n <= calls[op]; ++n) {
                SCOPED_TRACE("op " + std::to_string(op) + " call " + std::to_string(n));
                pf_fault_reset();
                pf_fault_arm(PfFaultOp(op), n);
                int r = run(c);
                failures += r != 0;
                EXPECT_TRUE(r != 0 || n > 1 || (op != PF_FAULT_WRITE && op != PF_FAULT_FLUSH));
            }
        }
    }
    EXPECT_GT(failures, 20);
}

}  // namespace
