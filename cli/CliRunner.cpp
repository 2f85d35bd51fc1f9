#include "cli/CliRunner.h"

#include "cli/CliCommands.h"
#include "cli/CliSession.h"
#include "cli/Signals.h"

ExitCode RunCli(const ParsedCommandLine& commandLine, const ToolContext& context, std::FILE* in, std::FILE* out,
                std::FILE* err)
{
    if (commandLine.options.help) {
        std::fputs(UsageText().c_str(), out);
        return ExitCode::Done;
    }
    if (!commandLine.error.empty()) {
        std::fprintf(err, "mirelle-cli: %s\n\n%s", commandLine.error.c_str(), UsageText().c_str());
        return ExitCode::Usage;
    }
    CliSession session(commandLine.options, context, in, out, err);
    const CliCommand* command = FindCliCommand(commandLine.options.command);
    const ExitCode code = command->run(session, commandLine.options.arguments);
    return StopSignals::Requested() ? session.EndAfterStop() : code;
}
