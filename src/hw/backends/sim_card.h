#pragma once

#include <chrono>
#include <csignal>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "hw/port_io.h"
#include "hw/signal_block.h"

namespace ruvuvuri::hw {

// Ways the simulated card can misbehave like a card on a real bus, asked for by
// the profile's optional "inject" object:
//   "inject": { "reads_all_ones": true, "ignore_writes": ["0x680500"],
//               "access_delay_us": 200, "bracket_ignores_signals": false }
// - reads_all_ones: every port read returns all ones (0xFF, 0xFFFF), as from a
//   card that is absent or hung. Writes still reach the model, so what the
//   program writes to such a card can be checked. The BIOS image reads normally:
//   it is the ROM shadow in system memory.
// - ignore_writes: card registers whose writes are dropped without a trace; the
//   register keeps its value. Protocol faults of the write are still recorded.
// - access_delay_us: every port access takes at least this long, so that a
//   signal can land inside a hardware sequence.
// - bracket_ignores_signals: the interrupt bracket does not hold off signals,
//   as on a platform that cannot; a check that signal protection is tested.
struct FaultInjection {
    bool given = false;  // the profile has the object; saved back when given or set
    bool reads_all_ones = false;
    std::vector<std::uint32_t> ignore_writes;  // addresses as the profile lists them
    std::uint32_t access_delay_us = 0;
    bool bracket_ignores_signals = false;

    bool any() const {
        return given || reads_all_ones || !ignore_writes.empty() || access_delay_us != 0 ||
               bracket_ignores_signals;
    }
};

// What the simulated card remembers between accesses, and what a profile file
// loads and saves. Plain data: the device model in SimCard gives it meaning.
struct CardState {
    std::string description;
    std::string bios_path;           // as the profile names it (relative to the profile's folder)
    std::vector<std::uint8_t> bios;  // the image at physical 0xC0000; reads beyond it are zero

    std::uint8_t misc_output = 0x67;  // bit 0 set: CRT controller at 0x3D4, clear: 0x3B4
    std::uint8_t crtc_index = 0x00;
    // Extended registers (index 0x19 and above) readable. CR1F in `crtc` keeps
    // what it reads back: 0x01 marks the read-only unlock (0x75 written), any
    // other value with `extended_unlocked` the full one (0x57 written).
    bool extended_unlocked = false;
    std::map<std::uint8_t, std::uint8_t> crtc;  // every CRT controller register given or written

    std::uint32_t window_address = 0;
    std::uint16_t window_latch = 0;
    std::map<std::uint32_t, std::uint32_t> registers;  // every card register given, read or written

    std::vector<std::string> faults;  // one line per protocol violation the model detected

    FaultInjection inject;  // kept as loaded; the model reads it, never changes it
};

// Map nodes allocated ahead of time, so that the first write of a register
// inside the interrupt bracket needs no allocation: a new entry takes a spare
// node instead. A copy starts with spares of its own.
template <typename Map>
class SpareNodes {
  public:
    using Key = typename Map::key_type;
    using Value = typename Map::mapped_type;

    SpareNodes() { Refill(); }
    SpareNodes(const SpareNodes&) : SpareNodes() {}
    SpareNodes(SpareNodes&&) noexcept = default;
    SpareNodes& operator=(const SpareNodes&) { return *this; }
    SpareNodes& operator=(SpareNodes&&) noexcept = default;
    ~SpareNodes() = default;

    // The entry for `key`, created as zero when missing. With `no_allocation`
    // a new entry uses a spare node while there is one.
    Value& At(Map& map, Key key, bool no_allocation) {
        auto it = map.find(key);
        if (it != map.end()) {
            return it->second;
        }
        if (!no_allocation || spares_.empty()) {
            return map.emplace(key, Value{}).first->second;
        }
        typename Map::node_type node = std::move(spares_.back());
        spares_.pop_back();
        node.key() = key;
        node.mapped() = Value{};
        return map.insert(std::move(node)).position->second;
    }

    void Refill() {
        Map scratch;
        while (spares_.size() < kCount) {
            scratch.emplace(Key{}, Value{});
            spares_.push_back(scratch.extract(scratch.begin()));
        }
    }

