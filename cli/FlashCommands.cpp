#include "cli/CommandHandlers.h"

#include "app/backup/UserAreaBackup.h"
#include "app/readout/MachineInfo.h"
#include "cli/CliSession.h"
#include "images/BackupFile.h"
#include "procedures/FlashDownload.h"
#include "procedures/FlashReadBack.h"

#include <QSaveFile>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <optional>
#include <span>

namespace {

// The longest range read-flash takes: more than any machine's flash.
constexpr std::uint32_t kMaxReadLength = 0x1000000;

// A number as C writes it (0x hexadecimal, a leading 0 octal, else decimal):
// the whole text, no sign, at most 32 bits.
std::optional<std::uint32_t> ParseNumber(const std::string& text)
{
    if (text.empty() || !std::isdigit(static_cast<unsigned char>(text[0])))
        return std::nullopt;
    errno = 0;
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text.c_str(), &end, 0);
    if (errno != 0 || *end != '\0' || value > 0xFFFFFFFFull)
        return std::nullopt;
    return std::uint32_t(value);
}

std::string ErrorOf(const QFileDevice& file)
{
    return file.errorString().toLocal8Bit().toStdString();
}

// A file written under its name only once all of it is written: a read that
// fails or is aborted leaves nothing there (nor an older file changed).
class AtomicFile {
public:
    explicit AtomicFile(const std::string& path) : path(path), file(QString::fromLocal8Bit(path)) {}

    // Before anything is read: false, with the reason on standard error,
    // when the file cannot be created.
    bool Open(CliSession& session)
    {
        if (file.open(QIODevice::WriteOnly))
            return true;
        session.Complain(path + ": " + ErrorOf(file));
        return false;
    }

    ExitCode Commit(CliSession& session, std::span<const std::uint8_t> bytes)
    {
        const auto size = qint64(bytes.size());
        if (file.write(reinterpret_cast<const char*>(bytes.data()), size) == size && file.commit())
            return ExitCode::Done;
        session.Complain(path + ": " + ErrorOf(file));
        return ExitCode::FileRefused;
    }

private:
    std::string path;
    QSaveFile file;  // its temporary file goes when it is not committed
};


// Reads ranges with progress; "Done" or why not printed.
ExitCode ReadRanges(CliSession& session, FlashReadBack& readBack)
{
    std::string resultText;
    return session.RunWithProgress(readBack, resultText);
}

}  // namespace

ExitCode VerifyWritten(CliSession& session, const Procedure& download)
{
    const auto* flashDownload = dynamic_cast<const FlashDownload*>(&download);
    if (!flashDownload)
        return ExitCode::Done;
    FlashVerify verify(session.context.link, flashDownload->WrittenSegments());
    std::string resultText;
    return session.RunWithProgress(verify, resultText, "verify");
}

ExitCode ReadFlashCommand(CliSession& session, const CliArguments& arguments)
{
    const auto address = ParseNumber(arguments[0]);
    const auto length = ParseNumber(arguments[1]);
    if (!address) {
        session.Complain("read-flash: ADDRESS '" + arguments[0] + "' is no number (0x.. or decimal)");
        return ExitCode::Usage;
    }
    if (!length || *length == 0 || *length > kMaxReadLength || *address > 0xFFFFFFFFu - *length + 1) {
        session.Complain("read-flash: LENGTH '" + arguments[1] + "' is no length from 1 to 0x1000000 from ADDRESS");
        return ExitCode::Usage;
    }
    AtomicFile file(arguments[2]);
    if (!file.Open(session))
        return ExitCode::FileRefused;
    if (!session.OpenLink())
        return ExitCode::PortUnavailable;
    FlashReadBack readBack(session.context.link, {{*address, *length}});
    if (const ExitCode code = ReadRanges(session, readBack); code != ExitCode::Done)
        return code;
    return file.Commit(session, readBack.Read().front().bytes);
}

ExitCode BackupCommand(CliSession& session, const CliArguments& arguments)
{
    AtomicFile file(arguments[0]);
    if (!file.Open(session))
        return ExitCode::FileRefused;
    if (!session.OpenLink())
        return ExitCode::PortUnavailable;
    MachineInfo& info = session.context.machineInfo;
    ReadMachineInfo(session.context.link, info);
    if (const ActionStart refused = CheckUserArea(info); refused.refusal != ActionRefusal::None) {
        session.Say(refused.text);
        return ExitCodeOf(refused.refusal);
    }
    FlashReadBack readBack(session.context.link, {{info.userAreaAddress, info.userAreaLength}});
    if (const ExitCode code = ReadRanges(session, readBack); code != ExitCode::Done)
        return code;
    return file.Commit(session, WriteBackup(BackupOf(info, readBack.Read().front().bytes)));
}

ExitCode RestoreCommand(CliSession& session, const CliArguments& arguments)
{
    const std::string& path = arguments[0];
    const BackupRead read = ReadBackupFile(path);
    if (read.unreadable) {
        session.Complain(path + ": " + read.error);
        return ExitCode::FileRefused;
    }
    if (!read.backup) {
        session.Say(read.error);
        return ExitCode::FileRefused;
    }
    if (!session.prompts.CanConfirm()) {
        session.Say("Not restored : standard input is no terminal to confirm on; add --yes to confirm");
        return ExitCode::Usage;
    }
    if (!session.OpenLink())
        return ExitCode::PortUnavailable;
    const ToolContext& context = session.context;
    const ActionStart start = StartRestore(context.link, context.machineInfo, *read.backup);
    if (!start.procedure) {
        session.Say(start.text);
        return ExitCodeOf(start.refusal);
    }
    if (!session.prompts.Confirm("Warning", "The machine's user area is erased and written again from " + path
                                                + ". Restore it?")) {
        session.Say("Not restored");
        return ExitCode::Aborted;
    }
    ExitCode code = session.RunWithProgress(*start.procedure, context.userResultText);
    if (code == ExitCode::Done && session.options.verify)
        code = VerifyWritten(session, *start.procedure);
    ReadMachineInfo(context.link, context.machineInfo);
    return code;
}
