// SPDX-License-Identifier: GPL-2.0-or-later
#include "hw/backends/winnt_native.h"

#include <cstdio>
#include <cstring>

namespace ruvuvuri::hw::nt {
namespace {

// Not in the public headers: the information class that raises the I/O
// privilege level of the process to 3.
constexpr ULONG kProcessUserModeIopl = 16;
constexpr ULONG kViewShare = 1;
constexpr ACCESS_MASK kSectionMapRead = 0x0004;
constexpr ULONG kObjCaseInsensitive = 0x40;
constexpr long kStatusProcedureNotFound = static_cast<long>(0xC000007A);

struct CountedWideString {
    USHORT length;
    USHORT maximum_length;
    const wchar_t* buffer;
};

struct ObjectAttributes {
    ULONG length;
    HANDLE root;
    const CountedWideString* name;
    ULONG attributes;
    void* security_descriptor;
    void* security_quality_of_service;
};

using NtOpenSectionFn = long(NTAPI*)(HANDLE*, ACCESS_MASK, const ObjectAttributes*);
using NtMapViewOfSectionFn = long(NTAPI*)(HANDLE, HANDLE, void**, ULONG_PTR, SIZE_T, LARGE_INTEGER*,
                                          SIZE_T*, ULONG, ULONG, ULONG);
using NtUnmapViewOfSectionFn = long(NTAPI*)(HANDLE, void*);
using NtSetInformationProcessFn = long(NTAPI*)(HANDLE, ULONG, void*, ULONG);

}  // namespace

std::string StatusText(long status) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lx", static_cast<unsigned long>(status));
    return text;
}

HANDLE OpenPhysicalMemory(long* status) {
    const auto open = Lookup<NtOpenSectionFn>("ntdll.dll", "NtOpenSection");
    if (open == nullptr) {
        *status = kStatusProcedureNotFound;
        return nullptr;
    }
    static const wchar_t kName[] = L"\\Device\\PhysicalMemory";
    const CountedWideString name{static_cast<USHORT>(sizeof kName - sizeof(wchar_t)),
                                 static_cast<USHORT>(sizeof kName), kName};
    const ObjectAttributes attributes{sizeof(ObjectAttributes), nullptr, &name,
                                      kObjCaseInsensitive,      nullptr, nullptr};
    HANDLE section = nullptr;
    *status = open(&section, kSectionMapRead, &attributes);
    return *status == kStatusSuccess ? section : nullptr;
}

bool ReadPhysical(HANDLE section, std::uint32_t address, std::span<std::uint8_t> dest) {
    const auto map = Lookup<NtMapViewOfSectionFn>("ntdll.dll", "NtMapViewOfSection");
    const auto unmap = Lookup<NtUnmapViewOfSectionFn>("ntdll.dll", "NtUnmapViewOfSection");
    if (section == nullptr || map == nullptr || unmap == nullptr) {
        return false;
    }
    SYSTEM_INFO system{};
    GetSystemInfo(&system);
    // The call rounds the offset down to the allocation granularity; map from
    // there and read from the right place in the view.
    const std::uint32_t granularity = system.dwAllocationGranularity;
    const std::uint32_t start = address - address % granularity;
    LARGE_INTEGER offset{};
    offset.QuadPart = start;
    SIZE_T size = (address - start) + dest.size();
    void* view = nullptr;
    if (map(section, GetCurrentProcess(), &view, 0, 0, &offset, &size, kViewShare, 0,
            PAGE_READONLY) != kStatusSuccess) {
        return false;
    }
    const auto base = static_cast<std::uint64_t>(offset.QuadPart);
    const bool inside = base <= address && address - base + dest.size() <= size;
    if (inside) {
        std::memcpy(dest.data(), static_cast<const char*>(view) + (address - base), dest.size());
    }
    unmap(GetCurrentProcess(), view);
    return inside;
}

long RequestUserModeIopl() {
    const auto set = Lookup<NtSetInformationProcessFn>("ntdll.dll", "NtSetInformationProcess");
    if (set == nullptr) {
        return kStatusProcedureNotFound;
    }
    return set(GetCurrentProcess(), kProcessUserModeIopl, nullptr, 0);
}

}  // namespace ruvuvuri::hw::nt
