// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/qt/qt_engine.h"

#include <functional>
#include <tuple>
#include <utility>

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QDoubleSpinBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QStringDecoder>
#include <QWidget>

#include "ui/field_text.h"
#include "ui/panel_file.h"
#include "ui/qt/countdown_question.h"
#include "ui/qt/display_probe.h"
#include "ui/qt/field_setup.h"

namespace ruvuvuri::ui::qt {

// The QApplication the module creates when the program has none. QApplication
// keeps references to argc and argv, so they live here beside it.
class ApplicationHost {
  public:
    ApplicationHost() { QApplication::setApplicationName(QStringLiteral("Ruvuvuri")); }

  private:
    int argc_ = 1;
    char program_name_[9] = "Ruvuvuri";
    char* argv_[2] = {program_name_, nullptr};
    QApplication application_{argc_, argv_};
};

namespace {

// Turns the window's close box into a call: the window (which owns the guard)
// stays open unless the handler accepts the close, so closing behaves exactly
// like the exit button.
class CloseGuard : public QObject {
  public:
    CloseGuard(QObject* parent, std::function<bool()> on_close)
        : QObject(parent), on_close_(std::move(on_close)) {
        parent->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != parent() || event->type() != QEvent::Close) {
            return QObject::eventFilter(watched, event);
        }
        event->setAccepted(on_close_());
        return true;
    }

