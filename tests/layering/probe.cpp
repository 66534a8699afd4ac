// SPDX-License-Identifier: GPL-2.0-or-later
// Compiled once per case of tests/layering/CMakeLists.txt, against one layer's
// library, with the header that layer may or may not see.
#include RUVUVURI_PROBE_HEADER

int RuvuvuriLayeringProbe() {
    return 0;
}
