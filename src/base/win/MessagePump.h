#pragma once
#include <windows.h>

namespace mivex::win {

// Takes every pending message of the calling thread off its queue, translates and
// dispatches it, and returns when the queue is empty.
void ProcessMessages();

// Waits `milliseconds` while keeping the calling thread's windows responsive.
void SleepPumping(DWORD milliseconds);

// Waits for `handle` (up to `milliseconds`, INFINITE allowed) while pumping messages.
// Returns true when the handle was signalled.
bool WaitPumping(HANDLE handle, DWORD milliseconds);

}  // namespace mivex::win
