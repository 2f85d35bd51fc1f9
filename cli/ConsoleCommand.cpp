#include "cli/ConsoleCommand.h"

#include "cli/CliJob.h"
#include "cli/CliSession.h"
#include "cli/FileChecks.h"
#include "cli/Signals.h"
#include "console/ConsoleHost.h"
#include "images/FileKinds.h"
#include "images/SymbolTable.h"
#include "common/Latin1.h"
#include "common/QtText.h"
#include "operations/console/ConsoleLines.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>


namespace {

// The command line keeps no console text and shows no dialog: it refuses the
// window's three commands, saying what to use instead.
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
    void OpenWatch(const WatchOrder&) override {}

private:
    CliSession& session;
};

// With --json: the result, by the exit code; the first error's text for
// exit code 2 (none for one of the window's commands: its diagnostic is).
void ReportOutcome(CliSession& session, const ConsoleLines& lines, const QJsonArray& ran)
{
    session.report.Set("lines", ran);
    switch (lines.End()) {
    case JobEnd::Done: session.report.SetResult("Done"); break;
    case JobEnd::NoAnswer: session.report.SetResult("No answer"); break;
    default:
        if (!lines.FirstError().empty())
            session.report.SetResult(Utf8FromLatin1(lines.FirstError()));
        break;
    }
}

// A line from the command line, whose text is the terminal's (UTF-8), as the
// console takes it: one Latin-1 byte a character.
std::string Latin1Line(const std::string& line)
{
    return QString::fromLocal8Bit(line.data(), qsizetype(line.size())).toLatin1().toStdString();
}

// One line: what it shows printed, or with --json kept as the line's `output`.
void RunLine(CliSession& session, ConsoleLines& lines, const std::string& line, QJsonArray& ran)
{
    std::string shown;
    lines.Run(Latin1Line(line), [&](const std::string& latin1) {
        if (!session.options.json) {
            session.Say(latin1);
            return;
        }
        shown += (shown.empty() ? "" : "\n") + latin1;
    });
    if (session.options.json) {
        ran.append(QJsonObject{{"line", QString::fromLocal8Bit(line.data(), qsizetype(line.size()))},
                               {"output", QStringFromLatin1(shown)}});
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
    ConsoleLines run(session.context.link, symbols, host,
                     {.reads = session.options.reads, .stopRequested = [] { return StopSignals::Requested(); }});
    QJsonArray ran;
    if (!lines.empty()) {
        for (auto line = lines.begin(); line != lines.end() && !run.Aborted() && !StopSignals::Requested(); ++line)
            RunLine(session, run, *line, ran);
    } else {
        for (std::string line; !run.Aborted() && session.ReadLine(line);)
            RunLine(session, run, line, ran);
    }
    if (session.options.json)
        ReportOutcome(session, run, ran);
    return ExitCodeOf(session, run.End());
}
