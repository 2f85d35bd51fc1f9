// mirelle-cli line as a production station runs it: each station a process
// on a mirelle-sim of its own, the pool and the records in a database of the
// test's own (SQLite, and PostgreSQL where the backend matters).
#include "production/BackendFixture.h"
#include "production/MachineHistory.h"
#include "production/ProductionDatabase.h"
#include "production/SerialNumbers.h"
#include "support/CliProcess.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <set>

#include <csignal>

using testing::HasSubstr;
using testing::Not;

namespace {

const QString kSamples = QStringLiteral(QUORVEX_SAMPLES_DIR);
const QString kCli = QStringLiteral(MIRELLE_CLI_PATH);
// SN000001 as a frame of the trace carries it.
const char* const kFirstSerialBytes = "53 4E 30 30 30 30 30 31";

// A blank machine, so that the factory image is needed; its erases quick.
QStringList BlankMachine(const QStringList& more = {})
{
    return QStringList{"--blank", "--erase-time", "5"} + more;
}

// The sample recipe on pool "line", as `change` leaves it, written into `folder` as `name`.
QString WriteRecipe(const QTemporaryDir& folder, const std::function<void(QJsonObject&)>& change = {},
                    const QString& name = "recipe.json")
{
    QJsonObject recipe{
        {"factoryImage", QJsonObject{{"file", kSamples + "/sample-factory.tbf"}, {"verify", true}}},
        {"userProgram", QJsonObject{{"file", kSamples + "/sample-user.tbu"}, {"verify", true}}},
        {"serialPool", "line"},
        {"machineName", "Line 3 {serial}"},
        {"powerOff", true},
        {"machineWithSerial", "stop"},
    };
    if (change)
        change(recipe);
    QFile file(folder.filePath(name));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(QJsonDocument(recipe).toJson());
    return file.fileName();
}

void AddPool(const DatabaseAddress& address)
{
    ProductionDatabase database(address);
    SerialNumbers(database).AddPool({.name = "line", .prefix = "SN", .first = 1, .last = 999999, .digits = 6}, "test");
}

PoolStatus PoolOf(const DatabaseAddress& address)
{
    ProductionDatabase database(address);
    return SerialNumbers(database).Status("line").front();
}

std::vector<MachineRecord> HistoryOf(const DatabaseAddress& address)
{
    ProductionDatabase database(address);
    return ReadHistory(database, {});
}

// The state of a number allocated or in doubt; nothing once decided.
std::optional<SerialState> UndecidedState(const PoolStatus& pool, const std::string& serial)
{
    for (const UndecidedSerial& undecided : pool.undecided) {
        if (undecided.serial == serial)
            return undecided.state;
    }
    return std::nullopt;
}

QJsonObject JsonOf(const QByteArray& out)
{
    return QJsonDocument::fromJson(out).object();
}

// Where the first serial number's write stands in a run of `recipe` on a
// blank machine: its ordinal among the request frames and among the program
// requests, as the simulator counts them. Read from --trace of a run whose
// erases end at once, so that no status poll more or less moves it.
struct SerialWrite {
    int frame = 0;
    int programRequest = 0;
};
SerialWrite FindSerialWrite(const QString& recipe)
{
    QTemporaryDir folder;
    DatabaseAddress address;
    address.file = folder.filePath("probe.sqlite");
    AddPool(address);
    SimulatorProcess sim({"--blank", "--erase-time", "0"});
    const CliRun run = RunCli(sim, {"line", recipe, "--database", address.file, "--trace", "--quiet"});
    EXPECT_EQ(run.exitCode, 0) << run.err << "mirelle-sim: " << sim.process.readAllStandardError().toStdString();
    SerialWrite found;
    int frames = 0;
    int programs = 0;
    for (const QString& line : QString::fromStdString(run.err).split('\n')) {
        const qsizetype at = line.indexOf("> frame");
        if (at < 0)
            continue;
        const QStringList bytes = line.mid(at + 7).split(' ', Qt::SkipEmptyParts);
        ++frames;
        if (bytes.size() > 4 && bytes[2] == "7E" && bytes[4] == "02")
            ++programs;
        if (line.contains(kFirstSerialBytes))
            return {frames, programs};
    }
    ADD_FAILURE() << "no frame carries SN000001:\n" << run.err;
    return found;
}

// Reads the process's standard error until it holds `text`; false after 30 s.
bool WaitForOnStandardError(QProcess& process, const char* text)
{
    QByteArray seen;
    process.setReadChannel(QProcess::StandardError);
    process.waitForStarted();
    for (QDeadlineTimer deadline(30000); !deadline.hasExpired() && process.state() == QProcess::Running;) {
        process.waitForReadyRead(100);
        seen += process.readAllStandardError();
        if (seen.contains(text))
            return true;
    }
    return false;
}

class LineCommandTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        address.file = folder.filePath("production.sqlite");
        AddPool(address);
        recipe = WriteRecipe(folder);
    }

    QTemporaryDir folder;
    DatabaseAddress address;
    QString recipe;
};

