#include "cli/CommandHandlers.h"

#include "cli/CliSession.h"
#include "cli/FileChecks.h"
#include "cli/Signals.h"
#include "console/Console.h"
#include "console/ConsoleHost.h"
#include "console/Watch.h"
#include "images/FileKinds.h"
#include "images/SymbolTable.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <algorithm>
#include <chrono>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// How often a wait looks for a stop.
constexpr auto kInterruptPoll = std::chrono::milliseconds(50);

// The command line keeps no console text and shows no dialog: it refuses the
// window's three commands, saying what to use instead, and keeps a watch
// order for the terminal.
class TerminalHost final : public ConsoleHost {
public:
    explicit TerminalHost(CliSession& session) : session(session) {}

    std::optional<std::string> Clear() override
    {
        session.Complain("clear belongs to the console window: the command line keeps no text to clear");
        return std::nullopt;
    }
    std::optional<std::string> Load() override
    {
        session.Complain("load belongs to the console window: give the symbol file with --symbols FILE");
        return std::nullopt;
    }
    std::optional<std::string> Save() override
    {
        session.Complain("save belongs to the console window: redirect the standard output to keep a log");
        return std::nullopt;
    }
    void OpenWatch(const WatchOrder& order) override { watch = order; }

    std::optional<WatchOrder> watch;  // the order of the line just run

private:
    CliSession& session;
};

// How the lines went: "No answer" outranks the other errors.
struct Outcome {
    bool noAnswer = false;
    bool error = false;
    bool aborted = false;
    std::string firstError;  // the text of the first error other than "No answer", when it has one
    // With --json: each line run and what it printed.
    QJsonArray lines;

    ExitCode Code() const
    {
        if (aborted)
            return ExitCode::Aborted;
        if (noAnswer)
            return ExitCode::NoAnswer;
        return error ? ExitCode::Usage : ExitCode::Done;
    }
};

// A line from the command line, whose text is the terminal's (UTF-8), as the
// console takes it: one Latin-1 byte a character.
std::string Latin1Line(const std::string& line)
{
    return QString::fromLocal8Bit(line.data(), qsizetype(line.size())).toLatin1().toStdString();
}

// An output as the console appends it: CR LF as line breaks.
std::string Lines(std::string output)
{
    for (auto at = output.find("\r\n"); at != std::string::npos; at = output.find("\r\n", at + 1))
        output.erase(at, 1);
    return output;
}

std::string LastLine(const std::string& text)
{
    const auto end = text.rfind('\n');
    return end == std::string::npos ? text : text.substr(end + 1);
}

// With --json: the result, by the exit code; the first error's text for
// exit code 2 (none for one of the window's commands: its diagnostic is).
void ReportOutcome(CliSession& session, const Outcome& outcome)
{
    session.report.Set("lines", outcome.lines);
    switch (outcome.Code()) {
    case ExitCode::Done: session.report.SetResult("Done"); break;
    case ExitCode::NoAnswer: session.report.SetResult("No answer"); break;
    default:
        if (!outcome.firstError.empty())
            session.report.SetResult(
                QString::fromLatin1(outcome.firstError.data(), qsizetype(outcome.firstError.size())).toStdString());
        break;
    }
}

// Prints what a line shows, or with --json adds it to the line's `shown`.
void Show(CliSession& session, std::string& shown, const std::string& latin1)
{
    if (!session.options.json) {
        session.Say(latin1);
        return;
    }
    if (!shown.empty())
        shown += '\n';
    shown += latin1;
}

std::string WordsLine(std::span<const std::uint32_t> values)
{
    std::string line;
    for (const std::uint32_t value : values)
        line += (line.empty() ? "" : "  ") + WatchValueText(value);
    return line;
}

// Waits until `until`; false when a stop came first.
bool WaitUntil(Clock::time_point until)
{
    while (!StopSignals::Requested()) {
        const auto now = Clock::now();
        if (now >= until)
            return true;
        std::this_thread::sleep_for(std::min<Clock::duration>(until - now, kInterruptPoll));
    }
    return false;
}

// A watch in the terminal, in the Normal mode: one line a read at its
// interval, the words or "No answer", until Ctrl-C or `reads` reads. An
// interval of 0 reads nothing, as the window's never ticks.
void PollWatch(CliSession& session, const WatchOrder& order, std::optional<unsigned> reads, Outcome& outcome,
               std::string& shown)
{
    Watch watch(order);
    if (!watch.Polls())
        return;
    auto next = Clock::now();
    for (unsigned done = 0; !reads || done < *reads; ++done) {
        next += std::chrono::milliseconds(order.interval);
        if (!WaitUntil(next)) {
            outcome.aborted = true;
            return;
        }
        watch.Read(session.context.link);
        const bool answered = watch.Light() != WatchLight::Red;
        outcome.noAnswer |= !answered;
        Show(session, shown, answered ? WordsLine(watch.Values()) : "No answer");
    }
}

// One line, as the Enter key runs it in the window.
void RunLine(CliSession& session, Console& console, TerminalHost& host, const std::string& line, Outcome& outcome)
{
    host.watch.reset();
    const std::optional<CommandResult> result = console.Enter(Latin1Line(line));
    std::string shown;
    if (result) {
        if (!result->output.empty())
            Show(session, shown, Lines(result->output));
        outcome.noAnswer |= result->error == ConsoleError::NoAnswer;
        const bool error = result->error != ConsoleError::None && result->error != ConsoleError::NoAnswer;
        if (error && !outcome.error)
            outcome.firstError = LastLine(Lines(result->output));
        outcome.error |= error;
        if (host.watch)
            PollWatch(session, *host.watch, session.options.reads, outcome, shown);
    }
    if (session.options.json) {
        outcome.lines.append(QJsonObject{{"line", QString::fromLocal8Bit(line.data(), qsizetype(line.size()))},
                                         {"output", QString::fromLatin1(shown.data(), qsizetype(shown.size()))}});
    }
}

}  // namespace

ExitCode ConsoleCommand(CliSession& session, const std::vector<std::string>& lines)
{
    SymbolTable& symbols = session.context.symbols;
    if (session.options.symbols) {
        const LoadResult load = LoadFile(FileKind::Symbols, *session.options.symbols, session.context.Targets());
        if (load.loaded)
            session.Note(load.statusText);
        else
            session.NoteFailure(load.statusText);
        // Not loaded with a full table: the file is too long, and its first
        // records serve, as in the window. Otherwise it could not be opened.
        if (!load.loaded && symbols.Count() < SymbolTable::kCapacity) {
            session.report.SetResult(load.statusText);
            SayWhyNotOpened(session, *session.options.symbols);
            return ExitCode::FileRefused;
        }
    }
    // Every line of the console goes to the machine: without a port there is
    // nothing to run them on.
    if (!session.OpenLink())
        return session.LinkRefusal();

    TerminalHost host(session);
    Console console(session.context.link, symbols, host);
    Outcome outcome;
    if (!lines.empty()) {
        for (auto line = lines.begin(); line != lines.end() && !outcome.aborted && !StopSignals::Requested(); ++line)
            RunLine(session, console, host, *line, outcome);
    } else {
        for (std::string line; !outcome.aborted && session.ReadLine(line);)
            RunLine(session, console, host, line, outcome);
    }
    if (session.options.json)
        ReportOutcome(session, outcome);
    return outcome.Code();
}
