#pragma once

#include "console/ConsoleHost.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>

class DeviceLink;

// What a watch shows, numbered in the order of its menu items.
enum class WatchMode : std::uint8_t {
    Normal = 0,           // the word last read
    UnsignedMaximum = 1,  // the largest word since the reset, compared unsigned
    SignedMaximum = 2,    // the same, signed 24-bit
    UnsignedMinimum = 3,  // the smallest word, compared unsigned
    SignedMinimum = 4,    // the same, signed 24-bit
};

// The colour of a watch window's square, which tells how the polling goes.
enum class WatchLight : std::uint8_t {
    Lime,    // at the start; after a successful read in mode Normal
    Aqua,    // after a successful read in a maximum or minimum mode
    Red,     // after a failed read
    Yellow,  // polling resumed by a click, or the values reset while polling
    Black,   // polling paused
};

// What a watch window decides, GUI-free: it reads 1 to 16 consecutive words
// at every tick of its timer and tracks, per word, the word last read or the
// largest or smallest one since the last reset. The timer's enabled flag is
// the watch's own: an interval of 0 is enabled all the same and never ticks.
class Watch {
public:
    static constexpr unsigned kMaxWords = 16;

    // The count cut to 16 (a negative one too, compared unsigned); mode
    // Normal, all values 0, the light lime, the timer enabled.
    explicit Watch(const WatchOrder& order);

    // The top line: "_%c 0x%06X (%u ms)" with space, address and interval.
    std::string AddressText() const;

    // One tick of the timer: one ReadMemory of all the words. A failed read
    // only turns the light red. While the link holds watch reads back (a
    // procedure owns it, the resident loader waits for its stream, RTS is on)
    // nothing is sent and nothing changes: the reads go on when that ends.
    void Read(DeviceLink& link);
    // The values back to the mode's start value, the value text empty, the
    // light yellow when the timer is enabled.
    void Reset();
    // A mode item of the menu: that mode, then the reset.
    void ChooseMode(WatchMode chosen);
    // A click on the square: pauses or resumes the timer.
    void ToggleTimer();

    bool TimerEnabled() const { return timerEnabled; }
    // Whether the timer ticks: enabled, and an interval that is not 0.
    bool Polls() const { return timerEnabled && interval != 0; }
    std::uint32_t Interval() const { return interval; }
    unsigned Count() const { return count; }
    WatchMode Mode() const { return mode; }
    WatchLight Light() const { return light; }
    // The values of the watched words, as the mode tracks them.
    std::span<const std::uint32_t> Values() const { return std::span(values).first(count); }
    // The value lines of the last successful read, one "0x%06X (%i)" a word,
    // separated by a single LF; empty after a reset until the next read.
    const std::string& ValueText() const { return valueText; }

private:
    std::uint32_t address;
    MemorySpace space;
    unsigned count;
    std::uint32_t interval;
    WatchMode mode = WatchMode::Normal;
    std::array<std::uint32_t, kMaxWords> values{};
    bool timerEnabled = true;
    WatchLight light = WatchLight::Lime;
    std::string valueText;
};

// A watched value as the window shows it: its low 24 bits in hexadecimal and
// the value as a signed 32-bit number, "0x%06X (%i)".
std::string WatchValueText(std::uint32_t value);
