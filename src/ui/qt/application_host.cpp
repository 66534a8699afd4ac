// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/qt/application_host.h"

#include <QApplication>

#include "ui/qt/display_probe.h"

namespace ruvuvuri::ui::qt {

ApplicationHost::ApplicationHost() = default;

ApplicationHost::~ApplicationHost() = default;

std::unique_ptr<ApplicationHost> ApplicationHost::Start(std::string* error) {
    if (!DisplayAvailable(error)) {
        return nullptr;
    }
    std::unique_ptr<ApplicationHost> host(new ApplicationHost());
    host->application_ = std::make_unique<QApplication>(host->argc_, host->argv_);
    QApplication::setApplicationName(QStringLiteral("Ruvuvuri"));
    return host;
}

}  // namespace ruvuvuri::ui::qt
