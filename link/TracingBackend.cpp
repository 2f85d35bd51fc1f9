#include "link/TracingBackend.h"

#include "common/TextFormat.h"
#include "link/DeviceLink.h"

#include <string>

TracingBackend::TracingBackend(std::unique_ptr<PortBackend> inner, LineSink sink)
    : ForwardingBackend(std::move(inner)), sink(std::move(sink)), start(std::chrono::steady_clock::now())
{
}

TracingBackend::TracingBackend(std::unique_ptr<PortBackend> inner, std::FILE* out)
    : TracingBackend(std::move(inner), [out](const std::string& line) { std::fprintf(out, "%s\n", line.c_str()); })
{
}

void TracingBackend::Line(const char* direction, const char* mark, std::span<const std::uint8_t> bytes,
                          const char* note)
{
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::string hex;
    for (auto byte : bytes)
        hex += FormatText("%02X ", unsigned(byte));
    if (!hex.empty())
        hex.pop_back();
    if (*mark)
        sink(FormatText("%8.3f %s %-8s%s%s", seconds, direction, mark, hex.c_str(), note));
    else
        sink(FormatText("%8.3f %s %s%s", seconds, direction, hex.c_str(), note));
}

bool TracingBackend::Open(const PortAddress& address, const LineSettings& settings)
{
    const bool opened = Inner().Open(address, settings);
    sink(FormatText("open %s: %s", address.device.c_str(), opened ? "ok" : "failed"));
    return opened;
}

bool TracingBackend::Write(std::span<const std::uint8_t> bytes)
{
    // A frame: start byte, length, payload, checksum. A wake-up: the select
    // code's two bytes and the end byte.
    const bool isFrame = bytes.size() >= 3 && bytes[0] == Frame::kStart && bytes[1] + 3u == bytes.size();
    const bool isWakeUp = bytes.size() == 3 && bytes[2] == Frame::kWakeEnd && !isFrame;
    const bool written = Inner().Write(bytes);
    Line(">", isFrame ? "frame" : isWakeUp ? "wake-up" : "raw", bytes, written ? "" : "  (write failed)");
    return written;
}

std::size_t TracingBackend::Read(std::span<std::uint8_t> into, std::chrono::milliseconds timeout)
{
    const std::size_t got = Inner().Read(into, timeout);
    if (got < into.size()) {
        const std::string note = "  (" + std::to_string(got) + " of " + std::to_string(into.size()) + ", timed out)";
        Line("<", "", into.first(got), note.c_str());
    } else {
        Line("<", "", into.first(got));
    }
    return got;
}

void TracingBackend::PurgeReceive()
{
    Inner().PurgeReceive();
    Line("-", "purge", {});
}

bool TracingBackend::SetBreak(bool on)
{
    const bool done = Inner().SetBreak(on);
    Line("-", on ? "break" : "break-end", {}, done ? "" : "  (failed)");
    return done;
}

bool TracingBackend::SetRts(bool on)
{
    const bool done = Inner().SetRts(on);
    Line("-", on ? "rts-on" : "rts-off", {}, done ? "" : "  (failed)");
    return done;
}
