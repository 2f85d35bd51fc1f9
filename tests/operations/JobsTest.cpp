// The jobs as both programs run them, on the in-process machine model with
// the runner outside a window: what each tells its observer, how it ends,
// and what it leaves in the machine and in its files.
#include "images/UserImage.h"
#include "operations/BlockingRunner.h"
#include "operations/backup/BackupJobs.h"
#include "operations/downloads/DownloadJobs.h"
#include "operations/machine/MachineJobs.h"
#include "operations/readout/MachineInfo.h"
#include "samples/SampleSet.h"
#include "support/ModelClock.h"
#include "support/ModelFixture.h"
#include "support/ScriptedPrompts.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using testing::ElementsAre;

namespace {

// What a job told: its result lines, its problems, and its steps' kinds.
struct Told final : JobObserver {
    void Result(const std::string& line) override { results.push_back(line); }
    void Problem(const std::string& line) override { problems.push_back(line); }
    void StepEnded(const StepOutcome& step) override { steps.push_back(step.kind); }

    std::vector<std::string> results;
    std::vector<std::string> problems;
    std::vector<StepKind> steps;
};

// A machine with the sample factory data and an empty user area, and a job
// context over it.
class JobsTest : public testing::Test {
protected:
    JobsTest() : m({.eraseTime = std::chrono::milliseconds(1)}), runner(ModelPacedRun(m.machine), {})
    {
        const auto factory = SampleFactoryImage();
        EXPECT_TRUE(m.machine.ApplyImage(factory.eraseVectors, SampleLayout::kFactoryBase, factory.image));
        LoadUserProgram(files.Put("program.tbu", UserProgramBytes(SampleUserProgram())), image);
        EXPECT_TRUE(image.loaded) << image.statusText;
    }

    JobContext Job() { return {.link = m.link, .info = info, .runner = runner, .observer = told, .prompts = prompts}; }

    QByteArray FileBytes(const std::string& path)
    {
        QFile file(QString::fromStdString(path));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
    }

    ModelLink m;
    MachineInfo info;
    BlockingRunner runner;
    Told told;
    ScriptedPrompts prompts;
    TestFiles files;
    UserImage image;
};

// A download asked to verify reads back what it wrote: a block the machine
// flipped is the machine's failure, with the first difference as the result.
TEST_F(JobsTest, ADownloadVerifiesWhatItWroteWhenAsked)
{
    const JobOutcome done = DownloadUserProgram(Job(), image, {.verify = true});
    EXPECT_EQ(done.end, JobEnd::Done);
    EXPECT_THAT(told.results, ElementsAre("Done", "Verified"));
    EXPECT_THAT(told.steps, ElementsAre(StepKind::UserDownload, StepKind::Verify));
    EXPECT_TRUE(info.mainInfoRead);  // the readout after

    told = {};
    m.machine.InjectFault({.kind = FaultKind::CorruptBlock, .nth = 3});
    const JobOutcome corrupt = DownloadUserProgram(Job(), image, {.verify = true});
    EXPECT_EQ(corrupt.end, JobEnd::MachineRefused);
    ASSERT_EQ(told.results.size(), 2u);
    EXPECT_THAT(told.results[1], testing::StartsWith("Verify failed at 0xD201EF : wrote 0x"));
}

// A download broken after its first erase says why beside its own text, and
// what it left in the machine; one that never reached the flash leaves no
// consequence.
TEST_F(JobsTest, ABrokenDownloadSaysItsCauseAndWhatItLeft)
{
    const std::string partly =
        "The user program area is now partly erased: download a program again, or restore a backup";
    const struct {
        Fault fault;
        const char* cause;  // how the cause begins; empty: none
        std::string consequence;
    } cases[] = {
        {{.kind = FaultKind::BadChecksum, .nth = 20, .persistent = true}, "the answer to ", partly},
        {{.kind = FaultKind::ProgramStatus, .nth = 2, .status = 0x11}, "", partly},
        {{.kind = FaultKind::CorruptBlock, .nth = 2}, "", partly},  // the verify finds it
        {{.kind = FaultKind::NoAnswer, .nth = 1, .persistent = true}, "the machine sent nothing in answer to ", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.fault.kind));
        m.machine.ClearFaults();
        m.machine.InjectFault(c.fault);
        const JobOutcome broken = DownloadUserProgram(Job(), image, {.verify = true});
        EXPECT_NE(broken.end, JobEnd::Done);
        EXPECT_THAT(broken.cause, testing::StartsWith(c.cause));
        EXPECT_EQ(broken.cause.empty(), *c.cause == 0);
        EXPECT_EQ(broken.consequence, c.consequence);
    }

