// SPDX-License-Identifier: GPL-2.0-or-later
#include "hw/backends/winnt_native.h"
// Needs the types of windows.h.
#include <winternl.h>

#include <cstdio>
#include <cstring>

namespace ruvuvuri::hw::nt {
namespace {

// SECTION_INHERIT's ViewShare, which winternl.h leaves out.
constexpr ULONG kViewShare = 1;
constexpr long kStatusProcedureNotFound = static_cast<long>(0xC000007A);

using NtOpenSectionFn = long(NTAPI*)(HANDLE*, ACCESS_MASK, OBJECT_ATTRIBUTES*);
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
    UNICODE_STRING name{static_cast<USHORT>(sizeof kName - sizeof(wchar_t)),
                        static_cast<USHORT>(sizeof kName), const_cast<PWSTR>(kName)};
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE, nullptr, nullptr);
    HANDLE section = nullptr;
    *status = open(&section, SECTION_MAP_READ, &attributes);
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
    return set(GetCurrentProcess(), ProcessUserModeIOPL, nullptr, 0);
}

}  // namespace ruvuvuri::hw::nt
