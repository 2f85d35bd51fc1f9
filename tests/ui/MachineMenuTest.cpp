// What the window adds beside the panels: verify after writing, backup and
// restore from the Machine menu, the once-only write's question showing the
// field as it will be stored, and a recording of the line from the Help menu.
// Real widgets over the in-process machine model; the jobs behind them have
// their own tests.

#include "link/PortStack.h"
#include "link/Recording.h"
#include "link/RecordingBackend.h"
#include "samples/SampleSet.h"
#include "sim/ModelPortBackend.h"
#include "WindowsFixture.h"

#include <QAction>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using testing::HasSubstr;
using testing::StartsWith;

namespace {

class MachineMenuTest : public testing::Test {
protected:
    void SetUp() override { ClearSettings(); }

    // Factory data with a blank serial number and a small user area (the
    // window reads 247 bytes a tick of 60 ms), the port open, the sample
    // program loaded.
    static FactoryLayout Layout()
    {
        FactoryLayout layout;
        layout.userAreaLength = 0x1000;
        layout.serialNumber.assign(8, 0xFF);
        layout.serialNumber.push_back(0);
        return layout;
    }
    static void Prepare(ModelWindows& w)
    {
        Layout().WriteTo(w.m);
        w.windows.config->findChild<QRadioButton*>("Com1RadioButton")->click();
        w.prompts.AnswerFile(QUORVEX_SAMPLES_DIR "/sample-user.tbu");
        w.Click("LoadUserButton");
    }
    static void Choose(ModelWindows& w, const char* action) { w.Find<QAction>(action)->trigger(); }

    // The panel's texts, for a comparison of two readouts.
    static QStringList Panel(ModelWindows& w)
    {
        QStringList texts;
        for (const char* label : {"HardIdentLabel", "MainBootVersionLabel", "MainProgramVersionLabel",
                                  "MainProgram2VersionLabel", "DriversListLabel", "SerialNumberEdit"})
            texts << w.Text(label);
        return texts;
    }

    QTemporaryDir folder;
};

// "Verify after writing" (remembered) makes the download read back what it
// wrote: a block the machine flipped shows as the failure it is.
TEST_F(MachineMenuTest, AVerifyThatFailsShowsAsTheFailure)
{
    ModelWindows w;
    Prepare(w);
    Choose(w, "VerifyMenu");
    EXPECT_EQ(QSettings("Orvane", "Quorvex").value("VerifyAfterWriting").toString(), "1");
    w.m.machine.InjectFault({.kind = FaultKind::CorruptBlock, .nth = 3});
    w.Click("ProgramUserButton");
    EXPECT_THAT(w.Text("ProgramUserStatusLabel").toStdString(),
                testing::MatchesRegex("Verify failed at 0x[0-9A-F]{6} : wrote 0x[0-9A-F]{2}, read 0x[0-9A-F]{2}"));
    EXPECT_THAT(w.Find<QLabel>("ProgramUserStatusLabel")->toolTip().toStdString(), StartsWith("Done, Verify failed"));

    w.m.machine.ClearFaults();
    w.Click("ProgramUserButton");
    EXPECT_EQ(w.Text("ProgramUserStatusLabel"), "Verified");
}

// A backup taken from the Machine menu, restored after the user area was
// lost, gives the machine its readout back; the question names the machine
// and the backup.
TEST_F(MachineMenuTest, ABackupRestoredGivesTheSameReadout)
{
    ModelWindows w;
    Prepare(w);
    w.Click("ProgramUserButton");
    const QStringList before = Panel(w);
    const std::string backup = folder.filePath("machine.tbk").toStdString();
    w.prompts.AnswerFile(backup);
    Choose(w, "BackupMenu");
    ASSERT_TRUE(QFile::exists(QString::fromStdString(backup)));
    EXPECT_EQ(w.prompts.asked.back().text, "The user program is backed up in " + backup);

    const std::vector<std::uint32_t> userArea{Layout().userArea};
    ASSERT_TRUE(w.m.machine.ApplyImage(userArea, userArea.front(), {}));  // the user program lost
    w.Click("RefreshButton");
    EXPECT_NE(Panel(w), before);

    w.prompts.AnswerFile(backup);
    w.prompts.AnswerConfirm(true);
    Choose(w, "RestoreMenu");
    EXPECT_EQ(Panel(w), before);
    EXPECT_EQ(w.Text("ProgramUserStatusLabel"), "Done");
    const auto& question = w.prompts.asked.back();
    ASSERT_EQ(question.kind, ScriptedPrompts::Kind::Confirm);
    EXPECT_THAT(question.informative, StartsWith("Machine: hard ident 4D520001, flash ident 000122DA"));
    EXPECT_THAT(question.informative, HasSubstr("\nBackup: hard ident 4D520001"));
    EXPECT_THAT(question.informative, HasSubstr(", taken "));
}

// The once-only write's question shows what will be stored for ever: the
// serial number right-aligned in its eight characters.
TEST_F(MachineMenuTest, TheOnceOnlyQuestionShowsTheFieldAsStored)
{
    ModelWindows w;
    Prepare(w);
    w.Find<QLineEdit>("SerialNumberEdit")->setText("SN-0042");
    w.prompts.AnswerConfirm(false);
    w.Click("DownloadSerialNumberButton");
    ASSERT_FALSE(w.prompts.asked.empty());
    EXPECT_EQ(w.prompts.asked.back().text,
              "Once it's been written, serial number can not be changed, Are you sure ?");
    EXPECT_EQ(w.prompts.asked.back().informative, "Serial number: \" SN-0042\"");
}

// "Record the line to a file..." records from the port's reopening until it
// is chosen again, into a recording decode reads whole.
TEST_F(MachineMenuTest, TheHelpMenuRecordsTheLineForABugReport)
{
    MachineModel machine(QuickMachine());
    PortStack stack =
        BuildPortStack(std::make_unique<ModelPortBackend>(machine), {.stopNow = {}, .recordable = true, .trace = {}});
    DeviceLink link(std::move(stack.backend));
    OwnedContext objects;
    ScriptedPrompts prompts;
    StoreSetting("ComPort", "com1");
    LoaderWindows windows = CreateLoaderWindows(objects.Over(link), prompts, false);
    windows.main->SetRecorder(stack.recording);
    auto* record = windows.main->findChild<QAction*>("RecordMenu");

    const std::string path = folder.filePath("bug.rec").toStdString();
    prompts.AnswerFile(path);
    record->trigger();
    EXPECT_TRUE(record->isChecked());
    EXPECT_THAT(windows.main->findChild<QLabel*>("StatusBarLabel")->toolTip().toStdString(), HasSubstr(path));
    windows.main->findChild<QPushButton*>("RefreshButton")->click();
    record->trigger();
    EXPECT_FALSE(record->isChecked());

    const Recording recording = ReadRecordingFile(path);
    EXPECT_EQ(recording.error, "");
    EXPECT_FALSE(recording.cutOff);
    ASSERT_FALSE(recording.events.empty());
    EXPECT_EQ(recording.events.front().kind, LineEvent::Kind::Open);  // not the close of the port before
    EXPECT_EQ(recording.events.front().name, "com1");
    EXPECT_TRUE(std::any_of(recording.events.begin(), recording.events.end(),
                            [](const LineEvent& event) { return event.kind == LineEvent::Kind::Write; }));
}

}  // namespace
