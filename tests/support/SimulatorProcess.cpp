#include "SimulatorProcess.h"

namespace {
constexpr int kStartTimeoutMs = 10000;
constexpr int kStopTimeoutMs = 5000;
}  // namespace

QString ProjectExecutable(const char* name)
{
    return QStringLiteral(QUORVEX_BINARY_DIR) + "/" + name;
}

SimulatorProcess::SimulatorProcess(const QStringList& arguments)
{
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(QStringLiteral(MIRELLE_SIM_PATH), arguments);
    if (!process.waitForStarted(kStartTimeoutMs))
        return;
    while (!process.canReadLine() && process.state() == QProcess::Running)
        if (!process.waitForReadyRead(kStartTimeoutMs))
            break;
    if (process.canReadLine())
        device = process.readLine().trimmed().toStdString();
}

SimulatorProcess::~SimulatorProcess()
{
    Stop();
}

bool SimulatorProcess::Stop()
{
    if (process.state() == QProcess::NotRunning)
        return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    process.closeWriteChannel();
    if (!process.waitForFinished(kStopTimeoutMs)) {
        process.kill();
        process.waitForFinished(kStopTimeoutMs);
        return false;
    }
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

QByteArray SimulatorProcess::Diagnostics()
{
    return process.readAllStandardError();
}
