#include "link/RecordingBackend.h"

#include <array>
#include <cerrno>
#include <cstring>

namespace {

LineEvent Event(LineEvent::Kind kind, bool done = true)
{
    LineEvent event;
    event.kind = kind;
    event.done = done;
    return event;
}

}  // namespace

std::unique_ptr<RecordingBackend> RecordingBackend::Create(std::unique_ptr<PortBackend> inner, const std::string& path,
                                                           std::function<std::string()> portName, std::string& error)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file || std::fprintf(file, "%s\n", std::string(kRecordingHeader).c_str()) < 0 || std::fflush(file) != 0) {
        error = "cannot write the recording " + path + ": " + std::strerror(errno);
        if (file)
            std::fclose(file);
        return nullptr;
    }
    return std::unique_ptr<RecordingBackend>(new RecordingBackend(std::move(inner), file, std::move(portName)));
}

RecordingBackend::RecordingBackend(std::unique_ptr<PortBackend> inner, std::FILE* file,
                                   std::function<std::string()> portName)
    : ForwardingBackend(std::move(inner)),
      file(file),
      portName(std::move(portName)),
      start(std::chrono::steady_clock::now())
{
}

RecordingBackend::~RecordingBackend()
{
    Close();
    std::fclose(file);
}

void RecordingBackend::Record(LineEvent event)
{
    event.micros = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start)
                       .count();
    std::fprintf(file, "%s\n", FormatLineEvent(event).c_str());
    std::fflush(file);
}

bool RecordingBackend::Open(const std::string& device, const LineSettings& settings)
{
    const bool opened = Inner().Open(device, settings);
    LineEvent event = Event(LineEvent::Kind::Open, opened);
    event.name = portName ? portName() : std::string();
    event.device = device;
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
