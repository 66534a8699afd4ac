// SPDX-License-Identifier: GPL-2.0-or-later
// A Qt generic plugin for the start-up benchmark: loaded into the program by
//
//   QT_PLUGIN_PATH=<build>/bench/plugins QT_QPA_GENERIC_PLUGINS=ruvuvuripanelshown
//
// it watches every event of the process and, once a widget of the window named
// PANEL has been painted, leaves the event loop after that round. The process
// time then measures start to panel shown, with nothing in the program itself
// that knows it is being measured.

#include <QCoreApplication>
#include <QEvent>
#include <QGenericPlugin>
#include <QTimer>
#include <QWidget>

namespace {

class PanelShownProbe final : public QObject {
  public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!seen_ && event->type() == QEvent::Paint && watched->isWidgetType() &&
            static_cast<QWidget*>(watched)->window()->objectName() == QLatin1String("PANEL")) {
            seen_ = true;
            // The rest of this round's painting still happens first.
            QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
        }
        return false;
    }

  private:
    bool seen_ = false;
};

}  // namespace

class PanelShownPlugin final : public QGenericPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "panel_shown_probe.json")

  public:
    QObject* create(const QString& key, const QString& /*parameters*/) override {
        if (key.compare(QLatin1String("ruvuvuripanelshown"), Qt::CaseInsensitive) != 0 ||
            QCoreApplication::instance() == nullptr) {
            return nullptr;
        }
        // The application deletes what a generic plugin creates.
        auto* probe = new PanelShownProbe;
        QCoreApplication::instance()->installEventFilter(probe);
        return probe;
    }
};

#include "panel_shown_probe.moc"
