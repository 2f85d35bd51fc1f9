// The model's flash behaves as NOR flash does: erase per sector with a busy
// time, programming that can only clear bits, nothing outside its range.
#include "support/ModelFixture.h"
#include "samples/SampleSet.h"

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

namespace {

std::uint8_t Program(ModelLink& m, std::uint32_t address, const Bytes& bytes)
{
    std::uint8_t status = 0xEE;
    EXPECT_TRUE(m.link.ProgramFlashBlock(address, unsigned(bytes.size()), bytes.data(), status));
    return status;
}

}  // namespace

TEST(ModelFlash, EraseClearsExactlyTheSectorHoldingTheAddress)
{
    ModelLink m;
    const std::uint32_t sector1 = m.machine.FlashBase() + 0x10000;
    const Bytes zeros(16, 0x00);
    // The last bytes of sector 0, the first and last of sector 1, the first of sector 2.
    for (const std::uint32_t at : {sector1 - 16, sector1, sector1 + 0x10000 - 16, sector1 + 0x10000})
        ASSERT_EQ(Program(m, at, zeros), 0);

    ASSERT_TRUE(m.link.EraseFlash(sector1 + 0x1234));  // any address inside the sector
    EXPECT_EQ(m.PollUntilDone(), 0);

    EXPECT_EQ(m.machine.ReadFlash(sector1 - 16, 16), zeros);
    EXPECT_EQ(m.machine.ReadFlash(sector1, 0x10000), Bytes(0x10000, 0xFF));
    EXPECT_EQ(m.machine.ReadFlash(sector1 + 0x10000, 16), zeros);
}

TEST(ModelFlash, EraseIsBusyForItsTimeThenDone)
{
    MachineConfig config;
    config.eraseTime = 100ms;
    ModelLink m(config);
    ASSERT_TRUE(m.link.EraseFlash(m.machine.FlashBase()));
    std::uint8_t status = 0;
    ASSERT_TRUE(m.link.ReadFlashStatus(status));
    EXPECT_EQ(status, MachineModel::kStatusBusy);
    m.machine.Advance(40ms);
    ASSERT_TRUE(m.link.ReadFlashStatus(status));
    EXPECT_EQ(status, MachineModel::kStatusBusy);
    // The flash takes no program meanwhile.
    EXPECT_EQ(Program(m, m.machine.FlashBase() + 0x20000, {0x00}), MachineModel::kStatusBusy);
    EXPECT_EQ(m.machine.FlashByte(m.machine.FlashBase() + 0x20000), 0xFF);

    m.machine.Advance(60ms);
    ASSERT_TRUE(m.link.ReadFlashStatus(status));
    EXPECT_EQ(status, 0);

    // Without a hand on the clock, polls alone end an erase: in process every
    // exchange takes its wire time, as it does on the line.
    const SimTime started = m.machine.Now();
    ASSERT_TRUE(m.link.EraseFlash(m.machine.FlashBase()));
    EXPECT_EQ(m.PollUntilDone(), 0);
    EXPECT_GE(m.machine.Now() - started, 100ms);
}

TEST(ModelFlash, ProgrammingOnlyClearsBits)
{
    ModelLink m;
    const std::uint32_t at = m.machine.FlashBase() + 0x40;
    EXPECT_EQ(Program(m, at, {0xF0, 0xFF, 0x5A}), 0);
    EXPECT_EQ(Program(m, at, {0x30, 0xFF, 0x5A}), 0);  // clears more bits, or repeats: allowed
    EXPECT_EQ(m.machine.ReadFlash(at, 3), (Bytes{0x30, 0xFF, 0x5A}));

    // One byte of the block would need a bit set again: the block is refused
    // whole, the flash keeps what it held.
    EXPECT_EQ(Program(m, at, {0x00, 0x00, 0x5B}), MachineModel::kStatusNeedsErase);
    EXPECT_EQ(m.machine.ReadFlash(at, 3), (Bytes{0x30, 0xFF, 0x5A}));
    std::uint8_t status = 0;
    ASSERT_TRUE(m.link.ReadFlashStatus(status));
    EXPECT_EQ(status, MachineModel::kStatusNeedsErase);

    ASSERT_TRUE(m.link.EraseFlash(at));
    EXPECT_EQ(m.PollUntilDone(), 0);
    EXPECT_EQ(Program(m, at, {0x0F}), 0);
    EXPECT_EQ(m.machine.FlashByte(at), 0x0F);
}

TEST(ModelFlash, NothingOutsideFlashIsProgrammedOrErased)
{
    ModelLink m;
    const std::uint32_t end = m.machine.FlashBase() + m.machine.FlashSize();
    EXPECT_EQ(Program(m, end - 2, {0, 0, 0, 0}), MachineModel::kStatusOutsideFlash);
    EXPECT_EQ(m.machine.ReadFlash(end - 2, 2), Bytes(2, 0xFF));  // not even the part inside
    EXPECT_EQ(Program(m, m.machine.FlashBase() - 1, {0}), MachineModel::kStatusOutsideFlash);
    EXPECT_EQ(Program(m, 0xFFFFFFFF, {0, 0}), MachineModel::kStatusOutsideFlash);

    // An erase outside flash is taken, then reported by the status.
    ASSERT_TRUE(m.link.EraseFlash(end));
    EXPECT_EQ(m.PollUntilDone(), MachineModel::kStatusOutsideFlash);
}

TEST(ModelFlash, AOnceOnlyFieldTakesOneValueOnly)
{
    ModelLink m;
    const auto factory = SampleFactoryImage();
    ASSERT_TRUE(m.machine.ApplyImage(factory.eraseVectors, 0xD00000, factory.image));
    const std::uint32_t serial = SampleLayout::kFactoryData + 9;
    EXPECT_EQ(m.machine.ReadFlash(serial, 9), (Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00}));

    const Bytes first{' ', ' ', ' ', ' ', '1', '2', '3', '4', 0};
    EXPECT_EQ(Program(m, serial, first), 0);
    EXPECT_EQ(Program(m, serial, {' ', ' ', ' ', ' ', '5', '6', '7', '8', 0}), MachineModel::kStatusNeedsErase);
    EXPECT_EQ(m.machine.ReadFlash(serial, 9), first);
}

TEST(ModelFlash, GeometryIsConfigurable)
{
    MachineConfig config;
    config.flashBase = 0x100000;
    config.flashSize = 0x8000;
    config.sectorSize = 0x1000;
    ModelLink m(config);
    EXPECT_EQ(Program(m, 0x100000 + 0x1000 - 1, {0, 0}), 0);
    ASSERT_TRUE(m.link.EraseFlash(0x101000));
    EXPECT_EQ(m.PollUntilDone(), 0);
    EXPECT_EQ(m.machine.ReadFlash(0x100FFF, 2), (Bytes{0x00, 0xFF}));
    EXPECT_EQ(Program(m, 0x108000, {0}), MachineModel::kStatusOutsideFlash);

    config.sectorSize = 0x3000;  // does not divide the flash
    EXPECT_THROW(MachineModel{config}, std::invalid_argument);
    config.sectorSize = 0;
    EXPECT_THROW(MachineModel{config}, std::invalid_argument);
    config = {};
    config.flashBase = 0xFFF80000;  // would reach past the 32-bit address space
    EXPECT_THROW(MachineModel{config}, std::invalid_argument);
}
