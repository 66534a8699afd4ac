// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/engine_loader.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <map>
#include <optional>
#include <sstream>
#include <type_traits>

#include <QAbstractButton>
#include <QApplication>
#include <QBuffer>
#include <QDeadlineTimer>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QIcon>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSocketNotifier>
#include <QStringDecoder>
#include <QTimer>
#include <QUiLoader>

#include "ui/field_text.h"
#include "ui/panel_file.h"

namespace ruvuvuri::ui::qt {

namespace {

constexpr const char* kRemedy =
    "; restore the panel file that came with the program or reinstall it";
// A clock field's control keeps the file's limits and the value the program
// set last; the spin box itself takes a wider range, more than any card runs
// at, so that "999" stays 999 for Apply to refuse rather than losing its last
// digit.
constexpr double kTypingLimit = 99999.0;
// Often enough that the countdown's seconds change within a fifth of a second
// of the real ones; the text is only set when the number changes.
constexpr int kTickMilliseconds = 200;

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// Connects to the X server the way Qt's xcb platform would, through libxcb
// loaded on demand so the module does not link it.
bool XServerReachable(std::string* reason) {
    const std::string display = Env("DISPLAY");
    void* xcb = display.empty() ? nullptr : dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
    if (xcb == nullptr) {
        *reason = display.empty() ? "DISPLAY is not set" : "libxcb.so.1 cannot be loaded";
        return false;
    }
    auto connect = reinterpret_cast<void* (*)(const char*, int*)>(dlsym(xcb, "xcb_connect"));
    auto has_error = reinterpret_cast<int (*)(void*)>(dlsym(xcb, "xcb_connection_has_error"));
    auto disconnect = reinterpret_cast<void (*)(void*)>(dlsym(xcb, "xcb_disconnect"));
    // A connection that failed is still one, with its error set.
    void* connection = connect && has_error && disconnect ? connect(nullptr, nullptr) : nullptr;
    const bool reachable = connection != nullptr && has_error(connection) == 0;
    if (connection != nullptr) {
        disconnect(connection);
    }
    dlclose(xcb);
    if (!reachable) {
        *reason = "cannot connect to the X server on DISPLAY=" + display;
    }
    return reachable;
}

bool WaylandSocketPresent(std::string* reason) {
    const QDir platforms(QLibraryInfo::path(QLibraryInfo::PluginsPath) +
                         QStringLiteral("/platforms"));
    std::string socket = Env("WAYLAND_DISPLAY");
    if (!socket.empty() && socket.front() != '/') {
        socket = Env("XDG_RUNTIME_DIR") + "/" + socket;
    }
    struct stat info {};
    // Qt falls back to the next platform when its Wayland plugin is missing.
    if (platforms.entryList({QStringLiteral("libqwayland*")}, QDir::Files).isEmpty()) {
        *reason = "Qt's Wayland platform plugin is not installed";
    } else if (socket.empty()) {
        *reason = "WAYLAND_DISPLAY is not set";
    } else if (stat(socket.c_str(), &info) != 0 || !S_ISSOCK(info.st_mode)) {
        *reason = "no Wayland compositor at " + socket;
    } else {
        return true;
    }
    return false;
}

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

// Red text for a value Apply would refuse; the palette the field had
// otherwise.
void MarkRefused(QWidget& field, bool refused) {
    QPalette palette =
        field.parentWidget() != nullptr ? field.parentWidget()->palette() : QPalette();
    if (refused) {
        palette.setColor(QPalette::Text, QColor(0xC0, 0x00, 0x00));
    }
    field.setPalette(palette);
}

// The value the clock field's text makes when Apply may take it: a number
// within the file's limits, or the program-set clock still untouched.
std::optional<double> AcceptedClock(const QDoubleSpinBox& spin, const PanelFileControl& control) {
    if (!spin.hasAcceptableInput()) {
        return std::nullopt;
    }
    const double shown = spin.valueFromText(spin.text());
    if ((shown < control.minimum || shown > control.maximum) && shown != control.value) {
        return std::nullopt;
    }
    return shown;
}

// Read-only fields look read-only and stay out of the Tab order; an editable
// one names its range in a tooltip and turns red when Apply would refuse it.
void PrepareField(QWidget& widget, PanelFileControl& control) {
    if (auto* spin = qobject_cast<QDoubleSpinBox*>(&widget)) {
        // The limits and the value as Qt made them of the file.
        const double low = control.minimum = spin->minimum();
        const double high = control.maximum = spin->maximum();
        control.value = spin->value();
        spin->setRange(std::min(low, -kTypingLimit), std::max(high, kTypingLimit));
        if (spin->toolTip().isEmpty()) {
            spin->setToolTip(FromStd(control.label) + QStringLiteral(": ") +
                             QString::number(low, 'f', spin->decimals()) + QStringLiteral(" to ") +
                             QString::number(high, 'f', spin->decimals()) + QLatin1Char(' ') +
                             spin->suffix().trimmed() +
                             QStringLiteral(". Apply refuses a value outside this range."));
        }
        QObject::connect(spin, &QDoubleSpinBox::textChanged, spin, [spin, &control] {
            MarkRefused(*spin, !AcceptedClock(*spin, control).has_value());
        });
        return;
    }
    auto* edit = qobject_cast<QLineEdit*>(&widget);
    if (edit != nullptr && edit->isReadOnly()) {
        // The window's colour instead of an input field's white, and no Tab
        // stop; a click still selects the text for copying.
        QPalette palette = edit->palette();
        palette.setColor(QPalette::Base, palette.color(QPalette::Window));
        edit->setPalette(palette);
        if ((edit->focusPolicy() & Qt::TabFocus) != 0) {
            edit->setFocusPolicy(Qt::ClickFocus);
        }
    } else if (edit != nullptr && control.kind == ControlKind::Integer) {
        if (edit->toolTip().isEmpty()) {
            edit->setToolTip(
                FromStd(control.label) +
                QStringLiteral(": hexadecimal, eight digits, 0x00000000 to 0xFFFFFFFF."));
        }
        QObject::connect(edit, &QLineEdit::textChanged, edit, [edit](const QString& text) {
            MarkRefused(*edit, !ParseRegister(text.trimmed().toStdString()).has_value());
        });
    }
}

// A clock field whose arrows, keys and wheel follow the control's step rule
// when it has one. Without Q_OBJECT its class name stays QDoubleSpinBox, the
// class the panel file names.
class ClockSpinBox final : public QDoubleSpinBox {
  public:
    using QDoubleSpinBox::QDoubleSpinBox;
    const PanelFileControl* control = nullptr;

