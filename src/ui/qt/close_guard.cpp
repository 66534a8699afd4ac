// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/qt/close_guard.h"

#include <QCloseEvent>

namespace ruvuvuri::ui::qt {

CloseGuard::CloseGuard(QObject* parent, std::function<bool()> on_close)
    : QObject(parent), on_close_(std::move(on_close)) {}

bool CloseGuard::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parent() && event->type() == QEvent::Close) {
        if (on_close_()) {
            event->accept();
        } else {
            event->ignore();
        }
        return true;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace ruvuvuri::ui::qt
