#include "support/SimulatorProcess.h"

#include <QDeadlineTimer>

namespace {
constexpr int kStartTimeoutMs = 10000;
constexpr int kStopTimeoutMs = 5000;
}  // namespace

QString SimulatorPath()
{
    return QStringLiteral(MIRELLE_SIM_PATH);
}

SimulatorProcess::SimulatorProcess(const QStringList& arguments)
{
    process.start(SimulatorPath(), arguments);
    QDeadlineTimer deadline(kStartTimeoutMs);
    while (!process.canReadLine() && !deadline.hasExpired() && process.state() != QProcess::NotRunning)
        process.waitForReadyRead(100);
    device = QString::fromLocal8Bit(process.readLine()).trimmed().toStdString();
}

int SimulatorProcess::Stop()
{
    if (process.state() == QProcess::NotRunning)
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    process.closeWriteChannel();
    if (!process.waitForFinished(kStopTimeoutMs)) {
        process.kill();
        process.waitForFinished(kStopTimeoutMs);
        return -1;
    }
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}
