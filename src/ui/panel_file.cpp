// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/panel_file.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <pugixml.hpp>

#include "base/printable.h"
#include "base/text.h"
#include "ui/field_text.h"

namespace ruvuvuri::ui {
namespace {

using base::Trim;

constexpr const char* kRemedy = "restore the panel file that came with the program";

// Every <widget> element below the top-level one, at any depth. The walker is
// iterative, so a deeply nested file cannot exhaust the stack.
class WidgetCollector final : public pugi::xml_tree_walker {
  public:
    bool for_each(pugi::xml_node& node) override {
        if (node.type() == pugi::node_element && std::strcmp(node.name(), "widget") == 0) {
            widgets.push_back(node);
        }
        return true;
    }
    std::vector<pugi::xml_node> widgets;
};

// "&&" stands for one '&'; a single '&' marks the keyboard accelerator.
std::string StripAccelerators(std::string_view text) {
    std::string plain;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '&') {
            plain += text[i];
        } else if (i + 1 < text.size() && text[i + 1] == '&') {
            plain += '&';
            ++i;
        }
    }
    return plain;
}

std::string LabelText(std::string_view text) {
    const std::string plain = StripAccelerators(text);
    std::string_view label = Trim(plain);
    if (!label.empty() && label.back() == ':') {
        label.remove_suffix(1);
    }
    return std::string(Trim(label));
}

// The text of a property's value element (<string>, <cstring>, <double>, ...);
// nullopt when the widget does not set the property.
std::optional<std::string> PropertyText(pugi::xml_node widget, const char* name) {
    const pugi::xml_node property = widget.find_child_by_attribute("property", "name", name);
    if (!property) {
        return std::nullopt;
    }
    return property
        .find_child([](pugi::xml_node value) { return value.type() == pugi::node_element; })
        .child_value();
}

[[noreturn]] void Fail(const std::string& file, const std::string& what) {
    throw PanelFileError("panel file " + file + ": " + what + "; " + kRemedy);
}

template <typename Number>
Number ParseNumber(const std::string& file, const std::string& control, const char* property,
                   const std::string& text) {
    const std::string_view digits = Trim(text);
    Number number{};
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (ec != std::errc() || end != digits.data() + digits.size()) {
        Fail(file, "property " + std::string(property) + " of " + control + " is not a number ('" +
                       text + "')");
    }
    return number;
}

// A value a spin box cannot show as it is, as the spin box shows it.
double WithinLimits(const PanelFileControl& control, double value) {
    return std::isnan(value) ? control.minimum
                             : std::clamp(value, control.minimum, control.maximum);
}

void ReadSpinBox(const std::string& file, pugi::xml_node widget, PanelFileControl* control) {
    const auto read = [&]<typename Number>(const char* property, Number& field) {
        if (const std::optional<std::string> text = PropertyText(widget, property)) {
            field = ParseNumber<Number>(file, control->name, property, *text);
        }
    };
    read("minimum", control->minimum);
    read("maximum", control->maximum);
    read("value", control->value);
    read("decimals", control->decimals);
    control->suffix = PropertyText(widget, "suffix").value_or("");

    if (!(control->minimum <= control->maximum)) {
        Fail(file, control->name + " has a minimum above its maximum");
    }
    // More decimals than a double carries would only show noise.
    if (control->decimals < 0 || control->decimals > 15) {
        Fail(file, control->name + " asks for " + std::to_string(control->decimals) +
                       " decimals (0 to 15 possible)");
    }
    control->minimum = RoundClock(control->minimum, control->decimals);
    control->maximum = RoundClock(control->maximum, control->decimals);
    control->value = WithinLimits(*control, RoundClock(control->value, control->decimals));
}

// The element of `range` whose `member` equals `key`, or nullptr.
template <typename Range, typename Key, typename Member>
auto* FindIn(Range& range, const Key& key, Member member) {
    const auto found = std::find_if(std::begin(range), std::end(range), [&](const auto& item) {
        return std::invoke(member, item) == key;
    });
    return found == std::end(range) ? nullptr : &*found;
}

// Line number (from 1) of a byte offset, for parser messages.
std::size_t LineOf(std::string_view text, std::ptrdiff_t offset) {
    const auto clamped = static_cast<std::size_t>(std::max<std::ptrdiff_t>(offset, 0));
    const std::string_view before = text.substr(0, std::min(clamped, text.size()));
    return 1 + static_cast<std::size_t>(std::count(before.begin(), before.end(), '\n'));
}

}  // namespace

