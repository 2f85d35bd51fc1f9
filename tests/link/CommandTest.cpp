// The command set byte for byte: request frames, reply decoding, argument
// checks and echo checks, against a scripted peer.
#include "link/DeviceLink.h"
#include "support/ScriptedPeer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using testing::ElementsAre;
using testing::ElementsAreArray;
using Bytes = std::vector<std::uint8_t>;

namespace {

class CommandTest : public testing::Test {
protected:
    CommandTest() : link(std::unique_ptr<PortBackend>(peer = new ScriptedPeer))
    {
        link.OpenPort({"com1", "/dev/ttyS0"});
    }

    // The payload of the request frame the tool sent, after any wake-up.
    Bytes SentPayload() const
    {
        const std::size_t start = peer->sent.size() >= 3 && peer->sent[0] == 0x80 ? 3 : 0;
        EXPECT_GE(peer->sent.size(), start + 3);
        return Bytes(peer->sent.begin() + long(start) + 2, peer->sent.end() - 1);
    }

    ScriptedPeer* peer;
    DeviceLink link;
};

TEST_F(CommandTest, ReadIdentitySendsTheSmallestFrameAndDecodesBothIdents)
{
    peer->Answer(ReplyOf(0x7E, 0x00, {0x12, 0x34, 0x56, 0x78, 0x00, 0x00, 0x22, 0xDA}));
    std::uint32_t hard = 0, flash = 0;
    ASSERT_TRUE(link.ReadIdentity(hard, flash));
    EXPECT_THAT(peer->sent, ElementsAre(0x02, 0x03, 0x7E, 0x01, 0x00, 0x7E));
    EXPECT_EQ(hard, 0x12345678u);
    EXPECT_EQ(flash, 0x000022DAu);
    EXPECT_EQ(link.State(), LinkState::Ready);
}

TEST_F(CommandTest, ReadFlashStatusWholeExchange)
{
    peer->Answer({0x02, 0x04, 0x7E, 0x02, 0x01, 0x00, 0x7B});
    peer->Answer({0x02, 0x04, 0x7E, 0x02, 0x01, 0x01, 0x7A});
    std::uint8_t status = 0xEE;
    ASSERT_TRUE(link.ReadFlashStatus(status));
    EXPECT_EQ(status, 0);
    EXPECT_THAT(peer->sent, ElementsAre(0x02, 0x03, 0x7E, 0x01, 0x01, 0x7D));
    ASSERT_TRUE(link.ReadFlashStatus(status));
    EXPECT_EQ(status, 1);
}

TEST_F(CommandTest, WriteMemoryOfOneWordIsTheDocumentedPayloadAndNeedsTheAck)
{
    peer->Answer({0x04});
    const std::uint32_t value = 0x1234;
    ASSERT_TRUE(link.WriteMemory(0x100, MemorySpace::Y, 1, &value));
    EXPECT_THAT(SentPayload(), ElementsAre(0x7F, 0x0B, 0x31, 0x00, 0x00, 0x01, 0x00, 0x01, 0x01, 0x00, 0x00, 0x12, 0x34));

    peer->Answer({0x05});
    EXPECT_FALSE(link.WriteMemory(0x100, MemorySpace::Y, 1, &value));
    EXPECT_EQ(link.State(), LinkState::NoAnswer);
}

TEST_F(CommandTest, ReadMemoryOfSixteenWordsTakesValuesAfterTheSixLeadingBytes)
{
    Bytes data{0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5};
    for (std::uint8_t i = 0; i < 16; ++i)
        data.insert(data.end(), {0x00, i, 0x00, std::uint8_t(0xF0 + i)});
    const Bytes reply = ReplyOf(0x7F, 0x30, data);
    ASSERT_EQ(reply.size(), 76u);
    peer->Answer(reply);

    std::uint32_t values[16] = {};
    ASSERT_TRUE(link.ReadMemory(0xABCDEF, MemorySpace::P, 16, values));
    EXPECT_THAT(SentPayload(), ElementsAre(0x7F, 0x07, 0x30, 0x00, 0xAB, 0xCD, 0xEF, 0x02, 0x10));
    for (std::uint32_t i = 0; i < 16; ++i)
        EXPECT_EQ(values[i], (i << 16) | (0xF0 + i));
}

TEST_F(CommandTest, ExecuteKillEraseAndPowerControlPayloads)
{
    for (int i = 0; i < 4; ++i)
        peer->Answer({0x04});

    ASSERT_TRUE(link.Execute(0x001234, {1, 2, 3}, 0xA1B2C3D4, 0x00000000123456ull));
    EXPECT_THAT(SentPayload(), ElementsAre(0x7F, 0x14, 0x32, 0x00, 0x00, 0x12, 0x34, 1, 2, 3, 0xA1, 0xB2, 0xC3, 0xD4,
                                           0, 0, 0, 0, 0, 0x12, 0x34, 0x56));
    peer->Clear();
    ASSERT_TRUE(link.Kill(0x00FEDC));
    EXPECT_THAT(SentPayload(), ElementsAre(0x7F, 0x05, 0x33, 0x00, 0x00, 0xFE, 0xDC));
    peer->Clear();
    ASSERT_TRUE(link.EraseFlash(0xD10000));
    EXPECT_THAT(SentPayload(), ElementsAre(0x7E, 0x05, 0x03, 0x00, 0xD1, 0x00, 0x00));
    peer->Clear();
    ASSERT_TRUE(link.PowerControl(1));
    EXPECT_THAT(SentPayload(), ElementsAre(0x7E, 0x02, 0x05, 0x01));
}

TEST_F(CommandTest, ProgramFlashBlockFramesItsBytesAndChecksTheEcho)
{
    Bytes block(240);
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = std::uint8_t(i);
    peer->Answer(ReplyOf(0x7E, 0x02, {0x00, 0xD2, 0x00, 0x10, 240, 0x00}));
    std::uint8_t status = 0xEE;
    ASSERT_TRUE(link.ProgramFlashBlock(0xD20010, 240, block.data(), status));
    EXPECT_EQ(status, 0);
    const Bytes payload = SentPayload();
    ASSERT_EQ(payload.size(), 248u);
    EXPECT_THAT(Bytes(payload.begin(), payload.begin() + 8), ElementsAre(0x7E, 0xF6, 0x02, 0x00, 0xD2, 0x00, 0x10, 240));
    EXPECT_THAT(Bytes(payload.begin() + 8, payload.end()), ElementsAreArray(block));

    // A correct frame with the count echoed one too high: refused, link still usable.
    peer->Answer(ReplyOf(0x7E, 0x02, {0x00, 0xD2, 0x00, 0x10, 241, 0x00}));
    status = 0xEE;
    EXPECT_FALSE(link.ProgramFlashBlock(0xD20010, 240, block.data(), status));
    EXPECT_EQ(status, 0xEE);
    EXPECT_EQ(link.State(), LinkState::Ready);

    // Address echo differs.
    peer->Answer(ReplyOf(0x7E, 0x02, {0x00, 0xD2, 0x00, 0x11, 240, 0x00}));
    EXPECT_FALSE(link.ProgramFlashBlock(0xD20010, 240, block.data(), status));
    EXPECT_EQ(link.State(), LinkState::Ready);

    // A non-zero status is data, not a failure of the command.
    peer->Answer(ReplyOf(0x7E, 0x02, {0x00, 0xD2, 0x00, 0x10, 240, 0x42}));
    ASSERT_TRUE(link.ProgramFlashBlock(0xD20010, 240, block.data(), status));
    EXPECT_EQ(status, 0x42);
}

TEST_F(CommandTest, ProgramFlashBlockRefusesCountsNoFrameCanCarry)
{
    Bytes block(256, 0x5A);
    std::uint8_t status = 0xEE;
    peer->Answer(ReplyOf(0x7E, 0x02, {0x00, 0xD0, 0x00, 0x00, 244, 0x00}));
    ASSERT_TRUE(link.ProgramFlashBlock(0xD00000, 244, block.data(), status));
    EXPECT_EQ(peer->sent.size(), 255u);  // the largest request frame

    // Link in NoAnswer: a refused count must not even wake the machine.
    link.Select(Command::kSelectCode);
    peer->wakeAnswer = -1;
    link.Select(Command::kSelectCode);
    ASSERT_EQ(link.State(), LinkState::NoAnswer);
    for (unsigned count : {245u, 246u, 247u, 248u, 255u}) {
        peer->Clear();
        EXPECT_FALSE(link.ProgramFlashBlock(0xD00000, count, block.data(), status)) << count;
        EXPECT_TRUE(peer->sent.empty()) << count;
        EXPECT_EQ(link.State(), LinkState::NoAnswer);
    }
    // Only the low byte of the count travels: 256 + 4 is a block of 4.
    peer->wakeAnswer = 0x04;
    peer->Clear();
    peer->Answer(ReplyOf(0x7E, 0x02, {0x00, 0xD0, 0x00, 0x00, 4, 0x00}));
    EXPECT_TRUE(link.ProgramFlashBlock(0xD00000, 260, block.data(), status));
    EXPECT_EQ(SentPayload().size(), 12u);
}

TEST_F(CommandTest, ReadFlashBlockCopiesOnlyAfterBothEchoesMatch)
{
    peer->Answer(ReplyOf(0x7E, 0x04, {0x00, 0xD0, 0x00, 0x21, 3, 0xAA, 0xBB, 0xCC}));
    std::uint8_t bytes[3] = {1, 2, 3};
    ASSERT_TRUE(link.ReadFlashBlock(0xD00021, 3, bytes));
    EXPECT_THAT(SentPayload(), ElementsAre(0x7E, 0x06, 0x04, 0x00, 0xD0, 0x00, 0x21, 3));
    EXPECT_THAT(bytes, ElementsAre(0xAA, 0xBB, 0xCC));

    peer->Answer(ReplyOf(0x7E, 0x04, {0x00, 0xD0, 0x00, 0x21, 2, 0x11, 0x22, 0x33}));
    EXPECT_FALSE(link.ReadFlashBlock(0xD00021, 3, bytes));
    EXPECT_THAT(bytes, ElementsAre(0xAA, 0xBB, 0xCC));
    EXPECT_EQ(link.State(), LinkState::Ready);

    // The largest block fills a reply frame of 255 payload bytes.
    Bytes data{0x00, 0xD0, 0x00, 0x00, 247};
    data.resize(5 + 247, 0x77);
    peer->Answer(ReplyOf(0x7E, 0x04, data));
    Bytes large(247);
    EXPECT_TRUE(link.ReadFlashBlock(0xD00000, 247, large.data()));
    EXPECT_EQ(large.back(), 0x77);
    peer->Clear();
    EXPECT_FALSE(link.ReadFlashBlock(0xD00000, 248, large.data()));
    EXPECT_TRUE(peer->sent.empty());
}

TEST_F(CommandTest, MemoryCountsOutsideOneToSixteenSendNothingNotEvenAWakeUp)
{
    link.Select(Command::kSelectCode);
    peer->Clear();
    std::uint32_t values[17] = {};
    EXPECT_FALSE(link.ReadMemory(0, MemorySpace::X, 0, values));
    EXPECT_FALSE(link.ReadMemory(0, MemorySpace::X, 17, values));
    EXPECT_FALSE(link.WriteMemory(0, MemorySpace::X, 0, values));
    EXPECT_FALSE(link.WriteMemory(0, MemorySpace::X, 17, values));
    EXPECT_TRUE(peer->sent.empty());
    EXPECT_EQ(peer->breaks, 1);
}

}  // namespace
