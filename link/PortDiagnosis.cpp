#include "link/PortDiagnosis.h"

#include "link/PortName.h"

#include <QDir>
#include <QStandardPaths>

namespace {

constexpr const char* kPortsHint = "mirelle-cli ports lists them";

std::string PresentList(const std::vector<SerialPortEntry>& present)
{
    if (present.empty()) {
#ifdef _WIN32
        return "no serial port is present";
#else
        return "no serial port is present: a USB adapter appears as /dev/ttyUSB0 or /dev/ttyACM0 once plugged in";
#endif
    }
    std::string list = "the serial ports present are ";
    for (std::size_t i = 0; i < present.size(); ++i)
        list += (i == 0 ? "" : ", ") + present[i].device;
    return list + " (" + kPortsHint + ")";
}

}  // namespace

std::string PortDiagnosis::Text() const
{
    return remedy.empty() ? reason : reason + " \u2014 " + remedy;
}

std::vector<std::string> PortLockFileCandidates(const std::string& device)
{
    // As Qt SerialPort names and places its lock: the device without
    // "/dev/", its slashes as underscores, behind "LCK..".
    QString name = QString::fromStdString(device);
    if (name.startsWith("/dev/"))
        name = name.mid(5);
    name.replace('/', '_');
    static const char* const folders[] = {"/var/lock",      "/etc/locks", "/var/spool/locks", "/var/spool/uucp",
                                          "/tmp",           "/var/tmp",   "/var/lock/lockdev", "/run/lock"};
    std::vector<std::string> candidates;
    for (const char* folder : folders)
        candidates.push_back(std::string(folder) + "/LCK.." + name.toStdString());
    const QString temp = QStandardPaths::writableLocation(QStandardPaths::TempLocation);
    if (!temp.isEmpty())
        candidates.push_back(QDir(temp).filePath("LCK.." + name).toStdString());
    return candidates;
}

PortDiagnosis ClassifyPortFailure(const PortPathFacts& facts, const std::string& systemError,
                                  const std::vector<SerialPortEntry>& present)
{
    if (!facts.exists)
        return {PortTrouble::NoDevice, "No such device", "is the adapter plugged in? " + PresentList(present)};
    if (!facts.characterDevice || facts.noTerminal) {
        const char* what = facts.noTerminal ? "a device of another kind" : facts.directory ? "a directory" : "a file";
        return {PortTrouble::NotADevice, std::string("Not a serial port (") + what + ")",
                "choose the port's device again: " + PresentList(present)};
    }
    if (facts.lockHolder) {
        const std::string who = (facts.lockHolder->program.empty() ? "another program" : facts.lockHolder->program)
            + " (process " + std::to_string(facts.lockHolder->pid) + ")";
        return {PortTrouble::Busy, "Busy: held by " + who, "close it, or choose another port"};
    }
    if (!facts.readWrite) {
        if (facts.group.empty() || facts.group == "root")
            return {PortTrouble::NoPermission, "Permission denied", "ask for read and write access to the device"};
        return {PortTrouble::NoPermission, "Permission denied",
                "add yourself to the " + facts.group + " group: sudo usermod -aG " + facts.group
                    + " $USER, then log in again"};
    }
    return {PortTrouble::Other, systemError.empty() ? std::string("Could not be opened") : systemError, ""};
}

PortDiagnosis DiagnosePortFailure(const std::string& device, const std::string& systemError)
{
    const PortPathFacts facts = ExaminePortPath(SystemDevicePath(device));
    const bool needsList = !facts.exists || !facts.characterDevice || facts.noTerminal;
    return ClassifyPortFailure(facts, systemError, needsList ? ListSerialPorts() : std::vector<SerialPortEntry>{});
}

std::string PortFailureText(const std::string& portName, const std::string& device, const PortDiagnosis& diagnosis)
{
    if (diagnosis.trouble == PortTrouble::NoDevice && NearPortName(portName))
        return portName + " is no port name: the port names are com1 .. com8, each standing for a device of its "
               "choice, and a device path is taken too (/dev/ttyUSB0)";
    const std::string port = portName == device || portName.empty() ? device : portName + " (" + device + ")";
    return port + ": " + diagnosis.Text();
}
