// Reading flash back, and the verify of a download built on it, against the
// in-process machine model.

#include "support/ModelClock.h"
#include "support/ModelFixture.h"
#include "procedures/FlashReadBack.h"
#include "procedures/user/UserDownload.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

constexpr std::uint32_t kUserArea = 0xD20000;

std::string RunToEnd(ModelLink& m, Procedure& procedure)
{
    std::string result;
    RunProcedure(procedure, result, ModelPacedRun(m.machine));
    return procedure.ResultText();
}

TEST(FlashReadBackTest, ReadsEachRangeInRequestsOfAtMost247Bytes)
{
    ModelLink m;
    std::vector<std::uint8_t> pattern(600);
    for (std::size_t i = 0; i < pattern.size(); ++i)
        pattern[i] = std::uint8_t(i * 7);
    m.Put(kUserArea, pattern);
    m.machine.ClearRequestLog();

    FlashReadBack readBack(m.link, {{kUserArea, 600}, {kUserArea + 0x100, 3}});
    EXPECT_EQ(RunToEnd(m, readBack), "Done");
    EXPECT_EQ(readBack.Outcome(), ProcedureResult::Done);
    ASSERT_EQ(readBack.Read().size(), 2u);
    EXPECT_EQ(readBack.Read()[0].bytes, pattern);
    EXPECT_EQ(readBack.Read()[1].bytes, std::vector<std::uint8_t>(pattern.begin() + 0x100, pattern.begin() + 0x103));
    EXPECT_EQ(readBack.Work().position, 603u);

    std::vector<unsigned> counts;
    for (const auto& request : m.machine.RequestLog())
        if (request.opcode == Command::kReadFlashBlock)
            counts.push_back(request.parameters[4]);
    EXPECT_EQ(counts, (std::vector<unsigned>{247, 247, 106, 3}));
}

// A user download, then its verify: what it wrote read back, the zone table included.
TEST(FlashVerifyTest, VerifiedOrTheFirstDifferenceOrNoAnswer)
{
    struct Case {
        std::optional<Fault> fault;
        std::string text;
        ProcedureResult outcome;
    };
    const Case cases[] = {
        {std::nullopt, "Verified", ProcedureResult::Done},
        // The second block from 0xD2000F + 240: its first byte, 0x5A, reads 0x5B.
        {Fault{.kind = FaultKind::CorruptBlock, .nth = 2}, "Verify failed at 0xD200FF : wrote 0x5A, read 0x5B",
         ProcedureResult::VerifyFailed},
        // The zone table goes with the last block.
        {Fault{.kind = FaultKind::CorruptBlock, .nth = 4}, "Verify failed at 0xD20000 : wrote 0x12, read 0x13",
         ProcedureResult::VerifyFailed},
        {std::nullopt, "No answer", ProcedureResult::NoAnswer},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        ModelLink m({.eraseTime = std::chrono::milliseconds(1)});
        if (c.fault)
            m.machine.InjectFault(*c.fault);
        const UserArea area{kUserArea, 0x20000, 0x10000};
        UserDownload download(m.link, area, kUserArea + 15, std::vector<std::uint8_t>(500, 0x5A),
                              {0x12, 0x34, 0x56, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
        ASSERT_EQ(RunToEnd(m, download), "Done");
        if (c.outcome == ProcedureResult::NoAnswer)
            m.machine.InjectFault({.kind = FaultKind::NoAnswer, .nth = 2});
        FlashVerify verify(m.link, download.WrittenSegments());
        EXPECT_EQ(RunToEnd(m, verify), c.text);
        EXPECT_EQ(verify.Outcome(), c.outcome);
    }
}

}  // namespace
