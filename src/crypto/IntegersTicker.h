#pragma once
// The tick source behind the progress check of unit Integers: a flag raised every
// TickIntervalMs while started, which TakeTick reports and clears.
//
// Windows: a periodic kernel waitable timer with automatic reset. The kernel "ticks";
// TakeTick is a zero-timeout wait that reports and clears the signal in one step. No code
// of the library ever runs on another thread for it, so StopTicker (called from the
// library's unload sequence, possibly under the loader lock) only cancels and closes the
// timer: nothing to wait for, nothing left running after the module is unmapped, and it is
// equally safe during process exit when other threads have already been killed.
//
// Elsewhere: a small thread that raises an atomic flag every TickIntervalMs; StopTicker
// wakes and joins it (no loader lock exists there).

namespace mivex::hit {

void StartTicker();
void StopTicker();
bool TakeTick();

}  // namespace mivex::hit
