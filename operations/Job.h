#pragma once

#include "procedures/FlashSegment.h"
#include "procedures/Procedure.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class DeviceLink;
class Prompts;
struct MachineInfo;

// What every job of the tool (a readout, a download, a backup, a write ...)
// shares: how it reaches its machine, how it runs its procedures, how it
// tells what it is doing, and how it ends. A job is a sequence of
// procedures (check, erase and program, verify, readout after); it never
// prints, shows or sleeps: it reports. It reaches nothing process-wide, so
// that several run at once, each on a thread of its own with its own link,
// MachineInfo and images.

// How a job ended, whatever the front end makes of it (the command line's
// exit codes follow it).
enum class JobEnd {
    Done,             // everything asked was done
    NoAnswer,         // the machine did not answer (or the port did not take a stream)
    InputRefused,     // a text or a choice was refused before anything was sent
    FileRefused,      // a file could not be read, was refused, or could not be written
    MachineRefused,   // the machine is not fit for the job, or refused or failed it
    Aborted,          // not confirmed, or aborted
    PortUnavailable,  // the port could not be opened: its opener said why
    DatabaseFailed,   // the production database could not be reached or written (a production run)
};

// The end of a procedure's run as a job's end: a bad status and a failed
// verify are the machine's refusal; a stream the port did not take reached
// no machine.
JobEnd EndOf(ProcedureResult result);

// What a step of a job is, so that a front end runs and shows it where it
// belongs (the window: in which dialog) and keeps the right result text in
// step.
enum class StepKind {
    UserDownload,     // keeps the user download's result text in step
    FactoryDownload,  // keeps the factory download's result text in step
    Restore,          // a user area written again: the user download's result text
    Boot,
    Verify,           // what was written, read back and compared
    Read,             // flash read back into a file
};

// A procedure run to its end: how it ended and what it did.
struct StepOutcome {
    StepKind kind = StepKind::Read;
    ProcedureResult result = ProcedureResult::NotDone;
    std::string text;  // its result text, Latin-1 ("Done", "Verified", ...)
    ProcedureCounts counts;
    std::chrono::milliseconds duration{0};
};

// How a job tells what it is doing. Every text is UTF-8 (the machine's
// Latin-1 bytes converted), ready to be read by a person; each call comes
// as the thing happens. Nothing is required: an observer takes what it shows.
class JobObserver {
public:
    virtual ~JobObserver() = default;

    // How far a procedure has got: its phase ("Erasing..."), what it counts
    // ("erases", "bytes", "words"), how many of how many. Not once it has ended.
    virtual void Progress(const std::string& phase, const std::string& unit, std::uint64_t done, std::uint64_t total);
    // A named step of a job of several begins: a production run's
    // "factory", "serial number" ... Its procedures and results follow.
    virtual void StepBegun(const std::string& name);
    // A procedure has ended (its result said by Result() when the job has it).
    virtual void StepEnded(const StepOutcome& step);
    // A result line of the job, as it happens: "Done", "Verified", a refusal.
    virtual void Result(const std::string& line);
    // What went wrong beside the machine: a file that cannot be written
    // ("PATH: reason"), a recording cut.
    virtual void Problem(const std::string& line);
    // A readout has run: the machine as it stands now.
    virtual void MachineRead(const MachineInfo& info);
};

// Runs a job's procedures: to their end outside a window (BlockingRunner),
// in the window's dialogs inside it. Each keeps the process-wide result text
// of the step's kind in step, as only a runner does.
class ProcedureRunner {
public:
    virtual ~ProcedureRunner() = default;
    // Runs `procedure` to its end (or its abort), telling `observer` how far
    // it has got; what it did.
    virtual StepOutcome Run(Procedure& procedure, StepKind kind, JobObserver& observer) = 0;
};

// What a job works with: its machine (the link, opened when the job first
// needs it, and the record of its readouts), the runner of its procedures,
// its observer, the prompts that ask a person, and whether it is asked to
// stop (Ctrl-C) where it waits on its own.
struct JobContext {
    DeviceLink& link;
    MachineInfo& info;
    ProcedureRunner& runner;
    JobObserver& observer;
    Prompts& prompts;
    // Opens the port when the job first needs the machine; false when it
    // did not open (the opener said why). None: the link stays as it is.
    std::function<bool()> openLink = {};
    std::function<bool()> stopRequested = {};

    bool OpenLink() const { return !openLink || openLink(); }
    bool StopRequested() const { return stopRequested && stopRequested(); }
};

// How a job ended, with its result text (what the window shows where the
// job's result goes, Latin-1) and the procedures it ran.
struct JobOutcome {
    JobEnd end = JobEnd::Done;
    std::string text;
    std::vector<StepOutcome> steps;
    // Beside a "No answer": what the link saw ("the answer to ReadIdentity
    // had a bad checksum: check ..."). Empty for any other end.
    std::string cause;
    // What a write that broke off left in the machine ("The user program
    // area is now partly erased: ..."); empty when it left nothing broken.
    std::string consequence;

    // An outcome without steps: a job that ended before its procedure.
    static JobOutcome Ended(JobEnd end, std::string text = {}) { return {end, std::move(text), {}, {}, {}}; }

    bool Done() const { return end == JobEnd::Done; }
    // The outcome of a step of that kind, if it ran.
    const StepOutcome* Step(StepKind kind) const;
};

// A procedure of a job run to its end: the runner runs it, the observer is
// told of its end and, unless `holdResult` (a result that waits for more),
// of its result text; the outcome keeps it, and its end and text follow it.
StepOutcome RunStep(const JobContext& job, Procedure& procedure, StepKind kind, JobOutcome& outcome,
                    bool holdResult = false);

// A job that ended "No answer" takes the link's cause, unless it has one:
// called where the failed exchange is the link's last, before any readout
// after it.
void NoteCause(const DeviceLink& link, JobOutcome& outcome);

// What a download or restore that erased or wrote and did not end whole
// (aborted, refused, no answer, a failed verify) leaves in the machine;
// empty for any other run of steps.
std::string ConsequenceOf(const std::vector<StepOutcome>& steps);

// The verify of what was written (StepKind::Verify): `written` read back and
// compared, "Verified" or the first difference.
void VerifyWritten(const JobContext& job, std::vector<FlashSegment> written, JobOutcome& outcome);
