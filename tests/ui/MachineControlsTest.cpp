// The machine panel's write buttons, "Power Off" and "Force programming
// mode", and the boot and factory panels with their dialogs, in the window.

#include "console/ui/WatchForm.h"
#include "procedures/ui/BootForm.h"
#include "WindowsFixture.h"

#include <QAction>
#include <QCheckBox>
#include <QFrame>
#include <QRadioButton>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

class MachineControlsTest : public testing::Test {
protected:
    void SetUp() override { ClearSettings(); }

    static void UsePort(ModelWindows& w) { w.windows.config->findChild<QRadioButton*>("Com1RadioButton")->click(); }
};

TEST_F(MachineControlsTest, AWriteItButtonWorksOnceTheFieldIsEditedAndTheReadoutShowsTheResult)
{
    ModelWindows w;
    FactoryLayout factory;
    factory.serialNumber = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};  // blank
    factory.WriteTo(w.m);
    UsePort(w);
    w.Click("RefreshButton");
    auto* write = w.Find<QPushButton>("DownloadSerialNumberButton");
    ASSERT_FALSE(write->isHidden());
    EXPECT_FALSE(write->isEnabled());
    QTest::keyClicks(w.Find<QLineEdit>("SerialNumberEdit"), "1234");
    EXPECT_TRUE(write->isEnabled());

    // No: nothing is sent, nothing read, the button stays.
    w.m.machine.ClearRequestLog();
    w.prompts.AnswerConfirm(false);
    write->click();
    EXPECT_TRUE(w.m.machine.RequestLog().empty());
    EXPECT_TRUE(write->isEnabled());

    w.prompts.AnswerConfirm(true);
    write->click();
    EXPECT_EQ(w.m.machine.ReadFlash(factory.factoryData + 9, 9),
              (std::vector<std::uint8_t>{' ', ' ', ' ', ' ', '1', '2', '3', '4', 0}));
    EXPECT_EQ(w.Text("SerialNumberEdit"), "    1234");
    EXPECT_FALSE(w.Find<QWidget>("SerialNumberEdit")->isEnabled());
    EXPECT_TRUE(write->isHidden());
    EXPECT_EQ(w.prompts.asked.size(), 2u);  // the two confirmations, no error box
}

TEST_F(MachineControlsTest, PowerOffOnAClosedPortAndAnRtsLineThePortCannotDrive)
{
    ModelWindows w;
    w.QuickStatusLine();
    w.Click("PowerOffButton");
    EXPECT_EQ(w.m.machine.WakeCount(), 0u);
    EXPECT_TRUE(w.m.machine.RequestLog().empty());
    EXPECT_TRUE(w.prompts.asked.empty());

    auto* rts = w.Find<QCheckBox>("RtsCheckBox");
    rts->click();
    EXPECT_TRUE(rts->isChecked());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !rts->isChecked(); }, 1000));  // undone at the next tick

    UsePort(w);
    rts->click();
    EXPECT_TRUE(w.m.link.Rts());
    QTest::qWait(50);
    EXPECT_TRUE(rts->isChecked());  // applied: the tick keeps it
}

