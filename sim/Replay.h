#pragma once

#include "link/Recording.h"
#include "sim/MachineModel.h"

#include <cstdio>
#include <deque>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <vector>

// The latest recorded time, in microseconds, that the simulator's clock
// (nanoseconds in a signed 64-bit number) holds.
constexpr std::int64_t kLatestReplayMicros = std::numeric_limits<SimTime::rep>::max() / 1000;

// ReadRecordingFile, with a time beyond kLatestReplayMicros taken as a
// malformed line: the events before it kept, its line named in `error`.
Recording ReadReplayFile(const std::string& path);

// The machine of a recording (--record), served again: each request the tool
// sends is compared with the next one recorded, and when it matches, what the
// tool read after it in the recording is sent back with the recorded delay
// (or at once when `fast`); silence where the recorded machine was silent.
// The first request that differs is reported on `notes` (the event, both byte
// strings, the commands they are), and from then on the machine is silent.
// A pseudo-terminal carries no break and no RTS: where the recording has
// them, a note says so. Driven as the machine model is (mirelle-sim's loop).
class ReplayPeer {
public:
    ReplayPeer(std::vector<LineEvent> events, bool fast, std::FILE* notes);

    void AdvanceTo(SimTime time);
    void Feed(std::span<const std::uint8_t> bytes);
    std::size_t TakeOutput(std::span<std::uint8_t> into);
    std::optional<SimTime> NextOutputTime() const;

    bool Diverged() const { return silent; }

private:
    struct Due {
        SimTime at;
        std::vector<std::uint8_t> bytes;
    };

    // Passes the events from `cursor` up to the next request, serving the
    // bytes read among them after `base` (the matched request's event).
    void ServeAnswers(std::optional<std::size_t> base);
    void Diverge(const std::string& where, std::span<const std::uint8_t> recorded);

    std::vector<LineEvent> events;
    bool fast;
    std::FILE* notes;
    std::size_t cursor = 0;
    std::vector<std::uint8_t> received;
    std::deque<Due> output;
    SimTime now{};
    bool silent = false;
};
