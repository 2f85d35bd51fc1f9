// The resident loader takes the unframed boot stream: word count, run
// address, words; then the machine answers frames again.
#include "support/ModelFixture.h"

using Bytes = std::vector<std::uint8_t>;

namespace {

void PutLe24(Bytes& into, std::uint32_t value)
{
    into.push_back(std::uint8_t(value));
    into.push_back(std::uint8_t(value >> 8));
    into.push_back(std::uint8_t(value >> 16));
}

}  // namespace

TEST(ModelBoot, ProgramLoaderModeTakesTheStreamAndStartsTheProgram)
{
    ModelLink m;
    m.Wake();
    ASSERT_TRUE(m.link.PowerControl(1));
    EXPECT_EQ(m.machine.CurrentMode(), MachineModel::Mode::ResidentLoader);

    // As the boot dialog sends it: the header, then 73 words, then 27.
    Bytes header;
    PutLe24(header, 100);
    PutLe24(header, 0x40);
    ASSERT_TRUE(m.link.RawWrite(header));
    Bytes words;
    for (std::uint32_t i = 0; i < 100; ++i)
        PutLe24(words, 0x100000 + i);
    ASSERT_TRUE(m.link.RawWrite(std::span(words).first(73 * 3)));
    EXPECT_TRUE(m.machine.Boots().empty());
    ASSERT_TRUE(m.link.RawWrite(std::span(words).subspan(73 * 3)));

    ASSERT_EQ(m.machine.Boots().size(), 1u);
    EXPECT_EQ(m.machine.Boots()[0].runAddress, 0x40u);
    EXPECT_EQ(m.machine.Boots()[0].wordCount, 100u);
    EXPECT_EQ(m.machine.MemoryWord(2, 0x40), 0x100000u);
    EXPECT_EQ(m.machine.MemoryWord(2, 0x40 + 99), 0x100063u);
    EXPECT_EQ(m.machine.MemoryWord(2, 0x40 + 100), 0u);
    EXPECT_EQ(m.machine.CurrentMode(), MachineModel::Mode::Running);

    m.Wake();
    std::uint32_t p[2] = {};
    ASSERT_TRUE(m.link.ReadMemory(0x40, MemorySpace::P, 2, p));
    EXPECT_EQ(p[1], 0x100001u);
}

TEST(ModelBoot, TheLoaderAnswersNothingWhileItWaitsForTheStream)
{
    MachineConfig config;
    config.startInLoader = true;
    ModelLink m(config);
    m.Wake();
    EXPECT_EQ(m.link.State(), LinkState::NoAnswer);  // the wake-up went into the stream

    EXPECT_TRUE(m.machine.Boots().empty());
    EXPECT_EQ(m.machine.CurrentMode(), MachineModel::Mode::ResidentLoader);
    // A power cycle without RTS brings the firmware back.
    m.machine.PowerOn();
    m.Wake();
    EXPECT_EQ(m.link.State(), LinkState::Ready);
}

TEST(ModelBoot, RtsHeldAtPowerUpEntersTheLoader)
{
    ModelLink m;
    ASSERT_TRUE(m.link.SetRts(true));
    m.machine.PowerOn();
    EXPECT_EQ(m.machine.CurrentMode(), MachineModel::Mode::ResidentLoader);
    ASSERT_TRUE(m.link.SetRts(false));
    m.machine.PowerOn();
    EXPECT_EQ(m.machine.CurrentMode(), MachineModel::Mode::Running);
}
