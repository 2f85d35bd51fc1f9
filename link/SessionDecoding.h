#pragma once

#include "link/LineDecoding.h"
#include "link/Recording.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// A recording of the line read back as a session: the events turned into
// lines of a session, an exchange (a request and what was read after it) or
// an event of its own, each handed on as soon as it is complete, so that
// what is held does not grow with the recording. For decode.

// One line of the session: an exchange (a request and what was read after
// it), or an event of its own (open, close, break, purge, RTS).
struct SessionLine {
    std::int64_t micros = 0;
    std::string event;  // "exchange", "open", "close", "break", "purge", "rts"
    std::string text;   // UTF-8, its control characters escaped
    std::optional<DecodedRequest> request;
    std::vector<std::uint8_t> sent;
    std::vector<std::uint8_t> received;
    DecodedReply reply;
};

struct SessionSummary {
    std::size_t exchanges = 0;
    std::size_t bytesSent = 0;
    std::size_t bytesReceived = 0;
    std::int64_t firstMicros = 0;
    std::int64_t micros = 0;
    std::optional<std::string> firstFailure;  // its time and text
};

// "12.000345": microseconds as seconds.
std::string SessionSeconds(std::int64_t micros);

class SessionDecoder {
public:
    explicit SessionDecoder(std::function<void(const SessionLine&)> handOn);

    void Take(const LineEvent& event);
    // The exchange still open, at the end of the recording. `cut`: the
    // recording stops there, so a reply that is missing or short was not
    // recorded, which says nothing of the machine.
    void End(bool cut);

    const SessionSummary& Summary() const { return summary; }

private:
    static SessionLine Line(const LineEvent& event, const char* kind, std::string text);
    void Add(const LineEvent& event, const char* kind, std::string text);

    std::function<void(const SessionLine&)> handOn;
    std::optional<SessionLine> open;
    SessionSummary summary;
    bool started = false;
};
