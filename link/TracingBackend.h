#pragma once

#include "link/ForwardingBackend.h"

#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

// A PortBackend that passes everything to another one and writes each byte
// sent and received to a stream, time-stamped from the start of the run, with
// frames, wake-ups, breaks and purges marked:
//   0.103 > wake-up 80 A2 03
//   0.105 < 04
//   0.105 > frame   02 03 7E 01 00 7E
// Each line goes to a sink, without its line break, or to a stream.
class TracingBackend final : public ForwardingBackend {
public:
    using LineSink = std::function<void(const std::string& line)>;

    TracingBackend(std::unique_ptr<PortBackend> inner, LineSink sink);
    TracingBackend(std::unique_ptr<PortBackend> inner, std::FILE* out);

    bool Open(const PortAddress& address, const LineSettings& settings) override;
    bool Write(std::span<const std::uint8_t> bytes) override;
    std::size_t Read(std::span<std::uint8_t> into, std::chrono::milliseconds timeout) override;
    void PurgeReceive() override;
    bool SetBreak(bool on) override;
    bool SetRts(bool on) override;

private:
    void Line(const char* direction, const char* mark, std::span<const std::uint8_t> bytes, const char* note = "");

    LineSink sink;
    std::chrono::steady_clock::time_point start;
};
