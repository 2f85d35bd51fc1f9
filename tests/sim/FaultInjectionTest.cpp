// Faults injected into the model reach the link as the states it keeps for
// a real machine that misbehaves.
#include "support/ModelFixture.h"

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

namespace {

bool Identity(ModelLink& m)
{
    std::uint32_t hard = 0, flash = 0;
    return m.link.ReadIdentity(hard, flash);
}

}  // namespace

TEST(ModelFaults, ALostRequestIsNeitherAnsweredNorCarriedOut)
{
    ModelLink m;
    m.machine.InjectFault({.kind = FaultKind::NoAnswer, .nth = 2});
    ASSERT_TRUE(Identity(m));
    const Bytes zeros(4, 0);
    std::uint8_t status = 0;
    EXPECT_FALSE(m.link.ProgramFlashBlock(0xD00000, 4, zeros.data(), status));
    EXPECT_EQ(m.link.State(), LinkState::NoAnswer);
    EXPECT_EQ(m.machine.ReadFlash(0xD00000, 4), Bytes(4, 0xFF));
    // The next command wakes the machine again and goes through.
    EXPECT_TRUE(m.link.ProgramFlashBlock(0xD00000, 4, zeros.data(), status));
    EXPECT_EQ(m.link.State(), LinkState::Ready);
    EXPECT_EQ(m.machine.RequestCount(), 3u);
}

TEST(ModelFaults, ACorruptChecksumFailsTheCommandButTheRequestWasCarriedOut)
{
    ModelLink m;
    m.machine.InjectFault({.kind = FaultKind::BadChecksum});
    EXPECT_FALSE(Identity(m));
    EXPECT_EQ(m.link.State(), LinkState::NoAnswer);
    EXPECT_TRUE(Identity(m));

    // An acknowledgement that is not 0x04.
    m.machine.InjectFault({.kind = FaultKind::BadChecksum});
    EXPECT_FALSE(m.link.EraseFlash(0xD10000));
    EXPECT_EQ(m.link.State(), LinkState::NoAnswer);
    EXPECT_EQ(m.PollUntilDone(), 0);  // the erase did start
}

TEST(ModelFaults, SurplusBytesSpoilTheNextReplyOnlyUntilTheNextWakeUp)
{
    ModelLink m;
    m.machine.InjectFault({.kind = FaultKind::SurplusBytes, .surplusBytes = 3});
    EXPECT_TRUE(Identity(m));
    EXPECT_EQ(m.link.State(), LinkState::Ready);
    std::uint8_t status = 0;
    EXPECT_FALSE(m.link.ReadFlashStatus(status));  // reads the surplus first
    EXPECT_EQ(m.link.State(), LinkState::NoAnswer);
    EXPECT_TRUE(m.link.ReadFlashStatus(status));   // the wake-up purged the rest
    EXPECT_EQ(m.link.State(), LinkState::Ready);
}

TEST(ModelFaults, ALateReplyTimesOutAndSpoilsTheWakeUpItRunsInto)
{
    ModelLink m;
    m.machine.InjectFault({.kind = FaultKind::LateReply, .delay = 300ms});
    EXPECT_FALSE(Identity(m));
    EXPECT_EQ(m.link.State(), LinkState::NoAnswer);
    // The late frame arrives during the next wake-up exchange, in place of its
    // acknowledgement; the wake-up after that purges it.
    EXPECT_FALSE(Identity(m));
    EXPECT_TRUE(Identity(m));

    // A reply late by less than the link's time-out is still in time.
    m.machine.InjectFault({.kind = FaultKind::LateReply, .delay = 50ms});
    EXPECT_TRUE(Identity(m));
    EXPECT_EQ(m.link.State(), LinkState::Ready);
}

TEST(ModelFaults, GivenEraseStatusEndsTheEraseAndLeavesTheSector)
{
    MachineConfig config;
    config.eraseTime = 30ms;
    ModelLink m(config);
    m.machine.ApplyImage({}, 0xD20000, Bytes{0x00});
    m.machine.InjectFault({.kind = FaultKind::EraseStatus, .nth = 2, .status = 0x05});
    ASSERT_TRUE(m.link.EraseFlash(0xD10000));
    EXPECT_EQ(m.PollUntilDone(), 0);
    ASSERT_TRUE(m.link.EraseFlash(0xD20000));
    std::uint8_t status = 0;
    ASSERT_TRUE(m.link.ReadFlashStatus(status));
    EXPECT_EQ(status, MachineModel::kStatusBusy);
    EXPECT_EQ(m.PollUntilDone(), 0x05);
    EXPECT_EQ(m.machine.FlashByte(0xD20000), 0x00);
    EXPECT_EQ(m.link.State(), LinkState::Ready);
}

TEST(ModelFaults, GivenProgramStatusIsAnsweredAndNothingIsProgrammed)
{
    ModelLink m;
    m.machine.InjectFault({.kind = FaultKind::ProgramStatus, .nth = 2, .status = 0x07});
    const Bytes zeros(3, 0);
    std::uint8_t status = 0xEE;
    ASSERT_TRUE(m.link.ProgramFlashBlock(0xD20000, 3, zeros.data(), status));
    EXPECT_EQ(status, 0);
    ASSERT_TRUE(m.link.ProgramFlashBlock(0xD20010, 3, zeros.data(), status));
    EXPECT_EQ(status, 0x07);
    EXPECT_EQ(m.machine.ReadFlash(0xD20010, 3), Bytes(3, 0xFF));
    EXPECT_EQ(m.link.State(), LinkState::Ready);
    // Once only: the next block is programmed.
    ASSERT_TRUE(m.link.ProgramFlashBlock(0xD20010, 3, zeros.data(), status));
    EXPECT_EQ(status, 0);
}
