#include "ui/qt/panel_file.h"

#include <QAbstractButton>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QUiLoader>
#include <QWidget>

#include "ui/panel_ids.h"

namespace ruvuvuri::ui::qt {
namespace {

// The loader reports XML and class problems through qWarning as well as
// through errorString(); the engine must stay silent, so those lines are
// dropped while a file loads.
class SilenceMessages {
  public:
    SilenceMessages()
        : previous_(
              qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {})) {
    }
    ~SilenceMessages() { qInstallMessageHandler(previous_); }
    SilenceMessages(const SilenceMessages&) = delete;
    SilenceMessages& operator=(const SilenceMessages&) = delete;

  private:
    QtMessageHandler previous_;
};

const char* PanelName(int panel_id) {
    return panel_id == PANEL ? "PANEL" : nullptr;
}

// Text controls may be labels (the banner) or read-only line edits.
bool HasClassFor(ControlKind kind, QWidget* widget) {
    switch (kind) {
        case ControlKind::Text:
            return qobject_cast<QLabel*>(widget) != nullptr ||
                   qobject_cast<QLineEdit*>(widget) != nullptr;
        case ControlKind::Integer:
            return qobject_cast<QLineEdit*>(widget) != nullptr;
        case ControlKind::Double:
            return qobject_cast<QDoubleSpinBox*>(widget) != nullptr;
    }
    return false;
}

const char* ExpectedClass(ControlKind kind) {
    switch (kind) {
        case ControlKind::Text:
            return "QLabel or QLineEdit";
        case ControlKind::Integer:
            return "QLineEdit";
        case ControlKind::Double:
            return "QDoubleSpinBox";
    }
    return "";
}

const ControlCallback* FindCallback(const CallbackTable& callbacks, const std::string& name) {
    for (const NamedCallback& entry : callbacks) {
        if (entry.name == name) {
            return &entry.callback;
        }
    }
    return nullptr;
}

}  // namespace

std::unique_ptr<PanelWidgets> BuildPanel(const QString& file, int panel_id,
                                         const CallbackTable& callbacks, std::string* error) {
    const std::string file_name = file.toStdString();
    const char* panel_name = PanelName(panel_id);
    if (panel_name == nullptr) {
        *error = "panel " + std::to_string(panel_id) + " is not defined by this program";
        return nullptr;
    }
    QFile source(file);
    if (!source.open(QIODevice::ReadOnly)) {
        *error = "cannot open the panel file " + file_name + " (" +
                 source.errorString().toStdString() + ")";
        return nullptr;
    }

    auto panel = std::make_unique<PanelWidgets>();
    {
        SilenceMessages quiet;
        QUiLoader loader;
        // Icons and other files named in the panel file are relative to it.
        loader.setWorkingDirectory(QFileInfo(file).absoluteDir());
        panel->window.reset(loader.load(&source));
        if (panel->window == nullptr) {
            *error = "cannot read the panel file " + file_name + " (" +
                     loader.errorString().toStdString() + ")";
            return nullptr;
        }
    }
    if (panel->window->objectName() != QLatin1String(panel_name)) {
        *error = "the panel file " + file_name + " does not hold the panel " + panel_name +
                 " (its top-level widget is named \"" + panel->window->objectName().toStdString() +
                 "\")";
        return nullptr;
    }

    for (const PanelControl& control : kPanelControls) {
        auto* widget = panel->window->findChild<QWidget*>(QLatin1String(control.name));
        if (widget == nullptr) {
            *error = "the panel file " + file_name + " lacks the control " + control.name;
            return nullptr;
        }
        if (!HasClassFor(control.kind, widget)) {
            *error = std::string("the control ") + control.name + " in the panel file " +
                     file_name + " is a " + widget->metaObject()->className() + "; it must be a " +
                     ExpectedClass(control.kind);
            return nullptr;
        }
        panel->controls[control.id] = widget;
    }

    for (QAbstractButton* button : panel->window->findChildren<QAbstractButton*>()) {
        const std::string name = button->property("callback").toString().toStdString();
        if (name.empty()) {
            continue;
        }
        const ControlCallback* callback = FindCallback(callbacks, name);
        if (callback == nullptr) {
            *error = "the button " + button->objectName().toStdString() + " in the panel file " +
                     file_name + " names the callback " + name +
                     ", which this program does not provide";
            return nullptr;
        }
        panel->buttons.push_back({button, *callback});
    }
    return panel;
}

}  // namespace ruvuvuri::ui::qt
