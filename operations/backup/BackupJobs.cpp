#include "operations/backup/BackupJobs.h"

#include "common/Latin1.h"
#include "common/Prompts.h"
#include "files/AtomicFile.h"
#include "images/BackupFile.h"
#include "operations/ActionStart.h"
#include "operations/backup/UserAreaBackup.h"
#include "operations/readout/MachineInfo.h"
#include "procedures/FlashReadBack.h"

#include <QDateTime>
#include <QFileInfo>

#include <cstdlib>
#include <functional>
#include <optional>

namespace {

// The file a read goes into, checked and opened before anything is read;
// nothing when it is open, else the job's end.
std::optional<JobOutcome> OpenOutput(const JobContext& job, AtomicFile& file, const std::string& path)
{
    if (const auto refused = file.Open()) {
        job.observer.Problem(path + ": " + *refused);
        return JobOutcome::Ended(JobEnd::FileRefused, path + ": " + *refused);
    }
    return std::nullopt;
}

// Reads with the runner; on success the file takes what was read before
// "Done" is said, so that a file that could not be written says why instead
// (FileRefused) and an older file stays whole.
JobOutcome ReadInto(const JobContext& job, FlashReadBack& read, AtomicFile& file, const std::string& path,
                    const std::function<std::vector<std::uint8_t>()>& contents)
{
    JobOutcome outcome;
    const StepOutcome step = RunStep(job, read, StepKind::Read, outcome, true);
    if (!outcome.Done()) {
        job.observer.Result(Utf8FromLatin1(step.text));
        return outcome;
    }
    if (const auto failed = file.Commit(contents())) {
        job.observer.Problem(path + ": " + *failed);
        outcome.end = JobEnd::FileRefused;
        outcome.text = path + ": " + *failed;
        return outcome;
    }
    job.observer.Result(Utf8FromLatin1(step.text));
    return outcome;
}

// When a backup is taken: now, or SOURCE_DATE_EPOCH where a build or a
// test fixes the date, as reproducible builds do.
std::int64_t BackupTime()
{
    if (const char* fixed = std::getenv("SOURCE_DATE_EPOCH"); fixed && *fixed)
        return std::strtoll(fixed, nullptr, 10);
    return QDateTime::currentSecsSinceEpoch();
}

// The machine and the backup, for the question before a restore.
std::string Described(const MachineInfo& info, const MachineBackup& backup, const std::string& path)
{
    MachineBackup machine = BackupOf(info, {});
    if (!info.serialWritten)
        machine.serialNumber.fill(0xFF);  // blank, as the flash holds it
    std::string backupText = BackupSummary(backup);
    if (!backup.takenAt) {
        const QDateTime saved = QFileInfo(QString::fromStdString(path)).lastModified();
        backupText += ", saved " + BackupTimeText(saved.toSecsSinceEpoch()) + " (the file's time)";
    }
    return "Machine: " + BackupSummary(machine) + "\nBackup: " + backupText;
}

}  // namespace

bool FlashRangeFits(std::uint32_t address, std::uint32_t length)
{
    return length != 0 && length <= kMaxReadLength && address <= 0xFFFFFFFFu - length + 1;
}

JobOutcome ReadFlashInto(const JobContext& job, std::uint32_t address, std::uint32_t length, const std::string& path)
{
    AtomicFile file(QString::fromStdString(path));
    if (auto refused = OpenOutput(job, file, path))
        return *refused;
    if (!job.OpenLink())
        return JobOutcome::Ended(JobEnd::PortUnavailable);
    FlashReadBack read(job.link, {{address, length}});
    return ReadInto(job, read, file, path, [&] { return read.Read().front().bytes; });
}

JobOutcome BackUpUserArea(const JobContext& job, const std::string& path)
{
    AtomicFile file(QString::fromStdString(path));
    if (auto refused = OpenOutput(job, file, path))
        return *refused;
    if (!job.OpenLink())
        return JobOutcome::Ended(JobEnd::PortUnavailable);
    ReadMachineInfo(job.link, job.info);
    job.observer.MachineRead(job.info);
    if (const ActionStart refused = CheckUserArea(job.info); refused.refusal != ActionRefusal::None)
        return Refused(job, refused);
    FlashReadBack read(job.link, {{job.info.userAreaAddress, job.info.userAreaLength}});
    return ReadInto(job, read, file, path, [&] {
        MachineBackup backup = BackupOf(job.info, read.Read().front().bytes);
        backup.takenAt = BackupTime();
        return WriteBackup(backup);
    });
}

JobOutcome RestoreUserArea(const JobContext& job, const std::string& path, const RestoreOptions& options)
{
    const BackupRead backup = ReadBackupFile(path);
    if (backup.unreadable) {
        job.observer.Problem(path + ": " + backup.error);
        return JobOutcome::Ended(JobEnd::FileRefused, path + ": " + backup.error);
    }
    if (!backup.backup) {
        job.observer.Result(backup.error);
        return JobOutcome::Ended(JobEnd::FileRefused, backup.error);
    }
    if (const auto why = job.prompts.NoConfirmation()) {
        job.observer.Result("Not restored : " + *why);
        return JobOutcome::Ended(JobEnd::InputRefused, "Not restored : " + *why);
    }
    if (!job.OpenLink())
        return JobOutcome::Ended(JobEnd::PortUnavailable);
    ActionStart start = StartRestore(job.link, job.info, *backup.backup);
    job.observer.MachineRead(job.info);
    if (!start.procedure)
        return Refused(job, start);
    const std::string question = "The machine's user area is erased and written again from " + path + ". Restore it?";
    if (!job.prompts.Confirm("Warning", question,
                             options.describe ? Described(job.info, *backup.backup, path) : std::string())) {
        job.observer.Result("Not restored");
        return JobOutcome::Ended(JobEnd::Aborted, "Not restored");
    }
    JobOutcome outcome;
    RunStep(job, *start.procedure, StepKind::Restore, outcome);
    if (outcome.Done() && options.verify)
        VerifyWritten(job, std::move(start.verified), outcome);
    ReadMachineInfo(job.link, job.info);
    job.observer.MachineRead(job.info);
    return outcome;
}
