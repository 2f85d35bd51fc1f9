#pragma once

#include <QProcess>
#include <QStringList>

#include <string>

// mirelle-sim started as a child process for end-to-end tests: the device
// path it prints first, and a clean stop (end of its standard input) when the
// test is done.
class SimulatorProcess {
public:
    explicit SimulatorProcess(const QStringList& arguments = {});
    ~SimulatorProcess();
    SimulatorProcess(const SimulatorProcess&) = delete;
    SimulatorProcess& operator=(const SimulatorProcess&) = delete;

    bool IsRunning() const { return !device.empty(); }
    const std::string& Device() const { return device; }
    // Ends the simulator and waits for it; true when it exited with code 0.
    bool Stop();
    // What the simulator wrote on its standard error so far.
    QByteArray Diagnostics();

private:
    QProcess process;
    std::string device;
};

// Where the build put an executable of the project (set by CMake).
QString ProjectExecutable(const char* name);