    void stepBy(int steps) override {
        if (control == nullptr || !control->step) {
            return QDoubleSpinBox::stepBy(steps);
        }
        interpretText();
        double next = value();
        for (int left = std::abs(steps); left > 0; --left) {
            next = std::clamp(control->step(next, steps > 0 ? 1 : -1), control->minimum,
                              control->maximum);
        }
        setValue(next);
    }
};

class PanelLoader final : public QUiLoader {
  public:
    QWidget* createWidget(const QString& class_name, QWidget* parent,
                          const QString& name) override {
        if (class_name != QLatin1String("QDoubleSpinBox")) {
            return QUiLoader::createWidget(class_name, parent, name);
        }
        auto* spin = new ClockSpinBox(parent);
        spin->setObjectName(name);
        return spin;
    }
};

// Also the panel window's event filter, for the close box.
class QtEngine final : public PanelFileEngine, public QObject {
  public:
    QtEngine(std::unique_ptr<QApplication> host, const CallbackTable& callbacks)
        : PanelFileEngine(callbacks), host_(std::move(host)) {
        // Only QuitUserInterface ends the loop; a popup closing while the
        // panel is hidden must not.
        QApplication::setQuitOnLastWindowClosed(false);
        QApplication::setWindowIcon(ApplicationIcon());
    }

