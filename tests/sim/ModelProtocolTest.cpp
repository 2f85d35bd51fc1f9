// The machine model answers the wake-up exchange and every command as the
// tool's link expects: byte for byte on the wire, and through DeviceLink.
#include "support/ModelFixture.h"

#include <random>

using Bytes = std::vector<std::uint8_t>;

namespace {

const Bytes kWake{0x80, 0xA2, 0x03};
const Bytes kStatusRequest{0x02, 0x03, 0x7E, 0x01, 0x01, 0x7D};

}  // namespace

TEST(ModelWire, WakeUpAndStatusExchangeAreByteExact)
{
    MachineModel machine;
    EXPECT_EQ(Exchange(machine, kWake), Bytes{0x04});
    EXPECT_EQ(Exchange(machine, kStatusRequest), (Bytes{0x02, 0x04, 0x7E, 0x02, 0x01, 0x00, 0x7B}));

    // Busy while an erase runs: 02 04 7E 02 01 01 7A.
    EXPECT_EQ(Exchange(machine, FrameOf({0x7E, 0x05, 0x03, 0x00, 0xD1, 0x00, 0x00})), Bytes{0x04});
    EXPECT_EQ(Exchange(machine, kStatusRequest), (Bytes{0x02, 0x04, 0x7E, 0x02, 0x01, 0x01, 0x7A}));
}

TEST(ModelWire, MalformedFramesGetNoAnswerAndTheNextFrameIsAnswered)
{
    MachineModel machine;
    EXPECT_TRUE(Exchange(machine, {0x02, 0x03, 0x7E, 0x01, 0x01, 0x7C}).empty());  // checksum off by one
    // A known opcode with a length it does not take (identity with a parameter).
    EXPECT_TRUE(Exchange(machine, FrameOf({0x7E, 0x02, 0x00, 0x00})).empty());
    // Sub-length that does not match the frame length.
    EXPECT_TRUE(Exchange(machine, FrameOf({0x7E, 0x02, 0x01})).empty());
    EXPECT_TRUE(Exchange(machine, FrameOf({0x7E, 0x01, 0x06})).empty());  // unknown opcode
    EXPECT_TRUE(Exchange(machine, FrameOf({0x7D, 0x01, 0x00})).empty());  // unknown class
    EXPECT_TRUE(Exchange(machine, FrameOf({0x7E})).empty());              // too short for a head
    // Parameters out of range: memory space 3, 0 and 17 words, a flash read
    // longer than a reply frame carries.
    EXPECT_TRUE(Exchange(machine, FrameOf({0x7F, 0x07, 0x30, 0, 0, 0, 0, 3, 1})).empty());
    EXPECT_TRUE(Exchange(machine, FrameOf({0x7F, 0x07, 0x30, 0, 0, 0, 0, 0, 0})).empty());
    EXPECT_TRUE(Exchange(machine, FrameOf({0x7F, 0x07, 0x30, 0, 0, 0, 0, 0, 17})).empty());
    EXPECT_TRUE(Exchange(machine, FrameOf({0x7E, 0x06, 0x04, 0, 0xD0, 0, 0, 248})).empty());
    EXPECT_EQ(machine.RequestCount(), 0u);

    EXPECT_EQ(Exchange(machine, kStatusRequest).size(), 7u);
}

TEST(ModelWire, AFrameCutShortIsDroppedAfterAPauseOrABreak)
{
    MachineModel machine;
    // Half a frame, then silence: the wake-up that follows is recognised.
    EXPECT_TRUE(Exchange(machine, {0x02, 0x0B, 0x7E, 0x09}).empty());
    machine.Advance(MachineModel::kFrameGapTimeout * 2);
    EXPECT_EQ(Exchange(machine, kWake), Bytes{0x04});

    EXPECT_TRUE(Exchange(machine, {0x02, 0x0B, 0x7E}).empty());
    machine.LineBreak();
    EXPECT_EQ(Exchange(machine, kWake), Bytes{0x04});
}

