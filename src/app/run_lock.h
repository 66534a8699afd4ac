#pragma once

#include <chrono>
#include <string>

namespace ruvuvuri::app {

inline constexpr const char* kDefaultRunLockPath = "/run/lock/ruvuvuri.lock";

// Serialises runs on the real card: two programs interleaving their register
// window sequences would corrupt each other's accesses. Holding the object
// holds an exclusive flock on the lock file; it is released on destruction (or
// by the kernel when the process ends, however it ends).
//
// A run that finds the lock taken waits up to `wait`, trying again every
// `poll_interval`, then throws hw::PlatformError.
class RunLock {
  public:
    explicit RunLock(const std::string& path = kDefaultRunLockPath,
                     std::chrono::milliseconds wait = std::chrono::seconds(5),
                     std::chrono::milliseconds poll_interval = std::chrono::milliseconds(50));
    ~RunLock();

    RunLock(const RunLock&) = delete;
    RunLock& operator=(const RunLock&) = delete;

  private:
    int fd_ = -1;
};

}  // namespace ruvuvuri::app
