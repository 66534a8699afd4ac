// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string>

namespace ruvuvuri::hw {

// One-line messages for the ways opening the Linux hardware backend can fail,
// each naming the cause and what the user can do about it. `error` is the errno
// of the failed call.
std::string DescribePortAccessFailure(int error);
std::string DescribeMemoryDeviceFailure(int error);
std::string DescribeNotX86();

}  // namespace ruvuvuri::hw
