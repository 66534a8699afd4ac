// SPDX-License-Identifier: GPL-2.0-or-later
// Choosing and loading the Qt module as the program does, and the display
// check that keeps Qt from aborting the process when it has no display.
#include <QtTest>

#include "ui/engine_loader.h"

using ruvuvuri::ui::UiChoice;

class ModuleLoaderTest : public QObject {
    Q_OBJECT

  private slots:
    void shouldTryQt_data() {
        QTest::addColumn<QString>("display");  // "-" for unset
        QTest::addColumn<QString>("wayland");
        QTest::addColumn<int>("requested");
        QTest::addColumn<bool>("expected");
        const int by_default = static_cast<int>(UiChoice::Default);
        const int console = static_cast<int>(UiChoice::Console);
        const int qt = static_cast<int>(UiChoice::Qt);
        QTest::newRow("X11 display") << ":0"
                                     << "-" << by_default << true;
        QTest::newRow("Wayland display") << "-"
                                         << "wayland-0" << by_default << true;
        QTest::newRow("no display") << "-"
                                    << "-" << by_default << false;
        QTest::newRow("empty display") << ""
                                       << "" << by_default << false;
        QTest::newRow("console asked for") << ":0"
                                           << "-" << console << false;
        QTest::newRow("qt asked for") << "-"
                                      << "-" << qt << true;
    }

    void shouldTryQt() {
        QFETCH(QString, display);
        QFETCH(QString, wayland);
        QFETCH(int, requested);
        QFETCH(bool, expected);
        const QByteArray x11 = display.toUtf8();
        const QByteArray way = wayland.toUtf8();
        QCOMPARE(ruvuvuri::ui::ShouldTryQt(display == "-" ? nullptr : x11.constData(),
                                           wayland == "-" ? nullptr : way.constData(),
                                           static_cast<UiChoice>(requested)),
                 expected);
    }

    void builtModuleLoadsAndShowsThePanel() {
        ruvuvuri::ui::QtEngineLoader loader;
        auto engine =
            loader.LoadFrom(std::string(RUVUVURI_BINARY_DIR "/") + ruvuvuri::ui::kQtModuleFile,
                            {{"SetNewClocks", [](int, int, int, void*, int, int) { return 0; }},
                             {"Preview", [](int, int, int, void*, int, int) { return 0; }},
                             {"Restore", [](int, int, int, void*, int, int) { return 0; }},
                             {"Exit", [](int, int, int, void*, int, int) { return 0; }}});
        QVERIFY2(engine != nullptr, loader.last_error().c_str());
        const int panel =
            engine->LoadPanel(0, RUVUVURI_SOURCE_DIR "/ui/Ruvuvuri.ui", ruvuvuri::ui::PANEL);
        QVERIFY(panel > 0);
        engine->SetCtrlVal(panel, ruvuvuri::ui::PANEL_CORECLK, 200.452);
        double core = 0;
        engine->GetCtrlVal(panel, ruvuvuri::ui::PANEL_CORECLK, &core);
        QCOMPARE(core, 200.452);
    }

    void missingModuleIsReported() {
        ruvuvuri::ui::QtEngineLoader loader;
        auto engine = loader.LoadFrom("/nonexistent/libruvuvuri_qt.so", {});
        const std::string& error = loader.last_error();
        QVERIFY(engine == nullptr);
        QVERIFY2(error.find("/nonexistent/libruvuvuri_qt.so") != std::string::npos, error.c_str());
    }

    void displayCheck_data() {
        QTest::addColumn<QByteArray>("platform");
        QTest::addColumn<QByteArray>("display");
        QTest::addColumn<bool>("available");
        QTest::addColumn<QString>("reason");
        QTest::newRow("offscreen") << QByteArray("offscreen") << QByteArray() << true << "";
        QTest::newRow("X11 without DISPLAY")
            << QByteArray("xcb") << QByteArray() << false << "DISPLAY is not set";
        QTest::newRow("X11 server gone") << QByteArray("xcb") << QByteArray(":4711") << false
                                         << "cannot connect to the X server";
        QTest::newRow("default platform without DISPLAY")
            << QByteArray() << QByteArray() << false << "DISPLAY is not set";
    }

    void displayCheck() {
        QFETCH(QByteArray, platform);
        QFETCH(QByteArray, display);
        QFETCH(bool, available);
        QFETCH(QString, reason);
        const QByteArray saved_platform = qgetenv("QT_QPA_PLATFORM");
        const QByteArray saved_session = qgetenv("XDG_SESSION_TYPE");
        const QByteArray saved_display = qgetenv("DISPLAY");
        const bool had_display = qEnvironmentVariableIsSet("DISPLAY");
        auto set = [](const char* name, const QByteArray& value) {
            if (value.isEmpty()) {
                qunsetenv(name);
            } else {
                qputenv(name, value);
            }
        };
        set("QT_QPA_PLATFORM", platform);
        set("XDG_SESSION_TYPE", "x11");
        set("DISPLAY", display);
        std::string why;
        const bool result = ruvuvuri::ui::qt::DisplayAvailable(&why);
        set("QT_QPA_PLATFORM", saved_platform);
        set("XDG_SESSION_TYPE", saved_session);
        if (had_display) {
            qputenv("DISPLAY", saved_display);
        } else {
            qunsetenv("DISPLAY");
        }
        QCOMPARE(result, available);
        QVERIFY2(QString::fromStdString(why).contains(reason), why.c_str());
    }
};

QTEST_MAIN(ModuleLoaderTest)
#include "qt_module_loader_test.moc"