// Two stations on one pool, started at the same moment, each on its machine:
// two numbers, each written once, and two records.
class LineOnEachBackendTest : public BackendTest {};

TEST_P(LineOnEachBackendTest, TwoStationsTakingNumbersAtOnceGetTwoNumbers)
{
    AddPool(address);
    const QString recipe = WriteRecipe(folder);
    SimulatorProcess first(BlankMachine());
    SimulatorProcess second(BlankMachine());
    const std::array<const SimulatorProcess*, 2> machines{&first, &second};
    std::array<QProcess, 2> stations;
    for (int i = 0; i < 2; ++i) {
        ASSERT_FALSE(machines[i]->device.empty());
        stations[i].start(kCli, {"line", recipe, "--port", QString::fromStdString(machines[i]->device), "--database",
                                 address.Display(), "--station", QString("station%1").arg(i), "--json"});
    }
    std::set<QString> serials;
    for (QProcess& station : stations) {
        ASSERT_TRUE(station.waitForFinished(60000));
        const QJsonObject json = JsonOf(station.readAllStandardOutput());
        EXPECT_EQ(station.exitCode(), 0) << station.readAllStandardError().toStdString();
        EXPECT_EQ(json["result"].toString(), "Done");
        EXPECT_EQ(json["serialState"].toString(), "written");
        EXPECT_TRUE(json["recorded"].toBool());
        EXPECT_EQ(json["steps"].toArray().size(), 7);
        EXPECT_EQ(json["name"].toString(), "Line 3 " + json["serial"].toString());
        serials.insert(json["serial"].toString());
    }
    EXPECT_EQ(serials, (std::set<QString>{"SN000001", "SN000002"}));
    const std::vector<MachineRecord> history = HistoryOf(address);
    ASSERT_EQ(history.size(), 2u);
    EXPECT_NE(history[0].serial, history[1].serial);
    EXPECT_EQ(PoolOf(address).written, 2u);
}

QUORVEX_ON_EACH_BACKEND(LineOnEachBackendTest);

// A station killed while it waits for the answer to its serial number's
// write: the number, written on the machine, stays undecided and is never
// given again; the next number taken on that port puts it in doubt, and the
// machine met again makes it written, taking no number.
TEST_F(LineCommandTest, AStationKilledDuringItsSerialWriteLeavesTheNumberInDoubtUntilItsMachineIsMet)
{
    const SerialWrite write = FindSerialWrite(recipe);
    ASSERT_GT(write.frame, 0);
    const QString port = folder.filePath("port");
    const QString flash = folder.filePath("machine.bin");
    const QStringList station{"line", recipe, "--port", port, "--database", address.file, "--station", "a"};
    {
        // The write is carried out, its answer a minute late.
        SimulatorProcess machine({"--blank", "--erase-time", "0", "--late", QString("%1:60000").arg(write.frame),
                                  "--flash", flash, "--link", port});
        QProcess killed;
        killed.start(kCli, station + QStringList{"--trace", "--quiet"});
        ASSERT_TRUE(WaitForOnStandardError(killed, kFirstSerialBytes));
        killed.kill();
        ASSERT_TRUE(killed.waitForFinished());
        EXPECT_EQ(machine.Stop(), 0);  // its flash kept
    }
    EXPECT_EQ(UndecidedState(PoolOf(address), "SN000001"), SerialState::Allocated);
    {
        SimulatorProcess machine(BlankMachine({"--link", port}));
        const CliRun next = RunCli(station);
        EXPECT_EQ(next.exitCode, 0) << next.err;
        EXPECT_THAT(next.out, HasSubstr("serial number: SN000002 taken from pool line\n"));
    }
    EXPECT_EQ(UndecidedState(PoolOf(address), "SN000001"), SerialState::InDoubt);
    {
        SimulatorProcess machine({"--flash", flash, "--erase-time", "5", "--link", port});
        const CliRun met = RunCli(station);
        EXPECT_EQ(met.exitCode, 4) << met.err;
        EXPECT_THAT(met.out, HasSubstr("serial number: the machine holds SN000001 already: recorded as written; "
                                       "no number taken\n"));
    }
    const PoolStatus pool = PoolOf(address);
    EXPECT_EQ(pool.written, 2u);
    EXPECT_EQ(pool.inDoubt, 0u);
    EXPECT_EQ(pool.next, "SN000003");
    EXPECT_EQ(HistoryOf(address).back().serialBefore, "SN000001");
}

