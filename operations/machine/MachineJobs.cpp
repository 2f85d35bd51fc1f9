#include "operations/machine/MachineJobs.h"

#include "common/ControlText.h"
#include "common/Latin1.h"
#include "common/Prompts.h"
#include "operations/readout/MachinePanel.h"

#include <utility>
#include <vector>

namespace {

// The prompts with their error texts held back, so that the readout after a
// write whose reply was lost can say what became of it first.
class HeldErrors final : public Prompts {
public:
    HeldErrors(Prompts& prompts, bool hold) : prompts(prompts), hold(hold) {}

    std::optional<std::string> OpenFile(const OpenFileQuestion& question) override
    {
        return prompts.OpenFile(question);
    }
    std::optional<std::string> SaveFile(const SaveFileQuestion& question) override
    {
        return prompts.SaveFile(question);
    }
    bool Confirm(const std::string& caption, const std::string& text, const std::string& informative) override
    {
        return prompts.Confirm(caption, text, informative);
    }
    void Error(const std::string& caption, const std::string& text) override
    {
        if (hold)
            held.push_back({caption, text});
        else
            prompts.Error(caption, text);
    }
    std::optional<std::string> NoConfirmation() const override { return prompts.NoConfirmation(); }
    void Inform(const std::string& caption, const std::string& text) override { prompts.Inform(caption, text); }

    // Shows the texts held so far.
    void Release()
    {
        for (const auto& [caption, text] : held)
            prompts.Error(caption, text);
        held.clear();
    }

private:
    Prompts& prompts;
    bool hold;
    std::vector<std::pair<std::string, std::string>> held;
};

JobEnd EndOf(const FieldWriteOutcome& outcome)
{
    switch (outcome.stop) {
    case FieldWriteStop::TextRefused:
    case FieldWriteStop::NotRead: return JobEnd::InputRefused;
    case FieldWriteStop::Refused:
        return outcome.refusal == FieldRefusal::NoAnswer ? JobEnd::NoAnswer : JobEnd::MachineRefused;
    case FieldWriteStop::NotConfirmed: return JobEnd::Aborted;
    case FieldWriteStop::Sent: break;
    }
    switch (outcome.result) {
    case WriteResult::Done: return JobEnd::Done;
    case WriteResult::NoAnswer: return JobEnd::NoAnswer;
    case WriteResult::BadStatus: break;
    }
    return JobEnd::MachineRefused;
}

void Say(const JobContext& job, WriteOutcome& outcome, const std::string& latin1)
{
    job.observer.Result(Utf8FromLatin1(latin1));
    outcome.text = latin1;
}

// A write sent whose reply was lost: the readout after it tells. The field
// reads back as sent: done. Something else: the machine holds that. Still
// blank, or no readout: "No answer".
void JudgeLostReply(const JobContext& job, WriteOutcome& outcome, HeldErrors& errors)
{
    const LostReplyOutcome lost = MachineControls(job.link, job.info)
                                      .ReadBackLostReply(outcome.write, ProcedureClock::Steady(),
                                                         [&job] { return job.StopRequested(); });
    job.observer.MachineRead(job.info);
    switch (lost.verdict) {
    case LostReplyVerdict::NoAnswer:
        errors.Release();
        outcome.end = JobEnd::NoAnswer;
        outcome.text = WriteResultText(WriteResult::NoAnswer);
        return;
    case LostReplyVerdict::AsWritten:
        Say(job, outcome, "Done");
        job.observer.Result(Utf8FromLatin1(lost.text));
        outcome.lostReply = lost.text;
        outcome.end = JobEnd::Done;
        return;
    case LostReplyVerdict::NotAsWritten:
        // The machine's bytes may hold control characters: shown escaped.
        Say(job, outcome, EscapedControls(lost.text));
        outcome.lostReply = lost.text;
        outcome.end = JobEnd::MachineRefused;
        return;
    }
}

}  // namespace

JobOutcome ReadMachine(const JobContext& job, ReadoutKind readout)
{
    if (!job.OpenLink())
        return JobOutcome::Ended(JobEnd::PortUnavailable);
    if (readout == ReadoutKind::Identity)
        ReadIdentOnly(job.link, job.info);
    else
        ReadMachineInfo(job.link, job.info);
    job.observer.MachineRead(job.info);
    const bool identity = readout == ReadoutKind::Identity && job.info.answered;
    JobOutcome outcome = JobOutcome::Ended(job.info.answered ? JobEnd::Done : JobEnd::NoAnswer,
                                           identity ? job.info.identText : job.info.statusText);
    NoteCause(job.link, outcome);
    return outcome;
}

WriteOutcome WriteOnceOnlyField(const JobContext& job, OnceOnlyField field, const QString& text,
                                const WriteOnceOptions& options)
{
    WriteOutcome outcome;
    outcome.write = OnceOnlyWrite(field, text);
    bool portUnavailable = false;
    const auto readoutFirst = [&] {
        if (const auto why = job.prompts.NoConfirmation()) {
            Say(job, outcome, "Not written : " + *why);
            return false;
        }
        if (!job.OpenLink()) {
            portUnavailable = true;
            return false;
        }
        ReadMachineInfo(job.link, job.info);
        job.observer.MachineRead(job.info);
        return true;
    };
    HeldErrors errors(job.prompts, options.judgeLostReply);
    outcome.stop = MachineControls(job.link, job.info)
                       .Write(outcome.write, errors, options.readoutFirst ? MachineControls::ReadoutFirst(readoutFirst)
                                                                          : MachineControls::ReadoutFirst());
    outcome.end = EndOf(outcome.stop);
    NoteCause(job.link, outcome);  // the write's, before the readout after it
    if (outcome.stop.Sent() && outcome.stop.result == WriteResult::NoAnswer && options.judgeLostReply) {
        JudgeLostReply(job, outcome, errors);
    } else if (portUnavailable) {
        outcome.end = JobEnd::PortUnavailable;
    } else {
        errors.Release();
        if (outcome.stop.stop == FieldWriteStop::NotConfirmed)
            Say(job, outcome, "Not written");
        if (outcome.stop.Sent()) {
            outcome.text = WriteResultText(outcome.stop.result);
            if (outcome.stop.result == WriteResult::Done)
                job.observer.Result(outcome.text);
            ReadMachineInfo(job.link, job.info);
            job.observer.MachineRead(job.info);
        }
    }
    if (outcome.end != JobEnd::NoAnswer)
        outcome.cause.clear();  // a lost reply the readout after it decided
    const MachineInfo& info = job.info;
    if (outcome.stop.Sent() && info.answered && info.factoryInfoRead) {
        outcome.readBack = field == OnceOnlyField::SerialNumber
            ? FieldText(info.serialNumber.data(), info.serialNumber.size())
            : FieldText(info.machineName.data(), info.machineName.size());
    }
    return outcome;
}

PowerOutcome SetPower(const JobContext& job, PowerMode mode)
{
    PowerOutcome outcome;
    outcome.mode = mode;
    if (!job.OpenLink()) {
        outcome.end = JobEnd::PortUnavailable;
        return outcome;
    }
    outcome.acknowledged = MachineControls(job.link, job.info).PowerControl(std::uint8_t(mode));
    outcome.end = outcome.acknowledged ? JobEnd::Done : JobEnd::NoAnswer;
    outcome.text = outcome.acknowledged ? "Done" : "No answer";
    NoteCause(job.link, outcome);
    job.observer.Result(outcome.text);
    return outcome;
}
