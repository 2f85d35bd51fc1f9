#include "cli/CliRunner.h"

#include "cli/CliCommands.h"
#include "cli/CliSession.h"
#include "cli/ErrorStream.h"
#include "cli/JsonReport.h"
#include "cli/Signals.h"

#include <exception>

ExitCode RunCli(const ParsedCommandLine& commandLine, const ToolContext& context, std::FILE* in, std::FILE* out,
                ErrorStream& errors)
{
    if (commandLine.options.help) {
        std::fputs(UsageText().c_str(), out);
        return ExitCode::Done;
    }
    if (!commandLine.error.empty()) {
        errors.Write("mirelle-cli: " + commandLine.error + "\n\n" + UsageText());
        if (commandLine.options.json) {
            JsonReport report;
            report.SetResult(commandLine.error);
            std::fputs(report.Text(ExitCode::Usage).c_str(), out);
        }
        return ExitCode::Usage;
    }
    CliSession session(commandLine.options, context, in, out, errors);
    const CliCommand* command = FindCliCommand(commandLine.options.command);
    ExitCode code = ExitCode::Done;
    try {
        code = command->run(session, commandLine.options.arguments);
    } catch (const std::exception& error) {
        if (!commandLine.options.json)
            throw;  // main() says it
        session.Complain(error.what());
        code = ExitCode::MachineRefused;
    }
    if (StopSignals::Requested())
        code = session.EndAfterStop();
    session.EndReport(code);
    return code;
}