// The machine refuses the serial number's write: the number is void, listed,
// never given again.
TEST_F(LineCommandTest, AWriteTheMachineRefusesVoidsItsNumber)
{
    const SerialWrite write = FindSerialWrite(recipe);
    ASSERT_GT(write.programRequest, 0);
    SimulatorProcess machine(BlankMachine({"--program-status", QString("2:%1").arg(write.programRequest)}));
    const CliRun run = RunCli(machine, {"line", recipe, "--database", address.file});
    EXPECT_EQ(run.exitCode, 4) << run.err;
    EXPECT_THAT(run.out, HasSubstr("serial number: Bad status while programming\n"
                                   "serial number: SN000001 is void: never given again\n"));
    const PoolStatus pool = PoolOf(address);
    EXPECT_EQ(pool.voided, 1u);
    EXPECT_EQ(pool.next, "SN000002");
    const std::vector<MachineRecord> history = HistoryOf(address);
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0].serial, "");
    EXPECT_EQ(history[0].exitCode, 4);
}

// What stops a run before it starts stops it before the machine: no frame
// is sent, the port is not even opened.
TEST_F(LineCommandTest, ARunThatCannotStartTouchesNoMachine)
{
    SimulatorProcess machine(BlankMachine());
    int recipes = 0;
    const auto withRecipe = [&](const std::function<void(QJsonObject&)>& change) {
        return WriteRecipe(folder, change, QString("recipe%1.json").arg(++recipes));
    };
    struct Case {
        QString recipe;
        QString database;
        int exitCode;
        std::string err;  // a part of it
    };
    for (const Case& c : std::vector<Case>{
             {withRecipe([](QJsonObject& r) { r["powerOf"] = true; }), address.file, 2, "\"powerOf\": unknown key"},
             {withRecipe([](QJsonObject& r) { r["factoryImage"] = QJsonObject{{"file", "none.tbf"}, {"verify", true}}; }),
              address.file, 3, "none.tbf: No such file or directory"},
             {withRecipe([](QJsonObject& r) { r["serialPool"] = "other"; }), address.file, 2,
              "\"serialPool\": there is no serial number pool named other"},
             {recipe, folder.filePath("no/such/folder/production.sqlite"), 7, "cannot open the database"},
             {recipe, "postgresql://quorvex@/line?host=" + folder.path(), 7, "cannot open the database"},
         }) {
        const CliRun run = RunCli(machine, {"line", c.recipe, "--database", c.database, "--trace"});
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        EXPECT_THAT(run.err, HasSubstr(c.err));
        EXPECT_THAT(run.err, Not(HasSubstr(machine.device))) << "the port was opened";
        EXPECT_EQ(run.out, "");
    }
}


// A line of several ports: one mirelle-cli, one simulator per port.
class LineOnPortsTest : public LineCommandTest {
protected:
    // Starts one simulator per entry, each with its options; false when one did not start.
    bool StartMachines(const std::vector<QStringList>& options)
    {
        for (const QStringList& each : options) {
            machines.push_back(std::make_unique<SimulatorProcess>(each));
            if (machines.back()->device.empty())
                return false;
        }
        return true;
    }

    QStringList LineArguments(const QStringList& more = {}) const
    {
        QStringList arguments{"line", recipe, "--database", address.file};
        for (const auto& machine : machines)
            arguments << "--port" << QString::fromStdString(machine->device);
        return arguments + more;
    }

    QString Port(std::size_t index) const { return QString::fromStdString(machines[index]->device); }

    std::vector<std::unique_ptr<SimulatorProcess>> machines;
};