TEST_F(MachineControlsTest, TheBootDialogStreamsAndEndsWithDoneOrSaysThePortFailed)
{
    MachineConfig config = QuickMachine();
    config.startInLoader = true;
    struct Case {
        const char* what;
        bool portOpen;
        bool abort;
        int result;
    };
    for (const auto& c : {Case{"done", true, false, TBootForm::Ok}, Case{"abort", true, true, TBootForm::Abort},
                          Case{"port closed", false, false, TBootForm::Abort}}) {
        SCOPED_TRACE(c.what);
        ClearSettings();
        ModelWindows w(true, config);
        if (c.portOpen)
            UsePort(w);
        w.prompts.AnswerFile(QUORVEX_SAMPLES_DIR "/sample-boot.tb");
        w.Click("LoadBootButton");
        ASSERT_TRUE(w.Find<QWidget>("BootButton")->isEnabled());
        QString caption;
        WhenModal([&](QWidget* dialog) {
            EXPECT_EQ(dialog->windowTitle(), "Booting ...");
            auto* button = dialog->findChild<QPushButton*>("Button");
            auto* failure = dialog->findChild<QLabel*>("FailureLabel");
            if (!c.portOpen) {
                EXPECT_TRUE(failure->isVisible());
                EXPECT_EQ(failure->text(), "Boot failed : the port did not take the bytes");
                EXPECT_EQ(button->text(), "Close");
            } else {
                EXPECT_EQ(button->text(), "Abort");
                EXPECT_FALSE(failure->isVisible());
            }
            if (c.abort || !c.portOpen)
                button->click();
            else
                QObject::connect(w.windows.boot.get(), &QDialog::finished, [&, button] { caption = button->text(); });
        });
        w.Click("BootButton");
        EXPECT_EQ(w.windows.boot->result(), c.result);
        if (c.what == std::string("done")) {
            EXPECT_EQ(caption, "Done");
            ASSERT_EQ(w.m.machine.Boots().size(), 1u);
            EXPECT_EQ(w.Text("RefreshStatusLabel"), "Done");  // the full readout after the dialog
        } else {
            EXPECT_TRUE(w.m.machine.Boots().empty());
        }
    }
}

// A watch window polling all along: its ticks during the boot send nothing
// into the stream, its square keeps its colour, and it reads again after.
TEST_F(MachineControlsTest, AWatchWindowSendsNothingWhileTheBootDialogStreams)
{
    ModelWindows w(true);
    UsePort(w);
    w.prompts.AnswerFile(QUORVEX_SAMPLES_DIR "/sample-boot.tb");
    w.Click("LoadBootButton");
    const BootImage& image = w.objects.bootImage;
    ASSERT_TRUE(image.loaded);
    auto* watch = new TWatchForm(&w.Main(), {.caption = "", .count = 1, .interval = 5, .space = MemorySpace::P,
                                             .address = image.runAddress}, w.m.link);
    auto square = [watch] { return watch->findChild<QFrame*>("ComShape")->palette().color(QPalette::Window); };
    auto values = [watch] { return watch->findChild<QLabel*>("ValueLabel")->text(); };
    ASSERT_TRUE(QTest::qWaitFor([&] { return values() == "0x000000 (0)"; }, 2000));
    const QColor before = square();

    QSignalSpy ticks(watch->findChild<QTimer*>("Timer1"), &QTimer::timeout);
    int ticksWhileBooting = 0;
    QColor whileBooting;
    QObject::connect(w.windows.boot.get(), &QDialog::finished, watch, [&] {
        ticksWhileBooting = int(ticks.count());
        whileBooting = square();
    });
    w.m.machine.PowerOn(true);  // "Program loader" was used: the machine waits for the stream
    w.Click("BootButton");
    ASSERT_EQ(w.windows.boot->result(), TBootForm::Ok);
    EXPECT_GT(ticksWhileBooting, 0);
    EXPECT_EQ(whileBooting, before);

    ASSERT_EQ(w.m.machine.Boots().size(), 1u);
    EXPECT_EQ(w.m.machine.Boots()[0].wordCount, image.endAddress - image.runAddress);
    for (std::uint32_t address = 0; address < image.endAddress + 16; ++address) {
        const std::uint32_t word = address < image.runAddress || address >= image.endAddress
                                       ? 0
                                       : Le24(image.pWords, std::size_t(address) * BootImage::kWordBytes);
        ASSERT_EQ(w.m.machine.MemoryWord(2, address), word) << std::hex << address;
    }
    const QString program = QString::fromStdString(WatchValueText(w.m.machine.MemoryWord(2, image.runAddress)));
    EXPECT_TRUE(QTest::qWaitFor([&] { return values() == program; }, 2000));
}

