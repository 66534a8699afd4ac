// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <functional>

#include <QObject>

namespace ruvuvuri::ui::qt {

// Turns the window's close box into a call: the window stays open unless the
// handler accepts the close, so closing behaves exactly like the exit button.
class CloseGuard : public QObject {
  public:
    // `on_close` returns true to let the window close.
    CloseGuard(QObject* parent, std::function<bool()> on_close);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    std::function<bool()> on_close_;
};

}  // namespace ruvuvuri::ui::qt
