#include "cli/LineCommand.h"

#include "cli/CliJob.h"
#include "cli/CliSession.h"
#include "cli/ErrorStream.h"
#include "cli/ProductionCommands.h"
#include "common/Latin1.h"
#include "operations/production/LineJob.h"
#include "production/MachineHistory.h"
#include "production/ProductionDatabase.h"
#include "production/Recipe.h"

#include <QJsonObject>

#include <memory>

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

}  // namespace

ExitCode LineCommand(CliSession& session, const CliArguments& arguments)
{
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

    CliJob job(session, false);
    const LineOutcome outcome =
        RunLine(job.Context(), recipe, LineStation{.name = StationName(session), .database = *database});
    if (outcome.machineTouched)
        session.report.Merge(LineMembers(outcome));
    if (!outcome.result.empty())
        session.report.SetResult(outcome.result);
    return ExitCodeOf(session, outcome.end);
}
