// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/qt/field_setup.h"

#include <algorithm>
#include <cmath>

#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QPalette>
#include <QWidget>

#include "ui/field_text.h"

namespace ruvuvuri::ui::qt {
namespace {

constexpr const char* kMinimum = "ruvuvuriFileMinimum";
constexpr const char* kMaximum = "ruvuvuriFileMaximum";
constexpr const char* kProgramValue = "ruvuvuriProgramValue";
// What a clock field lets the user type: more than any card runs at, so that
// "999" stays 999 for Apply to refuse rather than losing its last digit.
constexpr double kTypingLimit = 99999.0;

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

void PrepareClock(QDoubleSpinBox& spin, const PanelFileControl& control) {
    const double low = spin.minimum();
    const double high = spin.maximum();
    spin.setProperty(kMinimum, low);
    spin.setProperty(kMaximum, high);
    spin.setRange(std::min(low, -kTypingLimit), std::max(high, kTypingLimit));
    if (spin.toolTip().isEmpty()) {
        spin.setToolTip(QString::fromStdString(control.label) + QStringLiteral(": ") +
                        QString::number(low, 'f', spin.decimals()) + QStringLiteral(" to ") +
                        QString::number(high, 'f', spin.decimals()) + QLatin1Char(' ') +
                        spin.suffix().trimmed() +
                        QStringLiteral(". Apply refuses a value outside this range."));
    }
    QObject::connect(&spin, &QDoubleSpinBox::textChanged, &spin,
                     [&spin] { MarkRefused(spin, !AcceptedClock(spin).has_value()); });
}

void PrepareTiming(QLineEdit& edit, const PanelFileControl& control) {
    if (edit.toolTip().isEmpty()) {
        edit.setToolTip(QString::fromStdString(control.label) +
                        QStringLiteral(": hexadecimal, eight digits, 0x00000000 to 0xFFFFFFFF."));
    }
    QObject::connect(&edit, &QLineEdit::textChanged, &edit, [&edit](const QString& text) {
        MarkRefused(edit, !ParseRegister(text.trimmed().toStdString()).has_value());
    });
}

void PrepareReadOnly(QLineEdit& edit) {
    // The window's colour instead of an input field's white, and no Tab stop;
    // a click still selects the text for copying.
    QPalette palette = edit.palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    edit.setPalette(palette);
    if ((edit.focusPolicy() & Qt::TabFocus) != 0) {
        edit.setFocusPolicy(Qt::ClickFocus);
    }
}

}  // namespace

std::pair<double, double> ClockFieldLimits(const QDoubleSpinBox& spin) {
    return {spin.property(kMinimum).toDouble(), spin.property(kMaximum).toDouble()};
}

void PrepareFields(const std::map<int, QWidget*>& controls, const PanelFile& layout) {
    for (const PanelFileControl& control : layout.controls) {
        const auto found = controls.find(control.id);
        if (found == controls.end()) {
            continue;
        }
        if (auto* spin = qobject_cast<QDoubleSpinBox*>(found->second)) {
            PrepareClock(*spin, control);
        } else if (auto* edit = qobject_cast<QLineEdit*>(found->second)) {
            if (edit->isReadOnly()) {
                PrepareReadOnly(*edit);
            } else if (FindPanelControl(control.id)->kind == ControlKind::Integer) {
                PrepareTiming(*edit, control);
            }
        }
    }
}

void SetProgramClock(QDoubleSpinBox& spin, double value) {
    const auto [low, high] = ClockFieldLimits(spin);
    if (!std::isfinite(value)) {
        value = std::isnan(value) ? low : std::clamp(value, low, high);
    }
    // The typing range covers every clock a PLL can make; widen it for a
    // value beyond, rather than show a wrong one.
    spin.setRange(std::min({spin.minimum(), low, value}), std::max({spin.maximum(), high, value}));
    spin.setValue(value);
    spin.setProperty(kProgramValue, spin.value());
}

std::optional<double> AcceptedClock(const QDoubleSpinBox& spin) {
    if (!spin.hasAcceptableInput()) {
        return std::nullopt;
    }
    const double shown = spin.valueFromText(spin.text());
    const auto [low, high] = ClockFieldLimits(spin);
    const QVariant program = spin.property(kProgramValue);
    const bool untouched = program.isValid() && shown == program.toDouble();
    if ((shown < low || shown > high) && !untouched) {
        return std::nullopt;
    }
    return shown;
}

}  // namespace ruvuvuri::ui::qt
