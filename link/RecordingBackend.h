#pragma once

#include "link/ForwardingBackend.h"
#include "link/Recording.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>

// A PortBackend that passes everything to another one and, while it
// records, writes each event of the line to a recording file
// (doc/recording-format.md) as it happens, flushed at once, so that a
// process that is killed leaves every whole event before it. Bytes a purge
// would discard are read first and recorded with it.
//
// The file is opened by Start(), which whoever opens the port calls just
// before it opens it: a run that never opens the port leaves the file as
// it was. Stop() ends it with its end line. A file that can no longer be
// written ends the recording there (Cut()); the line itself goes on.
class RecordingBackend final : public ForwardingBackend {
public:
    explicit RecordingBackend(std::unique_ptr<PortBackend> inner);
    ~RecordingBackend() override;

    // Records into `path` from now on: the file created (or emptied) with
    // the format's first line. Nothing when it records; else why not
    // ("cannot write the recording PATH: reason"). A recording under way
    // is stopped first.
    std::optional<std::string> Start(const std::string& path);
    // Start(path) as the port is next opened, just before the open, for a
    // program that opens its port by itself later (the window).
    void StartAtNextOpen(const std::string& path);
    // Ends the recording with its end line and closes the file.
    void Stop();
    // Where a start that failed and a cut are told ("cannot write the
    // recording PATH: reason"), as they happen, for a program that has no
    // other place to say them (the window). Called from inside a port call.
    void TellTroubleTo(std::function<void(const std::string&)> trouble);
    bool Recording() const { return file != nullptr; }
    const std::string& Path() const { return path; }
    // The events written so far.
    std::uint64_t Events() const { return events; }
    // Why the file could not be written any more: the recording holds the
    // events before; empty while it is whole.
    const std::string& Cut() const { return cut; }

    bool Open(const PortAddress& address, const LineSettings& settings) override;
    void Close() override;
    bool Write(std::span<const std::uint8_t> bytes) override;
    std::size_t Read(std::span<std::uint8_t> into, std::chrono::milliseconds timeout) override;
    void PurgeReceive() override;
    bool SetBreak(bool on) override;
    bool SetRts(bool on) override;

private:
    void Record(LineEvent event);
    // One line into the file and flushed; false, with the recording cut, when it fails.
    bool WriteLine(const std::string& line);

    std::function<void(const std::string&)> trouble;
    std::optional<std::string> startAtOpen;
    std::FILE* file = nullptr;
    std::string path;
    std::uint64_t events = 0;
    std::string cut;
    std::chrono::steady_clock::time_point start;
};
