#pragma once

#include "link/PortBackend.h"

#include <functional>
#include <memory>
#include <string>

class RecordingBackend;

// The wrappers the programs put over the operating system's port, built in
// one place for both: from the port outwards, the stop, the recording and
// the trace.
struct PortStackOptions {
    // Asked before each call: true gives the line up at once (a second
    // Ctrl-C). None: never.
    std::function<bool()> stopNow;
    // A recording backend within, which records once started.
    bool recordable = false;
    // Every byte on the line, a line of text each, as TracingBackend writes them. None: no trace.
    std::function<void(const std::string&)> trace;
};

struct PortStack {
    std::unique_ptr<PortBackend> backend;   // the top of the stack, for the DeviceLink
    RecordingBackend* recording = nullptr;  // within `backend`, when recordable
};

PortStack BuildPortStack(std::unique_ptr<PortBackend> port, PortStackOptions options);
