// SPDX-License-Identifier: GPL-2.0-or-later
// The reference for process start-up: a plain hello program built with the
// same compiler, flags and linker as ruvuvuri, so the difference between the
// two is what the program itself adds (libraries loaded, initialisers, work).
#include <cstdio>

int main() {
    std::puts("hello");
}
