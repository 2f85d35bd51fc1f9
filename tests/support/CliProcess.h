#pragma once

// mirelle-cli run as a separate process, as a script runs it. Include it in a
// test target that names mirelle-cli among its PROGRAMS (MIRELLE_CLI_PATH).
#include "support/SimulatorProcess.h"

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

#include <functional>
#include <string>

struct CliRun {
    int exitCode = -1;  // -1: it crashed, or did not end within a minute
    std::string out;
    std::string err;
};

// `inChild` runs in the child before mirelle-cli starts (a limit, a umask).
inline CliRun RunCli(const QStringList& arguments, const QByteArray& input = {},
                     const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment(),
                     const std::function<void()>& inChild = {})
{
    QProcess cli;
    cli.setProcessEnvironment(environment);
    if (inChild)
        cli.setChildProcessModifier(inChild);
    cli.start(QStringLiteral(MIRELLE_CLI_PATH), arguments);
    cli.write(input);
    cli.closeWriteChannel();
    CliRun run;
    if (!cli.waitForFinished(60000)) {
        cli.kill();
        cli.waitForFinished();
        return run;
    }
    run.exitCode = cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1;
    run.out = cli.readAllStandardOutput().toStdString();
    run.err = cli.readAllStandardError().toStdString();
    return run;
}

// The same with --port set to the simulator's device.
inline CliRun RunCli(const SimulatorProcess& sim, QStringList arguments, const QByteArray& input = {},
                     const std::function<void()>& inChild = {})
{
    arguments.prepend(QString::fromStdString(sim.device));
    arguments.prepend("--port");
    return RunCli(arguments, input, QProcessEnvironment::systemEnvironment(), inChild);
}
