#include "operations/downloads/DownloadJobs.h"

#include "images/FactoryImage.h"
#include "operations/ActionStart.h"
#include "operations/downloads/DownloadStarts.h"
#include "operations/readout/MachineInfo.h"

namespace {

// The procedure started, run, and verified when asked and it ended "Done".
JobOutcome RunStarted(const JobContext& job, ActionStart& start, StepKind kind, const DownloadOptions& options)
{
    if (!start.procedure)
        return Refused(job, start);
    JobOutcome outcome;
    RunStep(job, *start.procedure, kind, outcome);
    if (outcome.Done() && options.verify)
        VerifyWritten(job, std::move(start.verified), outcome);
    return outcome;
}

// The full readout after a job, so that the machine's new state is read.
void ReadAfter(const JobContext& job)
{
    ReadMachineInfo(job.link, job.info);
    job.observer.MachineRead(job.info);
}

}  // namespace

JobOutcome DownloadUserProgram(const JobContext& job, UserImage& image, const DownloadOptions& options)
{
    if (!job.OpenLink())
        return JobOutcome::Ended(JobEnd::PortUnavailable);
    ActionStart start = StartUserDownload(job.link, job.info, image);
    job.observer.MachineRead(job.info);
    if (!start.procedure)
        return Refused(job, start);
    JobOutcome outcome = RunStarted(job, start, StepKind::UserDownload, options);
    ReadAfter(job);
    return outcome;
}

JobOutcome DownloadFactoryImage(const JobContext& job, const FactoryImage& image, const DownloadOptions& options)
{
    if (!job.OpenLink())
        return JobOutcome::Ended(JobEnd::PortUnavailable);
    ActionStart start = StartFactoryDownload(job.link, job.info, image);
    if (image.loaded)
        job.observer.MachineRead(job.info);  // the short readout
    if (!start.procedure)
        return Refused(job, start);
    JobOutcome outcome = RunStarted(job, start, StepKind::FactoryDownload, options);
    ReadAfter(job);
    return outcome;
}

JobOutcome BootMachine(const JobContext& job, const BootImage& image, bool readoutAfter)
{
    if (!job.OpenLink())
        return JobOutcome::Ended(JobEnd::PortUnavailable);
    ActionStart start = StartBoot(job.link, image);
    JobOutcome outcome = RunStarted(job, start, StepKind::Boot, {});
    if (readoutAfter)
        ReadAfter(job);
    return outcome;
}
