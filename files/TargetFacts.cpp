// The one platform file of the file writes: what the system says of a file
// about to be replaced (ExamineTarget) and what its replacement takes over.
#include "files/TargetFacts.h"

#ifdef _WIN32

#include <QFileInfo>

TargetFacts ExamineTarget(const QString& path)
{
    const QFileInfo info(path);
    TargetFacts facts;
    facts.exists = info.exists();
    facts.regular = info.isFile();
    return facts;
}

// Windows keeps owners and access lists of its own: the new file gets the
// folder's, as every file saved there does.
std::optional<std::string> TakeOverOwnerAndMode(int, const TargetFacts&)
{
    return std::nullopt;
}

#else

#include <QFile>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

TargetFacts ExamineTarget(const QString& path)
{
    TargetFacts facts;
    struct stat status{};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return facts;  // none there (or none that can be looked at): the open says why
    facts.exists = true;
    facts.regular = S_ISREG(status.st_mode);
    facts.hardLinks = status.st_nlink;
    facts.owner = status.st_uid;
    facts.group = status.st_gid;
    return facts;
}

std::optional<std::string> TakeOverOwnerAndMode(int descriptor, const TargetFacts& old)
{
    struct stat status{};
    if (::fstat(descriptor, &status) != 0)
        return std::strerror(errno);
    if ((status.st_mode & S_IWOTH) != 0 && ::fchmod(descriptor, status.st_mode & 07777 & ~S_IWOTH) != 0)
        return std::strerror(errno);
    if (old.exists && ::geteuid() == 0 && (status.st_uid != old.owner || status.st_gid != old.group)
        && ::fchown(descriptor, old.owner, old.group) != 0)
        return std::strerror(errno);
    return std::nullopt;
}

#endif
