#include "operations/Job.h"

#include <algorithm>

#include "operations/ActionStart.h"

#include "common/Latin1.h"
#include "link/DeviceLink.h"
#include "procedures/FlashReadBack.h"

JobEnd EndOf(ProcedureResult result)
{
    switch (result) {
    case ProcedureResult::Done: return JobEnd::Done;
    case ProcedureResult::NoAnswer:
    case ProcedureResult::WriteFailed: return JobEnd::NoAnswer;
    case ProcedureResult::Aborted: return JobEnd::Aborted;
    default: return JobEnd::MachineRefused;
    }
}

void JobObserver::Progress(const std::string&, const std::string&, std::uint64_t, std::uint64_t) {}
void JobObserver::StepBegun(const std::string&) {}
void JobObserver::StepEnded(const StepOutcome&) {}
void JobObserver::Result(const std::string&) {}
void JobObserver::Problem(const std::string&) {}
void JobObserver::MachineRead(const MachineInfo&) {}

const StepOutcome* JobOutcome::Step(StepKind kind) const
{
    for (const StepOutcome& step : steps)
        if (step.kind == kind)
            return &step;
    return nullptr;
}

void NoteCause(const DeviceLink& link, JobOutcome& outcome)
{
    if (outcome.end == JobEnd::NoAnswer && outcome.cause.empty())
        outcome.cause = link.LastFailure().Text();
}

std::string ConsequenceOf(const std::vector<StepOutcome>& steps)
{
    // A write that stopped after it erased or programmed a block, or whose
    // verify read other bytes back, leaves the area partly erased.
    const auto write = std::find_if(steps.rbegin(), steps.rend(), [](const StepOutcome& step) {
        return step.kind == StepKind::UserDownload || step.kind == StepKind::Restore
            || step.kind == StepKind::FactoryDownload;
    });
    if (write == steps.rend() || !write->counts.flashTouched)
        return {};
    const bool verifyFailed = std::any_of(steps.rbegin(), write, [](const StepOutcome& step) {
        return step.kind == StepKind::Verify && step.result == ProcedureResult::VerifyFailed;
    });
    if (write->result == ProcedureResult::Done && !verifyFailed)
        return {};
    if (write->kind == StepKind::FactoryDownload)
        return "The factory area is now partly erased: download the factory image again";
    return "The user program area is now partly erased: download a program again, or restore a backup";
}

StepOutcome RunStep(const JobContext& job, Procedure& procedure, StepKind kind, JobOutcome& outcome, bool holdResult)
{
    StepOutcome step = job.runner.Run(procedure, kind, job.observer);
    outcome.steps.push_back(step);
    job.observer.StepEnded(step);
    if (!holdResult)
        job.observer.Result(Utf8FromLatin1(step.text));
    outcome.end = EndOf(step.result);
    outcome.text = step.text;
    NoteCause(job.link, outcome);
    outcome.consequence = ConsequenceOf(outcome.steps);
    return step;
}

void VerifyWritten(const JobContext& job, std::vector<FlashSegment> written, JobOutcome& outcome)
{
    FlashVerify verify(job.link, std::move(written));
    RunStep(job, verify, StepKind::Verify, outcome);
}

JobEnd EndOf(ActionRefusal refusal)
{
    switch (refusal) {
    case ActionRefusal::NoAnswer: return JobEnd::NoAnswer;
    case ActionRefusal::NotLoaded: return JobEnd::FileRefused;
    default: return JobEnd::MachineRefused;
    }
}

JobOutcome Refused(const JobContext& job, const ActionStart& start)
{
    job.observer.Result(Utf8FromLatin1(start.text));
    JobOutcome outcome = JobOutcome::Ended(EndOf(start.refusal), start.text);
    NoteCause(job.link, outcome);
    return outcome;
}