  private:
    // More than one PLL update ever touches for the first time.
    static constexpr std::size_t kCount = 16;
    std::vector<typename Map::node_type> spares_;
};

// A device model of a GeForce of the NV1x/NV2x era as seen through the legacy
// VGA ports: the CRT controller pair, the CR1F lock, the CR38 real-mode register
// window at 0x3D0-0x3D3 and the card registers behind it, and the video BIOS at
// 0xC0000. Drivers that misuse it are caught: each violation is recorded in
// state().faults.
class SimCard final : public PortIo {
  public:
    explicit SimCard(CardState state = {});

    std::uint8_t inb(std::uint16_t port) override;
    void outb(std::uint16_t port, std::uint8_t value) override;
    std::uint16_t inw(std::uint16_t port) override;
    void outw(std::uint16_t port, std::uint16_t value) override;
    void ReadFromPhysicalMemory(std::uint32_t address, std::span<std::uint8_t> dest) override;
    void DisableInterrupts() override;
    void EnableInterrupts() override;

    const CardState& state() const { return state_; }
    CardState& state() { return state_; }
    bool interrupts_disabled() const { return interrupts_disabled_; }

    // Makes every port access take at least this long, so that a test can land
    // signals inside a hardware sequence. Starts as the profile's
    // inject.access_delay_us; setting it leaves the profile's value alone.
    void set_access_delay(std::chrono::microseconds delay) { access_delay_ = delay; }

    // The card stands for hardware whose state outlives the process, so a run
    // that is told to stop has to stop where real hardware would keep a
    // consistent state. A stop point is the start of every port access, the
    // start of DisableInterrupts (before the bracket opens) and the moment
    // after EnableInterrupts has restored the signal mask: there `hook` runs
    // when `*pending` is non-zero. A signal held off by the bracket therefore
    // stops the run only once the bracket has closed. The hook normally does
    // not return; when it does, the access goes on. Set it once, outside any
    // bracket; calling it costs no allocation.
    using StopHook = std::function<void()>;
    void set_stop_point(const volatile std::sig_atomic_t* pending, StopHook hook);
    // Non-zero exactly while the interrupt bracket is open; a signal handler
    // may read it to tell whether it runs inside the bracket (which the bracket
    // should have made impossible).
    const volatile std::sig_atomic_t* bracket_open_flag() const { return &bracket_open_; }

  private:
    // The byte-level model; the public accesses add the delay, and a 16-bit
    // access is exactly two of these.
    std::uint8_t ReadPort(std::uint16_t port);
    void WritePort(std::uint16_t port, std::uint8_t value);
    std::uint16_t CrtcIndexPort() const;
    std::uint8_t ReadCrtcData();
    void WriteCrtcData(std::uint8_t value);
    bool ReadOnlyUnlock() const;
    std::uint8_t Cr38() const;
    bool WindowAnswers(std::uint16_t port, const char* access);
    std::uint8_t ReadWindow(unsigned byte);
    void WriteWindow(unsigned byte, std::uint8_t value);
    std::uint32_t ReadRegister(std::uint32_t address);
    void WriteRegister(std::uint32_t address, std::uint32_t value);
    void CheckBracket(const char* name, std::uint32_t address, std::uint32_t value);
    bool IgnoresWrites(std::uint32_t address) const;
    void Fault(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void Delay() const;
    bool StopPending() const { return stop_pending_ != nullptr && *stop_pending_ != 0; }
    void StopPoint();

    CardState state_;
    bool interrupts_disabled_ = false;
    volatile std::sig_atomic_t bracket_open_ = 0;  // interrupts_disabled_, for a signal handler
    SignalBlock signals_;
    std::chrono::microseconds access_delay_{0};
    const volatile std::sig_atomic_t* stop_pending_ = nullptr;
    StopHook stop_hook_;
    std::uint8_t data_bytes_[4] = {};  // bytes written in data mode, committed on byte 3
    SpareNodes<std::map<std::uint8_t, std::uint8_t>> spare_crtc_;
    SpareNodes<std::map<std::uint32_t, std::uint32_t>> spare_registers_;
};

// The built-in card of `--sim`: a GeForce2 GTS (device 0x0150), 14318 kHz
// crystal, core PLL 0x00006207 (200.452 MHz), memory PLL 0x0000740a
// (166.088 MHz), plausible timings and a synthetic BIOS image.
CardState BuiltinGeForce2Gts();

}  // namespace ruvuvuri::hw
