#pragma once

#include "link/PortBackend.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// One event of the serial line as a recording holds it (doc/recording-format.md):
// a line of text, its time first, in microseconds from the start of the run.
struct LineEvent {
    enum class Kind { Open, Write, Read, Purge, Break, Rts, Close };

    Kind kind = Kind::Write;
    std::int64_t micros = 0;
    std::vector<std::uint8_t> bytes;  // written, read, or discarded by a purge
    std::size_t requested = 0;        // Read: the count asked for
    bool on = false;                  // Break, Rts: set or cleared
    bool done = true;                 // Open, Write, Break, Rts: it succeeded; Read: every byte came
    std::string name;                 // Open: the port's name ("com1"), empty when none was selected
    std::string device;               // Open: the device opened
    LineSettings settings;            // Open
};

constexpr std::string_view kRecordingHeader = "mirelle-recording 1";

// The event as one line of the format, without its line break.
std::string FormatLineEvent(const LineEvent& event);

// Bytes as upper-case hexadecimal pairs, "-" for none, and back (false for
// anything else).
std::string HexBytes(std::span<const std::uint8_t> bytes);
bool ParseHexBytes(std::string_view text, std::vector<std::uint8_t>& bytes);

struct Recording {
    std::vector<LineEvent> events;
    // Empty when every whole line was an event; else which line is wrong and
    // why ("line 7: ..."), the events before it kept.
    std::string error;
    // The text ended in the middle of a line (a process killed while writing):
    // that part is left out.
    bool cutShort = false;
};

// Reads a recording up to its last whole line; stops at the first malformed one.
Recording ParseRecording(std::string_view text);
// The same for a file; error says so when it cannot be read.
Recording ReadRecordingFile(const std::string& path);