TEST(ModelWire, RandomBytesNeitherCrashNorSilenceTheMachine)
{
    MachineModel machine;
    std::mt19937 random(20261209);
    std::uniform_int_distribution<int> byte(0, 255), length(1, 600);
    for (int round = 0; round < 300; ++round) {
        Bytes noise(std::size_t(length(random)));
        for (auto& b : noise)
            b = std::uint8_t(byte(random));
        // Now and then a noise frame that passes the checksum.
        if (round % 3 == 0 && noise.size() > 3) {
            noise.resize(std::min<std::size_t>(noise.size(), 200));
            noise = FrameOf(noise);
        }
        machine.Feed(noise);
        machine.Advance(std::chrono::milliseconds(120));
        Bytes drained(machine.PendingOutput());
        machine.TakeOutput(drained);
        // Noise may have switched the machine off or into its loader.
        if (machine.CurrentMode() != MachineModel::Mode::Running)
            machine.PowerOn();
        machine.LineBreak();
        ASSERT_EQ(Exchange(machine, kWake), Bytes{0x04}) << "round " << round;
    }
}

TEST(ModelLinkCommands, IdentityAndStatus)
{
    ModelLink m;
    m.Wake();
    ASSERT_EQ(m.link.State(), LinkState::Ready);
    std::uint32_t hard = 0, flash = 0;
    ASSERT_TRUE(m.link.ReadIdentity(hard, flash));
    EXPECT_EQ(hard, 0x4D520001u);
    EXPECT_EQ(flash, 0x000122DAu);
    std::uint8_t status = 0xEE;
    ASSERT_TRUE(m.link.ReadFlashStatus(status));
    EXPECT_EQ(status, 0);
    EXPECT_EQ(m.link.State(), LinkState::Ready);
    EXPECT_EQ(m.machine.WakeCount(), 1u);
}

TEST(ModelLinkCommands, MemorySpacesHoldTwentyFourBitWords)
{
    ModelLink m;
    std::uint32_t words[16];
    for (unsigned i = 0; i < 16; ++i)
        words[i] = 0xA0000000u | (i * 0x010101u);
    ASSERT_TRUE(m.link.WriteMemory(0x100, MemorySpace::X, 16, words));
    const std::uint32_t y = 0x1234;
    ASSERT_TRUE(m.link.WriteMemory(0x100, MemorySpace::Y, 1, &y));

    std::uint32_t back[16] = {};
    ASSERT_TRUE(m.link.ReadMemory(0x100, MemorySpace::X, 16, back));
    for (unsigned i = 0; i < 16; ++i)
        EXPECT_EQ(back[i], (i * 0x010101u) & 0xFFFFFF) << i;  // the top byte is not kept
    ASSERT_TRUE(m.link.ReadMemory(0x100, MemorySpace::Y, 2, back));
    EXPECT_EQ(back[0], 0x1234u);
    EXPECT_EQ(back[1], 0u);  // never written
    ASSERT_TRUE(m.link.ReadMemory(0x100, MemorySpace::P, 1, back));
    EXPECT_EQ(back[0], 0u);
    EXPECT_EQ(m.machine.MemoryWord(0, 0x10F), 0x0F0F0Fu);

    // The last word of the 24-bit space can be read; a range past it is not answered.
    ASSERT_TRUE(m.link.ReadMemory(0xFFFFFF, MemorySpace::P, 1, back));
    EXPECT_FALSE(m.link.ReadMemory(0xFFFFFF, MemorySpace::P, 2, back));
    EXPECT_EQ(m.link.State(), LinkState::NoAnswer);
    EXPECT_FALSE(m.link.ReadMemory(0x1000000, MemorySpace::P, 1, back));
}

