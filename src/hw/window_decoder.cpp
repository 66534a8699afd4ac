// SPDX-License-Identifier: GPL-2.0-or-later
#include "hw/window_decoder.h"

#include <cstdio>

#include "hw/register_window.h"

namespace ruvuvuri::hw {
namespace {

bool IsCrtcIndexPort(unsigned port) {
    return port == kCrtcColour || port == kCrtcMono;
}

// The window as the trace leaves it, line by line.
struct Window {
    std::vector<WindowEvent>* events;
    unsigned mode = 0;
    std::uint32_t address = 0;
    std::uint32_t latch = 0;
    std::uint32_t read_high = 0;
    bool high_read = false;
    unsigned crtc_index = 0;

    void Emit(WindowEvent::Kind kind, std::uint32_t at = 0, std::uint32_t value = 0) {
        events->push_back({kind, at, value});
    }
    void Inw(unsigned port, unsigned value) {
        if (mode != kModeRead) {
            return;
        }
        if (port == kWindowHigh) {
            read_high = value;
            high_read = true;
        } else if (port == kWindowLow && high_read) {
            // High word then low word: a register read. A low word alone is
            // the window saving what it held.
            Emit(WindowEvent::Kind::RegisterRead, address, (read_high << 16) | value);
            high_read = false;
        }
    }
    void Outw(unsigned port, unsigned value) {
        if (IsCrtcIndexPort(port)) {
            if ((value & 0xFF) == kCr38Index) {
                mode = value >> 8;
                high_read = false;
            }
        } else if (mode == kModeAddress && port == kWindowHigh) {
            address = (address & 0xFFFFu) | (value << 16);
        } else if (mode == kModeAddress && port == kWindowLow) {
            address = (address & 0xFFFF0000u) | value;
        } else if (mode == kModeWrite && port == kWindowLow) {
            latch = value;  // only a latch: no register is written
        } else if (mode == kModeWrite && port == kWindowHigh) {
            Emit(WindowEvent::Kind::RegisterWrite, address, (value << 16) | latch);
        }
    }
    void Outb(unsigned port, unsigned value) {
        if (IsCrtcIndexPort(port)) {
            crtc_index = value;
        } else if (IsCrtcIndexPort(port - 1)) {
            Emit(WindowEvent::Kind::CrtcWrite, crtc_index, value);
        }
    }
};

}  // namespace

DecodedTrace DecodeWindowTrace(std::istream& in) {
    DecodedTrace decoded;
    Window window{&decoded.events};
    std::string text;
    int number = 0;
    while (std::getline(in, text)) {
        ++number;
        unsigned port = 0, value = 0;
        char op[8] = {};
        char tail = 0;
        if (text == "# ruvuvuri trace 1") {
            // Each run in the file starts from a window it has not yet seen.
            window = Window{&decoded.events};
            window.Emit(WindowEvent::Kind::RunStart);
        } else if (text.empty() || text[0] == '#') {
            continue;
        } else if (text == "irq off" || text == "irq on") {
            window.Emit(text == "irq off" ? WindowEvent::Kind::IrqOff : WindowEvent::Kind::IrqOn);
        } else if (std::sscanf(text.c_str(), "mem 0x%x %u %c", &port, &value, &tail) == 2) {
            window.Emit(WindowEvent::Kind::BiosRead, port, value);
        } else if (std::sscanf(text.c_str(), "%7s 0x%x 0x%x %c", op, &port, &value, &tail) == 3 &&
                   port <= 0xFFFF) {
            const std::string name = op;
            if (name == "inw" && value <= 0xFFFF) {
                window.Inw(port, value);
            } else if (name == "outw" && value <= 0xFFFF) {
                window.Outw(port, value);
            } else if (name == "outb" && value <= 0xFF) {
                window.Outb(port, value);
            } else if (name != "inb" || value > 0xFF) {
                decoded.problems.push_back("line " + std::to_string(number) + ": not a trace line");
            }
        } else {
            decoded.problems.push_back("line " + std::to_string(number) + ": not a trace line");
        }
    }
    return decoded;
}

}  // namespace ruvuvuri::hw
