// mirelle-cli: the service tool's main use from a shell or a script.
#include "operations/ToolContext.h"
#include "cli/CliRunner.h"
#include "cli/CliSession.h"
#include "cli/ErrorStream.h"
#include "cli/Signals.h"
#include "link/DeviceLink.h"

#include <QCoreApplication>
#include <QtGlobal>

#include <cstdio>
#include <exception>
#include <new>

int main(int argc, char** argv)
{
    // First and last: a stop at any moment ends the run through the port's close.
    const StopSignals stops;
    QCoreApplication app(argc, argv);
    const ParsedCommandLine commandLine = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    // The one writer of standard error, and the one link of this run over
    // the port backend the options ask for.
    ErrorStream errors(stderr);
    // With --json, Qt's own warnings are JSON lines too.
    static ErrorStream* jsonErrors = commandLine.options.json ? &errors : nullptr;
    if (jsonErrors) {
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& message) {
            jsonErrors->Line(message.toStdString(), "qt");
        });
    }
    PortStack stack = CliPortStack(commandLine.options, errors);
    DeviceLink link(std::move(stack.backend));
    const ToolContext context = ProcessContext(link);
    try {
        return int(RunCli(commandLine, context, stdin, stdout, errors, stack.recording));
    } catch (const std::bad_alloc&) {
        // Only a file's counts ask for that much: the file is refused.
        errors.Line("mirelle-cli: not enough memory for the file", "error");
        return int(ExitCode::FileRefused);
    } catch (const std::exception& error) {
        errors.Line(std::string("mirelle-cli: ") + error.what(), "error");
        return int(ExitCode::MachineRefused);
    }
}
