# SPDX-License-Identifier: GPL-2.0-or-later
# The test vehicle: 64-bit Windows programs run under wine64. The posix thread
# model, because GoogleTest needs std::mutex and std::thread.
set(RUVUVURI_MINGW_TARGET x86_64)
set(RUVUVURI_MINGW_THREADS posix)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
# wine64 itself, not the wrapper script, which would start a 32-bit wine too.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
