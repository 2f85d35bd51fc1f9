#include "operations/production/LineJob.h"

#include "common/Latin1.h"
#include "common/Prompts.h"
#include "link/DeviceLink.h"
#include "operations/downloads/DownloadJobs.h"
#include "operations/machine/MachineJobs.h"
#include "operations/readout/MachinePanel.h"
#include "production/ProductionDatabase.h"
#include "production/Recipe.h"

#include <QString>

#include <array>
#include <chrono>
#include <utility>

namespace {

// The record's names of the steps.
const std::string kFactory = "factory";
const std::string kDownload = "download";
const std::string kSerialNumber = "serial number";
const std::string kMachineName = "machine name";
const std::string kPowerOff = "power off";

const std::string kDatabaseStop = "Stopped : the production database failed";

// The results of a step's jobs, each said under the step's name ("factory:
// Done"), its verify under the name with " verify".
class StepResults final : public JobObserver {
public:
    explicit StepResults(JobObserver& outer) : outer(outer) {}

    void Begin(const std::string& name)
    {
        base = current = name;
        outer.StepBegun(name);
    }

    void Progress(const std::string& phase, const std::string& unit, std::uint64_t done, std::uint64_t total) override
    {
        outer.Progress(phase, unit, done, total);
    }
    void StepEnded(const StepOutcome& step) override
    {
        current = step.kind == StepKind::Verify ? base + " verify" : base;
        outer.StepEnded(step);
    }
    void Result(const std::string& line) override { outer.Result(current + ": " + line); }
    void Problem(const std::string& line) override { outer.Problem(line); }
    void MachineRead(const MachineInfo& info) override { outer.MachineRead(info); }

private:
    JobObserver& outer;
    std::string base;
    std::string current;
};

// The prompts of a run: the recipe is the confirmation, a file is never
// asked for, and an error box's text is its step's result.
class RecipePrompts final : public Prompts {
public:
    explicit RecipePrompts(JobObserver& results) : results(results) {}

    std::optional<std::string> OpenFile(const OpenFileQuestion&) override { return std::nullopt; }
    std::optional<std::string> SaveFile(const SaveFileQuestion&) override { return std::nullopt; }
    bool Confirm(const std::string&, const std::string&, const std::string&) override { return true; }
    void Error(const std::string&, const std::string& text) override { results.Result(text); }
    void Inform(const std::string&, const std::string& text) override { results.Result(text); }

private:
    JobObserver& results;
};

// A once-only field as the readout found it, trimmed (the serial number
// stands right-aligned behind blanks); UTF-8.
template <std::size_t N>
std::string FieldAsRead(const std::array<std::uint8_t, N>& field)
{
    return QString::fromLatin1(FieldText(field.data(), N)).trimmed().toStdString();
}

// What became of a serial number written: the machine did it (its answer,
// or the readout after a lost one), it was never sent or the machine refused
// it, or nothing tells.
SerialOutcome SerialOutcomeOf(const WriteOutcome& write)
{
    if (!write.stop.Sent())
        return SerialOutcome::Void;
    if (write.end == JobEnd::Done)
        return SerialOutcome::Written;
    if (write.stop.result == WriteResult::BadStatus)
        return SerialOutcome::Void;
    // The readout after a lost reply found the field holding another text.
    if (write.lostReply && write.end == JobEnd::MachineRefused)
        return SerialOutcome::Void;
    return SerialOutcome::InDoubt;
}

SerialState StateOf(SerialOutcome outcome)
{
    switch (outcome) {
    case SerialOutcome::Written: return SerialState::Written;
    case SerialOutcome::Void: return SerialState::Void;
    case SerialOutcome::InDoubt: break;
    }
    return SerialState::InDoubt;
}

std::int64_t MillisecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

// One run: the checks before the machine, then its steps, each ending the
// run when it fails, and the record at the end.
class LineRun {
public:
    LineRun(const JobContext& job, Recipe& recipe, const LineStation& station)
        : job(job),
          recipe(recipe),
          station(station),
          numbers(station.database),
          results(job.observer),
          prompts(results),
          steps{.link = job.link,
                .info = job.info,
                .runner = job.runner,
                .observer = results,
                .prompts = prompts,
                .openLink = [this] { return opened || (opened = this->job.OpenLink()); },
                .stopRequested = job.stopRequested}
    {
    }