  private:
    std::function<bool()> on_close_;
};

QIcon ApplicationIcon() {
    QIcon icon;
    icon.addFile(QStringLiteral(":/ruvuvuri/ruvuvuri-16.png"));
    icon.addFile(QStringLiteral(":/ruvuvuri/ruvuvuri-32.png"));
    return icon;
}

QString FromStd(const std::string& text) {
    return QString::fromStdString(text);
}

// Bytes that may come straight from a video BIOS: UTF-8 when they are valid
// UTF-8, else Latin-1, so every byte shows.
QString TextFromBytes(const std::string& bytes) {
    const QByteArrayView view(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8.decode(view);
    return utf8.hasError() ? QString::fromLatin1(view) : text;
}

// `message` up to its first blank line as the box's text, the details after it
// below; a `table` of details (the preview's plan) in a fixed-width font keeps
// its columns in line.
void SetMessage(QMessageBox& box, const std::string& message, bool table) {
    const std::size_t blank = message.find("\n\n");
    box.setText(FromStd(message.substr(0, blank)));
    if (blank != std::string::npos) {
        const QString details = FromStd(message.substr(blank + 2));
        box.setInformativeText(table ? QStringLiteral("<pre>") + details.toHtmlEscaped() +
                                           QStringLiteral("</pre>")
                                     : details);
    }
}

}  // namespace

std::unique_ptr<QtEngine> QtEngine::Create(const CallbackTable& callbacks, std::string* error) {
    std::unique_ptr<ApplicationHost> host;
    if (QCoreApplication::instance() == nullptr) {
        if (!DisplayAvailable(error)) {
            return nullptr;
        }
        host = std::make_unique<ApplicationHost>();
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
    new CloseGuard(panel->window.get(), [this, handle] { return OnClose(handle); });
    panels_.push_back(std::move(panel));
    return handle;
}

bool QtEngine::OnClose(int panel) {
    // With an Exit callback, it decides; the window stays until the program ends.
    if (PressCallback(callbacks_, kExitCallback, panel)) {
        return false;
    }
    QuitUserInterface(0);
    return true;
}

PanelWidgets* QtEngine::Panel(int handle) const {
    const bool known = handle >= 1 && handle <= static_cast<int>(panels_.size());
    return known ? panels_[static_cast<std::size_t>(handle - 1)].get() : nullptr;
}

QWidget* QtEngine::panel_window(int panel) const {
    const PanelWidgets* widgets = Panel(panel);
    return widgets != nullptr ? widgets->window.get() : nullptr;
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

QWidget* QtEngine::Control(int panel, int control, ControlKind kind, const char* refusal) {
    const PanelWidgets* widgets = Panel(panel);
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
    // The panel file check gave each kind its widget class: a spin box for a
    // clock, a line edit for an integer, a label or a line edit for text.
    if (FindPanelControl(control)->kind != kind) {
        last_error_ = "control " + std::to_string(control) + " " + refusal;
        return nullptr;
    }
    last_error_.clear();
    return found->second;
}

void QtEngine::SetCtrlVal(int panel, int control, const std::string& value) {
    QWidget* widget = Control(panel, control, ControlKind::Text, "does not take text");
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(TextFromBytes(value));
    } else if (widget != nullptr) {
        static_cast<QLineEdit*>(widget)->setText(TextFromBytes(value));
    }
}

void QtEngine::SetCtrlVal(int panel, int control, double value) {
    // A clock outside the file's limits (a PLL left so by another tool) is
    // shown as it is, not clamped, and an untouched field reads it back.
    if (QWidget* spin = Control(panel, control, ControlKind::Double, "does not take a number")) {
        SetProgramClock(*static_cast<QDoubleSpinBox*>(spin), value);
    }
}

void QtEngine::SetCtrlVal(int panel, int control, std::uint32_t value) {
    auto* edit = static_cast<QLineEdit*>(
        Control(panel, control, ControlKind::Integer, "does not take an integer"));
    if (edit != nullptr) {
        edit->setText(FromStd(FindPanelControl(control)->editable ? FormatRegister(value)
                                                                  : FormatWord(value)));
    }
}

bool QtEngine::GetCtrlVal(int panel, int control, std::string* value) {
    QWidget* widget = Control(panel, control, ControlKind::Text, "holds no text");
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        *value = label->text().toStdString();
    } else if (widget != nullptr) {
        *value = static_cast<QLineEdit*>(widget)->text().toStdString();
    }
    return widget != nullptr;
}

bool QtEngine::GetCtrlVal(int panel, int control, double* value) {
    auto* spin = static_cast<QDoubleSpinBox*>(
        Control(panel, control, ControlKind::Double, "holds no number"));
    if (spin == nullptr) {
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
    auto* spin = static_cast<QDoubleSpinBox*>(
        Control(panel, control, ControlKind::Double, "is no clock field"));
    if (spin == nullptr) {
        return false;
    }
    std::tie(*minimum, *maximum) = ClockFieldLimits(*spin);
    return true;
}

bool QtEngine::GetCtrlVal(int panel, int control, std::uint32_t* value) {
    auto* edit =
        static_cast<QLineEdit*>(Control(panel, control, ControlKind::Integer, "holds no integer"));
    if (edit == nullptr) {
        return false;
    }
    // A timing field takes all eight digits, so a deleted digit or an emptied
    // field is refused, never read as a shorter number or as zero; an input
    // mask or validator the panel file gives must be satisfied as well.
    const std::string text = edit->text().trimmed().toStdString();
    const std::optional<std::uint32_t> parsed =
        FindPanelControl(control)->editable ? ParseRegister(text) : ParseHex(text);
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
    QMessageBox box(QMessageBox::Question, FromStd(title), QString(),
                    QMessageBox::Yes | QMessageBox::No, PopupParent());
    SetMessage(box, message, false);
    // No is the default button: Enter alone never reprograms the card.
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes ? 1 : 0;
}

void QtEngine::MessagePopup(const std::string& title, const std::string& message) {
    QMessageBox box(QMessageBox::Information, FromStd(title), QString(), QMessageBox::Ok,
                    PopupParent());
    box.setTextFormat(Qt::PlainText);
    SetMessage(box, message, true);
    box.exec();
}

int QtEngine::TimedConfirmPopup(const std::string& title, const std::string& message_format,
                                int seconds, int cancel_fd) {
    return AskWithCountdown(PopupParent(), FromStd(title), message_format, seconds, cancel_fd) ? 1
                                                                                               : 0;
}

}  // namespace ruvuvuri::ui::qt