    // The file is first checked by the same reader as every panel engine's;
    // the Qt loader only builds the widgets from the bytes it read. Prints
    // nothing.
    int LoadPanel(int parent, const std::string& file, int panel_id) override {
        window_.reset();
        if (!ReadPanel(parent, file, panel_id) || !Build(file)) {
            panel_.reset();
            return -1;
        }
        return PANEL;
    }

    void DisplayPanel(int panel) override {
        if (Loaded(panel)) {
            window_->show();
            window_->activateWindow();
        }
    }

    int RunUserInterface() override {
        if (quit_pending_) {
            quit_pending_ = false;
            return quit_code_;
        }
        running_ = true;
        const int code = QApplication::exec();
        running_ = false;
        return code;
    }

    void QuitUserInterface(int code) override {
        if (running_) {
            QCoreApplication::exit(code);
        } else {
            // Asked before the loop runs: the next RunUserInterface returns at
            // once.
            quit_pending_ = true;
            quit_code_ = code;
        }
    }

    bool GetCtrlVal(int panel, int control, double* value) override {
        const PanelFileControl* field = Field(panel, control, ControlKind::Double);
        if (field == nullptr) {
            return false;
        }
        // Takes up text still being typed, as leaving the field would; text
        // that is no number within the limits stays as typed and is refused.
        auto* spin = static_cast<QDoubleSpinBox*>(widgets_.at(control));
        spin->interpretText();
        return Give(AcceptedClock(*spin, *field), value,
                    "control " + std::to_string(control) + " holds no number within its limits");
    }

    bool GetCtrlVal(int panel, int control, std::uint32_t* value) override {
        const PanelFileControl* field = Field(panel, control, ControlKind::Integer);
        if (field == nullptr) {
            return false;
        }
        // A timing field takes all eight digits, so a deleted digit or an
        // emptied field is refused, never read as a shorter number or as
        // zero; an input mask or validator the panel file gives must be
        // satisfied as well.
        auto* edit = static_cast<QLineEdit*>(widgets_.at(control));
        const std::string text = edit->text().trimmed().toStdString();
        const std::optional<std::uint32_t> parsed = !edit->hasAcceptableInput() ? std::nullopt
                                                    : field->editable ? ParseRegister(text)
                                                                      : ParseHex(text);
        return Give(parsed, value,
                    "control " + std::to_string(control) + " holds no complete hexadecimal value");
    }

    int ConfirmPopup(const std::string& title, const std::string& message) override {
        QMessageBox box(QMessageBox::Question, FromStd(title), QString(),
                        QMessageBox::Yes | QMessageBox::No, PopupParent());
        SetMessage(box, message, false);
        // No is the default button: Enter alone never reprograms the card.
        box.setDefaultButton(QMessageBox::No);
        return box.exec() == QMessageBox::Yes ? 1 : 0;
    }

    void MessagePopup(const std::string& title, const std::string& message) override {
        QMessageBox box(QMessageBox::Information, FromStd(title), QString(), QMessageBox::Ok,
                        PopupParent());
        box.setTextFormat(Qt::PlainText);
        SetMessage(box, message, true);
        box.exec();
    }

