// mirelle-sim as a separate process on a real pseudo-terminal, driven by the
// tool's own link over Qt SerialPort.
#include "link/DeviceLink.h"
#include "samples/SampleSet.h"
#include "support/SimulatorProcess.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include <sys/stat.h>
#include <unistd.h>

using Bytes = std::vector<std::uint8_t>;

namespace {

std::uint32_t Word(DeviceLink& link, std::uint32_t address)
{
    std::uint8_t bytes[3] = {};
    EXPECT_TRUE(link.ReadFlashBlock(address, 3, bytes));
    return std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 | std::uint32_t(bytes[2]) << 16;
}

// Polls the erase every few milliseconds; its final status, or -1.
int WaitForErase(DeviceLink& link)
{
    QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired()) {
        std::uint8_t status = 0;
        if (!link.ReadFlashStatus(status))
            return -1;
        if (status != 1)
            return status;
        QThread::msleep(5);
    }
    return -1;
}

// mirelle-cli and a sample, where the user who runs the tool can reach
// them. Run as root, the tool runs as nobody instead (root may open a
// device held in exclusive mode, which would hide that mode when a killed
// tool leaves it behind), and nobody may not enter the checkout's folders
// (a home folder of mode 0700, /root): both are copied into a folder of
// mode 0755 for it.
class ToolForTheUser {
public:
    ToolForTheUser()
    {
        if (!root)
            return;
        EXPECT_TRUE(folder.isValid());
        EXPECT_EQ(::chmod(folder.path().toLocal8Bit().constData(), 0755), 0);
        EXPECT_TRUE(QFile::copy(QStringLiteral(MIRELLE_CLI_PATH), Program()));
        EXPECT_TRUE(QFile::copy(QStringLiteral(QUORVEX_SAMPLES_DIR "/sample-user.tbu"), SampleUser()));
        EXPECT_EQ(::chmod(SampleUser().toLocal8Bit().constData(), 0644), 0);
    }

    QString Program() const { return root ? folder.filePath("mirelle-cli") : QStringLiteral(MIRELLE_CLI_PATH); }
    QString SampleUser() const
    {
        return root ? folder.filePath("sample-user.tbu") : QStringLiteral(QUORVEX_SAMPLES_DIR "/sample-user.tbu");
    }

    // Starts the tool on the device, as nobody when run as root.
    void Start(QProcess& cli, const std::string& device, const QStringList& arguments) const
    {
        QString program = Program();
        QStringList command = QStringList{"--port", QString::fromStdString(device)} + arguments;
        if (root) {
            command = QStringList{"--reuid=nobody", "--regid=nogroup", "--clear-groups", program} + command;
            program = "setpriv";
        }
        cli.start(program, command);
    }

private:
    const bool root = ::geteuid() == 0;
    QTemporaryDir folder;
};

}  // namespace

TEST(SimProcess, TheToolWakesReadsProgramsAndReadsBackOverAPseudoTerminal)
{
    SimulatorProcess sim({"--erase-time", "20"});
    ASSERT_FALSE(sim.device.empty()) << sim.process.readAllStandardError().toStdString();
    ASSERT_EQ(sim.device.rfind("/dev/", 0), 0u) << sim.device;

    DeviceLink link;  // the operating system's serial port
    ASSERT_TRUE(link.OpenPort(PortAddress::OfDevice(sim.device)));
    link.Select(Command::kSelectCode);
    ASSERT_EQ(link.State(), LinkState::Ready);
    std::uint32_t hard = 0, flash = 0;
    ASSERT_TRUE(link.ReadIdentity(hard, flash));
    EXPECT_EQ(hard, SampleLayout::kHardIdent);
    EXPECT_EQ(flash, SampleLayout::kFlashIdent);

    // The sample factory data is there, the user area is empty.
    const std::uint32_t n = Word(link, 0xD00000);
    ASSERT_EQ(n, SampleLayout::kMiniBootVectorCount);
    const std::uint32_t userArea = Word(link, 0xD00006 + 3 * n + 6);
    ASSERT_EQ(userArea, SampleLayout::kUserArea);
    EXPECT_EQ(Word(link, userArea), 0xFFFFFFu);

    ASSERT_TRUE(link.EraseFlash(userArea));
    ASSERT_EQ(WaitForErase(link), 0);
    Bytes block(240);
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = std::uint8_t(0xA5 ^ i);
    std::uint8_t status = 0xEE;
    ASSERT_TRUE(link.ProgramFlashBlock(userArea, 240, block.data(), status));
    EXPECT_EQ(status, 0);
    Bytes back(240);
    ASSERT_TRUE(link.ReadFlashBlock(userArea, 240, back.data()));
    EXPECT_EQ(back, block);
    // Programming the same place with other bits set is refused.
    block[0] = 0xFF;
    ASSERT_TRUE(link.ProgramFlashBlock(userArea, 1, block.data(), status));
    EXPECT_NE(status, 0);
    EXPECT_EQ(link.State(), LinkState::Ready);

    link.ClosePort();
    EXPECT_EQ(sim.Stop(), 0);
}

