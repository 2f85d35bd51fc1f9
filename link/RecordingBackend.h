#pragma once

#include "link/ForwardingBackend.h"
#include "link/Recording.h"

#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

// A PortBackend that passes everything to another one and writes each event
// of the line to a recording file (doc/recording-format.md) as it happens,
// flushed at once, so that a process that is killed leaves every whole event
// before it. Bytes a purge would discard are read first and recorded with it.
class RecordingBackend final : public ForwardingBackend {
public:
    // The file at `path`, created (or emptied) with the format's first line;
    // nullptr and `error` when it cannot be written. `portName` tells the
    // name of the port being opened ("com1"), the device coming with Open.
    static std::unique_ptr<RecordingBackend> Create(std::unique_ptr<PortBackend> inner, const std::string& path,
                                                    std::function<std::string()> portName, std::string& error);
    ~RecordingBackend() override;

    bool Open(const std::string& device, const LineSettings& settings) override;
    void Close() override;
    bool Write(std::span<const std::uint8_t> bytes) override;
    std::size_t Read(std::span<std::uint8_t> into, std::chrono::milliseconds timeout) override;
    void PurgeReceive() override;
    bool SetBreak(bool on) override;
    bool SetRts(bool on) override;

private:
    RecordingBackend(std::unique_ptr<PortBackend> inner, std::FILE* file, std::function<std::string()> portName);
    void Record(LineEvent event);

    std::FILE* file;
    std::function<std::string()> portName;
    std::chrono::steady_clock::time_point start;
};
