// The one platform file of the port diagnosis: what the system says of a
// device path (ExaminePortPath, declared in link/PortDiagnosis.h).
#include "link/PortDiagnosis.h"

#include <QString>

#ifdef _WIN32

namespace {

// "COM3", "com3" and "\\.\COM3" name the same port.
QString PortKey(const std::string& device)
{
    QString name = QString::fromStdString(device);
    if (name.startsWith(QLatin1String("\\\\.\\")))
        name = name.mid(4);
    return name.toUpper();
}

}  // namespace

// Windows names its ports without a path to look at: a port exists when the
// system lists it; who holds it and why it is refused only the open tells.
PortPathFacts ExaminePortPath(const std::string& device)
{
    PortPathFacts facts;
    for (const SerialPortEntry& entry : ListSerialPorts())
        facts.exists = facts.exists || PortKey(entry.device) == PortKey(device);
    facts.characterDevice = facts.exists;
    facts.readWrite = true;
    return facts;
}

#else

#include <QFileInfo>
#include <QLockFile>

#include <cerrno>

#include <grp.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::optional<PortLockHolder> LiveLockHolder(const std::string& device)
{
    for (const std::string& candidate : PortLockFileCandidates(device)) {
        const QString path = QString::fromStdString(candidate);
        if (!QFileInfo::exists(path))
            continue;
        QLockFile lock(path);
        qint64 pid = 0;
        QString host, program;
        if (!lock.getLockInfo(&pid, &host, &program) || pid <= 0)
            continue;
        // A lock of a program that has gone is stale: Qt takes it over.
        if (::kill(pid_t(pid), 0) != 0 && errno != EPERM)
            continue;
        return PortLockHolder{pid, program.toStdString()};
    }
    return std::nullopt;
}

}  // namespace

PortPathFacts ExaminePortPath(const std::string& device)
{
    PortPathFacts facts;
    struct stat status {};
    if (::stat(device.c_str(), &status) != 0)
        return facts;
    facts.exists = true;
    facts.characterDevice = S_ISCHR(status.st_mode);
    facts.directory = S_ISDIR(status.st_mode);
    facts.readWrite = ::access(device.c_str(), R_OK | W_OK) == 0;
    if (const group* owner = ::getgrgid(status.st_gid))
        facts.group = owner->gr_name;
    if (facts.characterDevice)
        facts.lockHolder = LiveLockHolder(device);
    return facts;
}

#endif