TEST(SimProcess, FlashPersistsBetweenRunsAndTheLinkFollowsTheDevice)
{
    QTemporaryDir folder;
    const QString flashFile = folder.filePath("machine.flash");
    const QString linkPath = folder.filePath("mirelle");
    const Bytes serial{' ', ' ', ' ', ' ', '1', '2', '3', '4', 0};
    {
        SimulatorProcess sim({"--flash", flashFile, "--link", linkPath, "--pace"});
        ASSERT_FALSE(sim.device.empty());
        EXPECT_EQ(QFileInfo(linkPath).symLinkTarget().toStdString(), sim.device);
        DeviceLink link;
        ASSERT_TRUE(link.OpenPort(PortAddress::OfDevice(linkPath.toStdString())));
        std::uint8_t status = 0xEE;
        ASSERT_TRUE(link.ProgramFlashBlock(SampleLayout::kFactoryData + 9, 9, serial.data(), status));
        EXPECT_EQ(status, 0);
        link.ClosePort();
        sim.process.terminate();  // SIGTERM
        ASSERT_TRUE(sim.process.waitForFinished(5000));
        EXPECT_EQ(sim.process.exitCode(), 0);
        EXPECT_FALSE(QFileInfo(linkPath).isSymLink());
    }
    std::ifstream file(flashFile.toStdString(), std::ios::binary);
    const Bytes saved{std::istreambuf_iterator<char>(file), {}};
    ASSERT_EQ(saved.size(), 0x100000u);
    const auto at = saved.begin() + (SampleLayout::kFactoryData + 9 - 0xD00000);
    EXPECT_EQ(Bytes(at, at + 9), serial);

    // The next run starts from the saved flash: the serial number stays written.
    SimulatorProcess again({"--flash", flashFile});
    DeviceLink link;
    ASSERT_TRUE(link.OpenPort(PortAddress::OfDevice(again.device)));
    Bytes back(9);
    ASSERT_TRUE(link.ReadFlashBlock(SampleLayout::kFactoryData + 9, 9, back.data()));
    EXPECT_EQ(back, serial);
}

TEST(SimProcess, FaultsAndPowerCommandsFromTheCommandLine)
{
    // A fault option given again applies each time.
    SimulatorProcess sim(
        {"--no-answer", "2", "--blank", "--hard-ident", "0x12", "--flash-ident", "ABCD", "--no-answer=3"});
    DeviceLink link;
    ASSERT_TRUE(link.OpenPort(PortAddress::OfDevice(sim.device)));
    std::uint32_t hard = 0, flash = 0;
    ASSERT_TRUE(link.ReadIdentity(hard, flash));
    EXPECT_EQ(hard, 0x12u);
    EXPECT_EQ(flash, 0xABCDu);
    EXPECT_FALSE(link.ReadIdentity(hard, flash));
    EXPECT_FALSE(link.ReadIdentity(hard, flash));
    EXPECT_EQ(link.State(), LinkState::NoAnswer);
    EXPECT_EQ(Word(link, 0xD00000), 0xFFFFFFu);  // blank flash

    link.Select(Command::kSelectCode);
    ASSERT_TRUE(link.PowerControl(0));
    link.Select(Command::kSelectCode);
    EXPECT_EQ(link.State(), LinkState::NoAnswer);
    sim.process.write("on\n");
    ASSERT_TRUE(sim.process.waitForBytesWritten(5000));
    QDeadlineTimer deadline(5000);
    while (link.State() != LinkState::Ready && !deadline.hasExpired())
        link.Select(Command::kSelectCode);
    EXPECT_EQ(link.State(), LinkState::Ready);
}

// Each line of standard input is answered on standard error with what it did.
TEST(SimProcess, EachStandardInputCommandSaysWhatItDid)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString saved = folder.filePath("saved.flash");
    SimulatorProcess sim({"--save-flash", saved});
    ASSERT_FALSE(sim.device.empty()) << sim.process.readAllStandardError().toStdString();
    sim.process.setReadChannel(QProcess::StandardError);
    const auto nextLine = [&sim] {
        QDeadlineTimer deadline(5000);
        while (!sim.process.canReadLine() && !deadline.hasExpired())
            sim.process.waitForReadyRead(100);
        return sim.process.readLine().toStdString();
    };
    ASSERT_EQ(nextLine().rfind("mirelle-sim: machine 4D520001/000122DA on ", 0), 0u);

    struct Case {
        const char* command;
        std::string answer;
    };
    const Case cases[] = {
        {"off", "mirelle-sim: switched off\n"},
        {"on", "mirelle-sim: powered on\n"},
        {"loader", "mirelle-sim: powered on into the resident loader\n"},
        {"save", "mirelle-sim: flash written to " + saved.toStdString() + "\n"},
        {"flash", "mirelle-sim: unknown command 'flash' (on, loader, off, save)\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        sim.process.write(QByteArray(c.command) + "\n");
        ASSERT_TRUE(sim.process.waitForBytesWritten(5000));
        EXPECT_EQ(nextLine(), c.answer);
    }
    EXPECT_EQ(QFileInfo(saved).size(), 0x100000);
}

