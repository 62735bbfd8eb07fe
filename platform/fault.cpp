#include "platform/fault.h"

namespace {
struct Arm {
    int countdown;  // 0: not armed
    uint32_t error;
    bool sticky;
    bool firing;
};
Arm arms[PF_FAULT_COUNT_];
int calls[PF_FAULT_COUNT_];
PfWriteObserver write_observer;
int paused;
}  // namespace

void pf_fault_arm(PfFaultOp op, int n, uint32_t error, bool sticky) {
    arms[op] = Arm{n < 1 ? 1 : n, error, sticky, false};
}

void pf_fault_reset() {
    for (int i = 0; i < PF_FAULT_COUNT_; ++i) {
        arms[i] = Arm{0, 0, false, false};
        calls[i] = 0;
    }
    write_observer = nullptr;
}

int pf_fault_calls(PfFaultOp op) { return calls[op]; }

PfFaultPause::PfFaultPause() { ++paused; }
PfFaultPause::~PfFaultPause() { --paused; }

bool pf_fault_hit(PfFaultOp op) {
    if (paused) return false;
    ++calls[op];
    Arm& a = arms[op];
    if (a.firing) {
        pf_set_last_error(a.error);
        return true;
    }
    if (a.countdown == 0) return false;
    if (--a.countdown > 0) return false;
    if (a.sticky) a.firing = true;
    pf_set_last_error(a.error);
    return true;
}

void pf_set_write_observer(PfWriteObserver observer) { write_observer = observer; }

void pf_observe_write(PfFile f, const void* data, uint32_t n) {
    if (write_observer && !paused) write_observer(f, pf_seek(f, 0, PF_SEEK_CUR), data, n);
}
