// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/qt/qt_engine.h"

#include <algorithm>
#include <tuple>
#include <utility>

#include <QAbstractButton>
#include <QApplication>
#include <QDoubleSpinBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QWidget>

#include "ui/panel_file.h"
#include "ui/panel_ids.h"
#include "ui/qt/close_guard.h"
#include "ui/qt/control_text.h"
#include "ui/qt/countdown_question.h"
#include "ui/qt/field_setup.h"

namespace ruvuvuri::ui::qt {
namespace {

QIcon ApplicationIcon() {
    QIcon icon;
    icon.addFile(QStringLiteral(":/ruvuvuri/ruvuvuri-16.png"));
    icon.addFile(QStringLiteral(":/ruvuvuri/ruvuvuri-32.png"));
    return icon;
}

QString FromStd(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

std::unique_ptr<QtEngine> QtEngine::Create(const CallbackTable& callbacks, std::string* error) {
    std::unique_ptr<ApplicationHost> host;
    if (QCoreApplication::instance() == nullptr) {
        host = ApplicationHost::Start(error);
        if (host == nullptr) {
            return nullptr;
        }
    } else if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
        *error = "the process runs a Qt application without widgets";
        return nullptr;
    }
    return std::unique_ptr<QtEngine>(new QtEngine(std::move(host), callbacks));
}

QtEngine::QtEngine(std::unique_ptr<ApplicationHost> host, const CallbackTable& callbacks)
    : host_(std::move(host)), callbacks_(callbacks) {
    // Only QuitUserInterface ends the loop; a popup closing while the panel is
    // hidden must not.
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(ApplicationIcon());
}

QtEngine::~QtEngine() = default;

int QtEngine::LoadPanel(int /*parent*/, const std::string& file, int panel_id) {
    last_error_.clear();
    std::unique_ptr<PanelWidgets> panel =
        BuildPanel(FromStd(file), panel_id, callbacks_, &last_error_);
    if (panel == nullptr) {
        return -1;
    }
    const int handle = static_cast<int>(panels_.size()) + 1;
    panel->window->setWindowIcon(ApplicationIcon());
    for (const PanelWidgets::Button& button : panel->buttons) {
        ControlCallback callback = button.callback;
        QObject::connect(button.button, &QAbstractButton::clicked, button.button,
                         [handle, callback] { callback(handle, 0, EVENT_COMMIT, nullptr, 0, 0); });
    }
    auto* guard = new CloseGuard(panel->window.get(), [this, handle] { return OnClose(handle); });
    panel->window->installEventFilter(guard);
    panels_.push_back(std::move(panel));
    return handle;
}

bool QtEngine::OnClose(int panel) {
    if (const ControlCallback* exit = FindCallback(callbacks_, kExitCallback)) {
        // The callback decides; the window stays until the program ends.
        (*exit)(panel, 0, EVENT_COMMIT, nullptr, 0, 0);
        return false;
    }
    QuitUserInterface(0);
    return true;
}

QWidget* QtEngine::panel_window(int panel) const {
    if (panel < 1 || panel > static_cast<int>(panels_.size())) {
        return nullptr;
    }
    return panels_[static_cast<std::size_t>(panel - 1)]->window.get();
}

void QtEngine::DisplayPanel(int panel) {
    QWidget* window = panel_window(panel);
    if (window == nullptr) {
        last_error_ = "no panel with handle " + std::to_string(panel);
        return;
    }
    window->show();
    window->activateWindow();
}

int QtEngine::RunUserInterface() {
    if (quit_pending_) {
        quit_pending_ = false;
        return quit_code_;
    }
    running_ = true;
    const int code = QApplication::exec();
    running_ = false;
    return code;
}

void QtEngine::QuitUserInterface(int code) {
    if (running_) {
        QCoreApplication::exit(code);
    } else {
        // Asked before the loop runs: the next RunUserInterface returns at once.
        quit_pending_ = true;
        quit_code_ = code;
    }
}

QWidget* QtEngine::Control(int panel, int control) {
    const PanelWidgets* widgets = (panel >= 1 && panel <= static_cast<int>(panels_.size()))
                                      ? panels_[static_cast<std::size_t>(panel - 1)].get()
                                      : nullptr;
    if (widgets == nullptr) {
        last_error_ = "no panel with handle " + std::to_string(panel);
        return nullptr;
    }
    const auto found = widgets->controls.find(control);
    if (found == widgets->controls.end()) {
        last_error_ =
            "no control " + std::to_string(control) + " on panel " + std::to_string(panel);
        return nullptr;
    }
    last_error_.clear();
    return found->second;
}

void QtEngine::SetCtrlVal(int panel, int control, const std::string& value) {
    QWidget* widget = Control(panel, control);
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(TextFromBytes(value));
    } else if (widget != nullptr && FindPanelControl(control)->kind == ControlKind::Text) {
        static_cast<QLineEdit*>(widget)->setText(TextFromBytes(value));
    } else if (widget != nullptr) {
        last_error_ = "control " + std::to_string(control) + " does not take text";
    }
}

void QtEngine::SetCtrlVal(int panel, int control, double value) {
    auto* spin = qobject_cast<QDoubleSpinBox*>(Control(panel, control));
    if (spin == nullptr) {
        if (last_error_.empty()) {
            last_error_ = "control " + std::to_string(control) + " does not take a number";
        }
        return;
    }
    // The spin box rounds to its decimals. A clock outside the file's limits
    // (a PLL left so by another tool) is shown as it is, not clamped, and an
    // untouched field then reads back that clock.
    SetProgramClock(*spin, value);
}

void QtEngine::SetCtrlVal(int panel, int control, std::uint32_t value) {
    QWidget* widget = Control(panel, control);
    if (widget == nullptr) {
        return;
    }
    const PanelControl* entry = FindPanelControl(control);
    if (entry->kind != ControlKind::Integer) {
        last_error_ = "control " + std::to_string(control) + " does not take an integer";
        return;
    }
    static_cast<QLineEdit*>(widget)->setText(entry->editable ? FormatRegister(value)
                                                             : FormatWord(value));
}

bool QtEngine::GetCtrlVal(int panel, int control, std::string* value) {
    QWidget* widget = Control(panel, control);
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        *value = label->text().toStdString();
    } else if (widget != nullptr && FindPanelControl(control)->kind == ControlKind::Text) {
        *value = static_cast<QLineEdit*>(widget)->text().toStdString();
    } else {
        if (widget != nullptr) {
            last_error_ = "control " + std::to_string(control) + " holds no text";
        }
        return false;
    }
    return true;
}

