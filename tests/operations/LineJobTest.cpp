// A production station's run of a recipe (RunLine) on the in-process machine
// model, with a SQLite database of the test's own: what it decides where a
// run meets a machine that holds a serial number, and where the database is
// lost under way.
#include "operations/BlockingRunner.h"
#include "operations/machine/MachineControls.h"
#include "operations/production/LineJob.h"
#include "operations/readout/MachineInfo.h"
#include "operations/readout/MachinePanel.h"
#include "production/ProductionDatabase.h"
#include "production/Recipe.h"
#include "production/SerialNumbers.h"
#include "samples/SampleSet.h"
#include "support/ModelClock.h"
#include "support/ModelFixture.h"
#include "support/ScriptedPrompts.h"

#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

using testing::ElementsAreArray;
using testing::HasSubstr;

namespace {

// What a run told, and a hook at the end of each procedure.
struct Told final : JobObserver {
    void Result(const std::string& line) override { results.push_back(line); }
    void Problem(const std::string& line) override { problems.push_back(line); }
    void StepEnded(const StepOutcome& step) override
    {
        if (afterStep)
            afterStep(step);
    }

    std::vector<std::string> results;
    std::vector<std::string> problems;
    std::function<void(const StepOutcome&)> afterStep;
};

std::vector<std::string> StepNames(const MachineRecord& record)
{
    std::vector<std::string> names;
    for (const MachineStep& step : record.steps)
        names.push_back(step.name);
    return names;
}

// A blank machine on the model, the sample recipe on pool "line" of a SQLite
// file in a folder of the test's own.
class LineJobTest : public testing::Test {
protected:
    LineJobTest() : m({.eraseTime = std::chrono::milliseconds(1)}), runner(ModelPacedRun(m.machine), {})
    {
        EXPECT_TRUE(folder.isValid());
        address.file = folder.filePath("production.sqlite");
        address.busyTimeout = std::chrono::milliseconds(100);
        database.emplace(address);
        numbers.emplace(*database);
        numbers->AddPool({.name = "line", .prefix = "SN", .first = 1, .last = 999999, .digits = 6}, "test");
        recipe = LoadRecipe(QStringLiteral(QUORVEX_SAMPLES_DIR "/sample-recipe.json").toStdString());
        recipe.serialPool = "line";
    }

    LineOutcome Run()
    {
        return RunLine({.link = m.link, .info = info, .runner = runner, .observer = told, .prompts = prompts}, recipe,
                       {.name = "st", .database = *database});
    }

    // The machine with the sample factory data, holding serial number `serial`.
    void MachineHolding(const std::string& serial)
    {
        const auto factory = SampleFactoryImage();
        ASSERT_TRUE(m.machine.ApplyImage(factory.eraseVectors, SampleLayout::kFactoryBase, factory.image));
        MachineInfo read;
        ReadMachineInfo(m.link, read);
        const FieldWrite write = OnceOnlyWrite(OnceOnlyField::SerialNumber, QString::fromStdString(serial));
        m.Put(read.factoryDataAddress + write.offset, write.bytes);
    }

    PoolStatus Pool() { return numbers->Status("line").front(); }

    QTemporaryDir folder;
    DatabaseAddress address;
    std::optional<ProductionDatabase> database;
    std::optional<SerialNumbers> numbers;
    ModelLink m;
    MachineInfo info;
    BlockingRunner runner;
    Told told;
    ScriptedPrompts prompts;
    Recipe recipe;
};

// A machine that holds a serial number takes none; the number, in doubt
// until now, is written. The recipe says whether the run stops there or goes
// on, without the factory image that would erase the number, and names the
// machine after the number it holds.
TEST_F(LineJobTest, AMachineHoldingASerialNumberTakesNoneAndStopsOrGoesOnAsTheRecipeSays)
{
    struct Case {
        MachineWithSerial withSerial;
        JobEnd end;
        std::vector<std::string> steps;
        bool named;  // after the number the machine holds
    };
    for (const Case& c : std::vector<Case>{
             {MachineWithSerial::Stop, JobEnd::MachineRefused, {"serial number"}, false},
             {MachineWithSerial::Record, JobEnd::Done,
              {"factory", "download", "download verify", "machine name", "power off"}, true},
         }) {
        SCOPED_TRACE(int(c.withSerial));
        m.machine.EraseAllFlash();
        m.machine.PowerOn();
        told = {};
        const TakenSerial taken = numbers->Take("line", "killed", "com1");
        ASSERT_TRUE(numbers->RecordOutcome(taken.serial, SerialOutcome::InDoubt));
        MachineHolding(taken.serial);
        recipe.machineWithSerial = c.withSerial;

        const LineOutcome outcome = Run();
        EXPECT_EQ(outcome.end, c.end) << outcome.result;
        EXPECT_EQ(outcome.record.serialBefore, taken.serial);
        EXPECT_THAT(StepNames(outcome.record), ElementsAreArray(c.steps));
        EXPECT_EQ(outcome.record.name, c.named ? "Line 3 " + taken.serial : "");
        EXPECT_EQ(outcome.record.serial, "");
        EXPECT_TRUE(outcome.recording.recorded) << outcome.recording.why;
        EXPECT_THAT(told.results, testing::Contains("serial number: the machine holds " + taken.serial
                                                    + " already: recorded as written; no number taken"));
        const PoolStatus pool = Pool();
        EXPECT_EQ(pool.inDoubt, 0u);
        EXPECT_EQ(pool.next, SerialText({.name = "line", .prefix = "SN", .first = 1, .last = 999999, .digits = 6},
                                        taken.number + 1));
    }
    EXPECT_EQ(Pool().written, 2u);
    EXPECT_TRUE(prompts.asked.empty());  // the recipe is the confirmation
}

// The database lost under way: the step under way ends, the run stops there
// without taking a number, and its record goes to a file beside the database.
TEST_F(LineJobTest, ADatabaseLostUnderWayStopsTheRunAfterItsStepAndKeepsTheRecordInAFile)
{
    std::optional<ProductionDatabase> other;
    std::optional<WriteTransaction> lock;
    told.afterStep = [&](const StepOutcome& step) {
        if (step.kind == StepKind::FactoryDownload && !lock) {
            other.emplace(address);
            lock.emplace(*other, "holding the database");
        }
    };

    const LineOutcome outcome = Run();
    lock.reset();
    EXPECT_EQ(outcome.end, JobEnd::DatabaseFailed);
    EXPECT_THAT(StepNames(outcome.record), ElementsAreArray({"factory", "factory verify"}));
    EXPECT_EQ(outcome.record.result, "Stopped : the production database failed");
    EXPECT_EQ(outcome.record.exitCode, 7);
    EXPECT_FALSE(outcome.serial);
    ASSERT_FALSE(outcome.recording.recorded);
    EXPECT_EQ(QFileInfo(outcome.recording.unrecordedFile).dir(), QDir(folder.path()));
    EXPECT_THAT(told.results.back(), HasSubstr("Not recorded : the record is in " + folder.path().toStdString()));
    EXPECT_THAT(told.problems.front(), HasSubstr("database is locked"));

    QFile file(outcome.recording.unrecordedFile);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QJsonObject kept = QJsonDocument::fromJson(file.readAll()).object();
    EXPECT_EQ(kept["steps"].toArray().size(), 2);
    EXPECT_EQ(kept["exitCode"].toInt(), 7);
    EXPECT_EQ(kept["database"].toString(), address.file);
    EXPECT_EQ(Pool().next, "SN000001");
    EXPECT_EQ(Pool().allocated, 0u);
}

}  // namespace
