// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/qt/countdown_question.h"

#include <chrono>
#include <memory>

#include <QDeadlineTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTimer>

#include "ui/ui_engine.h"

namespace ruvuvuri::ui::qt {
namespace {

// Often enough that the shown seconds change within a fifth of a second of
// the real ones; the text is only set when the number changes.
constexpr int kTickMilliseconds = 200;

}  // namespace

bool AskWithCountdown(QWidget* parent, const QString& title, const std::string& message_format,
                      int seconds, int cancel_fd) {
    QMessageBox box(QMessageBox::Question, title, QString(), QMessageBox::NoButton, parent);
    box.setTextFormat(Qt::PlainText);
    QPushButton* keep = box.addButton(QStringLiteral("&Keep"), QMessageBox::AcceptRole);
    QPushButton* revert = box.addButton(QStringLiteral("&Revert"), QMessageBox::RejectRole);
    // Enter, Escape and the close box all revert: only a deliberate Keep
    // leaves the new settings running.
    box.setDefaultButton(revert);
    box.setEscapeButton(revert);

    const QDeadlineTimer deadline{std::chrono::seconds(seconds)};
    bool ended_without_answer = false;
    const auto end_without_answer = [&] {
        ended_without_answer = true;
        box.done(QDialog::Rejected);
    };
    int shown = -1;
    const auto count_down = [&] {
        const qint64 left_ms = deadline.remainingTime();
        if (left_ms <= 0) {
            end_without_answer();
            return;
        }
        const int left = static_cast<int>((left_ms + 999) / 1000);
        if (left != shown) {
            shown = left;
            box.setText(QString::fromStdString(UiEngine::CountdownText(message_format, left)));
        }
    };
    QTimer tick;
    tick.setInterval(kTickMilliseconds);
    QObject::connect(&tick, &QTimer::timeout, &box, count_down);
    count_down();
    tick.start();

    // A stop signal (through the descriptor the caller holds them on) counts
    // as no.
    std::unique_ptr<QSocketNotifier> cancel;
    if (cancel_fd >= 0) {
        cancel = std::make_unique<QSocketNotifier>(cancel_fd, QSocketNotifier::Read);
        QObject::connect(cancel.get(), &QSocketNotifier::activated, &box, [&] {
            cancel->setEnabled(false);
            end_without_answer();
        });
    }

    if (!ended_without_answer) {
        box.exec();
    }
    return !ended_without_answer && box.clickedButton() == keep && !deadline.hasExpired();
}

}  // namespace ruvuvuri::ui::qt
