// --verify, read-flash, backup and restore: mirelle-cli as a separate
// process against mirelle-sim on a pseudo-terminal.
#include "support/CliProcess.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>

#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using testing::HasSubstr;
using testing::MatchesRegex;

namespace {

const QString kSamples = QStringLiteral(QUORVEX_SAMPLES_DIR);

QByteArray FileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(FlashCommandsEndToEnd, VerifyPassesAndFailsOnACorruptBlock)
{
    struct Case {
        QStringList sim;
        QStringList command;
        int exitCode;
        std::string out;  // a pattern
    };
    const Case cases[] = {
        {{}, {"--verify", "download", kSamples + "/sample-user.tbu"}, 0, "Done\nVerified\n"},
        {{"--blank"}, {"--verify", "factory", kSamples + "/sample-factory.tbf"}, 0, "Done\nVerified\n"},
        // The third block of the program, from 0xD2000F + 2 * 240.
        {{"--corrupt", "3"}, {"--verify", "download", kSamples + "/sample-user.tbu"}, 4,
         "Done\nVerify failed at 0xD201EF : wrote 0x[0-9A-F]{2}, read 0x[0-9A-F]{2}\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command.join(' ').toStdString());
        SimulatorProcess sim(QStringList{"--erase-time", "0"} + c.sim);
        ASSERT_FALSE(sim.device.empty());
        const CliRun run = RunCli(sim, c.command);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        EXPECT_THAT(run.out, MatchesRegex(c.out));
        EXPECT_THAT(run.err, HasSubstr("Verifying..."));
    }
}

// read-flash gives the bytes the simulator's flash file holds; a backup of
// a machine restored into one whose user area is erased reads as the first;
// a machine of other identities refuses it.
TEST(FlashCommandsEndToEnd, ReadFlashBackupAndRestore)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString flashFile = folder.filePath("flash.bin");
    const QString readFile = folder.filePath("read.bin");
    const QString backupFile = folder.filePath("machine.mbk");

    std::string infoBefore;
    {
        SimulatorProcess sim({"--erase-time", "0", "--save-flash", flashFile});
        ASSERT_FALSE(sim.device.empty());
        ASSERT_EQ(RunCli(sim, {"download", kSamples + "/sample-user.tbu"}).exitCode, 0);
        infoBefore = RunCli(sim, {"info"}).out;

        const CliRun read = RunCli(sim, {"read-flash", "0xD1FF00", "1024", readFile});
        EXPECT_EQ(read.exitCode, 0) << read.err;
        EXPECT_EQ(read.out, "Done\n");
        EXPECT_EQ(RunCli(sim, {"read-flash", "0xD20000", "ten", readFile + "2"}).exitCode, 2);
        EXPECT_EQ(RunCli(sim, {"read-flash", "0xD20000", "10", folder.filePath("none/read.bin")}).exitCode, 3);

        const CliRun backup = RunCli(sim, {"backup", backupFile});
        EXPECT_EQ(backup.exitCode, 0) << backup.err;
        EXPECT_EQ(backup.out, "Done\n");
        ASSERT_EQ(sim.Stop(), 0);
    }
    EXPECT_EQ(FileBytes(readFile), FileBytes(flashFile).mid(0x1FF00, 1024));
    EXPECT_FALSE(QFile::exists(readFile + "2"));

    {
        SimulatorProcess sim({"--erase-time", "0"});
        ASSERT_FALSE(sim.device.empty());
        EXPECT_NE(RunCli(sim, {"info"}).out, infoBefore);
        const CliRun unconfirmed = RunCli(sim, {"restore", backupFile});
        EXPECT_EQ(unconfirmed.exitCode, 2);
        EXPECT_THAT(unconfirmed.out, HasSubstr("--yes"));

        const CliRun restore = RunCli(sim, {"--yes", "--verify", "restore", backupFile});
        EXPECT_EQ(restore.exitCode, 0) << restore.err;
        EXPECT_EQ(restore.out, "Done\nVerified\n");
        EXPECT_EQ(RunCli(sim, {"info"}).out, infoBefore);
    }
    {
        SimulatorProcess sim({"--erase-time", "0", "--hard-ident", "4D520003"});
        ASSERT_FALSE(sim.device.empty());
        const CliRun other = RunCli(sim, {"--yes", "restore", backupFile});
        EXPECT_EQ(other.exitCode, 3);
        EXPECT_THAT(other.out, HasSubstr("Backup of another machine type"));
    }
}

// What stands under a file's name and is no regular file is never replaced
// by one, nor a file with other hard links; the refusal comes before
// anything is read. Ownership and mode: see the next test.
TEST(FlashCommandsEndToEnd, ReadsNeverReplaceWhatIsNoRegularFile)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const std::string fifo = folder.filePath("fifo").toStdString();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string socketPath = folder.filePath("socket").toStdString();
    const int socket = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socketPath.c_str());
    ASSERT_EQ(bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    const QString linked = folder.filePath("linked.bin");
    QFile(linked).open(QIODevice::WriteOnly);
    ASSERT_EQ(link(linked.toLocal8Bit().constData(), folder.filePath("other-name.bin").toLocal8Bit().constData()), 0);

    SimulatorProcess sim({"--erase-time", "0"});
    ASSERT_FALSE(sim.device.empty());
    const struct {
        QString path;
        std::string why;
    } cases[] = {
        {QString::fromStdString(fifo), "not a regular file; give a file name"},
        {QString::fromStdString(socketPath), "not a regular file; give a file name"},
        {folder.path(), "not a regular file; give a file name"},
        {linked, "has 2 hard links, which replacing it would cut off; give another file name"},
    };
    for (const auto& c : cases) {
        for (const QStringList& command : {QStringList{"read-flash", "0xD00000", "16", c.path},
                                           QStringList{"backup", c.path}}) {
            SCOPED_TRACE(command.join(' ').toStdString());
            const CliRun run = RunCli(sim, QStringList{"--trace"} + command);
            EXPECT_EQ(run.exitCode, 3);
            EXPECT_EQ(run.out, "");
            EXPECT_EQ(run.err, "mirelle-cli: " + c.path.toStdString() + ": " + c.why + "\n");
        }
    }
    struct stat status{};
    EXPECT_EQ(stat(fifo.c_str(), &status), 0);
    EXPECT_TRUE(S_ISFIFO(status.st_mode));
    ::close(socket);
}

