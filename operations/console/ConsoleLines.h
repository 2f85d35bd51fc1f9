#pragma once

#include "console/ConsoleHost.h"
#include "operations/Job.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

class Console;
class DeviceLink;
class SymbolTable;

// The developer console without its window (the command line's console
// command): lines run through the console's interpreter one after the
// other, with its defaults, last command and symbol table; a watch that a
// line opens is polled in place of its window, in the Normal mode: one read
// at each of its intervals, until `reads` reads or a stop.
class ConsoleLines final : private ConsoleHost {
public:
    struct Options {
        std::optional<unsigned> reads;  // none: a watch reads until a stop
        std::function<bool()> stopRequested;
    };

    // `windowCommands` says what "clear", "load" and "save" become where
    // there is no window (their refusal).
    ConsoleLines(DeviceLink& link, SymbolTable& symbols, ConsoleHost& windowCommands, Options options);
    ~ConsoleLines() override;

    // Runs one line as the Enter key runs it in the window; `show` gets what
    // it shows, a piece at a time (Latin-1, lines broken by LF): its output,
    // then a watch's reads, each its words or "No answer".
    void Run(const std::string& latin1Line, const std::function<void(const std::string&)>& show);

    // How the lines went: Aborted (a watch ended by a stop), NoAnswer (a line
    // or a read answered "No answer"), InputRefused (a line gave another
    // error or was one of the window's commands), or Done.
    JobEnd End() const;
    bool Aborted() const { return aborted; }
    // The last line of the first error's text other than "No answer", when
    // it had one.
    const std::string& FirstError() const { return firstError; }

private:
    std::optional<std::string> Clear() override;
    std::optional<std::string> Load() override;
    std::optional<std::string> Save() override;
    void OpenWatch(const WatchOrder& order) override;

    void PollWatch(const WatchOrder& order, const std::function<void(const std::string&)>& show);
    // Waits until `until`; false when a stop came first.
    bool WaitUntil(std::chrono::steady_clock::time_point until) const;

    DeviceLink& link;
    ConsoleHost& windowCommands;
    Options options;
    std::unique_ptr<Console> console;
    std::optional<WatchOrder> watch;  // the order of the line just run
    bool noAnswer = false;
    bool error = false;
    bool aborted = false;
    std::string firstError;
};
