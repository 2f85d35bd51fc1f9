#include "link/RecordingBackend.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <utility>

namespace {

LineEvent Event(LineEvent::Kind kind, bool done = true)
{
    LineEvent event;
    event.kind = kind;
    event.done = done;
    return event;
}

}  // namespace

RecordingBackend::RecordingBackend(std::unique_ptr<PortBackend> inner) : ForwardingBackend(std::move(inner)) {}

RecordingBackend::~RecordingBackend()
{
    Close();
    Stop();
}

std::optional<std::string> RecordingBackend::Start(const std::string& recordPath)
{
    Stop();
    path = recordPath;
    events = 0;
    cut.clear();
    start = std::chrono::steady_clock::now();
    file = std::fopen(path.c_str(), "wb");
    if (!file || !WriteLine(std::string(kRecordingHeader))) {
        const std::string reason = file ? cut : std::strerror(errno);
        if (file)
            std::fclose(file);
        file = nullptr;
        cut.clear();
        return "cannot write the recording " + path + ": " + reason;
    }
    return std::nullopt;
}

void RecordingBackend::StartAtNextOpen(const std::string& recordPath)
{
    startAtOpen = recordPath;
}

void RecordingBackend::TellTroubleTo(std::function<void(const std::string&)> tell)
{
    trouble = std::move(tell);
}

void RecordingBackend::Stop()
{
    if (!file)
        return;
    if (cut.empty())
        WriteLine(FormatRecordingEnd(events));
    std::fclose(file);
    file = nullptr;
}

bool RecordingBackend::WriteLine(const std::string& line)
{
    if (!cut.empty())
        return false;
    errno = 0;
    if (std::fprintf(file, "%s\n", line.c_str()) < 0 || std::fflush(file) != 0) {
        cut = errno != 0 ? std::strerror(errno) : "the file could not be written";
        if (trouble && events > 0)
            trouble("cannot write the recording " + path + " any more: " + cut + "; it is cut after event "
                    + std::to_string(events));
        return false;
    }
    return true;
}

void RecordingBackend::Record(LineEvent event)
{
    if (!file || !cut.empty())
        return;
    event.micros = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start)
                       .count();
    if (WriteLine(FormatLineEvent(event)))
        ++events;
}

bool RecordingBackend::Open(const PortAddress& address, const LineSettings& settings)
{
    if (startAtOpen) {
        const std::string recordPath = *std::exchange(startAtOpen, std::nullopt);
        if (const auto refused = Start(recordPath); refused && trouble)
            trouble(*refused);
    }
    const bool opened = Inner().Open(address, settings);
    LineEvent event = Event(LineEvent::Kind::Open, opened);
    event.name = address.name;
    event.device = address.device;
    event.settings = settings;
    Record(std::move(event));
    return opened;
}

void RecordingBackend::Close()
{
    if (!Inner().IsOpen())
        return;
    Inner().Close();
    Record(Event(LineEvent::Kind::Close));
}

bool RecordingBackend::Write(std::span<const std::uint8_t> bytes)
{
    const bool written = Inner().Write(bytes);
    LineEvent event = Event(LineEvent::Kind::Write, written);
    event.bytes.assign(bytes.begin(), bytes.end());
    Record(std::move(event));
    return written;
}

std::size_t RecordingBackend::Read(std::span<std::uint8_t> into, std::chrono::milliseconds timeout)
{
    const std::size_t got = Inner().Read(into, timeout);
    const auto bytes = into.first(got);
    LineEvent event = Event(LineEvent::Kind::Read, got == into.size());
    event.bytes.assign(bytes.begin(), bytes.end());
    event.requested = into.size();
    Record(std::move(event));
    return got;
}

void RecordingBackend::PurgeReceive()
{
    if (!file) {
        Inner().PurgeReceive();
        return;
    }
    // What has arrived is taken before the purge drops it; a millisecond's
    // read is what it takes the port to hand over what the system holds.
    LineEvent event = Event(LineEvent::Kind::Purge);
    std::array<std::uint8_t, 256> chunk{};
    while (Inner().IsOpen()) {
        const std::size_t got = Inner().Read(chunk, std::chrono::milliseconds(1));
        event.bytes.insert(event.bytes.end(), chunk.begin(), chunk.begin() + std::ptrdiff_t(got));
        if (got < chunk.size())
            break;
    }
    Inner().PurgeReceive();
    Record(std::move(event));
}

bool RecordingBackend::SetBreak(bool on)
{
    const bool done = Inner().SetBreak(on);
    LineEvent event = Event(LineEvent::Kind::Break, done);
    event.on = on;
    Record(std::move(event));
    return done;
}

bool RecordingBackend::SetRts(bool on)
{
    const bool done = Inner().SetRts(on);
    LineEvent event = Event(LineEvent::Kind::Rts, done);
    event.on = on;
    Record(std::move(event));
    return done;
}
