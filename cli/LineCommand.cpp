#include "cli/LineCommand.h"

#include "cli/CliJob.h"
#include "cli/CliSession.h"
#include "cli/ErrorStream.h"
#include "cli/LinePorts.h"
#include "cli/LineView.h"
#include "cli/ProductionCommands.h"
#include "common/Latin1.h"
#include "common/TextFormat.h"
#include "operations/production/LineJob.h"
#include "production/MachineHistory.h"
#include "production/ProductionDatabase.h"
#include "production/Recipe.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

// A loaded file of the recipe, on standard error as a download's file is:
// its key, its path and the loader's summary.
void NoteFile(CliSession& session, const char* key, const RecipeFile& file, const std::string& statusText)
{
    if (!session.options.quiet)
        session.Errors().Line(std::string(key) + ": " + file.path + ": " + Utf8FromLatin1(statusText));
}

// line --json: the record's fields, where it went, and the serial number's state.
QJsonObject LineMembers(const LineOutcome& outcome)
{
    QJsonObject members = MachineRecordJson(outcome.record);
    members.insert("recorded", outcome.recording.recorded);
    members.insert("unrecordedFile", outcome.recording.unrecordedFile.isEmpty()
                                         ? QJsonValue()
                                         : QJsonValue(outcome.recording.unrecordedFile));
    const std::optional<SerialState> state = outcome.serial ? outcome.serial->state : std::nullopt;
    members.insert("serialState", state ? QJsonValue(QLatin1String(SerialStateName(*state))) : QJsonValue());
    return members;
}

std::string Padded(const std::string& text, std::size_t width)
{
    return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

// What a port's run left in its machine (a download cut) and why it got no
// answer, on standard error under its port; said after a stop too.
void SayCauses(CliSession& session, const PortRun& run)
{
    for (const std::string* said : {&run.outcome.cause, &run.outcome.consequence}) {
        if (said->empty())
            continue;
        if (!session.options.json) {
            session.Errors().Line("mirelle-cli: " + run.port + ": " + *said);
            continue;
        }
        const QJsonObject line{{"port", QString::fromStdString(run.port)}, {"error", QString::fromStdString(*said)}};
        session.Errors().JsonLine(QJsonDocument(line).toJson(QJsonDocument::Compact).toStdString());
    }
}

std::string PortResult(const PortRun& run)
{
    return run.outcome.result.empty() ? "Not done" : run.outcome.result;
}

// A port's summary: port, serial number, name (those the machine holds at
// the end, "-" for none), time, and result last, as its text may be long.
std::vector<std::string> SummaryRow(const PortRun& run)
{
    const MachineRecord& record = run.outcome.record;
    const std::string serial = !record.serial.empty() ? record.serial : record.serialBefore;
    const std::string name = !record.name.empty() ? record.name : record.nameBefore;
    return {run.port, serial.empty() ? "-" : serial, name.empty() ? "-" : name,
            FormatText("%.1f s", double(run.duration.count()) / 1000), PortResult(run)};
}

// The rows in columns, on standard output even after a stop.
void PrintSummary(CliSession& session, const std::vector<std::vector<std::string>>& rows)
{
    std::vector<std::size_t> widths(rows.front().size(), 0);
    for (const auto& row : rows) {
        for (std::size_t column = 0; column < row.size(); ++column)
            widths[column] = std::max(widths[column], row[column].size());
    }
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t column = 0; column + 1 < row.size(); ++column)
            line += Padded(row[column], widths[column]) + "  ";
        session.SayReport(line + row.back());
    }
}

