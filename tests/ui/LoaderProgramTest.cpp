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
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QFileDialog>
#include <QProcess>
#include <QRadioButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <functional>
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

TEST(LoaderProgram, HelpAndVersionNeedNoDisplayAndAnUnknownOptionOrASecondFileIsRefused)
{
    const LoaderRun help = Loader({"--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_TRUE(help.out.startsWith("usage: mirelle-loader [--developer]")) << help.out.toStdString();
    const LoaderRun version = Loader({"--version"});
    EXPECT_EQ(version.code, 0);
    EXPECT_EQ(version.out, "Mirelle series program loader V2.00\n");
    for (const QStringList& refused : {QStringList{"--frobnicate"}, QStringList{"a.tbu", "b.tbu"}}) {
        const LoaderRun run = Loader(refused);
        EXPECT_EQ(run.code, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err.count('\n'), 1);
        EXPECT_TRUE(run.err.contains(refused.back())) << run.err.toStdString();
    }
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

// An adapter pulled out and plugged back: the simulator stopped and started
// again on the same link. The status line says the port is gone, with why,
// and is back to " : Ok" at its next look, without a restart.
TEST(LoaderProgram, APortWhoseDeviceCameBackIsOpenedAgain)
{
    ClearSettings();
    QTemporaryDir folder;
    const QString linkPath = folder.filePath("adapter");
    auto sim = std::make_unique<SimulatorProcess>(QStringList{"--link", linkPath});
    ASSERT_FALSE(sim->device.empty());
    StoreSetting("Ports/com2", linkPath);

    DeviceLink link(std::make_unique<QtPortBackend>());
    OwnedContext objects;
    ScriptedPrompts prompts;
    auto windows = std::make_unique<LoaderWindows>(CreateLoaderWindows(objects.Over(link), prompts, false));
    windows->main->findChild<QTimer*>("Timer1")->setInterval(10);
    windows->config->findChild<QRadioButton*>("Com2RadioButton")->click();
    QLabel* status = windows->main->findChild<QLabel*>("StatusBarLabel");
    EXPECT_TRUE(QTest::qWaitFor([&] { return status->text() == "com2 : Ok"; }, 2000));

    EXPECT_EQ(sim->Stop(), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return status->text() == "com2 : Not available"; }, 2000)) << status->text().toStdString();
    EXPECT_TRUE(status->toolTip().contains(linkPath)) << status->toolTip().toStdString();
    windows->main->findChild<QPushButton*>("RefreshButton")->click();
    QLabel* result = windows->main->findChild<QLabel*>("RefreshStatusLabel");
    EXPECT_TRUE(result->toolTip().startsWith("the port did not open: ")) << result->toolTip().toStdString();

    sim = std::make_unique<SimulatorProcess>(QStringList{"--link", linkPath});
    ASSERT_FALSE(sim->device.empty());
    EXPECT_TRUE(QTest::qWaitFor([&] { return status->text() == "com2 : Ok"; }, 2000)) << status->text().toStdString();
    EXPECT_FALSE(link.Rts());
    windows->main->findChild<QPushButton*>("RefreshButton")->click();
    EXPECT_TRUE(windows->main->findChild<QLabel*>("HardIdentLabel")->text().contains("4D520001"));
    EXPECT_EQ(result->toolTip(), "");
    windows.reset();
    link.ClosePort();
}

// Ctrl-C, SIGTERM and SIGHUP end the window as "Exit" does: a normal exit
// that closes the port, which the next tool then opens.
TEST(LoaderProgram, StopSignalsEndItAsExitDoes)
{
    SimulatorProcess sim({"--erase-time", "0"});
    ASSERT_FALSE(sim.device.empty());
    const QString device = QFileInfo(QString::fromStdString(sim.device)).canonicalFilePath();
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(strsignal(signal));
        ClearSettings();
        StoreSetting("Ports/com2", QString::fromStdString(sim.device));
        StoreSetting("ComPort", "com2");
        QProcess loader;
        loader.start(MIRELLE_LOADER_PATH, {});
        ASSERT_TRUE(loader.waitForStarted());
        // The signal once the window holds the port open (one of its descriptors).
        const QString descriptors = QString("/proc/%1/fd").arg(loader.processId());
        const auto holdsThePort = [&] {
            for (const QFileInfo& fd : QDir(descriptors).entryInfoList(QDir::System | QDir::NoDotAndDotDot))
                if (fd.symLinkTarget() == device)
                    return true;
            return false;
        };
        QDeadlineTimer deadline(10000);
        while (!holdsThePort() && !deadline.hasExpired() && !loader.waitForFinished(20)) {
        }
        ASSERT_TRUE(holdsThePort()) << loader.readAllStandardError().toStdString();
        if (loader.processId() > 0)  // 0 once it has ended: a kill of 0 reaches the whole group
            ::kill(pid_t(loader.processId()), signal);
        ASSERT_TRUE(loader.waitForFinished(10000));
        EXPECT_EQ(loader.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(loader.exitCode(), 0);

        DeviceLink link(std::make_unique<QtPortBackend>());
        ASSERT_TRUE(link.OpenPort(PortAddress::OfDevice(sim.device)));
        link.Select(Command::kSelectCode);
        std::uint32_t hard = 0, flash = 0;
        EXPECT_TRUE(link.ReadIdentity(hard, flash));
    }
}

// --record FILE: the file is touched only once the window opens its port,
// and a run that ends as Exit does ends the recording with its end line.
TEST(LoaderProgram, ItsRecordingStartsWithThePortAndEndsWithItsEndLine)
{
    SimulatorProcess sim({"--erase-time", "0"});
    ASSERT_FALSE(sim.device.empty());
    QTemporaryDir folder;
    const QString recording = folder.filePath("window.rec");
    const auto runUntilTerminated = [&](const std::function<bool(const QProcess&)>& ready) {
        QProcess loader;
        loader.start(MIRELLE_LOADER_PATH, {"--record", recording});
        EXPECT_TRUE(loader.waitForStarted());
        QDeadlineTimer deadline(10000);
        while (!ready(loader) && !deadline.hasExpired() && !loader.waitForFinished(20)) {
        }
        if (loader.processId() > 0)  // 0 once it has ended: a kill of 0 reaches the whole group
            ::kill(pid_t(loader.processId()), SIGTERM);
        EXPECT_TRUE(loader.waitForFinished(10000));
        QFile file(recording);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
    };
    {
        QFile kept(recording);
        ASSERT_TRUE(kept.open(QIODevice::WriteOnly));
        kept.write("kept");
    }
    // No port stored: nothing opened, nothing recorded; the window up a second.
    ClearSettings();
    QDeadlineTimer second(1000);
    EXPECT_EQ(runUntilTerminated([&](const QProcess&) { return second.hasExpired(); }), "kept");

    StoreSetting("Ports/com2", QString::fromStdString(sim.device));
    StoreSetting("ComPort", "com2");
    const QByteArray text = runUntilTerminated([&](const QProcess&) {
        QFile file(recording);
        return file.open(QIODevice::ReadOnly) && file.readAll().contains(" open com2 ");
    });
    EXPECT_TRUE(text.startsWith("mirelle-recording 2\n")) << text.toStdString();
    EXPECT_TRUE(text.contains(" close\nend ")) << text.toStdString();
    EXPECT_TRUE(text.endsWith("\n")) << text.toStdString();
}

}  // namespace