    LineOutcome Run()
    {
        if (!CheckedBeforeMachine())
            return outcome;
        if (!steps.OpenLink())
            return Ended(JobEnd::PortUnavailable, {});
        record = StartRecord(recipe, station.name, job.link.LastAddress().name);
        if (const JobOutcome read = ReadMachine(steps, ReadoutKind::Full); read.end != JobEnd::Done) {
            // No machine there to record; nothing done to it either when
            // the stop cut its readout.
            if (read.end == JobEnd::Aborted || job.StopRequested()) {
                job.observer.Result("Aborted");
                return Ended(JobEnd::Aborted, "Aborted");
            }
            outcome.cause = read.cause;
            job.observer.Result("No answer");
            return Ended(JobEnd::NoAnswer, "No answer");
        }
        outcome.machineTouched = true;
        KeepMachineBefore();

        std::optional<std::string> held;
        if (job.info.factoryInfoRead && job.info.serialWritten) {
            held = FieldAsRead(job.info.serialNumber);
            if (!MeetSerial(*held))
                return outcome;
        }
        if (held)
            Skipped(kFactory, "Not written : the factory data holds the machine's serial number");
        else if (!Download(kFactory))
            return outcome;
        if (!Download(kDownload))
            return outcome;
        const std::optional<std::string> serial = held ? held : WriteSerial();
        if (!serial)
            return outcome;
        if (held && job.info.factoryInfoRead && job.info.nameWritten)
            Skipped(kMachineName, "Not written : the machine has its name");
        else if (!WriteName(MachineNameFor(recipe, *serial)))
            return outcome;
        KeepVersionsAfter();
        if (recipe.powerOff && !PowerOff())
            return outcome;
        return Finish(JobEnd::Done, "Done");
    }

private:
    // The database takes a write, the recipe's pool is there and has
    // numbers left, and the name fits with them. Otherwise the outcome says
    // why, told as a problem.
    bool CheckedBeforeMachine()
    {
        try {
            station.database.ProbeWrite();
            const std::optional<SerialPool> pool = numbers.FindPool(recipe.serialPool);
            if (!pool) {
                throw RecipeError(RecipeError::Kind::InRecipe, recipe.path, "serialPool",
                                  "there is no serial number pool named " + recipe.serialPool + " in "
                                      + station.database.Address().Display().toStdString());
            }
            CheckRecipeWithPool(recipe, *pool);
            if (!numbers.Status(pool->name).front().next) {
                throw RecipeError(RecipeError::Kind::InRecipe, recipe.path, "serialPool",
                                  "pool " + pool->name + " is used up: every number up to "
                                      + SerialText(*pool, pool->last) + " was given out");
            }
            return true;
        } catch (const DatabaseFailure& failure) {
            return Refused(JobEnd::DatabaseFailed, failure.what());
        } catch (const RecipeError& error) {
            return Refused(error.kind == RecipeError::Kind::InRecipe ? JobEnd::InputRefused : JobEnd::FileRefused,
                           error.what());
        } catch (const PoolRefused& refused) {
            return Refused(JobEnd::InputRefused, refused.what());
        }
    }

    bool Refused(JobEnd end, const std::string& why)
    {
        job.observer.Problem(why);
        Ended(end, why);
        return false;
    }

    LineOutcome& Ended(JobEnd end, std::string result)
    {
        outcome.end = end;
        outcome.result = std::move(result);
        return outcome;
    }

    void KeepMachineBefore()
    {
        const MachineInfo& info = job.info;
        record.hardIdent = info.hardIdent;
        record.flashIdent = info.flashIdent;
        if (!info.factoryInfoRead)
            return;
        record.hardwareVersion = info.hardwareVersion;
        if (info.serialWritten)
            record.serialBefore = FieldAsRead(info.serialNumber);
        if (info.nameWritten)
            record.nameBefore = FieldAsRead(info.machineName);
    }

    // The panel's rows as the last readout filled them, before the power off.
    void KeepVersionsAfter()
    {
        if (versionsKept || !job.info.answered)
            return;
        versionsKept = true;
        for (const PanelRow& row : FillMachinePanel(job.info, true).rows) {
            if (!row.text.empty())
                record.versionsAfter.emplace_back(Utf8FromLatin1(row.caption), Utf8FromLatin1(row.text));
        }
    }

