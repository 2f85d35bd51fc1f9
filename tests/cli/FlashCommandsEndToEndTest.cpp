// --verify, read-flash, backup and restore: mirelle-cli as a separate
// process against mirelle-sim on a pseudo-terminal.
#include "support/CliProcess.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

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

}  // namespace