    int TimedConfirmPopup(const std::string& title, const std::string& message_format, int seconds,
                          int cancel_fd) override {
        QMessageBox box(QMessageBox::Question, FromStd(title), QString(), QMessageBox::NoButton,
                        PopupParent());
        box.setTextFormat(Qt::PlainText);
        QPushButton* keep = box.addButton(QStringLiteral("&Keep"), QMessageBox::AcceptRole);
        QPushButton* revert = box.addButton(QStringLiteral("&Revert"), QMessageBox::RejectRole);
        // Enter, Escape and the close box all revert: only a deliberate Keep
        // leaves the new settings running.
        box.setDefaultButton(revert);
        box.setEscapeButton(revert);

        // Ending the question without a button leaves clickedButton() empty.
        const QDeadlineTimer deadline{std::chrono::seconds(seconds)};
        int shown = -1;
        const auto count_down = [&] {
            const qint64 left_ms = deadline.remainingTime();
            if (left_ms <= 0) {
                return box.done(QDialog::Rejected);
            }
            const int left = static_cast<int>((left_ms + 999) / 1000);
            if (left != shown) {
                shown = left;
                box.setText(FromStd(CountdownText(message_format, left)));
            }
        };
        QTimer tick;
        tick.setInterval(kTickMilliseconds);
        QObject::connect(&tick, &QTimer::timeout, &box, count_down);
        count_down();
        tick.start();

        // A stop signal (through the descriptor the caller holds them on)
        // counts as no.
        std::optional<QSocketNotifier> cancel;
        if (cancel_fd >= 0) {
            cancel.emplace(cancel_fd, QSocketNotifier::Read);
            QObject::connect(&*cancel, &QSocketNotifier::activated, &box, [&] {
                cancel->setEnabled(false);
                box.done(QDialog::Rejected);
            });
        }
        if (!deadline.hasExpired()) {
            box.exec();
        }
        return box.clickedButton() == keep && !deadline.hasExpired() ? 1 : 0;
    }

    bool interactive() const override { return true; }

  private:
    // A clock outside the file's limits (a PLL left so by another tool) is
    // shown at the field's decimals as it is, not clamped, and an untouched
    // field reads it back.
    void Show(PanelFileControl& control) override {
        QWidget* widget = widgets_.at(control.id);
        auto* spin = qobject_cast<QDoubleSpinBox*>(widget);
        if (spin == nullptr) {
            // A QLabel or a QLineEdit; both have the text property.
            widget->setProperty("text", TextFromBytes(ShownText(control)));
            return;
        }
        // The typing range covers every clock a PLL can make; widen it for a
        // value beyond, rather than show a wrong one.
        spin->setRange(std::min(spin->minimum(), control.value),
                       std::max(spin->maximum(), control.value));
        spin->setValue(control.value);
        control.value = spin->value();
        MarkRefused(*spin, false);
    }

    // Builds the checked panel file's widgets; false with last_error set.
    bool Build(const std::string& file) {
        // The loader reports XML and class problems through qWarning as well
        // as through errorString(); the engine must stay silent, so those
        // lines are dropped while the file loads.
        const QtMessageHandler previous =
            qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
        PanelLoader loader;
        // Icons and other files named in the panel file are relative to it.
        loader.setWorkingDirectory(QFileInfo(FromStd(file)).absoluteDir());
        QByteArray bytes = QByteArray::fromStdString(panel_->xml);
        QBuffer source(&bytes);
        source.open(QIODevice::ReadOnly);
        std::unique_ptr<QWidget> window(loader.load(&source));
        qInstallMessageHandler(previous);
        if (window == nullptr) {
            last_error_ = "cannot read the panel file " + file + " (" +
                          loader.errorString().toStdString() + ")" + kRemedy;
            return false;
        }
        // What can still fail is the loader disagreeing with the reader.
        const auto built = [&](const std::string& name, const std::string& widget_class) {
            auto* widget = window->findChild<QWidget*>(FromStd(name));
            if (widget == nullptr || widget_class != widget->metaObject()->className()) {
                last_error_ = "the Qt loader did not build " + name + " (a " + widget_class +
                              ") from the panel file " + file + kRemedy;
                return static_cast<QWidget*>(nullptr);
            }
            return widget;
        };
        widgets_.clear();
        for (PanelFileControl& control : panel_->controls) {
            if ((widgets_[control.id] = built(control.name, control.widget_class)) == nullptr) {
                return false;
            }
            PrepareField(*widgets_[control.id], control);
            if (auto* clock = dynamic_cast<ClockSpinBox*>(widgets_[control.id])) {
                clock->control = &control;
            }
        }
        for (const PanelFileButton& button : panel_->buttons) {
            if (button.callback.empty()) {
                continue;
            }
            auto* push = qobject_cast<QAbstractButton*>(built(button.name, "QPushButton"));
            if (push == nullptr) {
                return false;
            }
            QObject::connect(push, &QAbstractButton::clicked, push,
                             [this, name = button.callback] { Press(name); });
        }
        window->setWindowIcon(ApplicationIcon());
        window->installEventFilter(this);
        window_ = std::move(window);
        return true;
    }

