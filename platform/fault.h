// Fault injection for the platform layer.
//
// Tests make failures happen instead of assuming them: arming an operation
// kind makes its n-th call from now fail (n = 1 is the very next call), as if
// the system had refused it, with the given last-error code.  A write that is
// made to fail transfers nothing.  An observer sees every write before it is
// made.  Production code never arms anything; the checks cost one load each.
#pragma once

#include <cstdint>

#include "platform/platform.h"

enum PfFaultOp {
    PF_FAULT_OPEN,
    PF_FAULT_READ,
    PF_FAULT_WRITE,
    PF_FAULT_SEEK,
    PF_FAULT_TRUNCATE,
    PF_FAULT_FLUSH,
    PF_FAULT_CLOSE,
    PF_FAULT_GETINFO,
    PF_FAULT_SETTIME,
    PF_FAULT_SETATTR,
    PF_FAULT_MOVE,
    PF_FAULT_DELETE,
    PF_FAULT_FIND,
    PF_FAULT_DISKFREE,
    PF_FAULT_ALLOC,
    PF_FAULT_RESOLVE,
    PF_FAULT_REPLACE,
    PF_FAULT_COUNT_
};

// The n-th call of op from now fails with `error`; with `sticky` every call
// from the n-th on fails.
void pf_fault_arm(PfFaultOp op, int n, uint32_t error = PF_ERROR_DISK_FULL, bool sticky = false);
void pf_fault_reset();
// Number of calls of op since the last reset (counted whether armed or not).
int pf_fault_calls(PfFaultOp op);

// While a pause is alive no call is counted, failed or observed (test
// helpers that read and write files behind the code under test use it).
struct PfFaultPause {
    PfFaultPause();
    ~PfFaultPause();
};

// Called by the twins: true when this call must fail; sets the last error.
bool pf_fault_hit(PfFaultOp op);

// Sees every write (handle, position before the write, bytes) before it is
// made.  Null removes it.
typedef void (*PfWriteObserver)(PfFile f, int64_t position, const void* data, uint32_t n);
void pf_set_write_observer(PfWriteObserver observer);
void pf_observe_write(PfFile f, const void* data, uint32_t n);
