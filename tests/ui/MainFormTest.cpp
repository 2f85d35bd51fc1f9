// The main window: its frame (caption, height, hidden functions, status
// line), the machine information panel after each readout, and the user
// program panel's Load flow, from its button and from the command line.

#include "WindowsFixture.h"
#include "console/ui/EmulForm.h"

#include <QAction>
#include <QFileInfo>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QRadioButton>

#include <gtest/gtest.h>

#include <functional>

namespace {

class MainFormTest : public testing::Test {
protected:
    void SetUp() override { ClearSettings(); }

    static void UsePort(ModelWindows& w, int item = 1)
    {
        w.windows.config->findChild<QRadioButton*>(QString("Com%1RadioButton").arg(item))->click();
    }
    static bool WaitForStatus(ModelWindows& w, const QString& text)
    {
        return QTest::qWaitFor([&] { return w.Text("StatusBarLabel") == text; }, 2000);
    }
};

TEST_F(MainFormTest, CaptionHeightAndTheHiddenFunctions)
{
    for (const bool developer : {false, true}) {
        SCOPED_TRACE(developer);
        ModelWindows w(developer);
        EXPECT_EQ(w.Main().windowTitle(), "Quorvex");  // until it is shown
        w.Main().show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&w.Main()));
        EXPECT_EQ(w.Main().windowTitle(), "Mirelle series program loader V2.00");
        // Below the menu bar: the visible panels and the status bar.
        const int menu = w.Find<QMenuBar>("MainMenu1")->sizeHint().height();
        EXPECT_EQ(w.Main().height() - menu, developer ? 670 : 492);

        EXPECT_EQ(w.Find<QWidget>("Panel1")->isVisible(), developer);
        EXPECT_EQ(w.Find<QWidget>("Panel2")->isVisible(), developer);
        EXPECT_TRUE(w.Find<QWidget>("Panel3")->isVisible());
        EXPECT_TRUE(w.Find<QWidget>("Panel4")->isVisible());
        for (const char* entry : {"ToolsSeparatorMenu", "ProgramloaderMenu", "EmulatorMenu"})
            EXPECT_EQ(w.Find<QAction>(entry)->isVisible(), developer) << entry;
        EXPECT_TRUE(w.Find<QAction>("SerialConfigMenu")->isVisible());
        EXPECT_TRUE(w.Find<QMenu>("ToolsMenu")->menuAction()->isVisible());
    }
}

TEST_F(MainFormTest, TheStatusLineShowsTheLinkStateFromTheFirstTick)
{
    ModelWindows w;
    QTimer* timer = w.Find<QTimer>("Timer1");
    EXPECT_EQ(timer->interval(), 1000);
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(w.Text("StatusBarLabel"), "");  // until the first tick
    w.QuickStatusLine();
    EXPECT_TRUE(WaitForStatus(w, "No port selected"));

    UsePort(w, 1);
    EXPECT_TRUE(WaitForStatus(w, "com1 : Ok"));  // open, nothing asked yet
    w.m.machine.PowerOff();
    w.Click("RefreshButton");
    EXPECT_TRUE(WaitForStatus(w, "com1 : Ko"));
    w.m.machine.PowerOn();
    w.Click("RefreshButton");
    EXPECT_TRUE(WaitForStatus(w, "com1 : Ok"));
    w.m.backend->SetAvailable(false);
    UsePort(w, 3);
    EXPECT_TRUE(WaitForStatus(w, "com3 : Not available"));
}