const PanelFileControl* PanelFile::FindControl(int id) const {
    return FindIn(controls, id, &PanelFileControl::id);
}

const PanelFileButton* PanelFile::FindButtonByCallback(std::string_view callback) const {
    return FindIn(buttons, callback, &PanelFileButton::callback);
}

std::string ShownText(const PanelFileControl& control) {
    switch (control.kind) {
        case ControlKind::Integer:
            return control.editable ? FormatRegister(control.integer) : FormatWord(control.integer);
        case ControlKind::Double:
            return FormatClock(control.value, control.decimals);
        case ControlKind::Text:
            break;
    }
    return control.text;
}

PanelFile ReadPanelFile(const std::filesystem::path& path) {
    const std::string name = base::Printable(path.string());
    const PanelFileBytes file = ReadPanelFileBytes(path);
    switch (file.outcome) {
        case PanelFileBytes::Read:
            return ParsePanelFile(file.text, name);
        case PanelFileBytes::Folder:
            throw PanelFileError("panel file " + name + " is a folder; " + kRemedy);
        case PanelFileBytes::CannotOpen:
            throw PanelFileError("cannot open the panel file " + name + " (" + file.text +
                                 "); keep Ruvuvuri.ui next to the program or reinstall it");
        case PanelFileBytes::CannotRead:
            break;
    }
    throw PanelFileError("cannot read the panel file " + name + "; " + kRemedy);
}

PanelFile ParsePanelFile(std::string_view xml, const std::string& name) {
    pugi::xml_document document;
    const pugi::xml_parse_result parsed = document.load_buffer(xml.data(), xml.size());
    if (!parsed) {
        Fail(name, "not valid XML (line " + std::to_string(LineOf(xml, parsed.offset)) + ": " +
                       parsed.description() + ")");
    }
    const pugi::xml_node ui = document.child("ui");
    if (!ui) {
        Fail(name, "not a Qt Designer file (no <ui> element)");
    }
    pugi::xml_node top = ui.child("widget");
    if (std::strcmp(top.attribute("name").value(), "PANEL") != 0) {
        Fail(name, "the top-level widget is not named PANEL");
    }

    PanelFile panel;
    panel.title = PropertyText(top, "windowTitle").value_or("");
    panel.xml = xml;

    WidgetCollector collector;
    top.traverse(collector);
    std::multimap<std::string, pugi::xml_node> by_name;
    std::map<std::string, std::string> labels;  // buddy -> label text
    for (pugi::xml_node widget : collector.widgets) {
        const std::string object_name = widget.attribute("name").value();
        const std::string_view widget_class = widget.attribute("class").value();
        by_name.emplace(object_name, widget);
        if (widget_class == "QLabel") {
            if (const std::optional<std::string> buddy = PropertyText(widget, "buddy")) {
                labels.emplace(std::string(Trim(*buddy)),
                               LabelText(PropertyText(widget, "text").value_or("")));
            }
        } else if (widget_class == "QPushButton") {
            panel.buttons.push_back(
                {object_name, StripAccelerators(PropertyText(widget, "text").value_or("")),
                 std::string(Trim(PropertyText(widget, "callback").value_or("")))});
        }
    }

    for (const PanelControl& wanted : kPanelControls) {
        const auto count = by_name.count(wanted.name);
        if (count == 0 && wanted.optional) {
            continue;
        }
        if (count == 0) {
            Fail(name, std::string("lacks the control ") + wanted.name + " (a " +
                           wanted.widget_class + ")");
        }
        if (count > 1) {
            Fail(name, std::string("names more than one widget ") + wanted.name);
        }
        const pugi::xml_node widget = by_name.find(wanted.name)->second;

        PanelFileControl control;
        control.id = wanted.id;
        control.name = wanted.name;
        control.kind = wanted.kind;
        control.editable = wanted.editable;
        control.widget_class = widget.attribute("class").value();
        if (control.widget_class != wanted.widget_class) {
            Fail(name,
                 control.name + " is a " + control.widget_class + ", not a " + wanted.widget_class);
        }
        if (const auto label = labels.find(control.name); label != labels.end()) {
            control.label = label->second;
        }
        control.text = PropertyText(widget, "text").value_or("");
        control.read_only = Trim(PropertyText(widget, "readOnly").value_or("")) == "true";
        if (wanted.kind == ControlKind::Double) {
            ReadSpinBox(name, widget, &control);
        }
        panel.controls.push_back(std::move(control));
    }
    return panel;
}