    // Stopped during the erase (Ctrl-C, Abort): nothing failed on the line.
    m.machine.ClearFaults();
    ProcedureRun run = ModelPacedRun(m.machine);
    run.beforeTick = [](Procedure& procedure) {
        if (procedure.Erasing() && procedure.Counts().erases >= 1)
            procedure.Abort();
    };
    BlockingRunner stopping(run, {});
    JobContext job = Job();
    JobContext stopped{.link = job.link, .info = job.info, .runner = stopping, .observer = told, .prompts = prompts};
    const JobOutcome aborted = DownloadUserProgram(stopped, image, {});
    EXPECT_EQ(aborted.end, JobEnd::Aborted);
    EXPECT_EQ(aborted.cause, "");
    EXPECT_EQ(aborted.consequence, partly);
}

// A backup of a machine without factory data is refused before a file is
// written; a read that fails leaves an older file whole and no temporary one.
TEST_F(JobsTest, ABackupNeverLeavesAHalfFile)
{
    const std::string path = files.Put("machine.backup", {'o', 'l', 'd'});
    m.machine.EraseAllFlash();
    EXPECT_EQ(BackUpUserArea(Job(), path).end, JobEnd::MachineRefused);
    EXPECT_THAT(told.results, ElementsAre("Factory data must be downloaded first"));

    const auto factory = SampleFactoryImage();
    ASSERT_TRUE(m.machine.ApplyImage(factory.eraseVectors, SampleLayout::kFactoryBase, factory.image));
    told = {};
    m.machine.InjectFault({.kind = FaultKind::NoAnswer, .nth = 30});  // within the user area's read
    EXPECT_EQ(BackUpUserArea(Job(), path).end, JobEnd::NoAnswer);
    EXPECT_THAT(told.results, ElementsAre("No answer"));
    EXPECT_EQ(FileBytes(path), "old");
    EXPECT_EQ(QDir(QString::fromStdString(files.Folder())).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

// A restore declined at its question erases nothing and says so.
TEST_F(JobsTest, ARestoreDeclinedTouchesNothing)
{
    const std::string path = files.Path("machine.backup");
    ASSERT_EQ(BackUpUserArea(Job(), path).end, JobEnd::Done);
    told = {};
    m.machine.ClearRequestLog();
    prompts.AnswerConfirm(false);
    const JobOutcome declined = RestoreUserArea(Job(), path);
    EXPECT_EQ(declined.end, JobEnd::Aborted);
    EXPECT_THAT(told.results, ElementsAre("Not restored"));
    ASSERT_EQ(prompts.asked.size(), 1u);
    EXPECT_EQ(prompts.asked[0].text, "The machine's user area is erased and written again from " + path
                                         + ". Restore it?");
    for (const auto& request : m.machine.RequestLog())
        EXPECT_NE(request.opcode, Command::kEraseFlash);
}

// A write whose reply was lost is judged by the readout after it: here the
// machine stored the field and a bit of it flipped, so what it holds is not
// what was sent: the machine's failure, with the field as read.
TEST_F(JobsTest, ALostReplyWhoseFieldReadsOtherwiseIsTheMachinesFailure)
{
    ReadMachineInfo(m.link, info);
    prompts.AnswerConfirm(true);
    m.machine.InjectFault({.kind = FaultKind::CorruptBlock, .nth = 1});
    m.machine.InjectFault({.kind = FaultKind::BadChecksum, .nth = 1});
    const WriteOutcome outcome = WriteOnceOnlyField(Job(), OnceOnlyField::SerialNumber, "SN-0042",
                                                    {.judgeLostReply = true, .readoutFirst = false});
    EXPECT_EQ(outcome.end, JobEnd::MachineRefused);
    ASSERT_EQ(told.results.size(), 1u);
    EXPECT_EQ(told.results[0], "The reply to the write was lost : Serial number reads back as '!SN-0042', not as written");
    ASSERT_TRUE(outcome.readBack);
    EXPECT_EQ(*outcome.readBack, "!SN-0042");
}

}  // namespace
