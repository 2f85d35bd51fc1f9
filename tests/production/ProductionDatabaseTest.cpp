// The production database itself: its schema's versions, and a database
// that cannot take a write.
#include "production/MachineHistory.h"
#include "production/ProductionDatabase.h"
#include "production/SerialNumbers.h"
#include "BackendFixture.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using testing::HasSubstr;

namespace {

// This tool's steps and one more, as a later version of the tool has them.
std::vector<SchemaStep> StepsOfVersion2()
{
    std::vector<SchemaStep> steps(SchemaSteps().begin(), SchemaSteps().end());
    steps.push_back({2, [](ProductionDatabase& database) {
                         database.Run("adding a column", QStringLiteral("ALTER TABLE machines ADD COLUMN line TEXT"));
                     }});
    return steps;
}

class SchemaTest : public BackendTest {};
QUORVEX_ON_EACH_BACKEND(SchemaTest);

TEST_P(SchemaTest, AnOlderSchemaIsUpgradedByTheStepsAfterItsVersion)
{
    {
        ProductionDatabase database(address);
        EXPECT_EQ(database.SchemaVersion(), 1);
        SerialNumbers(database).AddPool(SerialPool{.name = "line", .prefix = "SN", .first = 1, .last = 9, .digits = 1},
                                        "office");
    }
    const std::vector<SchemaStep> steps = StepsOfVersion2();
    ProductionDatabase database(address, steps);
    EXPECT_EQ(database.SchemaVersion(), 2);
    database.Run("using the new column", QStringLiteral("SELECT line FROM machines"));
    EXPECT_TRUE(SerialNumbers(database).FindPool("line"));  // what version 1 held is kept
}

TEST_P(SchemaTest, ANewerSchemaIsRefusedSayingSo)
{
    const std::vector<SchemaStep> steps = StepsOfVersion2();
    { ProductionDatabase newer(address, steps); }
    try {
        ProductionDatabase database(address);
        FAIL() << "a newer schema was taken";
    } catch (const DatabaseFailure& failure) {
        EXPECT_THAT(failure.what(), HasSubstr("has schema version 2, newer than this tool's (1)"));
    }
}

// A SQLite file another station holds the write lock of, past the busy timeout.
class LockedDatabaseTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        address.file = folder.filePath(QStringLiteral("production.sqlite"));
        address.busyTimeout = std::chrono::milliseconds(50);
        holder = std::make_unique<ProductionDatabase>(address);
        SerialNumbers(*holder).AddPool(SerialPool{.name = "line", .prefix = "SN", .first = 1, .last = 9, .digits = 1},
                                       "office");
        database = std::make_unique<ProductionDatabase>(address);
        lock = std::make_unique<WriteTransaction>(*holder, "holding the lock");
    }

    QTemporaryDir folder;
    DatabaseAddress address;
    std::unique_ptr<ProductionDatabase> holder;
    std::unique_ptr<ProductionDatabase> database;
    std::unique_ptr<WriteTransaction> lock;
};

TEST_F(LockedDatabaseTest, ATakeThatCannotBeRecordedGivesNoNumber)
{
    EXPECT_THROW(database->ProbeWrite(), DatabaseFailure);
    EXPECT_THROW(SerialNumbers(*database).Take("line", "st1", "com1"), DatabaseFailure);
    lock.reset();
    EXPECT_EQ(SerialNumbers(*database).Take("line", "st1", "com1").serial, "SN1");
}

TEST_F(LockedDatabaseTest, ARecordTheDatabaseCannotTakeGoesToAFileBesideIt)
{
    MachineRecord record;
    record.station = "st1";
    record.port = "com1";
    record.startedAt = QDateTime(QDate(2024, 5, 1), QTime(8, 30), Qt::UTC);
    record.endedAt = record.startedAt.addSecs(95);
    record.serial = "SN1";
    record.result = "Done";
    const RecordOutcome outcome = RecordMachine(*database, record, UnrecordedFolder(address));
    EXPECT_FALSE(outcome.recorded);
    EXPECT_THAT(outcome.why, HasSubstr("database is locked"));
    EXPECT_EQ(outcome.unrecordedFile, folder.filePath(QStringLiteral("unrecorded-20240501T083135Z.json")));
    QFile file(outcome.unrecordedFile);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QJsonObject kept = QJsonDocument::fromJson(file.readAll()).object();
    EXPECT_EQ(kept.take("database").toString(), address.file);
    EXPECT_THAT(kept.take("databaseFailure").toString().toStdString(), HasSubstr("database is locked"));
    EXPECT_EQ(kept, MachineRecordJson(record));
    // A second one of the same second goes beside it, never over it.
    EXPECT_EQ(RecordMachine(*database, record, UnrecordedFolder(address)).unrecordedFile,
              folder.filePath(QStringLiteral("unrecorded-20240501T083135Z-2.json")));
}

}  // namespace
