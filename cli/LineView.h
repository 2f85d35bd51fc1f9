#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

class ErrorStream;

// What the ports of a production line tell on standard error while they run,
// each from its own thread; every call may come from any of them.
//
// Live: on a terminal, one line per port (port, step, progress or the
// step's last result), redrawn in place at most ten times a second and at
// every result; a problem or a trace line is written above them.
// Events: elsewhere, one line per event, the port first: "PORT: factory:
// Done", a phase that begins ("PORT: factory: Erasing..."), a problem
// ("mirelle-cli: PORT: why").
// Json: one JSON object a line, each with its "port": {"step"}, a progress
// object as a single download's (at a phase change and each hundredth),
// {"result"}, {"error"}, {"trace"}, and {"ended", "exitCode"} last.
class LineView {
public:
    enum class Form { Live, Events, Json };

    // `quiet` (--quiet): no progress, the steps and their results only.
    LineView(ErrorStream& errors, Form form, std::vector<std::string> ports, bool quiet = false);
    LineView(const LineView&) = delete;
    LineView& operator=(const LineView&) = delete;

    // The form for the stream: JSON lines with --json, else live on a terminal.
    static Form FormFor(const ErrorStream& errors, bool json);

    void StepBegun(std::size_t port, const std::string& step);
    void Progress(std::size_t port, const std::string& phase, const std::string& unit, std::uint64_t done,
                  std::uint64_t total);
    // A result line of the run, "STEP: TEXT" or the run's own.
    void Result(std::size_t port, const std::string& line);
    void Problem(std::size_t port, const std::string& line);
    void Trace(std::size_t port, const std::string& line);
    // The port's run has ended with `result` and `exitCode`.
    void Ended(std::size_t port, const std::string& result, int exitCode);

    // The live lines drawn a last time and left standing.
    void Close();

private:
    using Clock = std::chrono::steady_clock;

    struct PortLine {
        std::string step;
        std::string progress;  // the phase and its count while a procedure runs
        std::string last;      // the step's last result, or the run's at its end
        std::string phase;     // the phase last told (events, JSON)
        int hundredth = -1;    // the hundredth last told (JSON)
    };

    // A line written above the live lines (or as it stands elsewhere).
    void WriteLine(const std::string& line, const char* kind);
    void JsonEvent(std::size_t port, const char* member, const std::string& text);
    // Redraws the live lines; `now`: whatever the time since the last drawing.
    void Draw(bool now);
    void Erase();
    std::string LiveLine(std::size_t port) const;

    ErrorStream& errors;
    const Form form;
    const bool quiet;
    const std::vector<std::string> ports;
    std::size_t portWidth = 0;
    std::vector<PortLine> lines;
    std::mutex mutex;
    std::size_t drawnLines = 0;  // live lines on the terminal now
    Clock::time_point lastDrawn{};
    bool closed = false;
};
