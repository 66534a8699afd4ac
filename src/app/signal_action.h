#pragma once

// What StopSignals saves of a signal's previous disposition, per platform.
#if defined(_WIN32)
namespace ruvuvuri::app {
struct SavedSignalAction {};
}  // namespace ruvuvuri::app
#else
#include <csignal>
namespace ruvuvuri::app {
using SavedSignalAction = struct sigaction;
}  // namespace ruvuvuri::app
#endif
