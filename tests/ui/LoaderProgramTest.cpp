// mirelle-loader as a program: its command line, exceptions at the event
// loop's boundary, the file dialogs' filters, and the whole typical road
// against mirelle-sim on a pseudo-terminal through the real serial port code.

#include "app/ui/LoaderApplication.h"
#include "app/ui/QtPrompts.h"
#include "link/DeviceLink.h"
#include "link/QtPortBackend.h"
#include "support/SimulatorProcess.h"
#include "WindowsFixture.h"

#include <QComboBox>
#include <QFileDialog>
#include <QProcess>
#include <QRadioButton>

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

struct LoaderRun {
    int code;
    QString out, err;
};

LoaderRun Loader(const QStringList& arguments)
{
    QProcess loader;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    environment.remove("QT_QPA_PLATFORM");
    loader.setProcessEnvironment(environment);
    loader.start(MIRELLE_LOADER_PATH, arguments);
    loader.waitForFinished(10000);
    return {loader.exitCode(), loader.readAllStandardOutput(), loader.readAllStandardError()};
}

TEST(LoaderProgram, HelpAndVersionNeedNoDisplayAndAnUnknownOptionIsRefused)
{
    const LoaderRun help = Loader({"--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_TRUE(help.out.startsWith("usage: mirelle-loader [--developer]")) << help.out.toStdString();
    const LoaderRun version = Loader({"--version"});
    EXPECT_EQ(version.code, 0);
    EXPECT_EQ(version.out, "Mirelle series program loader V2.00\n");
    const LoaderRun unknown = Loader({"--frobnicate"});
    EXPECT_EQ(unknown.code, 2);
    EXPECT_EQ(unknown.out, "");
    EXPECT_EQ(unknown.err.count('\n'), 1);
    EXPECT_TRUE(unknown.err.contains("--frobnicate"));
}

// An object whose event handler fails as a settings write can.
class Throwing : public QObject {
public:
    bool event(QEvent*) override { throw std::runtime_error("Failed to set data for 'UserDir'"); }
};

TEST(LoaderProgram, AnExceptionFromAHandlerIsShownAndTheProgramGoesOn)
{
    auto* application = dynamic_cast<LoaderApplication*>(QCoreApplication::instance());
    ASSERT_TRUE(application);
    ScriptedPrompts prompts;
    application->SetPrompts(&prompts);
    Throwing target;
    QEvent event(QEvent::User);
    EXPECT_FALSE(QCoreApplication::sendEvent(&target, &event));
    application->SetPrompts(nullptr);
    ASSERT_EQ(prompts.asked.size(), 1u);
    EXPECT_EQ(prompts.asked[0].kind, ScriptedPrompts::Kind::Error);
    EXPECT_EQ(prompts.asked[0].caption, "Mirelle series program loader");
    EXPECT_EQ(prompts.asked[0].text, "Failed to set data for 'UserDir'");
}

TEST(LoaderProgram, AnyFilesMatchesFilesWithoutADotAndKeepsItsDescription)
{
    OpenFileQuestion question;
    question.title = "Open Tessel user program file";
    question.filters = {{"Tessel user program (*.tbu)", "*.tbu"}, {"Any files (*.*)", "*.*"}};
    question.defaultSuffix = "tbu";
    EXPECT_EQ(QtNameFilters(question.filters),
              (QStringList{"Tessel user program (*.tbu) (*.tbu)", "Any files (*.*) (*)"}));
    QFileDialog dialog;
    ConfigureOpenDialog(dialog, question);
    auto* types = dialog.findChild<QComboBox*>("fileTypeCombo");
    ASSERT_TRUE(types);
    ASSERT_EQ(types->count(), 2);
    EXPECT_EQ(types->itemText(0), "Tessel user program (*.tbu)");
    EXPECT_EQ(types->itemText(1), "Any files (*.*)");
    EXPECT_EQ(dialog.defaultSuffix(), "tbu");
    EXPECT_EQ(dialog.fileMode(), QFileDialog::ExistingFile);
}

// The typical road: the port picked, the sample program loaded and
// downloaded, and the panel then shows what the simulated flash holds.
TEST(LoaderProgram, EndToEndAgainstTheSimulatedMachine)
{
    ClearSettings();
    SimulatorProcess sim({"--erase-time", "0"});
    ASSERT_FALSE(sim.device.empty());
    StoreSetting("Ports/com2", QString::fromStdString(sim.device));

    DeviceLink link(std::make_unique<QtPortBackend>());
    OwnedContext objects;
    ScriptedPrompts prompts;
    auto windows = std::make_unique<LoaderWindows>(CreateLoaderWindows(objects.Over(link), prompts, false));
    windows->config->findChild<QRadioButton*>("Com2RadioButton")->click();
    ASSERT_EQ(link.State(), LinkState::Ready);

    prompts.AnswerFile(QUORVEX_SAMPLES_DIR "/sample-user.tbu");
    windows->main->findChild<QPushButton*>("LoadUserButton")->click();
    auto* download = windows->main->findChild<QPushButton*>("ProgramUserButton");
    ASSERT_TRUE(download->isEnabled());
    download->click();

    auto text = [&](const char* name) { return windows->main->findChild<QLabel*>(name)->text(); };
    EXPECT_EQ(text("ProgramUserStatusLabel"), "Done");
    EXPECT_EQ(text("RefreshStatusLabel"), "");
    EXPECT_EQ(text("MainBootVersionLabel"), "V2.00 A");
    EXPECT_EQ(text("MainProgramVersionLabel"), "V2.01 C");
    EXPECT_EQ(text("MainProgram2VersionLabel"), "V1.00 A");
    EXPECT_EQ(text("DriversListLabel"), "type 0x10 V2.00;  type 0x11 V1.05;  ");
    windows.reset();
    link.ClosePort();
    EXPECT_EQ(sim.Stop(), 0);
}

}  // namespace
