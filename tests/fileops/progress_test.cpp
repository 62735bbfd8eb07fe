#include <vector>

#include "fileops/progress.h"
#include "tests/support/lq_test.h"

namespace {

struct Event {
    char kind;  // o(pen) p(aint) c(lose)
    std::string percent;
};
std::vector<Event> events;
bool refuse_open;

intptr_t fake_open() {
    if (refuse_open) return 0;
    events.push_back({'o', szProgressPercent});
    return 42;
}
void fake_paint(intptr_t w) {
    EXPECT_EQ(w, 42);
    events.push_back({'p', szProgressPercent});
}
void fake_close(intptr_t) { events.push_back({'c', szProgressPercent}); }
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
    EXPECT_EQ(events[1].kind, 'p');
    EXPECT_EQ(events[1].percent, " 12% completed ");  // a preset percentage stays
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
    EXPECT_EQ(events[4].percent, " 0% completed ");
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
