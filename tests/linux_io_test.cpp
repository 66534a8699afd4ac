// SPDX-License-Identifier: GPL-2.0-or-later
#include "hw/backends/linux_io.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <string>

namespace ruvuvuri::hw {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

// Where the ports or /dev/mem cannot be had (containers, virtual machines,
// ordinary users), opening fails with a message, never a crash. On a machine
// where it succeeds there is nothing to check here.
TEST(OpenLinuxIo, FailureIsAPlatformErrorNamingCauseAndRemedy) {
    try {
        auto io = OpenLinuxIo();
        GTEST_SKIP() << "this machine grants port access and /dev/mem";
    } catch (const PlatformError& error) {
        const std::string message = error.what();
        EXPECT_THAT(message, HasSubstr("cannot "));
        EXPECT_THAT(message, Not(HasSubstr("ruvuvuri: ")));
        EXPECT_THAT(message, Not(HasSubstr("\n")));
#if defined(__x86_64__) || defined(__i386__)
        EXPECT_THAT(message, ::testing::AnyOf(HasSubstr("ioperm"), HasSubstr("/dev/mem")));
        EXPECT_THAT(message, HasSubstr("root"));
#else
        EXPECT_THAT(message, HasSubstr("not an x86 machine"));
#endif
    }
}

struct MessageCase {
    const char* name;
    std::string message;
    std::vector<std::string> must_contain;
};

TEST(LinuxIoMessages, EachCauseHasItsRemedy) {
    const MessageCase cases[] = {
        {"ioperm EPERM",
         DescribePortAccessFailure(EPERM),
         {"cannot access the VGA I/O ports (ioperm: Operation not permitted); run as root or grant "
          "CAP_SYS_RAWIO"}},
        {"ioperm ENOSYS",
         DescribePortAccessFailure(ENOSYS),
         {"ioperm: Function not implemented", "does not offer port access to user space",
          "container", "machine with the card", "as root"}},
        {"ioperm other", DescribePortAccessFailure(EINVAL), {"ioperm: Invalid argument", "root"}},
        {"/dev/mem missing",
         DescribeMemoryDeviceFailure(ENOENT),
         {"/dev/mem: No such file or directory", "CONFIG_DEVMEM", "real machine", "root"}},
        {"/dev/mem EACCES",
         DescribeMemoryDeviceFailure(EACCES),
         {"/dev/mem: Permission denied", "run as root or grant CAP_SYS_RAWIO"}},
        {"/dev/mem EPERM",
         DescribeMemoryDeviceFailure(EPERM),
         {"/dev/mem: Operation not permitted", "run as root", "lockdown"}},
        {"not x86", DescribeNotX86(), {"not an x86 machine", "x86 PC"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_THAT(c.message, Not(HasSubstr("\n")));
        EXPECT_THAT(c.message, Not(HasSubstr("ruvuvuri: ")));
        for (const auto& part : c.must_contain) {
            EXPECT_THAT(c.message, HasSubstr(part));
        }
    }
}

}  // namespace
}  // namespace ruvuvuri::hw