TEST(SimProcess, HelpVersionAndUsageErrors)
{
    QProcess help;
    help.start(SimulatorPath(), {"--help"});
    ASSERT_TRUE(help.waitForFinished(5000));
    EXPECT_EQ(help.exitCode(), 0);
    const QString text = QString::fromUtf8(help.readAllStandardOutput());
    for (const char* option : {"--factory", "--blank", "--flash ", "--loader", "--pace", "--link", "--no-answer",
                               "--corrupt N", "--version"})
        EXPECT_TRUE(text.contains(option)) << option;

    struct Run {
        int exitCode = -1;
        QString out, err;
    };
    const auto run = [](const QStringList& arguments) {
        QProcess sim;
        sim.start(SimulatorPath(), arguments);
        sim.closeWriteChannel();
        Run done;
        if (sim.waitForFinished(5000))
            done = {sim.exitCode(), QString::fromUtf8(sim.readAllStandardOutput()),
                    QString::fromUtf8(sim.readAllStandardError())};
        return done;
    };
    EXPECT_EQ(run({"--version"}).out, "mirelle-sim 2.0\n");
    const Run bogus = run({"--bogus"});
    EXPECT_EQ(bogus.exitCode, 2);
    EXPECT_EQ(bogus.err, "mirelle-sim: unknown option '--bogus'\nTry 'mirelle-sim --help'.\n");
    EXPECT_EQ(run({"--pace", "--no-answer"}).err,
              "mirelle-sim: --no-answer needs a value\nTry 'mirelle-sim --help'.\n");
    EXPECT_EQ(run({"--erase-time", "soon"}).exitCode, 2);
    EXPECT_EQ(run({"--sector-size", "0x3000"}).exitCode, 2);
    EXPECT_EQ(run({"--factory", "/nonexistent/x.tbf"}).exitCode, 1);
}

TEST(SimProcess, AToolKilledHalfWayLeavesTheDeviceToTheNext)
{
    SimulatorProcess sim({"--erase-time", "2000"});  // the download stays in its first erase
    ASSERT_FALSE(sim.device.empty()) << sim.process.readAllStandardError().toStdString();
    if (::geteuid() == 0) {
        ASSERT_EQ(::chmod(sim.device.c_str(), 0666), 0);  // for nobody
    }

    const ToolForTheUser tool;
    QProcess download;
    tool.Start(download, sim.device, {"download", tool.SampleUser()});
    download.setReadChannel(QProcess::StandardError);
    QByteArray err;
    while (!err.contains("Erasing...") && download.waitForReadyRead(10000))
        err += download.readAllStandardError();
    ASSERT_TRUE(err.contains("Erasing...")) << err.toStdString();
    download.kill();  // SIGKILL: the port stays as the tool set it, its lock file stays
    ASSERT_TRUE(download.waitForFinished(5000));

    QProcess ident;
    tool.Start(ident, sim.device, {"ident"});
    ASSERT_TRUE(ident.waitForFinished(30000));
    EXPECT_EQ(ident.exitCode(), 0) << ident.readAllStandardError().toStdString();
    EXPECT_EQ(ident.readAllStandardOutput().toStdString(), "Hard ident : 4D520001, flash ident : 000122DA\n");
}

// The simulator's clock counts nanoseconds in a signed 64-bit number: a
// recorded time it cannot hold is a malformed line, named, and the events
// before it are replayed.
TEST(SimProcess, AReplayRefusesTimesBeyondItsClock)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const std::string path = folder.filePath("field.rec").toStdString();
    struct Case {
        const char* time;  // of the third event, a read
        std::string notes;
    };
    const std::string beyond = "mirelle-sim: " + path
        + ": line 4: its time is beyond the simulator's clock (9223372036854775 microseconds at most); replaying "
          "the events before it\nmirelle-sim: replaying 2 events of " + path + "\n";
    const Case cases[] = {
        {"9223372036854775", "mirelle-sim: replaying 3 events of " + path + "\n"},
        {"9223372036854776", beyond},
        {"9223372036854775807", beyond},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.time);
        {
            std::ofstream file(path, std::ios::trunc);
            file << "mirelle-recording 1\n0 open - /dev/ttyS0 38400 odd 1 ok\n10 write 80A203\n" << c.time
                 << " read 1 04\n";
        }
        SimulatorProcess sim({"--replay", QString::fromStdString(path)});
        ASSERT_FALSE(sim.device.empty()) << sim.process.readAllStandardError().toStdString();
        EXPECT_EQ(sim.Stop(), 0);
        std::string notes = sim.process.readAllStandardError().toStdString();
        notes.erase(0, notes.find('\n') + 1);  // the line that names the device
        EXPECT_EQ(notes, c.notes);
    }
}
