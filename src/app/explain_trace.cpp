// SPDX-License-Identifier: GPL-2.0-or-later
// --explain-trace: a trace decoded back into register accesses, as text. For
// each run in it, every card register read and write with the register's name
// (PLL words with M, N, P and the clock they give from the crystal the run
// read), the interrupt bracket and the CR1F unlock, then what the run changed:
// each register written, from the value first read to the value last written.
#include <cerrno>
#include <fstream>
#include <map>
#include <optional>
#include <vector>

#include "app/host.h"
#include "app/info.h"
#include "app/startup.h"
#include "base/error_text.h"
#include "clock/clock_engine.h"
#include "hw/window_decoder.h"

namespace ruvuvuri::app {
namespace {

using Kind = hw::WindowEvent::Kind;

// What a value means for its register, when the program knows.
std::string Meaning(std::uint32_t address, std::uint32_t value, int base_freq) {
    if (address == clock::kStrapRegister) {
        return Format("  crystal %d kHz", clock::CrystalKhz(value));
    }
    if (address != clock::kCorePllRegister && address != clock::kMemPllRegister) {
        return "";
    }
    const clock::PllCoeff coeff = clock::PllCoeff::FromWord(value);
    std::string text = Format("  M %d N %d P %d", coeff.M, coeff.N, coeff.P);
    if (base_freq != 0) {
        text += Format(": %.3f MHz", clock::PllOutputKhz(value, base_freq) / 1000.0);
    }
    return text;
}

std::string Name(std::uint32_t address) {
    const std::string name = RegisterName(address);
    return name.empty() ? "Register" : name;
}

// One run of the trace: its lines, and what it changed.
class RunText {
  public:
    explicit RunText(int number) { out_ = Format("Run %d\n", number); }

    void Add(const hw::WindowEvent& event) {
        switch (event.kind) {
            case Kind::RunStart:
                break;
            case Kind::BiosRead:
                out_ += Format("  BIOS read: %u bytes at 0x%X\n", event.value, event.address);
                break;
            case Kind::IrqOff:
                out_ += "  interrupts off\n";
                break;
            case Kind::IrqOn:
                out_ += "  interrupts on\n";
                break;
            case Kind::CrtcWrite:
                out_ += Format(
                    "  CRT controller 0x%02X <- 0x%02X%s\n", event.address, event.value,
                    event.address == clock::kCr1fIndex && event.value == clock::kUnlockExtended
                        ? " (extended registers unlocked)"
                        : "");
                break;
            case Kind::RegisterRead:
                if (event.address == clock::kStrapRegister) {
                    base_freq_ = clock::CrystalKhz(event.value);
                }
                first_read_.try_emplace(event.address, event.value);
                out_ += Line("read ", event, " = ");
                break;
            case Kind::RegisterWrite:
                if (!last_written_.contains(event.address)) {
                    written_order_.push_back(event.address);
                }
                last_written_[event.address] = event.value;
                out_ += Line("write", event, " <- ");
                break;
        }
    }

    std::string Finish() {
        if (written_order_.empty()) {
            return out_ + "  Changed: nothing\n";
        }
        out_ += "  Changed:\n";
        for (const std::uint32_t address : written_order_) {
            const std::uint32_t after = last_written_[address];
            const auto before = first_read_.find(address);
            const std::string was =
                before == first_read_.end() ? "(not read)" : Format("0x%08X", before->second);
            out_ += Format("    %-11s 0x%06X  %s -> 0x%08X", Name(address).c_str(), address,
                           was.c_str(), after);
            out_ += Meaning(address, after, base_freq_) + "\n";
        }
        return out_;
    }

  private:
    std::string Line(const char* verb, const hw::WindowEvent& event, const char* sign) const {
        return Format("  %s %-11s 0x%06X%s0x%08X", verb, Name(event.address).c_str(), event.address,
                      sign, event.value) +
               Meaning(event.address, event.value, base_freq_) + "\n";
    }

    std::string out_;
    int base_freq_ = 0;
    std::map<std::uint32_t, std::uint32_t> first_read_;
    std::map<std::uint32_t, std::uint32_t> last_written_;
    std::vector<std::uint32_t> written_order_;
};

std::string ExplainTrace(const hw::DecodedTrace& trace) {
    std::string out;
    std::optional<RunText> run;
    int runs = 0;
    for (const hw::WindowEvent& event : trace.events) {
        if (event.kind == Kind::RunStart || !run) {
            if (run) {
                out += run->Finish();
            }
            run.emplace(++runs);
        }
        run->Add(event);
    }
    return run ? out + run->Finish() : "No run in this trace.\n";
}

}  // namespace

int ExplainTraceFile(const std::string& path) {
    // Through the host, so that a program started without a console (Windows)
    // still shows what it was asked for.
    std::ifstream in(path);
    if (!in) {
        const int error = errno;
        host::Warn("cannot read the trace " + path + " (" + base::ErrorText(error) +
                   "); check the file name");
        return -1;
    }
    const hw::DecodedTrace trace = hw::DecodeWindowTrace(in);
    for (const std::string& problem : trace.problems) {
        host::Warn(path + ": " + problem + "; skipped");
    }
    host::PrintText(ExplainTrace(trace));
    return 0;
}

}  // namespace ruvuvuri::app
