// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <memory>
#include <string>

#include "ui/ui_engine.h"

namespace ruvuvuri::ui::win32 {

// Window control IDs: a panel control's ID plus kControlIdBase (its up-down
// arrows kArrowsIdBase), the panel file's n-th button kButtonIdBase + n. The
// offsets keep them clear of the
// dialog manager's IDOK and IDCANCEL, which Enter and Escape send.
inline constexpr int kControlIdBase = 1000;
inline constexpr int kButtonIdBase = 2000;
inline constexpr int kArrowsIdBase = 3000;

// The native Windows panel engine: the panel built at run time from the panel
// file as a dialog of native controls in the dialog font, popups as message
// boxes. Callbacks are found by name in `callbacks`.
std::unique_ptr<UiEngine> CreateWin32Engine(const CallbackTable& callbacks);

// Text for the ANSI window functions: valid UTF-8 (the panel file's texts) is
// converted to the system's code page; other bytes (BIOS text) pass as they
// are, so each byte shows as a character.
std::string ToAnsi(const std::string& text);

}  // namespace ruvuvuri::ui::win32
