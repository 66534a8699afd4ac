#pragma once

// The saved signal state of a SignalBlock, per platform. POSIX threads have a
// signal mask; Windows delivers no asynchronous signal into a running thread
// (console events arrive on a thread of their own), so there is nothing to save.
#if defined(_WIN32)
namespace ruvuvuri::hw {
struct SavedSignalMask {};
}  // namespace ruvuvuri::hw
#else
#include <csignal>
namespace ruvuvuri::hw {
using SavedSignalMask = sigset_t;
}  // namespace ruvuvuri::hw
#endif
