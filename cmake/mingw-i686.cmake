# SPDX-License-Identifier: GPL-2.0-or-later
# The product: 32-bit Windows (98 SE/ME, 2000, XP), Debian's mingw-w64 with the
# win32 thread model, whose runtime imports nothing those systems lack.
set(RUVUVURI_MINGW_TARGET i686)
set(RUVUVURI_MINGW_THREADS win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