    // The close box acts like the button that calls Exit: with that callback
    // the window stays, for the callback to end the program.
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != window_.get() || event->type() != QEvent::Close) {
            return QObject::eventFilter(watched, event);
        }
        const bool no_exit = !Press(kExitCallback);
        if (no_exit) {
            QuitUserInterface(0);
        }
        event->setAccepted(no_exit);
        return true;
    }

    QWidget* PopupParent() const {
        return window_ != nullptr && window_->isVisible() ? window_.get() : nullptr;
    }

    // Declared first so that it outlives every widget.
    std::unique_ptr<QApplication> host_;
    std::unique_ptr<QWidget> window_;  // the panel, handle PANEL
    std::map<int, QWidget*> widgets_;  // control ID -> widget, all children of window_
    bool running_ = false;
    bool quit_pending_ = false;
    int quit_code_ = 0;
};

}  // namespace

bool DisplayAvailable(std::string* reason) {
    // The platforms Qt will try, in its order: QT_QPA_PLATFORM when set, else
    // Wayland first in a Wayland session, then X11.
    std::string list = Env("QT_QPA_PLATFORM");
    if (list.empty()) {
        list = Env("XDG_SESSION_TYPE").find("wayland") != std::string::npos ? "wayland;xcb" : "xcb";
    }
    std::istringstream entries(list);
    std::string why;
    for (std::string platform; std::getline(entries, platform, ';');) {
        platform = platform.substr(0, platform.find(':'));  // "xcb:option=..." names xcb
        const bool wayland = platform == "wayland" || platform.rfind("wayland-", 0) == 0;
        // Any other (offscreen, minimal, vnc, eglfs ...) is chosen on purpose
        // and needs no display.
        if (!platform.empty() &&
            (platform == "xcb" ? XServerReachable(&why) : !wayland || WaylandSocketPresent(&why))) {
            return true;
        }
    }
    *reason = "no display for the Qt panel (" + why + "); use --ui=console or set DISPLAY";
    return false;
}

std::unique_ptr<UiEngine> CreateQtEngine(const CallbackTable& callbacks, std::string* error) {
    std::unique_ptr<QApplication> host;
    if (QCoreApplication::instance() == nullptr) {
        if (!DisplayAvailable(error)) {
            return nullptr;
        }
        // The module's own QApplication, which keeps references to these.
        static int argc = 1;
        static char program_name[] = "Ruvuvuri";
        static char* argv[] = {program_name, nullptr};
        host = std::make_unique<QApplication>(argc, argv);
        QApplication::setApplicationName(QStringLiteral("Ruvuvuri"));
    } else if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
        *error = "the process runs a Qt application without widgets";
        return nullptr;
    }
    return std::make_unique<QtEngine>(std::move(host), callbacks);
}

}  // namespace ruvuvuri::ui::qt

// The module's only export: the program (QtEngineLoader) finds it with dlsym
// and owns the engine it returns.
extern "C" __attribute__((visibility("default"))) ruvuvuri::ui::UiEngine* ruvuvuri_create_qt_engine(
    const ruvuvuri::ui::CallbackTable* callbacks, std::string* error) {
    return ruvuvuri::ui::qt::CreateQtEngine(*callbacks, error).release();
}

static_assert(std::is_same_v<decltype(&ruvuvuri_create_qt_engine), ruvuvuri::ui::CreateQtEngineFn>,
              "the entry point must match the loader's declaration");
