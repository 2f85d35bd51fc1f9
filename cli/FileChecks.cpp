#include "cli/FileChecks.h"

#include "cli/CliSession.h"
#include "common/Latin1.h"
#include "images/FileReader.h"

namespace {

std::string KindText(FileKind kind)
{
    const char* what = "";
    switch (kind) {
    case FileKind::User: what = "a user program"; break;
    case FileKind::Factory: what = "a factory image"; break;
    case FileKind::Boot: what = "a boot program"; break;
    case FileKind::Symbols: what = "a symbol file"; break;
    case FileKind::Backup: what = "a backup"; break;
    }
    return std::string(what) + " (." + KindInfo(kind).extension + ")";
}

// The command that takes a file of that kind.
std::string CommandFor(FileKind kind, const std::string& path)
{
    switch (kind) {
    case FileKind::User: return "mirelle-cli download " + path;
    case FileKind::Factory: return "mirelle-cli factory " + path;
    case FileKind::Boot: return "mirelle-cli boot " + path;
    case FileKind::Symbols: return "mirelle-cli console --symbols " + path;
    case FileKind::Backup: return "mirelle-cli restore " + path;
    }
    return {};
}

}  // namespace

std::optional<ExitCode> RefuseFileOfAnotherKind(CliSession& session, FileKind takes, const std::string& path)
{
    const std::string& command = session.options.command;
    if (session.options.kind) {
        if (KindByName(*session.options.kind) == takes)
            return std::nullopt;
        return session.UsageError(command + " takes " + KindText(takes) + ": --kind " + *session.options.kind
                                  + " does not apply to it");
    }
    const std::optional<FileKind> kind = KindOfPath(path);
    if (!kind || *kind == takes)
        return std::nullopt;
    session.Complain(command + " takes " + KindText(takes) + ", and " + path + " is " + KindText(*kind) + ": use "
                     + CommandFor(*kind, path) + "; or give --kind " + KindInfo(takes).name + " to load it as "
                     + KindText(takes) + " all the same");
    return ExitCode::FileRefused;
}

void SayWhyRefused(CliSession& session, const std::string& path, const std::string& loaderText)
{
    const std::string why = FileOpenFailure(path);
    session.Complain(path + ": " + (why.empty() ? Utf8FromLatin1(loaderText) : why));
}

void SayWhyNotOpened(CliSession& session, const std::string& path)
{
    if (const std::string why = FileOpenFailure(path); !why.empty())
        session.Complain(path + ": " + why);
}
