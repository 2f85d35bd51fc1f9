// A session recorded on the line (--record), replayed by mirelle-sim --replay
// and read with decode: each program a separate process on a pseudo-terminal.
#include "samples/FileWriters.h"
#include "samples/SampleSet.h"
#include "support/CliProcess.h"
#include "support/TestFiles.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <regex>

#include <sys/resource.h>

using testing::ContainsRegex;
using testing::HasSubstr;
using testing::Not;

namespace {

const std::string kSampleUser = QUORVEX_SAMPLES_DIR "/sample-user.tbu";

// The command on a machine: the simulator started with `simulator`, then
// stopped; its standard error in `notes`.
CliRun RunOn(const QStringList& simulator, const QStringList& command, std::string* notes = nullptr)
{
    SimulatorProcess sim(simulator);
    EXPECT_FALSE(sim.device.empty()) << sim.process.readAllStandardError().toStdString();
    const CliRun run = RunCli(QStringList{"--port", QString::fromStdString(sim.device)} + command);
    sim.Stop();
    if (notes)
        *notes = sim.process.readAllStandardError().toStdString();
    return run;
}

QString Q(const std::string& text)
{
    return QString::fromStdString(text);
}

}  // namespace

TEST(RecordReplay, AReplayedDownloadEndsAsTheRecordedOne)
{
    struct Case {
        QStringList faults;
        int exitCode;
    };
    const Case cases[] = {
        {{}, 0},
        {{"--program-status", "02:3"}, 4},
        {{"--silent-from", "20"}, 1},
    };
    for (const Case& c : cases) {
        TestFiles files;
        const QString recording = Q(files.Path("field.rec"));
        const CliRun field = RunOn(QStringList{"--erase-time", "5"} + c.faults,
                                {"--record", recording, "download", Q(kSampleUser)});
        EXPECT_EQ(field.exitCode, c.exitCode) << c.faults.join(' ').toStdString() << field.out;

        std::string notes;
        const CliRun desk = RunOn({"--replay", recording}, {"download", Q(kSampleUser)}, &notes);
        EXPECT_EQ(desk.exitCode, field.exitCode) << c.faults.join(' ').toStdString();
        EXPECT_EQ(desk.out, field.out);
        EXPECT_THAT(notes, Not(HasSubstr("diverged"))) << notes;
        // A note, not an error: the replay goes on as recorded.
        EXPECT_THAT(notes, ContainsRegex("mirelle-sim: note: event [0-9]+ \\([^)]*\\): the tool set a break here; "
                                         "a pseudo-terminal carries none"));
    }
}

TEST(RecordReplay, AnotherUserProgramDivergesAtItsFirstDifferingBlock)
{
    TestFiles files;
    const QString recording = Q(files.Path("field.rec"));
    ASSERT_EQ(RunOn({"--erase-time", "5"}, {"--record", recording, "download", Q(kSampleUser)}).exitCode, 0);
    UserProgramContent other = SampleUserProgram();
    other.data[1000] ^= 0x01;  // in the fifth block of 240 bytes, from 0xD2000F + 960
    const std::string otherPath = files.Put("other.tbu", UserProgramBytes(other));

    std::string notes;
    const CliRun desk = RunOn({"--replay", recording, "--fast"}, {"download", Q(otherPath)}, &notes);
    EXPECT_EQ(desk.exitCode, 1) << desk.out;
    EXPECT_THAT(notes, HasSubstr("mirelle-sim: the session diverged from the recording at event "));
    EXPECT_THAT(notes, HasSubstr("mirelle-sim: from here on the machine is silent"));
    // Both strings are the same command for the same block: only its bytes differ.
    const auto shown = [&](const std::string& label) {
        const auto at = notes.find(label);
        const auto open = notes.find(" (", at);
        return at == std::string::npos ? "<none>" : notes.substr(open, notes.find('\n', open) - open);
    };
    EXPECT_EQ(shown("recorded: "), " (ProgramFlashBlock 0xD203CF count 240)");
    EXPECT_EQ(shown("recorded: "), shown("received: "));
}

TEST(RecordReplay, DecodeNamesEveryCommandOfAReadoutInOrder)
{
    TestFiles files;
    const QString recording = Q(files.Path("readout.rec"));
    const CliRun field = RunOn({}, {"--record", recording, "info"});
    ASSERT_EQ(field.exitCode, 0);
    QFile file(recording);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    std::vector<std::string> written;  // the requests as the recording holds them
    for (const QByteArray& line : lines) {
        if (line.contains(" write "))
            written.push_back(line.split(' ')[2].toStdString());
    }

    const CliRun decoded = RunCli({"--json", "decode", recording});
    ASSERT_EQ(decoded.exitCode, 0) << decoded.out;
    const QJsonObject document = QJsonDocument::fromJson(QByteArray::fromStdString(decoded.out)).object();
    std::vector<std::string> commands, sent;
    for (const QJsonValue line : document["exchanges"].toArray()) {
        if (line["event"] == "exchange") {
            commands.push_back(line["command"].toString().toStdString());
            sent.push_back(line["sent"].toString().toStdString());
            EXPECT_FALSE(line["failure"].toBool()) << line["text"].toString().toStdString();
        }
    }
    EXPECT_EQ(sent, written);
    ASSERT_GE(commands.size(), 3u);
    EXPECT_EQ(commands[0], "wake-up");
    EXPECT_EQ(commands[1], "ReadIdentity");
    for (std::size_t i = 2; i < commands.size(); ++i)
        EXPECT_EQ(commands[i], "ReadFlashBlock");
    EXPECT_EQ(document["summary"]["exchanges"].toInt(), int(commands.size()));
    EXPECT_TRUE(document["summary"]["firstFailure"].isNull());

    const CliRun text = RunCli({"decode", recording});
    EXPECT_THAT(text.out, HasSubstr("  ReadIdentity -> identity 4D520001 000122DA\n"));
    EXPECT_THAT(text.out, HasSubstr("first failure: none\n"));
}

