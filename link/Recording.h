#pragma once

#include "link/PortBackend.h"

#include <cstddef>
#include <cstdint>
#include <memory>
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

// The first line of a recording; version 1 had no end line.
constexpr std::string_view kRecordingHeader = "mirelle-recording 2";
constexpr std::string_view kRecordingHeaderVersion1 = "mirelle-recording 1";

// The event as one line of the format, without its line break.
std::string FormatLineEvent(const LineEvent& event);
// The last line of a recording that ended cleanly: "end N", N its events.
std::string FormatRecordingEnd(std::uint64_t events);

// Bytes as upper-case hexadecimal pairs, "-" for none, and back (false for
// anything else).
std::string HexBytes(std::span<const std::uint8_t> bytes);
bool ParseHexBytes(std::string_view text, std::vector<std::uint8_t>& bytes);

// Reads a recording one event at a time, from a file or from text, so that
// what it holds at once does not grow with the recording: a line at a time,
// and a line longer than any event the tool writes is malformed.
class RecordingReader {
public:
    // A line of a recording is at most this long; the longest the tool
    // writes (a purge of a full receive buffer) is far shorter.
    static constexpr std::size_t kMaxLine = 1 << 20;

    RecordingReader();
    ~RecordingReader();
    RecordingReader(const RecordingReader&) = delete;
    RecordingReader& operator=(const RecordingReader&) = delete;

    // False, with Error(), when the file cannot be read or does not begin
    // with a known header.
    bool Open(const std::string& path);
    // The same for text in memory, which must outlive the reading.
    bool OpenText(std::string_view text);

    // The next event; false at the end, at the end line, or at the first
    // malformed line (Error() says which and why; the events before it count).
    bool Next(LineEvent& event);

    // Empty while every line read was good; else "line 7: ...".
    const std::string& Error() const { return error; }
    // The text ended in the middle of a line (a process killed while
    // writing): that part was left out.
    bool CutShort() const { return cutShort; }
    // A recording of version 2 or later without its end line, read to its
    // last whole event: the run that wrote it ended before it could close
    // it (killed, a full disk).
    bool CutOff() const;
    // The events read so far.
    std::uint64_t Events() const { return events; }
    int Version() const { return version; }

private:
    // The first line: a known version, or false.
    bool ReadHeader();
    // The next whole line, without its line break; false at the end.
    bool NextLine(std::string& line, std::size_t limit = kMaxLine);
    bool Fail(std::string text);

    struct Source;
    std::unique_ptr<Source> source;
    std::uint64_t lineNumber = 0;
    std::uint64_t events = 0;
    int version = 0;
    bool ended = false;  // the end line was read
    bool cutShort = false;
    std::string error;
};

// A whole recording in memory (the replaying simulator serves it).
struct Recording {
    std::vector<LineEvent> events;
    // Empty when every whole line was an event; else which line is wrong and
    // why ("line 7: ..."), the events before it kept.
    std::string error;
    // The text ended in the middle of a line (a process killed while writing):
    // that part is left out.
    bool cutShort = false;
    // A version 2 recording without its end line.
    bool cutOff = false;
};

// Reads a recording up to its last whole line; stops at the first malformed one.
Recording ParseRecording(std::string_view text);
// The same for a file; error says so when it cannot be read.
Recording ReadRecordingFile(const std::string& path);