    // The machine holds `serial`: written in the database, no number taken;
    // false when the run ends here (the recipe says stop, or the database failed).
    bool MeetSerial(const std::string& serial)
    {
        results.Begin(kSerialNumber);
        std::optional<SerialState> before;
        try {
            before = numbers.MarkMetOnMachine(serial);
        } catch (const DatabaseFailure& failure) {
            DatabaseLost(failure);
            return false;
        }
        outcome.serial = LineSerial{.text = serial, .taken = false, .state = before ? std::optional(SerialState::Written) : std::nullopt};
        results.Result("the machine holds " + serial + " already"
                       + (!before                             ? ", a number of no pool of this database"
                          : *before != SerialState::Written ? ": recorded as written"
                                                            : std::string())
                       + "; no number taken");
        if (recipe.machineWithSerial == MachineWithSerial::Record)
            return true;
        const std::string text = CheckFieldWrite(OnceOnlyField::SerialNumber, job.info).text;
        results.Result(text);
        record.steps.push_back({.name = kSerialNumber, .result = text,
                                .exitCode = RecordedExitCode(JobEnd::MachineRefused), .durationMs = 0});
        Finish(JobEnd::MachineRefused, text);
        return false;
    }

    void Skipped(const std::string& name, const std::string& why)
    {
        results.Begin(name);
        results.Result(why);
        record.steps.push_back({.name = name, .result = why, .exitCode = 0, .durationMs = 0});
    }

    // A step may begin: no stop asked for, and the database still takes a write.
    bool MayGoOn()
    {
        if (job.StopRequested()) {
            Finish(JobEnd::Aborted, "Aborted");
            return false;
        }
        try {
            station.database.ProbeWrite();
            return true;
        } catch (const DatabaseFailure& failure) {
            DatabaseLost(failure);
            return false;
        }
    }

    void DatabaseLost(const DatabaseFailure& failure)
    {
        job.observer.Problem(failure.what());
        Finish(JobEnd::DatabaseFailed, kDatabaseStop);
    }

    // The steps a job ran, by the record's names; one step for a job that
    // ended before its procedure.
    void KeepSteps(const std::string& name, const JobOutcome& done, std::int64_t durationMs)
    {
        if (done.steps.empty()) {
            record.steps.push_back({.name = name, .result = Utf8FromLatin1(done.text),
                                    .exitCode = RecordedExitCode(done.end), .durationMs = durationMs});
        }
        for (const StepOutcome& step : done.steps) {
            record.steps.push_back({.name = step.kind == StepKind::Verify ? name + " verify" : name,
                                    .result = Utf8FromLatin1(step.text),
                                    .exitCode = RecordedExitCode(EndOf(step.result)),
                                    .durationMs = step.duration.count()});
        }
    }

    // The factory image or the user program, verified when the recipe asks.
    bool Download(const std::string& name)
    {
        if (!MayGoOn())
            return false;
        results.Begin(name);
        const auto start = std::chrono::steady_clock::now();
        const JobOutcome done = name == kFactory
            ? DownloadFactoryImage(steps, recipe.factoryImage, {.verify = recipe.factory.verify})
            : DownloadUserProgram(steps, recipe.userImage, {.verify = recipe.user.verify});
        KeepSteps(name, done, MillisecondsSince(start));
        if (done.Done())
            return true;
        outcome.cause = done.cause;
        outcome.consequence = done.consequence;
        Finish(done.end, Utf8FromLatin1(done.text));
        return false;
    }