bool QtEngine::GetCtrlVal(int panel, int control, double* value) {
    auto* spin = qobject_cast<QDoubleSpinBox*>(Control(panel, control));
    if (spin == nullptr) {
        if (last_error_.empty()) {
            last_error_ = "control " + std::to_string(control) + " holds no number";
        }
        return false;
    }
    // Takes up text still being typed, as leaving the field would; text that
    // is no number within the limits stays as typed and is refused.
    spin->interpretText();
    const std::optional<double> accepted = AcceptedClock(*spin);
    if (!accepted) {
        last_error_ = "control " + std::to_string(control) + " holds no number within its limits";
        return false;
    }
    *value = *accepted;
    return true;
}

bool QtEngine::GetCtrlLimits(int panel, int control, double* minimum, double* maximum) {
    auto* spin = qobject_cast<QDoubleSpinBox*>(Control(panel, control));
    if (spin == nullptr) {
        if (last_error_.empty()) {
            last_error_ = "control " + std::to_string(control) + " is no clock field";
        }
        return false;
    }
    std::tie(*minimum, *maximum) = ClockFieldLimits(*spin);
    return true;
}

bool QtEngine::GetCtrlVal(int panel, int control, std::uint32_t* value) {
    QWidget* widget = Control(panel, control);
    if (widget == nullptr) {
        return false;
    }
    if (FindPanelControl(control)->kind != ControlKind::Integer) {
        last_error_ = "control " + std::to_string(control) + " holds no integer";
        return false;
    }
    // The text must make a complete value: a timing field takes all eight
    // digits, so a deleted digit or an emptied field is refused, never read
    // as a shorter number or as zero. An input mask or validator the panel
    // file gives must be satisfied as well.
    auto* edit = static_cast<QLineEdit*>(widget);
    const std::optional<std::uint32_t> parsed =
        FindPanelControl(control)->editable ? ParseRegister(edit->text()) : ParseHex(edit->text());
    if (!edit->hasAcceptableInput() || !parsed) {
        last_error_ = "control " + std::to_string(control) + " holds no complete hexadecimal value";
        return false;
    }
    *value = *parsed;
    return true;
}

QWidget* QtEngine::PopupParent() const {
    for (const auto& panel : panels_) {
        if (panel->window->isVisible()) {
            return panel->window.get();
        }
    }
    return nullptr;
}

int QtEngine::ConfirmPopup(const std::string& title, const std::string& message) {
    // The question is the box's text as it stands; details after a blank line
    // go below it.
    const std::size_t blank = message.find("\n\n");
    QMessageBox box(QMessageBox::Question, FromStd(title), FromStd(message.substr(0, blank)),
                    QMessageBox::Yes | QMessageBox::No, PopupParent());
    if (blank != std::string::npos) {
        box.setInformativeText(FromStd(message.substr(blank + 2)));
    }
    // No is the default button: Enter alone never reprograms the card.
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes ? 1 : 0;
}

void QtEngine::MessagePopup(const std::string& title, const std::string& message) {
    const std::size_t blank = message.find("\n\n");
    QMessageBox box(QMessageBox::Information, FromStd(title), FromStd(message.substr(0, blank)),
                    QMessageBox::Ok, PopupParent());
    box.setTextFormat(Qt::PlainText);
    if (blank != std::string::npos) {
        // Details are a table (the preview's plan): a fixed-width font keeps
        // its columns in line.
        box.setInformativeText(QStringLiteral("<pre>") +
                               FromStd(message.substr(blank + 2)).toHtmlEscaped() +
                               QStringLiteral("</pre>"));
    }
    box.exec();
}

int QtEngine::TimedConfirmPopup(const std::string& title, const std::string& message_format,
                                int seconds, int cancel_fd) {
    return AskWithCountdown(PopupParent(), FromStd(title), message_format, seconds, cancel_fd) ? 1
                                                                                               : 0;
}

}  // namespace ruvuvuri::ui::qt
