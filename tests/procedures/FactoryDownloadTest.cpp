// The factory download against the machine model: where it erases and
// writes, and how it ends. What it shares with the user download is tested
// there.

#include "procedures/RunProcedure.h"
#include "procedures/factory/FactoryDownload.h"
#include "procedures/user/UserDownload.h"
#include "support/ModelClock.h"
#include "support/ModelFixture.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::uint8_t> Image(std::size_t size)
{
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = std::uint8_t(i * 13 + 7);
    return bytes;
}

// The programming requests of one tick: address and count of each.
std::vector<std::pair<std::uint32_t, unsigned>> Programmed(MachineModel& machine)
{
    std::vector<std::pair<std::uint32_t, unsigned>> blocks;
    for (const auto& r : machine.RequestLog())
        if (r.opcode == Command::kProgramFlashBlock)
            blocks.emplace_back(std::uint32_t(r.parameters[0]) << 24 | std::uint32_t(r.parameters[1]) << 16
                                    | std::uint32_t(r.parameters[2]) << 8 | r.parameters[3],
                                r.parameters[4]);
    machine.ClearRequestLog();
    return blocks;
}

TEST(FactoryDownload, ErasesTheListThenWritesFrom0xD00000In240ByteBlocks)
{
    ModelLink m;
    const auto image = Image(500);
    FactoryDownload download(m.link, {0xD00000, 0xD10000}, image);
    EXPECT_STREQ(download.StatusText(), "Erasing...");
    for (int tick = 0; tick < 1000 && download.CurrentPhase() == FactoryDownload::Phase::Erasing; ++tick)
        download.Tick();
    EXPECT_STREQ(download.StatusText(), "Programming...");
    m.machine.ClearRequestLog();
    using Blocks = std::vector<std::pair<std::uint32_t, unsigned>>;
    const std::vector<Blocks> expected{{{0xD00000, 240}}, {{0xD000F0, 240}}, {{0xD001E0, 20}}, {}};
    for (const auto& blocks : expected) {
        download.Tick();
        EXPECT_EQ(Programmed(m.machine), blocks);
    }
    EXPECT_EQ(download.ResultText(), "Done");
    EXPECT_STREQ(download.StatusText(), "Stanby");
    EXPECT_EQ(m.machine.ReadFlash(0xD00000, 500), image);
}

TEST(FactoryDownload, WithoutEraseVectorsOrImage)
{
    ModelLink m;
    FactoryDownload noErase(m.link, {}, Image(10));
    EXPECT_STREQ(noErase.StatusText(), "Programming (No erase)...");
    noErase.Tick();
    EXPECT_EQ(Programmed(m.machine), (std::vector<std::pair<std::uint32_t, unsigned>>{{0xD00000, 10}}));

    FactoryDownload empty(m.link, {}, {});
    empty.Tick();
    EXPECT_EQ(empty.ResultText(), "Done");
    EXPECT_TRUE(Programmed(m.machine).empty());
}

TEST(FactoryDownload, EndlessBusyPollsEndOnlyByAbortAndStatusesShowInHex)
{
    MachineConfig config;
    config.eraseTime = std::chrono::hours(1);
    ModelLink m(config);
    FactoryDownload busy(m.link, {0xD00000}, Image(10));
    for (int tick = 0; tick < 200; ++tick)
        busy.Tick();
    EXPECT_FALSE(busy.IsFinished());
    busy.Abort();
    busy.Tick();
    EXPECT_EQ(busy.ResultText(), "Aborted");

    ModelLink fast;
    fast.machine.InjectFault({.kind = FaultKind::ProgramStatus, .nth = 1, .status = 5});
    FactoryDownload bad(fast.link, {}, Image(10));
    bad.Tick();
    EXPECT_EQ(bad.Outcome(), ProcedureResult::ProgramStatus);
    EXPECT_EQ(bad.ResultText(), "bad status while programming : 0x05");
}

// A run with a bound on its erase phase ends a download whose erase never
// ends: a machine that stays busy, and a user area erased in steps of 0.
TEST(FactoryDownload, ARunsEraseTimeoutEndsAnEraseThatNeverEnds)
{
    struct Case {
        const char* what;
        std::chrono::milliseconds eraseTime;
        std::function<std::unique_ptr<Procedure>(DeviceLink&)> start;
    };
    const std::vector<Case> cases{
        {"busy for an hour", std::chrono::hours(1),
         [](DeviceLink& link) { return std::make_unique<FactoryDownload>(link, std::vector<std::uint32_t>{0xD00000}, Image(10)); }},
        {"erase step 0", std::chrono::milliseconds(200),
         [](DeviceLink& link) { return std::make_unique<UserDownload>(link, UserArea{0xD20000, 0x20000, 0}, 0xD20010, Image(10), Image(4)); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MachineConfig config;
        config.eraseTime = c.eraseTime;
        ModelLink m(config);
        const auto download = c.start(m.link);
        ProcedureRun run = ModelPacedRun(m.machine);
        run.eraseTimeout = std::chrono::seconds(5);
        std::string resultText;
        const auto started = m.machine.Now();
        EXPECT_EQ(RunProcedure(*download, resultText, run), ProcedureResult::EraseTimedOut);
        EXPECT_EQ(resultText, "Erase timed out");
        EXPECT_GE(m.machine.Now() - started, std::chrono::seconds(5));
        EXPECT_LT(m.machine.Now() - started, std::chrono::seconds(6));
        m.machine.ClearRequestLog();
        download->Tick();
        EXPECT_TRUE(m.machine.RequestLog().empty()) << "nothing more is sent";
    }
}

}  // namespace
