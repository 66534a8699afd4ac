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
class WindowFollower {
  public:
    explicit WindowFollower(std::vector<WindowEvent>* events, int line = 0)
        : events_(events), line_(line) {}

    // Each run in the file starts from a window it has not yet seen.
    void Run() {
        *this = WindowFollower(events_, line_);
        Emit(WindowEvent::Kind::RunStart);
    }
    void Emit(WindowEvent::Kind kind, std::uint32_t address = 0, std::uint32_t value = 0) {
        events_->push_back({kind, address, value, line_});
    }
    void Inw(unsigned port, unsigned value) {
        if (mode_ != kModeRead) {
            return;
        }
        if (port == kWindowHigh) {
            read_high_ = value;
            high_read_ = true;
        } else if (port == kWindowLow && high_read_) {
            // High word then low word: a register read. A low word alone is
            // the window saving what it held.
            Emit(WindowEvent::Kind::RegisterRead, address_, (read_high_ << 16) | value);
            high_read_ = false;
        }
    }
    void Outw(unsigned port, unsigned value) {
        if (IsCrtcIndexPort(port)) {
            if ((value & 0xFF) == kCr38Index) {
                mode_ = value >> 8;
                high_read_ = false;
            }
            return;
        }
        if (mode_ == kModeAddress) {
            if (port == kWindowHigh) {
                address_ = (address_ & 0xFFFFu) | (value << 16);
            } else if (port == kWindowLow) {
                address_ = (address_ & 0xFFFF0000u) | value;
            }
        } else if (mode_ == kModeWrite) {
            if (port == kWindowLow) {
                latch_ = value;  // only a latch: no register is written
            } else if (port == kWindowHigh) {
                Emit(WindowEvent::Kind::RegisterWrite, address_, (value << 16) | latch_);
            }
        }
    }
    void Outb(unsigned port, unsigned value) {
        if (IsCrtcIndexPort(port)) {
            crtc_index_ = value;
        } else if (IsCrtcIndexPort(port - 1)) {
            Emit(WindowEvent::Kind::CrtcWrite, crtc_index_, value);
        }
    }
    void set_line(int line) { line_ = line; }

  private:
    std::vector<WindowEvent>* events_;
    unsigned mode_ = 0;
    std::uint32_t address_ = 0;
    std::uint32_t latch_ = 0;
    std::uint32_t read_high_ = 0;
    bool high_read_ = false;
    unsigned crtc_index_ = 0;
    int line_ = 0;
};

}  // namespace

DecodedTrace DecodeWindowTrace(std::istream& in) {
    DecodedTrace decoded;
    WindowFollower window(&decoded.events);
    std::string text;
    int number = 0;
    while (std::getline(in, text)) {
        window.set_line(++number);
        unsigned port = 0, value = 0;
        char op[8] = {};
        char tail = 0;
        if (text == "# ruvuvuri trace 1") {
            window.Run();
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
