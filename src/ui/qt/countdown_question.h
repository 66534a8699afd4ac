// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string>

class QWidget;
class QString;

namespace ruvuvuri::ui::qt {

// A modal question with Keep and Revert buttons whose text counts down the
// seconds left (UiEngine::TimedConfirmPopup). Revert is the default button
// and what Escape and the close box press. True only when Keep is pressed
// within the time and before `cancel_fd` (-1 for none) becomes readable.
bool AskWithCountdown(QWidget* parent, const QString& title, const std::string& message_format,
                      int seconds, int cancel_fd);

}  // namespace ruvuvuri::ui::qt
