// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <csignal>

namespace ruvuvuri::test {

// How often CountDelivery has run; a test resets it before raising a signal.
volatile std::sig_atomic_t& Deliveries();
// A signal handler that only counts.
void CountDelivery(int signal);

// The calling thread's signal mask, and whether two masks block the same signals.
sigset_t CurrentMask();
bool SameMask(const sigset_t& a, const sigset_t& b);

}  // namespace ruvuvuri::test
