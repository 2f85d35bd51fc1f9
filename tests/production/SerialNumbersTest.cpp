// Serial numbers on each backend: never given twice, whatever became of them.
#include "production/ProductionDatabase.h"
#include "production/SerialNumbers.h"
#include "BackendFixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <latch>
#include <set>
#include <thread>

using testing::HasSubstr;

namespace {

SerialPool Pool(std::string name, std::string prefix, std::uint32_t first, std::uint32_t last, int digits)
{
    return SerialPool{.name = std::move(name), .prefix = std::move(prefix), .first = first, .last = last, .digits = digits};
}

class SerialNumbersTest : public BackendTest {
protected:
    // A pool "line": SN01 .. SN99.
    void AddLinePool()
    {
        ProductionDatabase database(address);
        SerialNumbers(database).AddPool(Pool("line", "SN", 1, 99, 2), "office");
    }

    PoolStatus LineStatus()
    {
        ProductionDatabase database(address);
        return SerialNumbers(database).Status("line").at(0);
    }
};
QUORVEX_ON_EACH_BACKEND(SerialNumbersTest);

// Several stations (here threads, each with its connection) taking at the
// same moment get distinct numbers, and together the first ones of the pool.
TEST_P(SerialNumbersTest, TakesAtTheSameMomentAreDistinct)
{
    {
        ProductionDatabase database(address);
        SerialNumbers(database).AddPool(Pool("line", "SN", 1, 999999, 6), "office");
    }
    constexpr int kStations = 4;
    constexpr int kTakes = 25;
    std::vector<std::vector<std::string>> taken(kStations);
    std::vector<std::string> failures(kStations);
    std::latch ready(kStations);
    std::vector<std::thread> stations;
    for (int station = 0; station < kStations; ++station) {
        stations.emplace_back([&, station] {
            try {
                ProductionDatabase database(address);
                SerialNumbers numbers(database);
                ready.arrive_and_wait();
                for (int take = 0; take < kTakes; ++take)
                    taken[station].push_back(numbers.Take("line", "station" + std::to_string(station), "com1").serial);
            } catch (const std::exception& error) {
                failures[station] = error.what();
            }
        });
    }
    for (std::thread& station : stations)
        station.join();
    std::set<std::string> distinct;
    for (int station = 0; station < kStations; ++station) {
        EXPECT_EQ(failures[station], "");
        distinct.insert(taken[station].begin(), taken[station].end());
    }
    EXPECT_EQ(distinct.size(), std::size_t(kStations * kTakes));
    EXPECT_EQ(*distinct.begin(), "SN000001");
    EXPECT_EQ(*distinct.rbegin(), "SN000100");
    EXPECT_EQ(LineStatus().next, "SN000101");
}

// A run that ended without recording its number's outcome leaves it in
// doubt once the port takes the next; it is never given again, and becomes
// written when a run meets a machine that holds it.
TEST_P(SerialNumbersTest, ANumberInDoubtIsNeverGivenAgainAndIsWrittenWhenMet)
{
    AddLinePool();
    ProductionDatabase database(address);
    SerialNumbers numbers(database);
    EXPECT_EQ(numbers.Take("line", "st1", "com1").serial, "SN01");  // its station was killed
    EXPECT_EQ(numbers.Take("line", "st1", "com1").serial, "SN02");
    EXPECT_TRUE(numbers.RecordOutcome("SN02", SerialOutcome::Written));

    PoolStatus status = LineStatus();
    EXPECT_EQ(status.inDoubt, 1u);
    ASSERT_EQ(status.undecided.size(), 1u);
    EXPECT_EQ(status.undecided[0].serial, "SN01");
    EXPECT_EQ(status.undecided[0].state, SerialState::InDoubt);
    EXPECT_EQ(status.undecided[0].station, "st1");
    EXPECT_EQ(status.undecided[0].port, "com1");

    EXPECT_EQ(numbers.Take("line", "st2", "com1").serial, "SN03");
    EXPECT_EQ(numbers.MarkMetOnMachine("SN01"), SerialState::InDoubt);
    EXPECT_EQ(numbers.MarkMetOnMachine("XY01"), std::nullopt);  // not from this database
    status = LineStatus();
    EXPECT_EQ(status.inDoubt, 0u);
    EXPECT_EQ(status.written, 2u);
    EXPECT_EQ(status.allocated, 1u);  // SN03, under way
}

TEST_P(SerialNumbersTest, AVoidNumberIsNeverGivenAgain)
{
    AddLinePool();
    ProductionDatabase database(address);
    SerialNumbers numbers(database);
    EXPECT_EQ(numbers.Take("line", "st1", "com1").serial, "SN01");
    EXPECT_TRUE(numbers.RecordOutcome("SN01", SerialOutcome::Void));
    EXPECT_FALSE(numbers.RecordOutcome("SN01", SerialOutcome::Written));  // decided already
    EXPECT_EQ(numbers.Take("line", "st1", "com1").serial, "SN02");
    const PoolStatus status = LineStatus();
    EXPECT_EQ(status.voided, 1u);
    EXPECT_EQ(status.next, "SN03");
}

TEST_P(SerialNumbersTest, AUsedUpPoolGivesNoNumber)
{
    ProductionDatabase database(address);
    SerialNumbers numbers(database);
    numbers.AddPool(Pool("short", "T", 1, 2, 1), "office");
    numbers.Take("short", "st1", "com1");
    numbers.Take("short", "st1", "com1");
    EXPECT_THROW(numbers.Take("short", "st1", "com1"), PoolRefused);
    EXPECT_THROW(numbers.Take("nosuch", "st1", "com1"), PoolRefused);
    EXPECT_EQ(numbers.Status("short").at(0).next, std::nullopt);
}

TEST_P(SerialNumbersTest, APoolThatWouldOverlapAnotherOrTakeItsNameIsRefused)
{
    ProductionDatabase database(address);
    SerialNumbers numbers(database);
    numbers.AddPool(Pool("line", "SN", 1, 999999, 6), "office");
    try {
        numbers.AddPool(Pool("spare", "SN0", 0, 99999, 5), "office");
        FAIL() << "an overlapping pool was added";
    } catch (const PoolRefused& refused) {
        EXPECT_THAT(refused.what(), HasSubstr("pool line gives (SN000001 .. SN999999)"));
    }
    EXPECT_THROW(numbers.AddPool(Pool("line", "XY", 1, 9, 1), "office"), PoolRefused);
    numbers.AddPool(Pool("spare", "SP", 1, 99, 6), "office");
    const std::vector<PoolStatus> pools = numbers.Status();
    ASSERT_EQ(pools.size(), 2u);
    EXPECT_EQ(pools[0].pool.prefix, "SN");
    EXPECT_EQ(pools[1].pool.name, "spare");
}

}  // namespace
