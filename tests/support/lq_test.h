// LqTest: each test runs in a fresh temporary folder (also the current
// directory), with every program-wide record reset, the fault injector disarmed
// and every message box recorded instead of shown.  Questions are answered from
// a script (lq_answer_next), else No/Cancel; an OK box with OK.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "fileops/file_services.h"
#include "platform/fault.h"
#include "platform/platform.h"
#include "platform/ui.h"

struct RecordedBox {
    std::string caption, text;
    unsigned style;
};

std::vector<RecordedBox>& lq_boxes();  // every box since the fixture started or the last clear
void lq_boxes_clear();
void lq_answer_next(int answer);  // queues the answer to the next question box
std::string lq_boxes_dump();      // the boxes as readable text, for failure messages
// The boxes as "caption|text|style" lines, folder written as "@"; then clears them.
std::string lq_boxes_text(const std::string& folder);

typedef void (*LqResetFn)();
void lq_register_reset(LqResetFn fn);  // fn resets a subsystem's records in every SetUp

class LqTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // The temporary folder (absolute, the platform's separators); a path in it.
    const std::string& dir() const { return dir_; }
    std::string path(const std::string& name) const;

    // File helpers that bypass the code under test and the fault injector.
    static void write_file(const std::string& p, const std::string& bytes);
    static std::string read_file(const std::string& p);  // "" when missing
    static bool exists(const std::string& p);
    static std::vector<std::string> list_dir(const std::string& d);  // sorted
    static void set_readonly(const std::string& p, bool on);
    int sh(const std::string& cmd) const;  // a host shell command in the folder (Wine too)

    std::string dir_, old_cwd_;
};

std::string lq_artifact_dir();  // for screenshots and logs, under the build tree
std::string lq_source_dir();    // the source tree (for golden files)
std::string lq_random_bytes(size_t n, uint32_t seed);  // deterministic
std::string lq_hex(const std::string& bytes);
std::string lq_unhex(const std::string& hex);  // skips every character but hex digits

#define EXPECT_BOX(i, cap, txt, sty)                                           \
    do {                                                                       \
        ASSERT_GT(lq_boxes().size(), size_t(i)) << lq_boxes_dump();            \
        EXPECT_EQ(lq_boxes()[i].caption, std::string(cap)) << lq_boxes_dump(); \
        EXPECT_EQ(lq_boxes()[i].text, std::string(txt)) << lq_boxes_dump();    \
        EXPECT_EQ(lq_boxes()[i].style, unsigned(sty)) << lq_boxes_dump();      \
    } while (0)
