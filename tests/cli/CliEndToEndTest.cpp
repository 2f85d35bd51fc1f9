// mirelle-cli as a user runs it: a separate process on a real pseudo-terminal
// served by mirelle-sim.
#include "common/FlashMap.h"
#include "link/QtPortBackend.h"
#include "support/PseudoTerminal.h"
#include "support/CliProcess.h"
#include "support/SimulatorProcess.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>

#include <unistd.h>

using testing::HasSubstr;
using testing::MatchesRegex;
using testing::StartsWith;

namespace {

const QString kSamples = QStringLiteral(QUORVEX_SAMPLES_DIR);

// The text after "caption<TAB>" on the line of that caption.
std::string Row(const std::string& out, const std::string& caption)
{
    const auto at = out.find(caption + "\t");
    if (at == std::string::npos)
        return "<no row>";
    const auto start = at + caption.size() + 1;
    return out.substr(start, out.find('\n', start) - start);
}

class CliEndToEndTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(sim.device.empty()) << sim.process.readAllStandardError().toStdString(); }
    SimulatorProcess sim{{"--erase-time", "5"}};
};

TEST_F(CliEndToEndTest, IdentAndInfoShowTheSampleMachine)
{
    const CliRun ident = RunCli(sim, {"ident"});
    EXPECT_EQ(ident.exitCode, 0) << ident.err;
    EXPECT_EQ(ident.out, "Hard ident : 4D520001, flash ident : 000122DA\n");

    const CliRun info = RunCli(sim, {"info"});
    EXPECT_EQ(info.exitCode, 0) << info.err;
    EXPECT_THAT(info.out, StartsWith("Status\tDone\n"));
    EXPECT_EQ(Row(info.out, "Hard/flash Ident :"), "Hard ident : 4D520001, flash ident : 000122DA");
    EXPECT_EQ(Row(info.out, "Mini boot version :"), "V1.03 A");
    EXPECT_EQ(Row(info.out, "Main boot version :"), "");  // empty user area
    EXPECT_EQ(Row(info.out, "Serial number :"), "");
}