// What the panel shows after each outcome of the full readout.
TEST_F(MainFormTest, ThePanelAfterEachReadout)
{
    struct Case {
        const char* what;
        FactoryLayout factory;
        bool userArea;
        bool silent;
        QString status, ident, miniBoot, options, mainBoot, drivers;
    };
    const QString ident = "Hard ident : 4D520001, flash ident : 000122DA";
    const std::vector<Case> cases{
        {"no answer", {}, true, true, "No answer", "", "", "0xFFFFFF", "", ""},
        {"no factory data", {.count = 0xFFFFFF}, false, false, "Done", ident, "", "0xFFFFFF", "", ""},
        {"no main record", {}, false, false, "Done", ident, "V1.03 A", "0x000003", "", ""},
        {"complete", {}, true, false, "", ident, "V1.03 A", "0x000003", "V2.00 A",
         "type 0x10 V2.00;  type 0x11 V1.05;  "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ModelWindows w;
        c.factory.WriteTo(w.m);
        if (c.userArea)
            UserAreaLayout{}.WriteTo(w.m, c.factory.userArea);
        UsePort(w);
        if (c.silent)
            w.m.machine.PowerOff();
        w.Click("RefreshButton");
        EXPECT_EQ(w.Text("RefreshStatusLabel"), c.status);
        EXPECT_EQ(w.Text("HardIdentLabel"), c.ident);
        EXPECT_EQ(w.Text("MiniBootVersionLabel"), c.miniBoot);
        EXPECT_EQ(w.Text("HardwareOptionsMaskEdit"), c.options);
        EXPECT_EQ(w.Text("MainBootVersionLabel"), c.mainBoot);
        EXPECT_EQ(w.Text("DriversListLabel"), c.drivers);
        EXPECT_FALSE(w.Find<QWidget>("HardwareOptionsMaskEdit")->isEnabled());
        // Written fields: shown, not editable, no "Write it !".
        const bool factory = !c.miniBoot.isEmpty();
        EXPECT_EQ(w.Text("SerialNumberEdit"), factory ? "SN000042" : "");
        EXPECT_FALSE(w.Find<QWidget>("SerialNumberEdit")->isEnabled());
        EXPECT_TRUE(w.Find<QWidget>("DownloadSerialNumberButton")->isHidden());
        EXPECT_TRUE(w.Find<QWidget>("DownloadMachineNameButton")->isHidden());
        EXPECT_TRUE(w.Find<QWidget>("DownloadHardwareOptionsButton")->isHidden());
    }
}

TEST_F(MainFormTest, BlankAndWrittenOnceOnlyFields)
{
    ModelWindows w;
    FactoryLayout factory;
    factory.serialNumber = std::vector<std::uint8_t>(9, 0xFF);  // nine 0xFF: counts as written
    factory.machineName = std::vector<std::uint8_t>(32, 0xFF);
    factory.machineName.push_back(0);  // 32 x 0xFF and a zero: blank
    factory.WriteTo(w.m);
    UsePort(w);
    w.Click("RefreshButton");

    auto* serial = w.Find<QLineEdit>("SerialNumberEdit");
    EXPECT_EQ(serial->text(), QString(9, QChar(0xFF)));  // the whole field, past the edit's 8
    EXPECT_FALSE(serial->isEnabled());
    EXPECT_TRUE(w.Find<QWidget>("DownloadSerialNumberButton")->isHidden());

    auto* name = w.Find<QLineEdit>("MachineNameEdit");
    EXPECT_EQ(name->text(), "");
    EXPECT_TRUE(name->isEnabled());
    EXPECT_EQ(name->maxLength(), 32);
    auto* write = w.Find<QWidget>("DownloadMachineNameButton");
    EXPECT_FALSE(write->isHidden());
    EXPECT_FALSE(write->isEnabled());
    EXPECT_EQ(w.Find<QPushButton>("DownloadMachineNameButton")->text(), "Write it !");

    // A machine that stops answering blanks the panel again.
    w.m.machine.PowerOff();
    w.Click("RefreshButton");
    EXPECT_TRUE(w.Find<QWidget>("DownloadMachineNameButton")->isHidden());
    EXPECT_FALSE(name->isEnabled());
    EXPECT_EQ(serial->text(), "");
}

TEST_F(MainFormTest, TheLoadFlowShowsTheFileAndLeavesDownloadToTheReadout)
{
    const QString samples = QUORVEX_SAMPLES_DIR;
    {
        ModelWindows w;
        FactoryLayout{}.WriteTo(w.m);
        UsePort(w);
        w.prompts.CancelFile();
        w.Click("LoadUserButton");
        EXPECT_EQ(w.Text("UserFileNameLabel"), "No file loaded");
        EXPECT_EQ(w.Text("StatusUserFileLabel"), "");
        EXPECT_EQ(w.Text("RefreshStatusLabel"), "");  // no readout

        w.prompts.AnswerFile((samples + "/sample-user.tbu").toStdString());
        w.Click("LoadUserButton");
        EXPECT_EQ(w.Text("UserFileNameLabel"), samples + "/sample-user.tbu");
        EXPECT_TRUE(w.Text("StatusUserFileLabel").startsWith("File is ok : Software V2.01C"));
        EXPECT_EQ(w.Text("RefreshStatusLabel"), "Done");  // the readout ran
        EXPECT_TRUE(w.Find<QWidget>("ProgramUserButton")->isEnabled());

        w.prompts.AnswerFile((samples + "/sample-factory.tbf").toStdString());
        w.Click("LoadUserButton");
        EXPECT_EQ(w.Text("UserFileNameLabel"), samples + "/sample-factory.tbf");
        EXPECT_FALSE(w.Find<QWidget>("ProgramUserButton")->isEnabled());
        EXPECT_EQ(w.prompts.unanswered, 0);
    }
    ModelWindows restarted;
    restarted.prompts.CancelFile();
    restarted.Click("LoadUserButton");
    EXPECT_EQ(restarted.prompts.asked.back().open.initialFolder, (samples + "/").toStdString());
}

// mirelle-loader FILE: the Load of the file's panel without its dialog.
TEST_F(MainFormTest, AFileGivenToTheWindowLoadsAsIfChosenWithLoad)
{
    const QString samples = QUORVEX_SAMPLES_DIR;
    ModelWindows w;
    FactoryLayout{}.WriteTo(w.m);
    UsePort(w);
    w.Main().OpenFile((samples + "/sample-user.tbu").toStdString());
    EXPECT_EQ(w.Text("UserFileNameLabel"), samples + "/sample-user.tbu");
    EXPECT_TRUE(w.Text("StatusUserFileLabel").startsWith("File is ok : Software V2.01C"));
    EXPECT_EQ(w.Text("RefreshStatusLabel"), "Done");  // the readout ran
    EXPECT_TRUE(w.Find<QWidget>("ProgramUserButton")->isEnabled());
    EXPECT_EQ(QSettings("Orvane", "Quorvex").value("UserDir").toString(), samples + "/");
    EXPECT_TRUE(w.prompts.asked.empty());
}

TEST_F(MainFormTest, WithDeveloperAFactoryBootOrSymbolFileGoesWhereItsLoadPutsIt)
{
    const QString samples = QUORVEX_SAMPLES_DIR;
    ModelWindows w(true);
    const auto consoleText = [&] { return w.windows.console->findChild<QPlainTextEdit*>("Memo")->toPlainText(); };
    const struct {
        const char* file;
        const char* folderSetting;
        std::function<QString()> shown;
        QString expected;
    } cases[] = {
        {"sample-factory.tbf", "FactoryDir", [&] { return w.Text("FactoryFileNameLabel"); },
         samples + "/sample-factory.tbf"},
        {"sample-boot.tb", "BootDir", [&] { return w.Text("BootFileNameLabel"); }, samples + "/sample-boot.tb"},
        {"mainprog.tfs", "Prog2Dir", consoleText, "File loaded\n"},  // appended as the console's "load" does
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        w.Main().OpenFile((samples + "/" + c.file).toStdString());
        EXPECT_EQ(QSettings("Orvane", "Quorvex").value(c.folderSetting).toString(), samples + "/");
        EXPECT_EQ(c.shown(), c.expected);
    }
    EXPECT_TRUE(w.windows.console->isVisible());
    EXPECT_TRUE(w.prompts.asked.empty());
}

TEST_F(MainFormTest, AFileTheWindowDoesNotOpenIsRefusedInABoxThatNamesIt)
{
    const std::string samples = QUORVEX_SAMPLES_DIR;
    const struct {
        std::string path;
        const char* reason;
    } cases[] = {
        {samples + "/sample-factory.tbf", "a .tbf file opens with mirelle-loader --developer"},
        {samples + "/mainprog.tfs", "a .tfs file opens with mirelle-loader --developer"},
        {samples + "/missing.tbu", "No such file or directory"},
        {samples + "/../README.md", "not a .tbu, .tbf, .tb or .tfs file"},
    };
    ModelWindows w;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        w.prompts.asked.clear();
        w.Main().OpenFile(c.path);
        ASSERT_EQ(w.prompts.asked.size(), 1u);
        EXPECT_EQ(w.prompts.asked[0].kind, ScriptedPrompts::Kind::Error);
        EXPECT_EQ(w.prompts.asked[0].caption, "Mirelle series program loader");
        const std::string path = QFileInfo(QString::fromStdString(c.path)).absoluteFilePath().toStdString();
        EXPECT_EQ(w.prompts.asked[0].text, "Cannot open \"" + path + "\" : " + c.reason);
    }
    EXPECT_EQ(w.Text("UserFileNameLabel"), "No file loaded");
    EXPECT_EQ(w.Text("FactoryFileNameLabel"), "No file loaded");
}

}  // namespace
