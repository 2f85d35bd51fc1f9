// The one platform file of the port diagnosis: what the system says of a
// device path.
#include "link/PortPathFacts.h"

#include "link/PortDiagnosis.h"
#include "link/SerialPortList.h"

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

#include <QFile>
#include <QFileInfo>
#include <QLockFile>

#include <cerrno>

#include <grp.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

// Whether the character device numbered `number` is a terminal, as the
// system's list of terminal drivers tells (/proc/tty/drivers: a line a driver,
// its name, node, major number, minor number or range, type); true where the
// system keeps no such list.
bool IsTerminal(dev_t number)
{
    QFile drivers(QStringLiteral("/proc/tty/drivers"));
    if (!drivers.open(QIODevice::ReadOnly))
        return true;
    // Read to its end line by line: the file's size reads 0, as every file in /proc.
    for (QByteArray line; !(line = drivers.readLine()).isEmpty();) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 4 || fields[2].toUInt() != major(number))
            continue;
        const QList<QByteArray> minors = fields[3].split('-');
        bool low = false, high = false;
        const unsigned first = minors.front().toUInt(&low);
        const unsigned last = minors.back().toUInt(&high);
        if (low && high && first <= minor(number) && minor(number) <= last)
            return true;
    }
    return false;
}

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
    facts.noTerminal = facts.characterDevice && !IsTerminal(status.st_rdev);
    if (facts.characterDevice)
        facts.lockHolder = LiveLockHolder(device);
    return facts;
}

#endif