TEST_F(CliEndToEndTest, InfoAsJsonCarriesEveryFieldAsItsType)
{
    const CliRun info = RunCli(sim, {"--json", "info"});
    ASSERT_EQ(info.exitCode, 0) << info.err;
    QJsonParseError error{};
    const QJsonObject object = QJsonDocument::fromJson(QByteArray::fromStdString(info.out), &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << info.out;
    EXPECT_TRUE(object["answered"].toBool());
    EXPECT_TRUE(object["factoryInfoRead"].toBool());
    EXPECT_EQ(object["hardIdent"].toInteger(), 0x4D520001);
    EXPECT_EQ(object["userAreaAddress"].toInteger(), 0xD20000);
    EXPECT_EQ(object["statusText"].toString(), "Done");
    EXPECT_TRUE(object["driversText"].isString());
}

TEST_F(CliEndToEndTest, DownloadThenInfoShowsTheNewProgram)
{
    const CliRun download = RunCli(sim, {"download", kSamples + "/sample-user.tbu"});
    EXPECT_EQ(download.exitCode, 0) << download.err;
    EXPECT_EQ(download.out, "Done\n");
    EXPECT_THAT(download.err, HasSubstr("Programming..."));

    const CliRun info = RunCli(sim, {"info"});
    EXPECT_EQ(Row(info.out, "Main boot version :"), "V2.00 A");
    EXPECT_EQ(Row(info.out, "Program 1 version :"), "V2.01 C");
    EXPECT_EQ(Row(info.out, "Program 2 version :"), "V1.00 A");
    EXPECT_THAT(Row(info.out, "Drivers :"), HasSubstr("type 0x10 V2.00"));
    EXPECT_THAT(Row(info.out, "Drivers :"), HasSubstr("type 0x11 V1.05"));
}

// Standard error is no terminal here: the progress is plain lines, with
// --json one JSON object a line, with --quiet nothing (nor the file's
// summary); the result is the same.
TEST_F(CliEndToEndTest, ProgressAsPlainLinesJsonLinesOrNothing)
{
    struct Case {
        QStringList options;
        std::string firstLine;  // of standard error
        std::size_t minimumLines;
    };
    for (const Case& c : std::vector<Case>{
             {{}, "File is ok : ", 4},
             {{"--json"}, "{\"note\":\"File is ok : ", 4},
             {{"--quiet"}, "", 0},
         }) {
        const CliRun download = RunCli(sim, c.options + QStringList{"download", kSamples + "/sample-user.tbu"});
        EXPECT_EQ(download.exitCode, 0) << download.err;
        const QStringList lines = QString::fromStdString(download.err).split('\n', Qt::SkipEmptyParts);
        EXPECT_GE(std::size_t(lines.size()), c.minimumLines) << download.err;
        EXPECT_THAT(download.err, StartsWith(c.firstLine));
        for (const QString& line : lines.mid(1)) {
            if (c.options.contains("--json")) {
                const QJsonObject object = QJsonDocument::fromJson(line.toUtf8()).object();
                EXPECT_TRUE(object["unit"].isString()) << line.toStdString();
            } else {
                EXPECT_THAT(line.toStdString(), MatchesRegex("(Erasing|Programming)\\.\\.\\. [0-9]+/[0-9]+ \\([0-9]+%\\)"));
            }
        }
    }
}

TEST_F(CliEndToEndTest, TraceShowsTheLineOnStandardErrorOnly)
{
    const CliRun ident = RunCli(sim, {"--trace", "ident"});
    EXPECT_EQ(ident.exitCode, 0);
    EXPECT_EQ(ident.out, "Hard ident : 4D520001, flash ident : 000122DA\n");
    EXPECT_THAT(ident.err, HasSubstr("> wake-up 80 A2 03"));
    EXPECT_THAT(ident.err, HasSubstr("> frame   02 03 7E 01 00 7E"));
}

TEST(CliEndToEnd, AMachineThatStopsAnsweringHalfWay)
{
    // Requests: identity, then the readout's reads and the erases; the
    // download's programming is lost.
    SimulatorProcess sim({"--silent-from", "20", "--erase-time", "5"});
    ASSERT_FALSE(sim.device.empty());
    const CliRun download = RunCli(sim, {"download", kSamples + "/sample-user.tbu"});
    EXPECT_EQ(download.exitCode, 1) << download.err;
    EXPECT_EQ(download.out, "No answer\n");
    // Beside the result, on standard error: what the link saw, and what the
    // machine is left with.
    EXPECT_THAT(download.err, HasSubstr("mirelle-cli: the machine sent nothing in answer to ProgramFlashBlock: "
                                        "check that it is switched on, its cable and the selected port\n"
                                        "mirelle-cli: The user program area is now partly erased: download a "
                                        "program again, or restore a backup\n"));

    const CliRun info = RunCli(sim, {"--json", "info"});
    EXPECT_EQ(info.exitCode, 1);
    const QJsonObject object = QJsonDocument::fromJson(QByteArray::fromStdString(info.out)).object();
    EXPECT_EQ(object["statusText"].toString(), "No answer");
    EXPECT_FALSE(object["answered"].toBool());
}

TEST(CliEndToEnd, ADamagedAnswerSaysSoBesideNoAnswer)
{
    SimulatorProcess sim({"--bad-checksum", "1", "--bad-checksum", "2"});
    ASSERT_FALSE(sim.device.empty());
    const std::string cause =
        "the answer to ReadIdentity had a bad checksum: check the cable, the adapter and the line's speed";
    const CliRun json = RunCli(sim, {"--json", "ident"});
    EXPECT_EQ(json.exitCode, 1);
    EXPECT_EQ(QJsonDocument::fromJson(QByteArray::fromStdString(json.out)).object()["cause"].toString().toStdString(),
              cause);
    const CliRun ident = RunCli(sim, {"ident"});
    EXPECT_EQ(ident.exitCode, 1);
    EXPECT_EQ(ident.out, "No answer\n");
    EXPECT_THAT(ident.err, HasSubstr(cause + "\n"));
}

TEST(CliEndToEnd, BadStatusIsAFailureOfTheMachine)
{
    SimulatorProcess sim({"--program-status", "42", "--erase-time", "5"});
    ASSERT_FALSE(sim.device.empty());
    const CliRun download = RunCli(sim, {"download", kSamples + "/sample-user.tbu"});
    EXPECT_EQ(download.exitCode, 4);
    EXPECT_EQ(download.out, "bad status while programming : 0x42\n");
}

TEST(CliEndToEnd, AMachineWithoutFactoryDataRefusesTheDownload)
{
    SimulatorProcess sim({"--blank"});
    ASSERT_FALSE(sim.device.empty());
    const CliRun download = RunCli(sim, {"download", kSamples + "/sample-user.tbu"});
    EXPECT_EQ(download.exitCode, 4);
    EXPECT_EQ(download.out, "Factory data must be downloaded first\n");
}

// A wrong line says what was wrong and where to read more; the help tells a
// command's exit codes; the version is the project's.
TEST(CliEndToEnd, UsageErrorHelpAndVersion)
{
    const CliRun wrong = RunCli({"info", "--bogus"});
    EXPECT_EQ(wrong.exitCode, 2);
    EXPECT_EQ(wrong.out, "");
    EXPECT_EQ(wrong.err, "mirelle-cli: unknown option '--bogus'\nTry 'mirelle-cli --help'.\n");

    const CliRun all = RunCli({"--help"});
    EXPECT_EQ(all.exitCode, 0);
    EXPECT_THAT(all.out, HasSubstr("  -p, --port NAME"));
    EXPECT_THAT(all.out, HasSubstr("--erase-timeout SECONDS"));
    EXPECT_THAT(all.out, HasSubstr("write-name -- \"-Line 3-\""));

    for (const QStringList& asked : {QStringList{"help", "download"}, QStringList{"download", "--help"}}) {
        const CliRun help = RunCli(asked);
        EXPECT_EQ(help.exitCode, 0);
        EXPECT_THAT(help.out, StartsWith("usage: mirelle-cli [OPTION]... download FILE\n"));
        EXPECT_THAT(help.out, HasSubstr("      --verify "));
        EXPECT_THAT(help.out, testing::Not(HasSubstr("--symbols")));
        EXPECT_THAT(help.out, HasSubstr("Exit codes:\n  0   done\n  1   the machine did not answer\n"));
    }
    EXPECT_EQ(RunCli({"--version"}).out, "mirelle-cli 2.0\n");
}

TEST(CliEndToEnd, CheckGivesEachLoadersVerdict)
{
    const CliRun user = RunCli({"check", kSamples + "/sample-user.tbu"});
    EXPECT_EQ(user.exitCode, 0);
    EXPECT_THAT(user.out, StartsWith("File is ok : "));
    EXPECT_EQ(RunCli({"check", kSamples + "/sample-factory.tbf"}).exitCode, 0);
    EXPECT_EQ(RunCli({"check", kSamples + "/sample-boot.tb"}).exitCode, 0);
    const CliRun symbols = RunCli({"check", kSamples + "/mainprog.tfs"});
    EXPECT_EQ(symbols.exitCode, 0);
    EXPECT_EQ(symbols.out, "File loaded\t10 records\n");

    // The user program cut short, and a factory image read as a user program.
    QTemporaryDir folder;
    QFile whole(kSamples + "/sample-user.tbu");
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    QFile cut(folder.filePath("cut.tbu"));
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
    cut.write(whole.read(100));
    cut.close();
    const CliRun truncated = RunCli({"check", cut.fileName()});
    EXPECT_EQ(truncated.exitCode, 3);
    EXPECT_EQ(truncated.out, "Unexpected end of file\n");
    EXPECT_EQ(RunCli({"--kind", "user", "check", kSamples + "/sample-factory.tbf"}).exitCode, 3);
}

// A file of another kind by its extension is refused before the port is
// opened; with --kind it is loaded as the command's kind, and refused by its
// loader, before anything is sent too.
TEST(CliEndToEnd, ARefusedFileIsNeverSentToTheMachine)
{
    SimulatorProcess sim;
    ASSERT_FALSE(sim.device.empty());
    struct Case {
        QStringList arguments;
        int exitCode;
        std::string err;
    };
    const QString user = kSamples + "/sample-user.tbu";
    const QString factory = kSamples + "/sample-factory.tbf";
    for (const Case& c : std::vector<Case>{
             {{"download", factory}, 3,
              "mirelle-cli: download takes a user program (.tbu), and " + factory.toStdString()
                  + " is a factory image (.tbf): use mirelle-cli factory " + factory.toStdString()
                  + "; or give --kind user to load it as a user program (.tbu) all the same\n"},
             {{"factory", user}, 3, "mirelle-cli: factory takes a factory image (.tbf), and "},
             {{"boot", user}, 3, "mirelle-cli: boot takes a boot program (.tb), and "},
             {{"--kind", "factory", "download", user}, 2,
              "mirelle-cli: download takes a user program (.tbu): --kind factory does not apply to it\n"},
             {{"--kind", "user", "download", factory}, 3, ""},
         }) {
        const CliRun run = RunCli(sim, QStringList{"--trace"} + c.arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.arguments.join(' ').toStdString();
        EXPECT_THAT(run.err, StartsWith(c.err));
        EXPECT_THAT(run.err, testing::Not(HasSubstr("frame")));
    }
}

}  // namespace

namespace {

// The stops from outside during a download: each aborts it at the next tick
// as the Abort button does, and the port is closed on the way out, so the
// next command finds the machine.
TEST(CliEndToEnd, StopSignalsAbortADownloadAndCloseThePort)
{
    SimulatorProcess sim({"--erase-time", "5000"});  // the first erase stays busy a while
    ASSERT_FALSE(sim.device.empty());
    // With --json, the one object says it instead.
    for (const auto& [signal, json] : {std::pair{SIGINT, false}, std::pair{SIGTERM, true}, std::pair{SIGHUP, false}}) {
        SCOPED_TRACE(strsignal(signal));
        QProcess cli;
        cli.start(QStringLiteral(MIRELLE_CLI_PATH), QStringList{"--port", QString::fromStdString(sim.device)}
                                                        + (json ? QStringList{"--json"} : QStringList{})
                                                        + QStringList{"download", kSamples + "/sample-user.tbu"});
        // The signal once the erase phase has shown itself on standard error.
        cli.setReadChannel(QProcess::StandardError);
        QByteArray err;
        while (!err.contains("Erasing...") && cli.waitForReadyRead(10000))
            err += cli.readAllStandardError();
        ASSERT_TRUE(err.contains("Erasing...")) << err.toStdString();
        if (cli.processId() > 0)  // 0 once it has ended: a kill of 0 reaches the whole group
            ::kill(pid_t(cli.processId()), signal);
        ASSERT_TRUE(cli.waitForFinished(10000));
        EXPECT_EQ(cli.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(cli.exitCode(), 5);
        const QByteArray out = cli.readAllStandardOutput();
        if (json)
            EXPECT_EQ(QJsonDocument::fromJson(out)["result"].toString(), "Aborted") << out.toStdString();
        else
            EXPECT_EQ(out.toStdString(), "Aborted\n");
        const CliRun ident = RunCli(sim, {"ident"});
        EXPECT_EQ(ident.exitCode, 0) << ident.err;
    }
}

// Ctrl-C while the confirmation is asked on the terminal ends the read: no
// write is sent.
TEST(CliEndToEnd, CtrlCWhileAConfirmationIsAskedWritesNothing)
{
    SimulatorProcess sim;
    ASSERT_FALSE(sim.device.empty());
    PseudoTerminal terminal;
    ASSERT_TRUE(terminal.IsValid());
    QProcess cli;
    cli.setStandardInputFile(QString::fromStdString(terminal.SlavePath()));
    cli.start(QStringLiteral(MIRELLE_CLI_PATH), {"--port", QString::fromStdString(sim.device), "write-serial", "SN-7"});
    cli.setReadChannel(QProcess::StandardError);
    QByteArray err;
    while (!err.contains("[y/N]") && cli.waitForReadyRead(10000))
        err += cli.readAllStandardError();
    ASSERT_TRUE(err.contains("[y/N]")) << err.toStdString();
    if (cli.processId() > 0)  // 0 once it has ended: a kill of 0 reaches the whole group
        ::kill(pid_t(cli.processId()), SIGINT);
    ASSERT_TRUE(cli.waitForFinished(10000));
    EXPECT_EQ(cli.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(cli.exitCode(), 5);
    EXPECT_EQ(cli.readAllStandardOutput().toStdString(), "Aborted\n");
    const CliRun info = RunCli(sim, {"info"});
    EXPECT_EQ(info.exitCode, 0) << info.err;
    EXPECT_EQ(Row(info.out, "Serial number :"), "");
}

// Standard output or standard error a pipe whose reader is gone (`| head`):
// the run ends without a word, exit code 5, the port closed.
TEST(CliEndToEnd, AClosedPipeOnTheOutputEndsTheRunQuietly)
{
    SimulatorProcess sim;
    ASSERT_FALSE(sim.device.empty());
    for (const int closed : {STDOUT_FILENO, STDERR_FILENO}) {
        SCOPED_TRACE(closed == STDOUT_FILENO ? "standard output" : "standard error");
        QProcess cli;
        cli.setChildProcessModifier([closed] {
            int pipeEnds[2];
            if (::pipe(pipeEnds) == 0) {
                ::close(pipeEnds[0]);
                ::dup2(pipeEnds[1], closed);
                ::close(pipeEnds[1]);
            }
        });
        cli.start(QStringLiteral(MIRELLE_CLI_PATH), {"--port", QString::fromStdString(sim.device), "--trace", "info"});
        ASSERT_TRUE(cli.waitForFinished(10000));
        EXPECT_EQ(cli.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(cli.exitCode(), 5);
        const QByteArray other = closed == STDOUT_FILENO ? cli.readAllStandardError() : cli.readAllStandardOutput();
        EXPECT_FALSE(other.contains("Aborted")) << other.toStdString();
        EXPECT_FALSE(other.contains("mirelle-cli")) << other.toStdString();
        EXPECT_EQ(RunCli(sim, {"ident"}).exitCode, 0);
    }
}

// An erase phase that never ends (a machine that stays busy, or an erase
// status that reads busy for ever) ends at --erase-timeout.
TEST(CliEndToEnd, EraseTimeoutEndsAnEraseThatNeverEnds)
{
    for (const QStringList& machine : {QStringList{"--erase-time", "5000"}, QStringList{"--erase-status", "01"}}) {
        SCOPED_TRACE(machine.join(" ").toStdString());
        SimulatorProcess sim(machine);
        ASSERT_FALSE(sim.device.empty());
        const CliRun download = RunCli(sim, {"--erase-timeout", "1", "download", kSamples + "/sample-user.tbu"});
        EXPECT_EQ(download.exitCode, 4) << download.err;
        EXPECT_EQ(download.out, "Erase timed out\n");
    }
}

}  // namespace

namespace {

// A factory line's provisioning of a blank machine, one command a step.
TEST(CliEndToEnd, ProvisionsABlankMachine)
{
    SimulatorProcess sim({"--blank", "--erase-time", "0"});
    ASSERT_FALSE(sim.device.empty());

    const CliRun factory = RunCli(sim, {"factory", kSamples + "/sample-factory.tbf"});
    EXPECT_EQ(factory.exitCode, 0) << factory.err;
    EXPECT_EQ(factory.out, "Done\n");
    EXPECT_THAT(factory.err, HasSubstr("File is ok"));
    EXPECT_EQ(RunCli(sim, {"download", kSamples + "/sample-user.tbu"}).out, "Done\n");

    // Without --yes, and no terminal to ask on: refused before anything is sent.
    const CliRun unconfirmed = RunCli(sim, {"--trace", "write-serial", "SN-0042"});
    EXPECT_EQ(unconfirmed.exitCode, 2);
    EXPECT_THAT(unconfirmed.out, HasSubstr("--yes"));
    EXPECT_THAT(unconfirmed.err, testing::Not(HasSubstr("frame")));

    EXPECT_EQ(RunCli(sim, {"--yes", "write-serial", "SN-0042"}).out, "Done\n");
    EXPECT_EQ(RunCli(sim, {"--yes", "write-name", "  Line 3 recorder "}).out, "Done\n");

    const CliRun info = RunCli(sim, {"info"});
    EXPECT_EQ(Row(info.out, "Status"), "");  // complete
    EXPECT_EQ(Row(info.out, "Serial number :"), " SN-0042");
    EXPECT_EQ(Row(info.out, "Machine name :"), "Line 3 recorder");
    EXPECT_EQ(Row(info.out, "Program 1 version :"), "V2.01 C");

    // Once only: a second write is refused after the readout, with no write sent.
    const CliRun again = RunCli(sim, {"--yes", "--trace", "write-serial", "SN-0043"});
    EXPECT_EQ(again.exitCode, 4);
    EXPECT_EQ(again.out, "Serial number is already written\n");
    EXPECT_THAT(again.err, testing::Not(HasSubstr("> frame   02 11 7E 0F 02")));
    EXPECT_THAT(again.err, HasSubstr("> frame   02 08 7E 06 04"));  // the readout ran
}

// A once-only write whose reply was lost (late, corrupted, or with surplus
// bytes after it) although the machine wrote the field: the readout after it
// tells. A write that was itself lost leaves the field blank: "No answer".
TEST(CliEndToEnd, AWriteWhoseReplyWasLostIsJudgedByTheReadoutAfter)
{
    struct Case {
        QStringList fault;  // the write is the ninth request: the identity and seven reads come first
        int exitCode;
        std::string out;
        std::string serial;  // as info shows it after
    };
    const std::string lost = "Done\nThe reply to the write was lost : Serial number reads back as written\n";
    const std::vector<Case> cases{
        {{"--late", "9:500"}, 0, lost, " SN-0042"},
        {{"--late", "9:3000"}, 0, lost, " SN-0042"},  // every readout held back behind it for 3 s
        {{"--bad-checksum", "9"}, 0, lost, " SN-0042"},
        {{"--surplus", "9:10"}, 0, "Done\n", " SN-0042"},  // the reply itself came whole
        {{"--no-answer", "9"}, 1, "No answer\n", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault.join(" ").toStdString());
        SimulatorProcess sim(c.fault);
        ASSERT_FALSE(sim.device.empty());
        const CliRun write = RunCli(sim, {"--yes", "write-serial", "SN-0042"});
        EXPECT_EQ(write.exitCode, c.exitCode) << write.err;
        EXPECT_EQ(write.out, c.out);
        EXPECT_EQ(Row(RunCli(sim, {"info"}).out, "Serial number :"), c.serial);
    }
}

// A field that holds control bytes (written by another tool, or garbage):
// info shows them escaped, never raw; --json as JSON escapes them.
TEST(CliEndToEnd, InfoShowsControlBytesOfAFieldEscaped)
{
    QTemporaryDir folder;
    const QString flash = folder.filePath("flash.bin");
    {
        SimulatorProcess sample({"--save-flash", flash});
        ASSERT_FALSE(sample.device.empty());
    }
    QFile file(flash);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    const QByteArray name("A\x1B[2J\x7F\x9B\xE9\0", 9);
    ASSERT_TRUE(file.seek(0x40 + FlashMap::FactoryData::kMachineName));
    ASSERT_EQ(file.write(name), name.size());
    file.close();

    SimulatorProcess sim({"--flash", flash});
    ASSERT_FALSE(sim.device.empty());
    const CliRun info = RunCli(sim, {"info"});
    EXPECT_EQ(info.exitCode, 0) << info.err;
    EXPECT_EQ(Row(info.out, "Machine name :"), "A\\x1B[2J\\x7F\\x9B\u00E9");

    const CliRun json = RunCli(sim, {"--json", "info"});
    EXPECT_THAT(json.out, HasSubstr(R"("machineName": "A\u001b[2J\u007f\u009b)"));
    const QJsonObject object = QJsonDocument::fromJson(QByteArray::fromStdString(json.out)).object();
    EXPECT_EQ(object["machineName"].toString(), QString::fromLatin1(name.constData()));
}

TEST(CliEndToEnd, PowerRequestsAndTheBootStream)
{
    SimulatorProcess sim({"--erase-time", "0"});
    ASSERT_FALSE(sim.device.empty());
    EXPECT_EQ(RunCli(sim, {"program-loader"}).out, "Done\n");
    const CliRun boot = RunCli(sim, {"boot", kSamples + "/sample-boot.tb"});
    EXPECT_EQ(boot.exitCode, 0) << boot.err;
    EXPECT_EQ(boot.out, "Done\n");
    EXPECT_EQ(RunCli(sim, {"power-off"}).out, "Done\n");
    const CliRun off = RunCli(sim, {"power-off"});
    EXPECT_EQ(off.exitCode, 1);
    EXPECT_EQ(off.out, "No answer\n");

    // A port that does not open streams nothing.
    const CliRun closed = RunCli({"--port", "/dev/no-such-port", "boot", kSamples + "/sample-boot.tb"});
    EXPECT_EQ(closed.exitCode, 6);
    EXPECT_EQ(closed.out, "");
    EXPECT_THAT(closed.err, HasSubstr("mirelle-cli: /dev/no-such-port: No such device"));
}

TEST_F(CliEndToEndTest, ConsoleWritesReadsMapsAndReadsBySymbol)
{
    const CliRun run = RunCli(sim, {"--symbols", kSamples + "/mainprog.tfs", "console", "100 = 0x1234", "100", "",
                                    "_x 0 map 2", "main.start"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out,
              "write _y 0x000100 = 0x001234 (4660)\n"
              "read  _y 0x000100 = 0x001234 (4660)\n"
              "read  _y 0x000100 = 0x001234 (4660)\n"
              "read  _y 0x000100 = 0x001234 (4660)\n"
              "map  _x 0x000000\n"
              " 0x000000 0x000000 0x000000 0x000000\n"
              " 0x000000 0x000000 0x000000 0x000000\n"
              "\n"
              "entry mainprog.main.start\n"
              "read  _p 0x000040 = 0x000000 (0)\n");
    EXPECT_EQ(run.err, "File loaded\n");

    // Lines from standard input, with the defaults and the last command kept.
    const CliRun piped = RunCli(sim, {"console"}, "default _x\n_y 100\n\n  \n0 = 9\n0 kill\n");
    EXPECT_EQ(piped.exitCode, 0) << piped.err;
    EXPECT_EQ(piped.out,
              "read  _y 0x000100 = 0x001234 (4660)\n"
              "read  _y 0x000100 = 0x001234 (4660)\n"
              "read  _y 0x000100 = 0x001234 (4660)\n"
              "write _x 0x000000 = 0x000009 (9)\n"
              "read  _x 0x000000 = 0x000009 (9)\n"
              "killed\n");
}

TEST_F(CliEndToEndTest, ConsoleExitCodesAndTheWindowsCommands)
{
    struct Case {
        QStringList lines;
        int exitCode;
        std::string out;
        std::string err;
    };
    const std::vector<Case> cases{
        {{"100 = 1", "bogus", "100"}, 2, "write _y 0x000100 = 0x000001 (1)\nread  _y 0x000100 = 0x000001 (1)\n"
                                         "Symbol not found\nread  _y 0x000100 = 0x000001 (1)\n", ""},
        {{"100 map 0"}, 2, "Invalid parameter\n", ""},
        {{"default"}, 2, "Syntax error\n", ""},
        {{"clear"}, 2, "", "mirelle-cli: clear belongs to the console window"},
        {{"load"}, 2, "", "--symbols FILE"},
        {{"save"}, 2, "", "redirect the standard output"},
        {{"100 peek"}, 0, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lines.join(" | ").toStdString());
        const CliRun run = RunCli(sim, QStringList{"console"} + c.lines);
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_EQ(run.out, c.out);
        EXPECT_THAT(run.err, HasSubstr(c.err));
    }

    // A symbol file that cannot be opened: no line runs; the file is named with the reason.
    const CliRun missing = RunCli(sim, {"--symbols", "/no/such/file.tfs", "console", "100 = 2"});
    EXPECT_EQ(missing.exitCode, 3);
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(missing.err, "File not loaded\nmirelle-cli: /no/such/file.tfs: No such file or directory\n");
    EXPECT_THAT(RunCli(sim, {"console", "100"}).out, HasSubstr("(1)"));

    // A full table is not loaded, but its records serve.
    QTemporaryDir folder;
    QFile full(folder.filePath("full.tfs"));
    ASSERT_TRUE(full.open(QIODevice::WriteOnly));
    for (int i = 0; i < 10000; ++i) {
        QByteArray record(112, '\0');
        const QByteArray name = "s" + QByteArray::number(i);
        record.replace(0, name.size(), name);
        record[96] = char(i & 0xFF);
        record[97] = char(i >> 8);
        full.write(record);
    }
    full.close();
    const CliRun served = RunCli(sim, {"--symbols", full.fileName(), "console", "register s9999 = 1"});
    EXPECT_EQ(served.exitCode, 0);
    EXPECT_EQ(served.err, "File not loaded\n");
    EXPECT_EQ(served.out, "..s9999\nwrite _y 0x00270F = 0x000001 (1)\n");
}

// A line of a megabyte from standard input runs cut, and the next one after it.
TEST_F(CliEndToEndTest, ConsoleRunsAnEndlessLineCutAndTheNextOne)
{
    const CliRun run = RunCli(sim, {"console"}, "100 = 5" + QByteArray(1 << 20, ' ') + "tail\n100\n");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out,
              "write _y 0x000100 = 0x000005 (5)\nread  _y 0x000100 = 0x000005 (5)\n"
              "read  _y 0x000100 = 0x000005 (5)\n");
}

TEST(CliEndToEnd, ConsoleNoAnswerOutranksTheOtherErrorsAndEveryLineRuns)
{
    SimulatorProcess sim({"--no-answer", "1"});
    ASSERT_FALSE(sim.device.empty());
    const CliRun run = RunCli(sim, {"console", "100", "bogus", "100 kill"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "No answer\nSymbol not found\nkilled\n");
}

TEST_F(CliEndToEndTest, ConsoleWatchPollsInTheTerminal)
{
    const CliRun run = RunCli(sim, {"--reads", "3", "console", "100 = 7", "100 watch 2 20", "100 watch 1 0", "100"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out,
              "write _y 0x000100 = 0x000007 (7)\nread  _y 0x000100 = 0x000007 (7)\n"
              "add to watch\n"
              "0x000007 (7)  0x000000 (0)\n0x000007 (7)  0x000000 (0)\n0x000007 (7)  0x000000 (0)\n"
              "add to watch\n"  // an interval of 0 never reads
              "read  _y 0x000100 = 0x000007 (7)\n");

    const CliRun none = RunCli(sim, {"--reads", "2", "console", "100 watch 0 10"});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_EQ(none.out, "add to watch\nNo answer\nNo answer\n");

    // Without --reads, until Ctrl-C.
    QProcess cli;
    cli.start(QStringLiteral(MIRELLE_CLI_PATH),
              {"--port", QString::fromStdString(sim.device), "console", "100 watch 1 20", "100"});
    QByteArray out;
    while (out.count('\n') < 3 && cli.waitForReadyRead(10000))
        out += cli.readAllStandardOutput();
    ASSERT_GE(out.count('\n'), 3) << out.toStdString();
    if (cli.processId() > 0)  // 0 once it has ended: a kill of 0 reaches the whole group
        ::kill(pid_t(cli.processId()), SIGINT);
    ASSERT_TRUE(cli.waitForFinished(10000));
    EXPECT_EQ(cli.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(cli.exitCode(), 5);
    out += cli.readAllStandardOutput();
    EXPECT_TRUE(out.startsWith("add to watch\n0x000007 (7)\n")) << out.toStdString();
    EXPECT_FALSE(out.contains("read")) << "the lines after an interrupted watch do not run";
}

}  // namespace

namespace {

// A settings store of its own and no MIRELLE_PORT, unless one is given.
QProcessEnvironment StationEnvironment(const QTemporaryDir& config, const QString& mirellePort = {})
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_HOME", config.path());
    environment.remove("MIRELLE_PORT");
    if (!mirellePort.isEmpty())
        environment.insert("MIRELLE_PORT", mirellePort);
    return environment;
}

TEST_F(CliEndToEndTest, APortHeldByAnotherProgramIsSaidBusy)
{
    QtPortBackend holder;
    ASSERT_TRUE(holder.Open(PortAddress::OfDevice(sim.device), LineSettings{}));
    const CliRun ident = RunCli(sim, {"ident"});
    EXPECT_EQ(ident.exitCode, 6);
    EXPECT_EQ(ident.out, "");
    EXPECT_THAT(ident.err, StartsWith("mirelle-cli: " + sim.device + ": Busy: held by "));
}

TEST_F(CliEndToEndTest, SetPortPreparesAStationThatThenReachesTheMachine)
{
    const QTemporaryDir config;
    const QProcessEnvironment station = StationEnvironment(config);
    const QString device = QString::fromStdString(sim.device);
    const CliRun refused = RunCli({"set-port", "com9", device}, {}, station);
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_THAT(refused.err, HasSubstr("com1 to com8"));

    const CliRun stored = RunCli({"set-port", "com2", device}, {}, station);
    EXPECT_EQ(stored.exitCode, 0) << stored.err;
    const CliRun shown = RunCli({"set-port"}, {}, station);
    EXPECT_EQ(shown.out, "ComPort\tcom2\nPorts/com2\t" + sim.device + "\n");
    const CliRun ident = RunCli({"ident"}, {}, station);
    EXPECT_EQ(ident.exitCode, 0) << ident.err;
    EXPECT_EQ(ident.out, "Hard ident : 4D520001, flash ident : 000122DA\n");
}

// Texts from outside (a device path given or stored, a recording from the
// field) never reach the terminal with their control characters.
TEST(CliEndToEnd, TextsFromOutsideArePrintedEscaped)
{
    const QTemporaryDir config;
    const QProcessEnvironment station = StationEnvironment(config);
    const CliRun refused = RunCli({"set-port", "com2", "/dev/tty\x1B[2J"}, {}, station);
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_THAT(refused.err, HasSubstr("'/dev/tty\\x1B[2J' is no device path: it holds control characters"));

    ASSERT_TRUE(QDir(config.path()).mkpath("Orvane"));
    QFile settings(config.filePath("Orvane/Quorvex.conf"));
    ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
    settings.write("[General]\nComPort=com3\n[Ports]\ncom3=/dev/x\x1B[2J\n");
    settings.close();
    EXPECT_EQ(RunCli({"set-port"}, {}, station).out, "ComPort\tcom3\nPorts/com3\t/dev/x\\x1B[2J\n");

    QFile recording(config.filePath("field.rec"));
    ASSERT_TRUE(recording.open(QIODevice::WriteOnly));
    recording.write("mirelle-recording 2\n10 open %1B[2J /dev/%9B1 38400 odd 1 ok\nend 1\n");
    recording.close();
    const CliRun decoded = RunCli({"decode", recording.fileName()}, {}, station);
    EXPECT_EQ(decoded.exitCode, 0);
    EXPECT_THAT(decoded.out, HasSubstr("open \\x1B[2J /dev/\\x9B1 38400 odd\n"));
    for (const std::string& out : {refused.err, decoded.out})
        EXPECT_EQ(out.find('\x1B'), std::string::npos);
}

TEST_F(CliEndToEndTest, MirellePortGivesThePortWhenNoneIsGiven)
{
    const QTemporaryDir config;
    const CliRun ident = RunCli({"ident"}, {}, StationEnvironment(config, QString::fromStdString(sim.device)));
    EXPECT_EQ(ident.exitCode, 0) << ident.err;
    EXPECT_EQ(ident.out, "Hard ident : 4D520001, flash ident : 000122DA\n");
}

TEST(CliEndToEnd, PortsListsWhatIsPresentAsTextOrJson)
{
    // What is present depends on the computer: only the form is checked.
    const CliRun text = RunCli({"ports"});
    EXPECT_EQ(text.exitCode, 0) << text.err;
    EXPECT_FALSE(text.out.empty());
    const CliRun json = RunCli({"--json", "ports"});
    EXPECT_EQ(json.exitCode, 0) << json.err;
    QJsonParseError error{};
    const QJsonObject object = QJsonDocument::fromJson(QByteArray::fromStdString(json.out), &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << json.out;
    ASSERT_TRUE(object["ports"].isArray());
    for (const QJsonValue port : object["ports"].toArray()) {
        EXPECT_TRUE(port["device"].isString());
        EXPECT_TRUE(port["portNames"].isArray());
    }
}

}  // namespace

namespace {

// --json, every command by one rule: exactly one JSON object on standard
// output, whose `result` is the result text and `exitCode` the exit code,
// with what the command found as members. One machine, the commands in turn.
TEST_F(CliEndToEndTest, EveryCommandWithJsonPrintsOneObjectWithResultAndExitCode)
{
    const QTemporaryDir config;
    const QString device = QString::fromStdString(sim.device);
    struct Case {
        QStringList arguments;  // after --port DEVICE --json
        int exitCode;
        std::string result;  // what `result` begins with
        QJsonObject members;  // some of the members, with their values
    };
    const QJsonArray consoleLines{QJsonObject{
        {"line", "100 = 1"},
        {"output", "write _y 0x000100 = 0x000001 (1)\nread  _y 0x000100 = 0x000001 (1)"},
    }};
    const std::vector<Case> cases{
        {{"--record", config.filePath("ident.rec"), "ident"}, 0, "Hard ident : 4D520001, flash ident : 000122DA",
         {{"hardIdent", 0x4D520001}, {"hardIdentHex", "4D520001"}, {"flashIdentHex", "000122DA"}}},
        {{"decode", config.filePath("ident.rec")}, 0, "Done", {}},
        {{"info"}, 0, "Done",
         {{"hardIdent", 0x4D520001}, {"hardIdentHex", "4D520001"}, {"userAreaAddressHex", "D20000"}}},
        {{"check", kSamples + "/sample-factory.tbf"}, 0, "File is ok",
         {{"kind", "factory"}, {"loaded", true}, {"flashIdentHex", "000122DA"}, {"size", 2816}}},
        {{"factory", kSamples + "/sample-factory.tbf"}, 0, "Done", {{"bytes", 2816}, {"blocks", 12}, {"erases", 2}}},
        {{"download", kSamples + "/sample-user.tbu"}, 0, "Done", {{"bytes", 1874}, {"blocks", 8}, {"erases", 4}}},
        {{"download", "--verify", kSamples + "/sample-user.tbu"}, 0, "Done", {}},
        {{"read-flash", "0xD00000", "16", config.filePath("flash.bin")}, 0, "Done", {}},
        {{"backup", config.filePath("machine.backup")}, 0, "Done", {}},
        {{"restore", "-y", config.filePath("machine.backup")}, 0, "Done", {}},
        {{"--yes", "write-serial", "SN-0042"}, 0, "Done",
         {{"field", "serialNumber"}, {"text", " SN-0042"}, {"readBack", " SN-0042"}}},
        {{"write-name", "Line 3"}, 2, "Not written : standard input is no terminal", {{"sent", false}}},
        {{"console", "100 = 1"}, 0, "Done", {{"lines", consoleLines}}},
        {{"console", "100", "bogus"}, 2, "Symbol not found", {}},
        {{"ports"}, 0, "", {}},
        {{"set-port", "com2", device}, 0, "Done",
         {{"comPort", "com2"}, {"devices", QJsonObject{{"com2", QJsonObject{{"device", device}, {"resolved", device}}}}}}},
        {{"program-loader"}, 0, "Done", {{"mode", 1}, {"acknowledged", true}}},
        {{"boot", kSamples + "/sample-boot.tb"}, 0, "Done", {{"bytes", 0x98 * 3}}},
        {{"power-off"}, 0, "Done", {{"acknowledged", true}}},
        {{"power-off"}, 1, "No answer", {{"acknowledged", false}}},
        {{"ident", "extra"}, 2, "wrong number of arguments for 'ident'", {}},
        {{"--port", "/dev/no-such-port", "ident"}, 6, "/dev/no-such-port: No such device", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(" ").toStdString());
        const CliRun run = RunCli(QStringList{"--port", device, "--json"} + c.arguments, {}, StationEnvironment(config));
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        QJsonParseError error{};
        const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(run.out), &error);
        ASSERT_EQ(error.error, QJsonParseError::NoError) << run.out;
        ASSERT_TRUE(document.isObject()) << run.out;
        const QJsonObject object = document.object();
        EXPECT_EQ(object["exitCode"].toInt(-1), run.exitCode);
        ASSERT_TRUE(object["result"].isString());
        EXPECT_THAT(object["result"].toString().toStdString(), StartsWith(c.result));
        EXPECT_FALSE(object["result"].toString().contains('\n'));  // always one line
        if (c.arguments.contains("--verify")) {
            EXPECT_EQ(object["verify"]["result"].toString(), "Verified");
        }
        for (auto member = c.members.begin(); member != c.members.end(); ++member)
            EXPECT_EQ(QJsonValue(object[member.key()]), QJsonValue(member.value()))
                << member.key().toStdString() << " in " << run.out;
    }
}

}  // namespace
