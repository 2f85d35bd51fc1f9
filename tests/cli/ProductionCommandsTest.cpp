// mirelle-cli's commands of the production station, as a script runs them:
// their exit codes and what they print, on a database of the test's own.
#include "production/MachineHistory.h"
#include "production/ProductionDatabase.h"
#include "support/CliProcess.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using testing::HasSubstr;
using testing::StartsWith;

namespace {

QJsonObject JsonOf(const CliRun& run)
{
    return QJsonDocument::fromJson(QByteArray::fromStdString(run.out)).object();
}

class ProductionCommandsTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(folder.isValid()); }

    CliRun Cli(QStringList arguments)
    {
        return RunCli(QStringList{"--database", database} + arguments);
    }

    QTemporaryDir folder;
    QString database = folder.filePath("production.sqlite");
};

// A database that cannot be reached ends the command before anything else:
// exit 7 and one line naming the database and why; with --json one object.
TEST_F(ProductionCommandsTest, ADatabaseThatCannotBeReachedIsExit7WithItsLine)
{
    QFile file(folder.filePath("file"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    const QString noFolder = folder.filePath("no/such/folder/production.sqlite");
    const QString underAFile = folder.filePath("file/production.sqlite");
    const QString noServer = "postgresql://quorvex@/line?host=" + folder.path();
    struct Case {
        QStringList arguments;
        std::string line;  // what standard error begins with
    };
    for (const Case& c : std::vector<Case>{
             {{"--database", noFolder, "serials", "status"},
              "mirelle-cli: cannot open the database " + noFolder.toStdString() + ": unable to open database file\n"},
             {{"--database", underAFile, "history"},
              "mirelle-cli: cannot open the database " + underAFile.toStdString() + ": unable to open database file\n"},
             {{"--database", noServer, "serials", "add", "line", "--first", "1", "--last", "9", "--digits", "1"},
              "mirelle-cli: cannot open the database " + noServer.toStdString() + ": "},
         }) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const CliRun plain = RunCli(c.arguments);
        EXPECT_EQ(plain.exitCode, 7);
        EXPECT_EQ(plain.out, "");
        EXPECT_THAT(plain.err, StartsWith(c.line));
        EXPECT_EQ(std::count(plain.err.begin(), plain.err.end(), '\n'), 1);
        const CliRun json = RunCli(c.arguments + QStringList{"--json"});
        EXPECT_EQ(json.exitCode, 7);
        EXPECT_EQ(JsonOf(json)["exitCode"].toInt(), 7);
        EXPECT_THAT(JsonOf(json)["result"].toString().toStdString(), StartsWith(c.line.substr(13, 30)));
    }
}

TEST_F(ProductionCommandsTest, PoolsAreAddedRefusedAndShown)
{
    const CliRun add = Cli({"serials", "add", "line3", "--prefix", "SN", "--first", "1", "--last", "999999",
                            "--digits", "6"});
    EXPECT_EQ(add.exitCode, 0) << add.err;
    EXPECT_EQ(add.out, "Pool line3 added: SN000001 .. SN999999, 999999 numbers\n");

    struct Case {
        QStringList arguments;
        int exitCode;
        std::string err;  // a part of it
    };
    for (const Case& c : std::vector<Case>{
             {{"serials", "add", "spare", "--prefix", "SN0", "--first", "0", "--last", "9", "--digits", "5"}, 2,
              "pool spare could give serial numbers that pool line3 gives"},
             {{"serials", "add", "long", "--prefix", "SN-", "--first", "1", "--last", "9", "--digits", "6"}, 2,
              "make 9 characters; a serial number holds 8"},
             {{"serials", "add", "spare", "--first", "1", "--last", "9"}, 2, "serials add needs --digits"},
             {{"serials", "status", "nosuch"}, 2, "there is no serial number pool named nosuch"},
             {{"serials", "list"}, 2, "unknown serials command 'list'"},
         }) {
        const CliRun run = Cli(c.arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.arguments.join(' ').toStdString();
        EXPECT_THAT(run.err, HasSubstr(c.err));
    }

    const CliRun status = Cli({"serials", "status"});
    EXPECT_EQ(status.exitCode, 0) << status.err;
    EXPECT_EQ(status.out, "Pool line3: SN000001 .. SN999999, next SN000001 (999999 left)\n"
                          "  allocated 0, written 0, void 0, in doubt 0\n");
    const QJsonObject json = JsonOf(Cli({"serials", "status", "line3", "--json"}));
    EXPECT_EQ(json["exitCode"].toInt(), 0);
    EXPECT_EQ(json["pools"][0]["next"].toString(), "SN000001");
    EXPECT_EQ(json["pools"][0]["inDoubt"].toInt(), 0);
}

TEST_F(ProductionCommandsTest, HistoryAsLinesCsvAndJson)
{
    {
        DatabaseAddress address;
        address.file = database;
        ProductionDatabase production(address);
        MachineRecord record;
        record.station = "st1";
        record.port = "com1";
        record.startedAt = QDateTime(QDate(2024, 5, 1), QTime(8, 30), Qt::UTC);
        record.endedAt = record.startedAt.addSecs(90);
        record.serial = "SN000042";
        record.name = "Line 3, SN000042";
        record.result = "Done";
        ASSERT_TRUE(RecordMachine(production, record, folder.path()).recorded);
    }
    const CliRun lines = Cli({"history"});
    EXPECT_EQ(lines.exitCode, 0) << lines.err;
    EXPECT_EQ(lines.out, "2024-05-01T08:30:00.000Z\tst1\tcom1\tSN000042\tLine 3, SN000042\tDone\t0\n");

    const CliRun csv = Cli({"history", "--csv", "--serial", "SN000042"});
    EXPECT_THAT(csv.out, StartsWith("startedAt,endedAt,durationMs,station,port,"));
    EXPECT_THAT(csv.out, HasSubstr("\n2024-05-01T08:30:00.000Z,2024-05-01T08:31:30.000Z,90000,st1,com1,"));
    EXPECT_THAT(csv.out, HasSubstr(",SN000042,\"Line 3, SN000042\","));

    const QJsonObject json = JsonOf(Cli({"history", "--json", "--since", "2024-05-01T08:30Z"}));
    EXPECT_EQ(json["machines"].toArray().size(), 1);
    EXPECT_EQ(json["machines"][0]["durationMs"].toInteger(), 90000);
    EXPECT_EQ(JsonOf(Cli({"history", "--json", "--station", "st2"}))["result"].toString(), "No machine recorded");
    EXPECT_EQ(Cli({"history", "--csv", "--json"}).exitCode, 2);
    EXPECT_EQ(Cli({"history", "--since", "May 1st"}).exitCode, 2);
}

// Without --database, the station's own file in the user's data folder.
TEST_F(ProductionCommandsTest, WithoutDatabaseTheStationsOwnFileIsUsed)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_DATA_HOME", folder.path());
    const CliRun run = RunCli({"serials", "status"}, {}, environment);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "No serial number pool\n");
    EXPECT_TRUE(QFile::exists(folder.filePath("Orvane/Quorvex/production.sqlite")));
}

}  // namespace
