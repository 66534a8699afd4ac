// SPDX-License-Identifier: GPL-2.0-or-later
#include <sys/stat.h>

// libstdc++'s file streams call msvcrt's _fstat64, which the msvcrt.dll of
// Windows 98 SE lacks, so a program importing it does not load there. The
// product supplies that import itself, over _fstati64, which every msvcrt.dll
// has: the same facts with 32-bit times.
namespace {

int __cdecl Fstat64OverFstati64(int descriptor, struct _stat64* info) {
    struct _stat32i64 narrow {};
    const int result = _fstat32i64(descriptor, &narrow);
    if (result == 0) {
        info->st_dev = narrow.st_dev;
        info->st_ino = narrow.st_ino;
        info->st_mode = narrow.st_mode;
        info->st_nlink = narrow.st_nlink;
        info->st_uid = narrow.st_uid;
        info->st_gid = narrow.st_gid;
        info->st_rdev = narrow.st_rdev;
        info->st_size = narrow.st_size;
        info->st_atime = narrow.st_atime;
        info->st_mtime = narrow.st_mtime;
        info->st_ctime = narrow.st_ctime;
    }
    return result;
}

}  // namespace

// The import slot the linker would otherwise fill from msvcrt.dll.
extern "C" {
int(__cdecl* ruvuvuri_fstat64_import)(int,
                                      struct _stat64*) asm("__imp___fstat64") = Fstat64OverFstati64;
}
