#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

class ErrorStream;

// One moment of a long operation, as a progress line shows it.
struct ProgressFigures {
    std::string phase;          // the procedure's status text: "Erasing...", "Programming..."
    std::string unit;           // what is counted: "erases", "bytes", "words"
    std::uint64_t done = 0;
    std::uint64_t total = 0;
    std::optional<double> rate{};  // units a second in this phase; none yet at its start
};

// The status line within `width` columns: the phase, a bar of at most 30
// cells in the room that is left, the percentage, the count done of the
// count to do and what it counts, the rate and the time left. Where the room
// is short, the bar goes first, then the rate, then the unit word, then the
// time left, then the count.
std::string ProgressBarLine(const ProgressFigures& figures, std::size_t width);
// The plain line where standard error is no terminal: "Erasing... 1/4 (25%)".
std::string ProgressPlainLine(const ProgressFigures& figures);
// One JSON object on one line, for --json: {"phase":..,"unit":..,"done":..,
// "total":..,"percent":..,"rate":..,"secondsLeft":..} (rate and secondsLeft
// null while unknown).
std::string ProgressJsonLine(const ProgressFigures& figures);

// Shows the progress of a long operation through the error stream: a bar
// redrawn in place on a terminal, at each new percent and otherwise at most
// ten times a second, fitted to the terminal's width as it is at each redraw;
// otherwise a plain line at each phase change and every tenth of the way, a
// phase that ended ending on its last count ("Erasing... 4/4 (100%)"); with
// --json a JSON line at each phase change and each hundredth.
class ProgressDisplay {
public:
    enum class Form { Bar, Plain, Json };

    ProgressDisplay(ErrorStream& errors, Form form);
    // The form for a stream: a bar on a terminal, plain lines elsewhere; JSON lines with `json`.
    ProgressDisplay(ErrorStream& errors, bool json);
    ~ProgressDisplay();
    ProgressDisplay(const ProgressDisplay&) = delete;
    ProgressDisplay& operator=(const ProgressDisplay&) = delete;

    void Show(const std::string& phase, const std::string& unit, std::uint64_t done, std::uint64_t total);
    // Ends the bar's line, if one is drawn; the plain lines' last phase on
    // its last count, all of it when `completed`.
    void Finish(bool completed);

private:
    using Clock = std::chrono::steady_clock;

    ErrorStream& errors;
    Form form;
    // A plain phase ends on its last count: all of it when it completed.
    void EndPlainPhase(bool completed);

    std::string lastPhase;
    ProgressFigures last;       // the figures last given
    ProgressFigures lastShown;  // the figures of the last plain line
    int lastStep = -1;  // the tenth (plain) or hundredth (JSON) last shown
    Clock::time_point phaseStart{};
    std::uint64_t phaseStartDone = 0;
    Clock::time_point lastDrawn{};
};