    // A number taken from the pool, written, and what became of it recorded:
    // the number when it was written.
    std::optional<std::string> WriteSerial()
    {
        if (job.StopRequested()) {
            Finish(JobEnd::Aborted, "Aborted");
            return std::nullopt;
        }
        results.Begin(kSerialNumber);
        TakenSerial taken;
        try {
            taken = numbers.Take(recipe.serialPool, station.name, record.port);
        } catch (const DatabaseFailure& failure) {
            DatabaseLost(failure);
            return std::nullopt;
        } catch (const PoolRefused& refused) {
            results.Result(refused.what());
            Finish(JobEnd::InputRefused, refused.what());
            return std::nullopt;
        }
        outcome.serial = LineSerial{.text = taken.serial, .taken = true, .state = SerialState::Allocated};
        results.Result(taken.serial + " taken from pool " + taken.pool);

        const auto start = std::chrono::steady_clock::now();
        const WriteOutcome write =
            WriteOnceOnlyField(steps, OnceOnlyField::SerialNumber, QString::fromStdString(taken.serial));
        record.steps.push_back({.name = kSerialNumber, .result = Utf8FromLatin1(write.text),
                                .exitCode = RecordedExitCode(write.end), .durationMs = MillisecondsSince(start)});
        const SerialOutcome became = SerialOutcomeOf(write);
        if (became == SerialOutcome::Written)
            record.serial = taken.serial;
        else if (became == SerialOutcome::Void)
            results.Result(taken.serial + " is void: never given again");
        else
            results.Result(taken.serial + " is in doubt: never given again, until a run meets a machine that holds it");
        try {
            numbers.RecordOutcome(taken.serial, became);
            outcome.serial->state = StateOf(became);
        } catch (const DatabaseFailure& failure) {
            DatabaseLost(failure);
            return std::nullopt;
        }
        if (became == SerialOutcome::Written)
            return taken.serial;
        outcome.cause = write.cause;
        Finish(write.end, Utf8FromLatin1(write.text));
        return std::nullopt;
    }

    bool WriteName(const std::string& name)
    {
        if (!MayGoOn())
            return false;
        results.Begin(kMachineName);
        results.Result("'" + name + "'");
        const auto start = std::chrono::steady_clock::now();
        const WriteOutcome write = WriteOnceOnlyField(steps, OnceOnlyField::MachineName, QString::fromStdString(name));
        record.steps.push_back({.name = kMachineName, .result = Utf8FromLatin1(write.text),
                                .exitCode = RecordedExitCode(write.end), .durationMs = MillisecondsSince(start)});
        if (write.end == JobEnd::Done) {
            record.name = name;
            return true;
        }
        outcome.cause = write.cause;
        Finish(write.end, Utf8FromLatin1(write.text));
        return false;
    }

    bool PowerOff()
    {
        if (!MayGoOn())
            return false;
        results.Begin(kPowerOff);
        const auto start = std::chrono::steady_clock::now();
        const PowerOutcome power = SetPower(steps, PowerMode::Off);
        record.steps.push_back({.name = kPowerOff, .result = power.text, .exitCode = RecordedExitCode(power.end),
                                .durationMs = MillisecondsSince(start)});
        if (power.Done())
            return true;
        Finish(power.end, power.text);
        return false;
    }

    // The run's end: its result said, and its record kept, in the database
    // or in a file beside it.
    LineOutcome& Finish(JobEnd end, std::string result)
    {
        // A step that failed after a stop failed because of it (the link
        // gives up at once outside a procedure): the run was aborted, and
        // what the link saw is no cause. The step keeps its own result.
        if (end != JobEnd::Done && end != JobEnd::DatabaseFailed && job.StopRequested()) {
            end = JobEnd::Aborted;
            result = "Aborted";
            outcome.cause.clear();
        }
        KeepVersionsAfter();
        record.result = result;
        record.exitCode = RecordedExitCode(end);
        record.endedAt = QDateTime::currentDateTimeUtc();
        job.observer.Result(result);
        Ended(end, result);
        outcome.recording = RecordMachine(station.database, record, UnrecordedFolder(station.database.Address()));
        outcome.record = record;
        if (outcome.recording.recorded)
            return outcome;
        job.observer.Problem(outcome.recording.why);
        const std::string notRecorded = outcome.recording.unrecordedFile.isEmpty()
            ? std::string("Not recorded")
            : "Not recorded : the record is in " + outcome.recording.unrecordedFile.toStdString();
        job.observer.Result(notRecorded);
        return Ended(JobEnd::DatabaseFailed, notRecorded);
    }

    const JobContext& job;
    Recipe& recipe;
    const LineStation& station;
    SerialNumbers numbers;
    StepResults results;
    RecipePrompts prompts;
    bool opened = false;
    JobContext steps;
    MachineRecord record;
    bool versionsKept = false;
    LineOutcome outcome;
};

}  // namespace

LineOutcome RunLine(const JobContext& job, Recipe& recipe, const LineStation& station)
{
    return LineRun(job, recipe, station).Run();
}