TEST_F(LineOnPortsTest, FourMachinesAtOnceGetFourNumbersAndFourRecords)
{
    ASSERT_TRUE(StartMachines({BlankMachine(), BlankMachine(), BlankMachine(), BlankMachine()}));
    const CliRun run = RunCli(LineArguments({"--json"}));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const QJsonObject json = JsonOf(QByteArray::fromStdString(run.out));
    EXPECT_EQ(json["result"].toString(), "Done");
    const QJsonObject ports = json["ports"].toObject();
    ASSERT_EQ(ports.size(), 4);
    std::set<QString> serials;
    for (std::size_t i = 0; i < 4; ++i) {
        const QJsonObject port = ports[Port(i)].toObject();
        EXPECT_EQ(port["result"].toString(), "Done");
        EXPECT_EQ(port["serialState"].toString(), "written");
        EXPECT_TRUE(port["recorded"].toBool());
        serials.insert(port["serial"].toString());
    }
    EXPECT_EQ(serials, (std::set<QString>{"SN000001", "SN000002", "SN000003", "SN000004"}));
    std::set<std::string> recorded;
    for (const MachineRecord& record : HistoryOf(address))
        recorded.insert(record.port + " " + record.serial);
    EXPECT_EQ(recorded.size(), 4u);
    EXPECT_EQ(PoolOf(address).written, 4u);
}

// One machine refuses its factory image's first block: that port alone
// fails, the others are made, and the run's exit code is its.
TEST_F(LineOnPortsTest, OneMachineFailingStopsNoOther)
{
    ASSERT_TRUE(StartMachines({BlankMachine(), BlankMachine({"--program-status", "2"}), BlankMachine()}));
    const CliRun run = RunCli(LineArguments());
    EXPECT_EQ(run.exitCode, 4) << run.err;
    EXPECT_THAT(run.err, HasSubstr(Port(1).toStdString() + ": factory: bad status while programming : 0x02\n"));
    EXPECT_THAT(run.out, HasSubstr("1 of 3 ports failed\n"));
    std::map<std::string, int> exitCodes;
    for (const MachineRecord& record : HistoryOf(address))
        exitCodes[record.port] = record.exitCode;
    EXPECT_EQ(exitCodes, (std::map<std::string, int>{{Port(0).toStdString(), 0}, {Port(1).toStdString(), 4},
                                                      {Port(2).toStdString(), 0}}));
    EXPECT_EQ(PoolOf(address).written, 2u);
}

// Ctrl-C while every machine erases for its factory image: each port stops
// at its next tick, each machine is recorded as aborted with the steps it
// had done, and what the cut left in it is said.
TEST_F(LineOnPortsTest, CtrlCStopsEveryPortAndRecordsEachMachine)
{
    const QStringList slowErase = {"--blank", "--erase-time", "20000"};
    ASSERT_TRUE(StartMachines({slowErase, slowErase, slowErase, slowErase}));
    QProcess cli;
    cli.start(kCli, LineArguments());
    ASSERT_TRUE(cli.waitForStarted());
    QByteArray seen;
    const auto allErasing = [&] {
        for (std::size_t i = 0; i < 4; ++i) {
            if (!seen.contains((Port(i) + ": factory: Erasing").toUtf8()))
                return false;
        }
        return true;
    };
    for (QDeadlineTimer deadline(30000); !allErasing() && !deadline.hasExpired() && cli.state() == QProcess::Running;) {
        cli.waitForReadyRead(100);
        seen += cli.readAllStandardError();
    }
    ASSERT_TRUE(allErasing()) << seen.toStdString();
    ::kill(pid_t(cli.processId()), SIGINT);
    ASSERT_TRUE(cli.waitForFinished(30000));
    EXPECT_EQ(cli.exitCode(), 5);
    const std::string out = cli.readAllStandardOutput().toStdString();
    const std::string err = (seen + cli.readAllStandardError()).toStdString();
    EXPECT_THAT(out, HasSubstr("Aborted\n"));
    EXPECT_THAT(err, HasSubstr("The factory area is now partly erased"));
    const std::vector<MachineRecord> history = HistoryOf(address);
    ASSERT_EQ(history.size(), 4u);
    for (const MachineRecord& record : history) {
        EXPECT_EQ(record.exitCode, 5) << record.port;
        ASSERT_FALSE(record.steps.empty());
        EXPECT_EQ(record.steps.back().name, "factory");
    }
    EXPECT_EQ(PoolOf(address).next, "SN000001");  // no number taken
}

}  // namespace
