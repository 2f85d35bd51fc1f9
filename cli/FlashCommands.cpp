#include "cli/CommandHandlers.h"

#include "app/backup/UserAreaBackup.h"
#include "app/readout/MachineInfo.h"
#include "cli/CliSession.h"
#include "files/AtomicFile.h"
#include "images/BackupFile.h"
#include "procedures/FlashDownload.h"
#include "procedures/FlashReadBack.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <functional>
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

// The file a read goes into: checked and opened before anything is read,
// false with the reason on standard error when it cannot be written.
bool OpenOutput(CliSession& session, AtomicFile& file, const std::string& path)
{
    if (const auto refused = file.Open()) {
        session.Complain(path + ": " + *refused);
        return false;
    }
    return true;
}

// Reads ranges with progress; on success the file takes what was read
// before "Done" is said, so that a file that could not be written says why
// instead (exit code 3), and an older file stays whole.
ExitCode ReadInto(CliSession& session, FlashReadBack& readBack, AtomicFile& file, const std::string& path,
                  const std::function<std::vector<std::uint8_t>()>& contents)
{
    std::string resultText;
    if (const ExitCode code = session.RunWithProgress(readBack, resultText, nullptr, false); code != ExitCode::Done) {
        session.Say(readBack.ResultText());
        return code;
    }
    if (const auto failed = file.Commit(contents())) {
        session.Complain(path + ": " + *failed);
        return ExitCode::FileRefused;
    }
    session.Say(readBack.ResultText());
    return ExitCode::Done;
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
    AtomicFile file(QString::fromLocal8Bit(arguments[2]));
    if (!OpenOutput(session, file, arguments[2]))
        return ExitCode::FileRefused;
    if (!session.OpenLink())
        return session.LinkRefusal();
    FlashReadBack readBack(session.context.link, {{*address, *length}});
    return ReadInto(session, readBack, file, arguments[2], [&] { return readBack.Read().front().bytes; });
}

ExitCode BackupCommand(CliSession& session, const CliArguments& arguments)
{
    AtomicFile file(QString::fromLocal8Bit(arguments[0]));
    if (!OpenOutput(session, file, arguments[0]))
        return ExitCode::FileRefused;
    if (!session.OpenLink())
        return session.LinkRefusal();
    MachineInfo& info = session.context.machineInfo;
    ReadMachineInfo(session.context.link, info);
    if (const ActionStart refused = CheckUserArea(info); refused.refusal != ActionRefusal::None) {
        session.Say(refused.text);
        return ExitCodeOf(refused.refusal);
    }
    FlashReadBack readBack(session.context.link, {{info.userAreaAddress, info.userAreaLength}});
    return ReadInto(session, readBack, file, arguments[0],
                    [&] { return WriteBackup(BackupOf(info, readBack.Read().front().bytes)); });
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
        return session.LinkRefusal();
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
    if (code == ExitCode::Done && session.options.verify) {
        FlashVerify verify(context.link, {RestoredUserArea(*read.backup)});
        std::string resultText;
        code = session.RunWithProgress(verify, resultText, "verify");
    }
    ReadMachineInfo(context.link, context.machineInfo);
    return code;
}