// A command that never opens the port leaves the file --record names as it
// was; one that does records into it and ends it with its end line.
TEST(RecordReplay, OnlyACommandThatOpensThePortTouchesTheRecording)
{
    TestFiles files;
    const QString recording = Q(files.Put("kept.rec", {'k', 'e', 'p', 't'}));
    const QString other = Q(files.Path("other.rec"));
    ASSERT_EQ(RunOn({}, {"--record", other, "ident"}).exitCode, 0);
    for (const QStringList& command :
         {QStringList{"decode", other}, {"check", Q(kSampleUser)}, {"help"}, {"--version"}, {"--bogus", "info"},
          {"ports"}, {"set-port"}, {"info", "surplus"}}) {
        SCOPED_TRACE(command.join(' ').toStdString());
        RunCli(QStringList{"--record", recording} + command);
        QFile file(recording);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), "kept");
    }
    ASSERT_EQ(RunOn({}, {"--record", recording, "ident"}).exitCode, 0);
    QFile file(recording);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    EXPECT_TRUE(text.startsWith("mirelle-recording 2\n")) << text.toStdString();
    EXPECT_TRUE(std::regex_search(text.toStdString(), std::regex("\nend [0-9]+\n$"))) << text.toStdString();
}

// A recording that can no longer be written (here the files of the run may
// not grow past 600 bytes) leaves the run to its end and its result as it
// was, says where the recording is cut, exit code 3; decode then says it is
// cut instead of a "no answer" the machine never gave.
TEST(RecordReplay, ARecordingCutOnTheWayIsToldByTheRunAndByDecode)
{
    TestFiles files;
    const QString recording = Q(files.Path("cut.rec"));
    SimulatorProcess sim(QStringList{});
    ASSERT_FALSE(sim.device.empty());
    const std::string whole = RunCli(sim, {"info"}).out;
    const CliRun cut = RunCli(sim, {"--record", recording, "info"}, {}, [] {
        const rlimit limit{600, 600};
        setrlimit(RLIMIT_FSIZE, &limit);
        std::signal(SIGXFSZ, SIG_IGN);
    });
    EXPECT_EQ(cut.exitCode, 3);
    EXPECT_EQ(cut.out, whole);
    std::smatch events;
    const std::regex said("mirelle-cli: cannot write the recording .*cut.rec any more: File too large; it is cut "
                          "after event ([0-9]+)\n");
    ASSERT_TRUE(std::regex_search(cut.err, events, said)) << cut.err;

    const CliRun decoded = RunCli({"decode", recording});
    EXPECT_EQ(decoded.exitCode, 0) << decoded.err;
    EXPECT_THAT(decoded.out, HasSubstr("\nrecording cut after event " + events[1].str() + "\n"));
    EXPECT_THAT(decoded.out, HasSubstr("first failure: none\n"));
    EXPECT_THAT(decoded.out, Not(HasSubstr("no answer")));
}

// A recording that cannot be written stops the command before the port is
// opened (exit 3); one whose text is spoilt is decoded up to its last good
// event, and the bad line named (exit 3).
TEST(RecordReplay, AnUnwritableRecordingStopsTheRunAndASpoiltOneIsReadUpToItsFault)
{
    TestFiles files;
    const QString unwritable = Q(files.Path("none/field.rec"));
    const CliRun refused = RunOn({}, {"--record", unwritable, "info"});
    EXPECT_EQ(refused.exitCode, 3);
    EXPECT_EQ(refused.out, "");
    EXPECT_EQ(refused.err, "mirelle-cli: cannot write the recording " + unwritable.toStdString()
                               + ": No such file or directory\n");

    const std::string text = "mirelle-recording 2\n10 write 80A203\n20 read 1 04\n30 tickle\n";
    const QString spoilt = Q(files.Put("spoilt.rec", FileBytes(text.begin(), text.end())));
    const CliRun decoded = RunCli({"decode", spoilt});
    EXPECT_EQ(decoded.exitCode, 3);
    EXPECT_THAT(decoded.out, HasSubstr("wake-up 80A2 -> ack\n"));
    EXPECT_THAT(decoded.err, HasSubstr("spoilt.rec: line 4: unknown event 'tickle'\n"));
}