TEST(ModelLinkCommands, ExecuteAndKillAreRecorded)
{
    ModelLink m;
    ASSERT_TRUE(m.link.Execute(0x000040, {1, 2, 3}, 0x01020304, 0x0000000000ABCDEFull));
    ASSERT_TRUE(m.link.Kill(0x000041));
    ASSERT_EQ(m.machine.Executions().size(), 1u);
    const auto& run = m.machine.Executions()[0];
    EXPECT_EQ(run.address, 0x40u);
    EXPECT_EQ(run.parameterBytes, (std::array<std::uint8_t, 3>{1, 2, 3}));
    EXPECT_EQ(run.parameter32, 0x01020304u);
    EXPECT_EQ(run.parameter64, 0xABCDEFull);
    EXPECT_EQ(m.machine.Kills(), std::vector<std::uint32_t>{0x41});
}

TEST(ModelLinkCommands, FlashBlocksOfEverySizeTheLinkSends)
{
    ModelLink m;
    const std::uint32_t base = m.machine.FlashBase();
    Bytes block(Command::kMaxProgramCount);
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = std::uint8_t(i * 7);
    std::uint8_t status = 0xEE;
    ASSERT_TRUE(m.link.ProgramFlashBlock(base + 0x100, unsigned(block.size()), block.data(), status));
    EXPECT_EQ(status, 0);
    Bytes back(Command::kMaxReadFlashCount);
    ASSERT_TRUE(m.link.ReadFlashBlock(base + 0x100, unsigned(back.size()), back.data()));
    EXPECT_TRUE(std::equal(block.begin(), block.end(), back.begin()));
    EXPECT_TRUE(std::all_of(back.begin() + 244, back.end(), [](auto b) { return b == 0xFF; }));

    // Empty blocks are answered too.
    ASSERT_TRUE(m.link.ProgramFlashBlock(base, 0, block.data(), status));
    EXPECT_EQ(status, 0);
    ASSERT_TRUE(m.link.ReadFlashBlock(base, 0, back.data()));
    EXPECT_EQ(m.link.State(), LinkState::Ready);
}

TEST(ModelLinkCommands, ReadsOutsideFlashReadErased)
{
    ModelLink m;
    const std::uint32_t end = m.machine.FlashBase() + m.machine.FlashSize();
    const Bytes zeros(4, 0);
    std::uint8_t status = 0;
    ASSERT_TRUE(m.link.ProgramFlashBlock(end - 4, 4, zeros.data(), status));
    Bytes back(8, 0x11);
    ASSERT_TRUE(m.link.ReadFlashBlock(end - 4, 8, back.data()));
    EXPECT_EQ(back, (Bytes{0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}));
    ASSERT_TRUE(m.link.ReadFlashBlock(0xFFFFFFFC, 4, back.data()));  // no wrap past the top
    EXPECT_EQ(Bytes(back.begin(), back.begin() + 4), Bytes(4, 0xFF));
    ASSERT_TRUE(m.link.ReadFlashBlock(0, 3, back.data()));
    EXPECT_EQ(Bytes(back.begin(), back.begin() + 3), Bytes(3, 0xFF));
}

TEST(ModelLinkCommands, PowerOffSilencesTheMachineUntilPoweredOn)
{
    ModelLink m;
    m.Wake();
    ASSERT_TRUE(m.link.PowerControl(0));
    EXPECT_EQ(m.machine.CurrentMode(), MachineModel::Mode::Off);
    std::uint32_t hard = 0, flash = 0;
    m.Wake();
    EXPECT_EQ(m.link.State(), LinkState::NoAnswer);
    EXPECT_FALSE(m.link.ReadIdentity(hard, flash));

    m.machine.PowerOn();
    EXPECT_TRUE(m.link.ReadIdentity(hard, flash));
    EXPECT_EQ(m.machine.PowerRequests(), Bytes{0});
}

TEST(ModelWire, AnAdapterLatencyHoldsEachAnswerBack)
{
    using namespace std::chrono_literals;
    for (const SimTime latency : {SimTime{}, SimTime{16ms}}) {
        MachineConfig config;
        config.adapterLatency = latency;
        MachineModel machine(config);
        const SimTime sent = machine.Now();
        machine.Feed(kWake);
        ASSERT_TRUE(machine.NextOutputTime());
        EXPECT_EQ(*machine.NextOutputTime() - sent, latency);
    }
}
