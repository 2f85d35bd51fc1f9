#include "cli/CliRunner.h"

#include "cli/CliCommands.h"
#include "cli/CliHelp.h"
#include "cli/CliSession.h"
#include "cli/ErrorStream.h"
#include "cli/Signals.h"

#include <exception>
#include <new>

ExitCode RunCli(const ParsedCommandLine& commandLine, const ToolContext& context, std::FILE* in, std::FILE* out,
                ErrorStream& errors, RecordingBackend* recording)
{
    errors.SetJson(commandLine.options.json);
    CliSession session(commandLine.options, context, in, out, errors, recording);
    if (!commandLine.error.empty()) {
        session.UsageError(commandLine.error);
        session.EndReport(ExitCode::Usage);
        return ExitCode::Usage;
    }
    if (commandLine.options.version && !commandLine.options.help) {
        if (!commandLine.options.json) {
            std::fputs(VersionText().c_str(), out);
            return ExitCode::Done;
        }
        std::string version = VersionText();
        version.pop_back();  // its line break
        session.report.Set("version", QString::fromStdString(version.substr(version.rfind(' ') + 1)));
        session.report.SetResult(version);
        session.EndReport(ExitCode::Done);
        return ExitCode::Done;
    }
    const CliCommand* command = FindCliCommand(commandLine.options.command);
    ExitCode code = ExitCode::Done;
    try {
        code = command->run(session, commandLine.options.arguments);
    } catch (const std::bad_alloc&) {
        // Only a file's counts ask for that much: the file is refused.
        if (!commandLine.options.json)
            throw;  // main() says it
        session.Complain("not enough memory for the file");
        code = ExitCode::FileRefused;
    } catch (const std::exception& error) {
        if (!commandLine.options.json)
            throw;  // main() says it
        session.Complain(error.what());
        code = ExitCode::MachineRefused;
    }
    if (StopSignals::Requested())
        code = session.EndAfterStop();
    code = session.EndRecording(code);
    session.EndReport(code);
    return code;
}
