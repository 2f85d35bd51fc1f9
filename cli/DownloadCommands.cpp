#include "cli/DownloadCommands.h"

#include "cli/CliJob.h"
#include "cli/CliSession.h"
#include "cli/FileChecks.h"
#include "files/LoadFlow.h"
#include "operations/downloads/DownloadJobs.h"

namespace {

// The file of a command that downloads one, of the kind it takes: loaded,
// its summary on standard error; a refused file's text is the result, and
// why it could not be opened a diagnostic. Nothing when it is loaded; else
// the exit code.
std::optional<ExitCode> LoadArgument(CliSession& session, FileKind kind, const std::string& path)
{
    if (const auto refused = RefuseFileOfAnotherKind(session, kind, path))
        return refused;
    const FileLoad load = LoadFlow(kind, session.context.Targets()).Load(path);
    if (!load.loaded) {
        session.Say(load.statusText);
        SayWhyRefused(session, path, load.statusText);
        return ExitCode::FileRefused;
    }
    session.Note(load.statusText);
    return std::nullopt;
}

}  // namespace

ExitCode DownloadCommand(CliSession& session, const CliArguments& arguments)
{
    if (const auto refused = LoadArgument(session, FileKind::User, arguments[0]))
        return *refused;
    CliJob job(session);
    const JobOutcome outcome =
        DownloadUserProgram(job.Context(), session.context.userImage, {.verify = session.options.verify});
    return ExitCodeOf(session, outcome);
}

ExitCode FactoryCommand(CliSession& session, const CliArguments& arguments)
{
    if (const auto refused = LoadArgument(session, FileKind::Factory, arguments[0]))
        return *refused;
    CliJob job(session);
    const JobOutcome outcome =
        DownloadFactoryImage(job.Context(), session.context.factoryImage, {.verify = session.options.verify});
    return ExitCodeOf(session, outcome);
}

ExitCode BootCommand(CliSession& session, const CliArguments& arguments)
{
    if (const auto refused = LoadArgument(session, FileKind::Boot, arguments[0]))
        return *refused;
    CliJob job(session);
    return ExitCodeOf(session, BootMachine(job.Context(), session.context.bootImage));
}
