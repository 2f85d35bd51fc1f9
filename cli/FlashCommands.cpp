#include "cli/FlashCommands.h"

#include "cli/CliJob.h"
#include "cli/CliSession.h"
#include "operations/backup/BackupJobs.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <optional>

namespace {

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

}  // namespace

ExitCode ReadFlashCommand(CliSession& session, const CliArguments& arguments)
{
    const auto address = ParseNumber(arguments[0]);
    const auto length = ParseNumber(arguments[1]);
    if (!address) {
        session.Complain("read-flash: ADDRESS '" + arguments[0] + "' is no number (0x.. or decimal)");
        return ExitCode::Usage;
    }
    if (!length || !FlashRangeFits(*address, *length)) {
        session.Complain("read-flash: LENGTH '" + arguments[1] + "' is no length from 1 to 0x1000000 from ADDRESS");
        return ExitCode::Usage;
    }
    CliJob job(session);
    return ExitCodeOf(session, ReadFlashInto(job.Context(), *address, *length, arguments[2]));
}

ExitCode BackupCommand(CliSession& session, const CliArguments& arguments)
{
    CliJob job(session);
    return ExitCodeOf(session, BackUpUserArea(job.Context(), arguments[0]));
}

ExitCode RestoreCommand(CliSession& session, const CliArguments& arguments)
{
    CliJob job(session);
    return ExitCodeOf(session,
                      RestoreUserArea(job.Context(), arguments[0], {.verify = session.options.verify}));
}
