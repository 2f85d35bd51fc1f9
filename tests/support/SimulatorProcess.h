#pragma once

#include <QProcess>
#include <QStringList>

#include <string>

// mirelle-sim started as a child process for end-to-end tests, with the
// device path it prints first; stopped (standard input closed) when it goes.
class SimulatorProcess {
public:
    explicit SimulatorProcess(const QStringList& arguments = {});
    ~SimulatorProcess() { Stop(); }
    SimulatorProcess(const SimulatorProcess&) = delete;
    SimulatorProcess& operator=(const SimulatorProcess&) = delete;

    // Closes standard input; the exit code, or -1 when it did not stop.
    int Stop();

    QProcess process;
    std::string device;  // empty when the simulator did not start
};

// Path of an executable the build made (MIRELLE_SIM_PATH, MIRELLE_CLI_PATH ...).
QString SimulatorPath();