// A file that cannot be written whole (here a disk that fills up: the
// file may not grow past 1000 bytes) says the system's reason instead of
// "Done", exit code 3, and leaves the old file whole and no temporary file;
// a file written takes over the old one's mode without the others' write
// bit, and run as root its owner and group.
TEST(FlashCommandsEndToEnd, AReadsFileIsWrittenWholeOrNotAtAll)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString target = folder.filePath("read.bin");
    {
        QFile old(target);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old");
    }
    SimulatorProcess sim({"--erase-time", "0"});
    ASSERT_FALSE(sim.device.empty());
    const auto smallDisk = [] {
        const rlimit limit{1000, 1000};
        setrlimit(RLIMIT_FSIZE, &limit);
        std::signal(SIGXFSZ, SIG_IGN);
    };
    const CliRun full = RunCli(sim, {"read-flash", "0xD00000", "4096", target}, {}, smallDisk);
    EXPECT_EQ(full.exitCode, 3);
    EXPECT_EQ(full.out, "");
    EXPECT_THAT(full.err, HasSubstr("mirelle-cli: " + target.toStdString() + ": File too large\n"));
    const CliRun json = RunCli(sim, {"--json", "backup", target}, {}, smallDisk);
    EXPECT_EQ(json.exitCode, 3);
    EXPECT_THAT(json.out, HasSubstr("\"result\": \"" + target.toStdString() + ": File too large\""));
    EXPECT_EQ(FileBytes(target), "old");
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"read.bin"});

    ASSERT_EQ(chmod(target.toLocal8Bit().constData(), 0646), 0);
    const bool root = geteuid() == 0;
    if (root) {
        ASSERT_EQ(chown(target.toLocal8Bit().constData(), 4321, 4322), 0);
    }
    ASSERT_EQ(RunCli(sim, {"read-flash", "0xD00000", "16", target}).exitCode, 0);
    const QString fresh = folder.filePath("new.bin");
    ASSERT_EQ(RunCli(sim, {"read-flash", "0xD00000", "16", fresh}, {}, [] { umask(0); }).exitCode, 0);
    struct stat replaced{}, created{};
    ASSERT_EQ(stat(target.toLocal8Bit().constData(), &replaced), 0);
    ASSERT_EQ(stat(fresh.toLocal8Bit().constData(), &created), 0);
    EXPECT_EQ(replaced.st_mode & 07777, 0644u);
    EXPECT_EQ(created.st_mode & 07777, 0664u);
    if (root) {
        EXPECT_EQ(replaced.st_uid, 4321u);
        EXPECT_EQ(replaced.st_gid, 4322u);
    }
}

}  // namespace