PanelFile LoadPanelFile(const std::filesystem::path& path, int parent, int panel_id,
                        const CallbackTable& callbacks) {
    const std::string name = base::Printable(path.string());
    if (parent != 0) {
        throw PanelFileError("panel file " + name + " has no panel inside panel " +
                             std::to_string(parent));
    }
    if (panel_id != PANEL) {
        throw PanelFileError("panel file " + name + " has no panel " + std::to_string(panel_id) +
                             "; its only panel is PANEL (" + std::to_string(PANEL) + ")");
    }
    PanelFile panel = ReadPanelFile(path);
    // Every button must lead somewhere, and the apply and exit buttons must be
    // there: without them the panel could neither change the card nor end.
    for (const PanelFileButton& button : panel.buttons) {
        if (!button.callback.empty() &&
            FindIn(callbacks, button.callback, &NamedCallback::name) == nullptr) {
            Fail(name, "button " + button.name + " calls '" + button.callback +
                           "', which the program does not have");
        }
    }
    for (const char* callback : {kApplyCallback, kExitCallback}) {
        if (panel.FindButtonByCallback(callback) == nullptr) {
            Fail(name, std::string("no button calls ") + callback);
        }
    }
    return panel;
}

bool PanelFileEngine::ReadPanel(int parent, const std::string& file, int panel_id) {
    panel_.reset();
    try {
        panel_ = LoadPanelFile(file, parent, panel_id, callbacks_);
    } catch (const PanelFileError& error) {
        last_error_ = error.what();
    }
    return panel_.has_value();
}

bool PanelFileEngine::Loaded(int panel) {
    if (!panel_ || panel != PANEL) {
        last_error_ = "no panel has the handle " + std::to_string(panel);
        return false;
    }
    return true;
}

PanelFileControl* PanelFileEngine::Field(int panel, int control, ControlKind kind) {
    if (!Loaded(panel)) {
        return nullptr;
    }
    PanelFileControl* found = panel_->FindControl(control);
    if (found == nullptr || found->kind != kind) {
        constexpr const char* kHolds[] = {"text", "integer", "number"};
        last_error_ = found == nullptr
                          ? "the panel has no control " + std::to_string(control)
                          : found->name + " holds no " + kHolds[static_cast<int>(kind)];
        return nullptr;
    }
    return found;
}

void PanelFileEngine::SetCtrlVal(int panel, int control, const std::string& value) {
    if (PanelFileControl* field = Field(panel, control, ControlKind::Text)) {
        field->text = value;
        Show(*field);
    }
}

void PanelFileEngine::SetCtrlVal(int panel, int control, double value) {
    if (PanelFileControl* field = Field(panel, control, ControlKind::Double)) {
        field->value =
            std::isfinite(value) ? RoundClock(value, field->decimals) : WithinLimits(*field, value);
        Show(*field);
    }
}

void PanelFileEngine::SetCtrlVal(int panel, int control, std::uint32_t value) {
    if (PanelFileControl* field = Field(panel, control, ControlKind::Integer)) {
        field->integer = value;
        Show(*field);
    }
}

bool PanelFileEngine::GetCtrlVal(int panel, int control, double* value) {
    const PanelFileControl* field = Field(panel, control, ControlKind::Double);
    if (field != nullptr) {
        *value = field->value;
    }
    return field != nullptr;
}

bool PanelFileEngine::GetCtrlVal(int panel, int control, std::uint32_t* value) {
    const PanelFileControl* field = Field(panel, control, ControlKind::Integer);
    if (field != nullptr) {
        *value = field->integer;
    }
    return field != nullptr;
}

bool PanelFileEngine::GetCtrlLimits(int panel, int control, double* minimum, double* maximum) {
    const PanelFileControl* field = Field(panel, control, ControlKind::Double);
    if (field != nullptr) {
        *minimum = field->minimum;
        *maximum = field->maximum;
    }
    return field != nullptr;
}

bool PanelFileEngine::SetCtrlStepRule(int panel, int control, StepRule rule) {
    PanelFileControl* field = Field(panel, control, ControlKind::Double);
    if (field != nullptr) {
        field->step = std::move(rule);
    }
    return field != nullptr;
}

bool PanelFileEngine::Press(std::string_view name) {
    const NamedCallback* named = FindIn(callbacks_, name, &NamedCallback::name);
    if (named != nullptr && named->callback) {
        named->callback(PANEL, 0, EVENT_COMMIT, nullptr, 0, 0);
    }
    return named != nullptr;
}

}  // namespace ruvuvuri::ui
