// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/qt/panel_widgets.h"

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUiLoader>
#include <QWidget>

#include "ui/panel_file.h"
#include "ui/qt/field_setup.h"

namespace ruvuvuri::ui::qt {

constexpr const char* kRemedy =
    "; restore the panel file that came with the program or reinstall it";

std::unique_ptr<PanelWidgets> BuildPanel(const QString& file, int panel_id,
                                         const CallbackTable& callbacks, std::string* error) {
    const std::string file_name = file.toStdString();
    PanelFile layout;
    try {
        layout = LoadPanelFile(file_name, panel_id, callbacks);
    } catch (const PanelFileError& refused) {
        *error = refused.what();
        return nullptr;
    }

    // The file has passed the check; what can still fail is the file changing
    // in between or the loader disagreeing with the reader.
    QFile source(file);
    if (!source.open(QIODevice::ReadOnly)) {
        *error = "cannot open the panel file " + file_name + " (" +
                 source.errorString().toStdString() + ")" + kRemedy;
        return nullptr;
    }
    auto panel = std::make_unique<PanelWidgets>();
    // The loader reports XML and class problems through qWarning as well as
    // through errorString(); the engine must stay silent, so those lines are
    // dropped while the file loads.
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    QUiLoader loader;
    // Icons and other files named in the panel file are relative to it.
    loader.setWorkingDirectory(QFileInfo(file).absoluteDir());
    panel->window.reset(loader.load(&source));
    qInstallMessageHandler(previous);
    if (panel->window == nullptr) {
        *error = "cannot read the panel file " + file_name + " (" +
                 loader.errorString().toStdString() + ")" + kRemedy;
        return nullptr;
    }
    const auto built = [&](const std::string& name, const std::string& widget_class) -> QWidget* {
        auto* widget = panel->window->findChild<QWidget*>(QString::fromStdString(name));
        if (widget == nullptr || widget_class != widget->metaObject()->className()) {
            *error = "the Qt loader did not build " + name + " (a " + widget_class +
                     ") from the panel file " + file_name + kRemedy;
            return nullptr;
        }
        return widget;
    };
    for (const PanelFileControl& control : layout.controls) {
        QWidget* widget = built(control.name, control.widget_class);
        if (widget == nullptr) {
            return nullptr;
        }
        panel->controls[control.id] = widget;
    }
    for (const PanelFileButton& button : layout.buttons) {
        if (button.callback.empty()) {
            continue;
        }
        auto* widget = qobject_cast<QAbstractButton*>(built(button.name, "QPushButton"));
        if (widget == nullptr) {
            return nullptr;
        }
        panel->buttons.push_back({widget, *FindCallback(callbacks, button.callback)});
    }
    PrepareFields(panel->controls, layout);
    return panel;
}

}  // namespace ruvuvuri::ui::qt
