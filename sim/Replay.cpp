#include "sim/Replay.h"

#include "common/TextFormat.h"
#include "link/LineDecoding.h"

#include <algorithm>

namespace {

std::string Seconds(std::int64_t micros)
{
    return FormatText("%lld.%06lld s", static_cast<long long>(micros / 1000000),
                      static_cast<long long>(micros % 1000000));
}

std::string Shown(std::span<const std::uint8_t> bytes)
{
    if (bytes.empty())
        return "nothing";
    return HexBytes(bytes) + " (" + DecodeRequest(bytes).text + ")";
}

bool IsRequest(const LineEvent& event)
{
    return event.kind == LineEvent::Kind::Write && event.done;
}

}  // namespace

Recording ReadReplayFile(const std::string& path)
{
    Recording recording = ReadRecordingFile(path);
    const auto beyond = std::find_if(recording.events.begin(), recording.events.end(),
                                     [](const LineEvent& event) { return event.micros > kLatestReplayMicros; });
    if (beyond != recording.events.end()) {
        // The first line names the format; each event stands on a line of its own after it.
        const auto line = std::size_t(beyond - recording.events.begin()) + 2;
        recording.error = FormatText("line %zu: its time is beyond the simulator's clock (%lld microseconds at most)",
                                     line, static_cast<long long>(kLatestReplayMicros));
        recording.events.erase(beyond, recording.events.end());
    }
    return recording;
}

ReplayPeer::ReplayPeer(std::vector<LineEvent> events, bool fast, std::FILE* notes)
    : events(std::move(events)), fast(fast), notes(notes)
{
    ServeAnswers(std::nullopt);
}

void ReplayPeer::AdvanceTo(SimTime time)
{
    now = std::max(now, time);
}

void ReplayPeer::ServeAnswers(std::optional<std::size_t> base)
{
    for (; cursor < events.size() && !IsRequest(events[cursor]); ++cursor) {
        const LineEvent& event = events[cursor];
        const std::string where = FormatText("event %zu (%s)", cursor + 1, Seconds(event.micros).c_str());
        if (event.kind == LineEvent::Kind::Break && event.on)
            std::fprintf(notes, "mirelle-sim: note: %s: the tool set a break here; a pseudo-terminal carries none\n",
                         where.c_str());
        else if (event.kind == LineEvent::Kind::Rts)
            std::fprintf(notes, "mirelle-sim: note: %s: the tool set RTS %s here; a pseudo-terminal carries none\n",
                         where.c_str(), event.on ? "on" : "off");
        if (event.kind != LineEvent::Kind::Read || event.bytes.empty() || !base)
            continue;
        // A read that got all it asked for ended with its last byte; one that
        // timed out got its bytes some time after it began.
        const std::int64_t endedAt = event.done ? event.micros : events[cursor - 1].micros;
        const auto delay = fast ? SimTime::zero()
                                : SimTime(std::chrono::microseconds(std::max<std::int64_t>(0, endedAt - events[*base].micros)));
        // Both within the clock, but a delay near its end may not be added to the time now.
        output.push_back({delay > SimTime::max() - now ? SimTime::max() : now + delay, event.bytes});
    }
    std::fflush(notes);
}

void ReplayPeer::Feed(std::span<const std::uint8_t> bytes)
{
    if (silent)
        return;
    received.insert(received.end(), bytes.begin(), bytes.end());
    while (!silent && !received.empty()) {
        if (cursor == events.size()) {
            Diverge(FormatText("after its last event (%zu)", events.size()), {});
            return;
        }
        const std::vector<std::uint8_t>& expected = events[cursor].bytes;
        const std::size_t n = std::min(received.size(), expected.size());
        if (!std::equal(received.begin(), received.begin() + std::ptrdiff_t(n), expected.begin())) {
            Diverge(FormatText("at event %zu (%s)", cursor + 1, Seconds(events[cursor].micros).c_str()), expected);
            return;
        }
        if (received.size() < expected.size())
            return;
        received.erase(received.begin(), received.begin() + std::ptrdiff_t(expected.size()));
        const std::size_t request = cursor++;
        ServeAnswers(request);
    }
}

void ReplayPeer::Diverge(const std::string& where, std::span<const std::uint8_t> recorded)
{
    std::fprintf(notes,
                 "mirelle-sim: the session diverged from the recording %s:\n"
                 "  recorded: %s\n"
                 "  received: %s\n"
                 "mirelle-sim: from here on the machine is silent\n",
                 where.c_str(), Shown(recorded).c_str(), Shown(received).c_str());
    std::fflush(notes);
    silent = true;
    received.clear();
    output.clear();
}

std::size_t ReplayPeer::TakeOutput(std::span<std::uint8_t> into)
{
    std::size_t taken = 0;
    while (taken < into.size() && !output.empty() && output.front().at <= now) {
        Due& due = output.front();
        const std::size_t n = std::min(into.size() - taken, due.bytes.size());
        std::copy_n(due.bytes.begin(), n, into.begin() + std::ptrdiff_t(taken));
        taken += n;
        due.bytes.erase(due.bytes.begin(), due.bytes.begin() + std::ptrdiff_t(n));
        if (due.bytes.empty())
            output.pop_front();
    }
    return taken;
}

std::optional<SimTime> ReplayPeer::NextOutputTime() const
{
    if (output.empty())
        return std::nullopt;
    return output.front().at;
}