// "Program loader" leaves the resident loader waiting for the boot stream: a
// watch window polling all along sends nothing into it before the boot dialog
// nor during it, and reads again once the dialog has closed.
TEST_F(MachineControlsTest, AWatchWindowSendsNothingFromProgramLoaderToTheBootDialogsClose)
{
    ModelWindows w(true);
    UsePort(w);
    w.prompts.AnswerFile(QUORVEX_SAMPLES_DIR "/sample-boot.tb");
    w.Click("LoadBootButton");
    const BootImage& image = w.objects.bootImage;
    ASSERT_TRUE(image.loaded);
    auto* watch = new TWatchForm(&w.Main(), {.caption = "", .count = 1, .interval = 5, .space = MemorySpace::P,
                                             .address = image.runAddress}, w.m.link);
    auto values = [watch] { return watch->findChild<QLabel*>("ValueLabel")->text(); };
    ASSERT_TRUE(QTest::qWaitFor([&] { return values() == "0x000000 (0)"; }, 2000));

    w.Find<QAction>("ProgramloaderMenu")->trigger();
    ASSERT_EQ(w.m.machine.CurrentMode(), MachineModel::Mode::ResidentLoader);
    QSignalSpy ticks(watch->findChild<QTimer*>("Timer1"), &QTimer::timeout);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ticks.count() >= 3; }, 2000));
    w.Click("BootButton");
    ASSERT_EQ(w.windows.boot->result(), TBootForm::Ok);
    ASSERT_EQ(w.m.machine.Boots().size(), 1u);
    EXPECT_EQ(w.m.machine.Boots()[0].runAddress, image.runAddress);
    EXPECT_EQ(w.m.machine.Boots()[0].wordCount, image.endAddress - image.runAddress);

    const QString program = QString::fromStdString(WatchValueText(w.m.machine.MemoryWord(2, image.runAddress)));
    ASSERT_NE(program, "0x000000 (0)");
    EXPECT_TRUE(QTest::qWaitFor([&] { return values() == program; }, 2000));
}

TEST_F(MachineControlsTest, TheFactoryDialogAndItsChecks)
{
    ModelWindows w(true);
    w.m.machine.EraseAllFlash();
    UsePort(w);
    w.prompts.AnswerFile(QUORVEX_SAMPLES_DIR "/sample-factory.tbf");
    w.Click("LoadFactoryButton");
    EXPECT_TRUE(w.Text("StatusFactoryFileLabel").startsWith("File is ok"));
    ASSERT_TRUE(w.Find<QWidget>("ProgramFactoryButton")->isEnabled());

    // The close box: the download stops where it is, "Not done".
    WhenModal([&](QWidget* dialog) {
        EXPECT_EQ(dialog->windowTitle(), "Download factory program");
        EXPECT_EQ(dialog->findChild<QLabel*>("StatusLabel")->text(), "Erasing...");
        dialog->close();
    });
    w.Click("ProgramFactoryButton");
    EXPECT_EQ(w.Text("ProgramFactoryStatusLabel"), "Not done");

    w.Click("ProgramFactoryButton");
    EXPECT_EQ(w.Text("ProgramFactoryStatusLabel"), "Done");
    EXPECT_EQ(w.Text("MiniBootVersionLabel"), "V1.03 A");  // the full readout after it

    // A machine of other hardware: refused after the short readout, which
    // leaves only the identity line.
    ModelWindows other(true, [] {
        MachineConfig config = QuickMachine();
        config.hardIdent = 0x4D520002;
        return config;
    }());
    UsePort(other);
    other.prompts.AnswerFile(QUORVEX_SAMPLES_DIR "/sample-factory.tbf");
    other.Click("LoadFactoryButton");
    other.Click("ProgramFactoryButton");
    EXPECT_EQ(other.Text("ProgramFactoryStatusLabel"), "Incompatible ident : this file is not for this hardware");
    EXPECT_EQ(other.Text("HardIdentLabel"), "Hard ident : 4D520002, flash ident : 000122DA");
    EXPECT_EQ(other.Text("MiniBootVersionLabel"), "");
}

}  // namespace
