// SPDX-License-Identifier: GPL-2.0-or-later
// What the user does on the panel: buttons and the close box call the
// program's named callbacks, the event loop ends on request, and popups
// return the user's answer.
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include "ui/engine_loader.h"

namespace ui = ruvuvuri::ui;
using ruvuvuri::ui::CallbackTable;

namespace {

const std::string kPanelFile = RUVUVURI_SOURCE_DIR "/ui/Ruvuvuri.ui";

struct Call {
    std::string name;
    int panel;
    int control;
    int event;
    void* data;
    int data1;
    int data2;
};

// Records every callback; `on_exit` runs inside the Exit callback.
struct Recorder {
    std::vector<Call> calls;
    std::function<void()> on_exit;

    CallbackTable Table() {
        auto record = [this](std::string name) {
            return
                [this, name](int panel, int control, int event, void* data, int data1, int data2) {
                    calls.push_back({name, panel, control, event, data, data1, data2});
                    if (name == "Exit" && on_exit) {
                        on_exit();
                    }
                    return 0;
                };
        };
        return {{"SetNewClocks", record("SetNewClocks")},
                {"Preview", record("Preview")},
                {"Restore", record("Restore")},
                {"Exit", record("Exit")}};
    }
};

std::unique_ptr<ui::UiEngine> MakeEngine(const CallbackTable& callbacks) {
    std::string error;
    auto engine = ui::qt::CreateQtEngine(callbacks, &error);
    if (engine == nullptr) {
        qFatal("cannot create the engine: %s", error.c_str());
    }
    return engine;
}

// The loaded panel's window: the top-level widget the panel file names PANEL.
QWidget* PanelWindow() {
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->objectName() == QLatin1String("PANEL")) {
            return top;
        }
    }
    return nullptr;
}

// Answers the next modal message box with `button` once it is open.
void AnswerNextMessageBox(QMessageBox::StandardButton button, QString* text = nullptr) {
    QTimer::singleShot(0, [button, text] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            AnswerNextMessageBox(button, text);
            return;
        }
        if (text != nullptr) {
            *text = box->windowTitle() + QLatin1Char('|') + box->text();
        }
        box->button(button)->click();
    });
}

}  // namespace

class PanelEventsTest : public QObject {
    Q_OBJECT

  private slots:
    void buttonsCallTheirCallbackWithCommit_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("callback");
        QTest::newRow("apply") << "APPLY"
                               << "SetNewClocks";
        QTest::newRow("preview") << "PREVIEW"
                                 << "Preview";
        QTest::newRow("exit") << "EXIT"
                              << "Exit";
    }

    void buttonsCallTheirCallbackWithCommit() {
        QFETCH(QString, button);
        QFETCH(QString, callback);
        Recorder recorder;
        auto engine = MakeEngine(recorder.Table());
        const int panel = engine->LoadPanel(0, kPanelFile, ui::PANEL);
        QVERIFY2(panel > 0, engine->last_error().c_str());
        engine->DisplayPanel(panel);
        auto* push = PanelWindow()->findChild<QPushButton*>(button);
        QTest::mouseClick(push, Qt::LeftButton);
        QCOMPARE(recorder.calls.size(), std::size_t{1});
        const Call& call = recorder.calls.front();
        QCOMPARE(QString::fromStdString(call.name), callback);
        QCOMPARE(call.panel, panel);
        QCOMPARE(call.control, 0);
        QCOMPARE(call.event, ui::EVENT_COMMIT);
        QCOMPARE(call.data, nullptr);
        QCOMPARE(call.data1, 0);
        QCOMPARE(call.data2, 0);
    }

    void closeBoxActsLikeExit() {
        Recorder recorder;
        auto engine = MakeEngine(recorder.Table());
        const int panel = engine->LoadPanel(0, kPanelFile, ui::PANEL);
        engine->DisplayPanel(panel);
        QWidget* window = PanelWindow();
        // The Exit callback decides; one that does nothing keeps the window open.
        QVERIFY(!window->close());
        QVERIFY(window->isVisible());
        QCOMPARE(recorder.calls.size(), std::size_t{1});
        QCOMPARE(recorder.calls.front().name, std::string("Exit"));
        QCOMPARE(recorder.calls.front().event, ui::EVENT_COMMIT);
    }

    void exitCallbackEndsTheEventLoop() {
        Recorder recorder;
        auto engine = MakeEngine(recorder.Table());
        recorder.on_exit = [&engine] { engine->QuitUserInterface(0); };
        const int panel = engine->LoadPanel(0, kPanelFile, ui::PANEL);
        engine->DisplayPanel(panel);
        QWidget* window = PanelWindow();
        QTimer::singleShot(0, window, [window] { window->close(); });
        QCOMPARE(engine->RunUserInterface(), 0);
        QCOMPARE(recorder.calls.size(), std::size_t{1});
    }

    void quitBeforeTheLoopReturnsAtOnce() {
        Recorder recorder;
        auto engine = MakeEngine(recorder.Table());
        engine->QuitUserInterface(3);
        QCOMPARE(engine->RunUserInterface(), 3);
    }

    void confirmPopupReturnsTheAnswer_data() {
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("expected");
        QTest::newRow("yes") << static_cast<int>(QMessageBox::Yes) << 1;
        QTest::newRow("no") << static_cast<int>(QMessageBox::No) << 0;
    }

    void confirmPopupReturnsTheAnswer() {
        QFETCH(int, answer);
        QFETCH(int, expected);
        Recorder recorder;
        auto engine = MakeEngine(recorder.Table());
        const int panel = engine->LoadPanel(0, kPanelFile, ui::PANEL);
        engine->DisplayPanel(panel);
        QString shown;
        AnswerNextMessageBox(static_cast<QMessageBox::StandardButton>(answer), &shown);
        QCOMPARE(engine->ConfirmPopup("Ruvuvuri",
                                      "Core,Memory clocks and Timings will be "
                                      "changed now!\nAre You shure?"),
                 expected);
        QCOMPARE(shown, QStringLiteral("Ruvuvuri|Core,Memory clocks and Timings will be changed "
                                       "now!\nAre You shure?"));
    }

    void confirmPopupFromApplyInsideTheLoop() {
        // The program's apply callback asks inside a running loop; the answer
        // must come back before the callback returns.
        Recorder recorder;
        auto engine = MakeEngine(recorder.Table());
        int answer = -1;
        CallbackTable table = recorder.Table();
        table[0].callback = [&](int, int, int, void*, int, int) {
            AnswerNextMessageBox(QMessageBox::Yes);
            answer = engine->ConfirmPopup("Ruvuvuri", "Sure?");
            engine->QuitUserInterface(0);
            return 0;
        };
        engine = MakeEngine(table);
        const int panel = engine->LoadPanel(0, kPanelFile, ui::PANEL);
        engine->DisplayPanel(panel);
        auto* apply = PanelWindow()->findChild<QPushButton*>("APPLY");
        QTimer::singleShot(0, apply, [apply] { apply->click(); });
        QCOMPARE(engine->RunUserInterface(), 0);
        QCOMPARE(answer, 1);
    }

    void messagePopupReturnsWhenDismissed() {
        Recorder recorder;
        auto engine = MakeEngine(recorder.Table());
        QString shown;
        AnswerNextMessageBox(QMessageBox::Ok, &shown);
        engine->MessagePopup("Ruvuvuri", "I think, you don't have GeForce card?");
        QCOMPARE(shown, QStringLiteral("Ruvuvuri|I think, you don't have GeForce card?"));
    }
};

QTEST_MAIN(PanelEventsTest)
#include "qt_panel_events_test.moc"
