#pragma once

#include "cli/ExitCode.h"
#include "cli/Progress.h"
#include "operations/BlockingRunner.h"
#include "operations/Job.h"

#include <optional>

class CliSession;

// How mirelle-cli runs a job: its procedures to their end with the stop as
// their Abort button and --erase-timeout as the bound of an erase phase; its
// progress on standard error (none with --quiet); its results as result
// lines, its problems as diagnostics; what each procedure did into the JSON
// report, the verify as a member of its own.
class CliJob final : public ProcedureRunner, public JobObserver {
public:
    // `stepMembers`: what each procedure did goes into the JSON report; a
    // command of several downloads (line) reports them otherwise.
    explicit CliJob(CliSession& session, bool stepMembers = true);

    // The job's context on the session's link, MachineInfo and prompts, the
    // port opened when the job first needs it.
    JobContext Context();

    StepOutcome Run(Procedure& procedure, StepKind kind, JobObserver& observer) override;

    void Progress(const std::string& phase, const std::string& unit, std::uint64_t done, std::uint64_t total) override;
    void StepEnded(const StepOutcome& step) override;
    void Result(const std::string& line) override;
    void Problem(const std::string& line) override;

private:
    CliSession& session;
    BlockingRunner runner;
    bool stepMembers;
    std::optional<ProgressDisplay> display;
};

// The exit code of a job's end; a port that did not open (or a recording
// that could not be started) as the session says. The same numbers as a
// production record keeps (RecordedExitCode).
ExitCode ExitCodeOf(const CliSession& session, JobEnd end);
// The same for a job's outcome, after its cause (beside a "No answer") and
// its consequence (what a broken write left in the machine): each a line
// on standard error and a member of the JSON report.
ExitCode ExitCodeOf(CliSession& session, const JobOutcome& outcome);
