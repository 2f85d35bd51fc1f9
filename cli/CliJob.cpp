#include "cli/CliJob.h"

#include "common/QtText.h"
#include "cli/CliSession.h"
#include "cli/Signals.h"
#include "operations/production/LineJob.h"

#include <QJsonObject>

namespace {

ProcedureRun StoppableRun(const CliOptions& options)
{
    ProcedureRun run;
    run.eraseTimeout = options.eraseTimeout;
    run.beforeTick = [](Procedure& running) {
        if (StopSignals::Requested())
            running.Abort();
    };
    return run;
}

}  // namespace

CliJob::CliJob(CliSession& session, bool stepMembers)
    : session(session),
      runner(StoppableRun(session.options),
             {.user = &session.context.userResultText, .factory = &session.context.factoryResultText}),
      stepMembers(stepMembers)
{
}

JobContext CliJob::Context()
{
    return {.link = session.context.link,
            .info = session.context.machineInfo,
            .runner = *this,
            .observer = *this,
            .prompts = session.prompts,
            .openLink = [this] { return session.OpenLink(); },
            .stopRequested = [] { return StopSignals::Requested(); }};
}

StepOutcome CliJob::Run(Procedure& procedure, StepKind kind, JobObserver& observer)
{
    const StopSignals::ProcedureRunning procedureRunning;
    return runner.Run(procedure, kind, observer);
}

void CliJob::Progress(const std::string& phase, const std::string& unit, std::uint64_t done, std::uint64_t total)
{
    if (session.options.quiet)
        return;
    if (!display)
        display.emplace(session.Errors(), session.options.json);
    display->Show(phase, unit, done, total);
}

void CliJob::StepEnded(const StepOutcome& step)
{
    if (display)
        display->Finish(step.result == ProcedureResult::Done);  // its line ended
    display.reset();
    if (!stepMembers)
        return;
    QJsonObject members{
        {"bytes", qint64(step.counts.bytes)},
        {"blocks", qint64(step.counts.blocks)},
        {"erases", qint64(step.counts.erases)},
        {"durationMs", qint64(step.duration.count())},
    };
    if (step.kind == StepKind::Verify) {
        members.insert("result", QStringFromLatin1(step.text));
        session.report.Set("verify", members);
    } else {
        session.report.Merge(members);
    }
}

void CliJob::Result(const std::string& line)
{
    session.SayUtf8(line);
}

void CliJob::Problem(const std::string& line)
{
    session.Complain(line);
}

// A record keeps the exit code this command line gives for the same end.
static_assert(RecordedExitCode(JobEnd::Done) == int(ExitCode::Done));
static_assert(RecordedExitCode(JobEnd::NoAnswer) == int(ExitCode::NoAnswer));
static_assert(RecordedExitCode(JobEnd::InputRefused) == int(ExitCode::Usage));
static_assert(RecordedExitCode(JobEnd::FileRefused) == int(ExitCode::FileRefused));
static_assert(RecordedExitCode(JobEnd::MachineRefused) == int(ExitCode::MachineRefused));
static_assert(RecordedExitCode(JobEnd::Aborted) == int(ExitCode::Aborted));
static_assert(RecordedExitCode(JobEnd::PortUnavailable) == int(ExitCode::PortUnavailable));
static_assert(RecordedExitCode(JobEnd::DatabaseFailed) == int(ExitCode::DatabaseUnavailable));

ExitCode ExitCodeOf(const CliSession& session, JobEnd end)
{
    switch (end) {
    case JobEnd::Done: return ExitCode::Done;
    case JobEnd::NoAnswer: return ExitCode::NoAnswer;
    case JobEnd::InputRefused: return ExitCode::Usage;
    case JobEnd::FileRefused: return ExitCode::FileRefused;
    case JobEnd::MachineRefused: return ExitCode::MachineRefused;
    case JobEnd::Aborted: return ExitCode::Aborted;
    case JobEnd::PortUnavailable: return session.LinkRefusal();
    case JobEnd::DatabaseFailed: return ExitCode::DatabaseUnavailable;
    }
    return ExitCode::MachineRefused;
}

ExitCode ExitCodeOf(CliSession& session, const JobOutcome& outcome)
{
    if (!outcome.cause.empty()) {
        session.Complain(outcome.cause);
        session.report.Set("cause", QString::fromStdString(outcome.cause));
    }
    if (!outcome.consequence.empty()) {
        session.Complain(outcome.consequence);
        session.report.Set("consequence", QString::fromStdString(outcome.consequence));
    }
    return ExitCodeOf(session, outcome.end);
}
