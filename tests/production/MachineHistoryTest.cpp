// The record of every machine made, on each backend.
#include "production/MachineHistory.h"
#include "production/ProductionDatabase.h"
#include "BackendFixture.h"

#include <gtest/gtest.h>

namespace {

MachineRecord Record(const std::string& station, const std::string& serial, const QDateTime& startedAt)
{
    MachineRecord record;
    record.station = station;
    record.port = "/dev/ttyUSB0";
    record.startedAt = startedAt;
    record.endedAt = startedAt.addMSecs(61234);
    record.recipe = "/srv/recipes/line3.json";
    record.recipeSha256 = std::string(64, 'a');
    record.hardIdent = 0x4D520001;
    record.flashIdent = 0x000122DA;
    record.hardwareVersion = std::nullopt;  // not read
    record.nameBefore = "Ancien nom é";
    record.steps = {{"factory", "Done", 0, 20100}, {"factory verify", "Verified", 0, 19800},
                    {"serial number", "Done", 0, 310}};
    record.factoryImage = {"/srv/recipes/line3.tbf", std::string(64, 'b')};
    record.userProgram = {"/srv/recipes/line3.tbu", std::string(64, 'c')};
    record.serialPool = "line3";
    record.serial = serial;
    record.name = "Line 3 " + serial;
    record.versionsAfter = {{"Main boot version :", "V2.00 A"}, {"Program 1 version :", "V2.01 C"}};
    record.result = "Done";
    record.exitCode = 0;
    return record;
}

class MachineHistoryTest : public BackendTest {};
QUORVEX_ON_EACH_BACKEND(MachineHistoryTest);

TEST_P(MachineHistoryTest, ARecordReadsBackWhole)
{
    ProductionDatabase database(address);
    const MachineRecord record = Record("st1", "SN000042", QDateTime(QDate(2024, 5, 1), QTime(8, 30, 0, 125), Qt::UTC));
    ASSERT_TRUE(RecordMachine(database, record, folder.path()).recorded);
    const std::vector<MachineRecord> history = ReadHistory(database, {});
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0], record);
    EXPECT_EQ(MachineRecordJson(history[0])["durationMs"].toInteger(), 61234);
}

TEST_P(MachineHistoryTest, TheFiltersPickBySerialStationAndStart)
{
    ProductionDatabase database(address);
    const QDateTime may1(QDate(2024, 5, 1), QTime(8, 0), Qt::UTC);
    for (const MachineRecord& record : {Record("st1", "SN01", may1), Record("st2", "SN02", may1.addDays(1)),
                                        Record("st1", "SN03", may1.addDays(2))})
        ASSERT_TRUE(RecordMachine(database, record, folder.path()).recorded);
    MachineRecord found = Record("st2", "", may1.addDays(3));
    found.serialBefore = "SN01";  // met again, already numbered
    ASSERT_TRUE(RecordMachine(database, found, folder.path()).recorded);

    struct Case {
        HistoryFilter filter;
        std::vector<std::string> startDays;  // the records found, by their day of May
    };
    const auto day = [&](const MachineRecord& record) {
        return std::to_string(record.startedAt.date().day());
    };
    for (const Case& c : std::vector<Case>{
             {{}, {"1", "2", "3", "4"}},
             {{.serial = "SN01", .station = {}, .since = {}}, {"1", "4"}},
             {{.serial = {}, .station = "st1", .since = {}}, {"1", "3"}},
             {{.serial = {}, .station = {}, .since = may1.addDays(2)}, {"3", "4"}},
             {{.serial = {}, .station = "st2", .since = may1.addSecs(1)}, {"2", "4"}},
         }) {
        std::vector<std::string> days;
        for (const MachineRecord& record : ReadHistory(database, c.filter))
            days.push_back(day(record));
        EXPECT_EQ(days, c.startDays);
    }
}

}  // namespace
