// mirelle-cli: the service tool's main use from a shell or a script.
#include "app/ToolContext.h"
#include "cli/CliRunner.h"
#include "cli/CliSession.h"
#include "cli/ErrorStream.h"
#include "cli/Signals.h"
#include "link/DeviceLink.h"

#include <QCoreApplication>

#include <cstdio>
#include <exception>

int main(int argc, char** argv)
{
    // First and last: a stop at any moment ends the run through the port's close.
    const StopSignals stops;
    QCoreApplication app(argc, argv);
    const ParsedCommandLine commandLine = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    // The one writer of standard error, and the one link of this run over
    // the port backend the options ask for.
    ErrorStream errors(stderr);
    PortStack stack = CliPortStack(commandLine.options, errors, [] { return currentPortName; });
    DeviceLink link(std::move(stack.backend));
    const ToolContext context = ProcessContext(link);
    try {
        return int(RunCli(commandLine, context, stdin, stdout, errors, stack.recording));
    } catch (const std::exception& error) {
        errors.Line(std::string("mirelle-cli: ") + error.what());
        return int(ExitCode::MachineRefused);
    }
}