// line --json on several ports: a port's member.
QJsonObject PortMembers(const PortRun& run)
{
    const LineOutcome& outcome = run.outcome;
    const auto textOrNull = [](const std::string& text) {
        return text.empty() ? QJsonValue() : QJsonValue(QString::fromStdString(text));
    };
    QJsonObject members = outcome.machineTouched ? LineMembers(outcome) : QJsonObject();
    members.insert("result", QString::fromStdString(PortResult(run)));
    members.insert("exitCode", RecordedExitCode(outcome.end));
    members.insert("durationMs", qint64(run.duration.count()));
    members.insert("cause", textOrNull(outcome.cause));
    members.insert("consequence", textOrNull(outcome.consequence));
    return members;
}

// The end of a line of several ports: each port's causes, its summary line
// (with --json its member of "ports"), the line's result; the worst port's
// exit code.
ExitCode ReportPorts(CliSession& session, const std::vector<PortRun>& runs)
{
    std::vector<std::vector<std::string>> rows;
    QJsonObject ports;
    std::vector<int> codes;
    for (const PortRun& run : runs) {
        SayCauses(session, run);
        rows.push_back(SummaryRow(run));
        ports.insert(QString::fromStdString(run.port), PortMembers(run));
        codes.push_back(RecordedExitCode(run.outcome.end));
    }
    const auto failed = std::size_t(std::count_if(codes.begin(), codes.end(), [](int code) { return code != 0; }));
    const std::string result = failed == 0 ? "Done" : FormatText("%zu of %zu ports failed", failed, runs.size());
    if (session.options.json) {
        session.report.Set("ports", ports);
        session.report.SetResult(result);
    } else {
        PrintSummary(session, rows);
        session.SayUtf8(result);
    }
    return ExitCode(WorstExitCode(codes));
}

// line RECIPE --port A --port B ...: the recipe on every port at once.
ExitCode LineOnPorts(CliSession& session, const Recipe& recipe, const ProductionDatabase& database)
{
    const CliOptions& options = session.options;
    LineView view(session.Errors(), LineView::FormFor(session.Errors(), options.json), options.ports, options.quiet);
    const LinePortsSetup setup{.ports = options.ports,
                               .database = database.Address(),
                               .station = StationName(session),
                               .eraseTimeout = options.eraseTimeout,
                               .trace = options.trace};
    return ReportPorts(session, RunLineOnPorts(setup, recipe, view));
}

// Several ports: each one once, and no recording (one file for one line).
std::optional<std::string> PortsRefused(const CliOptions& options)
{
    for (auto port = options.ports.begin(); port != options.ports.end(); ++port) {
        if (std::find(options.ports.begin(), port, *port) != port)
            return "--port " + *port + " is given twice";
    }
    if (options.record)
        return "--record records one port: give one --port with it";
    return std::nullopt;
}

}  // namespace

ExitCode LineCommand(CliSession& session, const CliArguments& arguments)
{
    const bool severalPorts = session.options.ports.size() > 1;
    if (severalPorts) {
        if (const std::optional<std::string> refused = PortsRefused(session.options))
            return session.UsageError(*refused);
    }

    Recipe recipe;
    try {
        recipe = LoadRecipe(arguments[0]);
    } catch (const RecipeError& error) {
        session.Complain(error.what());
        return error.kind == RecipeError::Kind::InRecipe ? ExitCode::Usage : ExitCode::FileRefused;
    }
    NoteFile(session, "factoryImage", recipe.factory, recipe.factoryImage.statusText);
    NoteFile(session, "userProgram", recipe.user, recipe.userImage.statusText);

    ExitCode refusal = ExitCode::Done;
    const std::unique_ptr<ProductionDatabase> database = OpenDatabase(session, refusal);
    if (!database)
        return refusal;

    if (severalPorts)
        return LineOnPorts(session, recipe, *database);

    CliJob job(session, false);
    const LineOutcome outcome =
        RunLine(job.Context(), recipe, LineStation{.name = StationName(session), .database = *database});
    if (outcome.machineTouched)
        session.report.Merge(LineMembers(outcome));
    if (!outcome.result.empty())
        session.report.SetResult(outcome.result);
    return ExitCodeOf(session, outcome.end);
}
