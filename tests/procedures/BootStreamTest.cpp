// The boot stream: what each tick writes, how it ends, and the resident
// loader of the machine model taking a whole boot program.

#include "images/BootImage.h"
#include "link/DeviceLink.h"
#include "procedures/boot/BootStream.h"
#include "support/ModelFixture.h"
#include "support/ModelClock.h"
#include "support/ScriptedPeer.h"

#include <gtest/gtest.h>

namespace {

// Words 1, 2, 3 ... of 3 bytes each, for runAddress .. endAddress - 1.
std::vector<std::uint8_t> Words(std::uint32_t count)
{
    std::vector<std::uint8_t> bytes;
    for (std::uint32_t i = 1; i <= count; ++i)
        bytes.insert(bytes.end(), {std::uint8_t(i), std::uint8_t(i >> 8), 0x00});
    return bytes;
}

class BootStreamTest : public testing::Test {
protected:
    BootStreamTest() : peer(new ScriptedPeer), link(std::unique_ptr<PortBackend>(peer))
    {
        link.OpenPort({"com1", "/dev/ttyS0"});
    }

    // The bytes written by Start(), then by each tick until the stream ends.
    std::vector<std::size_t> Writes(BootStream& stream)
    {
        std::vector<std::size_t> writes;
        stream.Start();
        writes.push_back(peer->sent.size());
        for (int tick = 0; tick < 100 && !stream.IsFinished(); ++tick) {
            peer->sent.clear();
            stream.Tick();
            writes.push_back(peer->sent.size());
        }
        return writes;
    }

    ScriptedPeer* peer;
    DeviceLink link;
};

TEST_F(BootStreamTest, HeaderThenAtMost73WordsATickThenDone)
{
    struct Case {
        std::uint32_t words;
        std::vector<std::size_t> writes;  // header, then each tick; the last tick ends it
    };
    for (const auto& c : {Case{100, {6, 219, 81, 0}}, Case{73, {6, 219, 0}}, Case{0, {6, 0}}}) {
        SCOPED_TRACE(c.words);
        BootStream stream(link, Words(c.words), 0x10, 0x10 + c.words);
        peer->sent.clear();
        EXPECT_EQ(Writes(stream), c.writes);
        EXPECT_EQ(stream.Outcome(), ProcedureResult::Done);
        EXPECT_EQ(stream.ResultText(), "Done");
    }
    // The header: the word count, then the run address, 3 bytes each, least significant first.
    BootStream stream(link, Words(0x123), 0x40, 0x40 + 0x123);
    peer->sent.clear();
    stream.Start();
    EXPECT_EQ(peer->sent, (std::vector<std::uint8_t>{0x23, 0x01, 0x00, 0x40, 0x00, 0x00}));
    EXPECT_EQ(stream.Bar().minimum, 0x40u);
    EXPECT_EQ(stream.Bar().maximum, 0x163u);
}

TEST_F(BootStreamTest, AbortSendsNothingMore)
{
    BootStream stream(link, Words(200), 0, 200);
    stream.Start();
    stream.Tick();
    stream.Abort();
    EXPECT_EQ(stream.Outcome(), ProcedureResult::Aborted);
    peer->sent.clear();
    stream.Tick();
    EXPECT_TRUE(peer->sent.empty());
}

// A port that takes no bytes: the stream ends and says so, never "Done".
TEST_F(BootStreamTest, APortThatDoesNotTakeTheBytesEndsTheStream)
{
    link.ClosePort();
    BootStream stream(link, Words(10), 0, 10);
    stream.Start();
    EXPECT_TRUE(stream.IsFinished());
    EXPECT_EQ(stream.Outcome(), ProcedureResult::WriteFailed);
    EXPECT_EQ(stream.ResultText(), "Boot failed : the port did not take the bytes");
}

TEST(BootToTheModel, TheResidentLoaderTakesTheSampleProgramAndStartsIt)
{
    MachineConfig config;
    config.startInLoader = true;
    ModelLink m(config);
    BootImage image;
    LoadBootFile(QUORVEX_SAMPLES_DIR "/sample-boot.tb", image);
    ASSERT_TRUE(image.loaded) << image.statusText;
    const auto first = image.pWords.begin() + image.runAddress * 3;
    BootStream stream(m.link, {first, image.pWords.begin() + image.endAddress * 3}, image.runAddress,
                      image.endAddress);
    m.machine.SetMemoryWord(2, 0xBC, 0x123456);  // in the gap between the file's two records
    std::string result;
    ProcedureRun run = ModelPacedRun(m.machine);
    run.beforeTick = [&](Procedure&) { EXPECT_TRUE(m.link.OwnedByProcedure()); };  // nothing else is sent
    EXPECT_EQ(RunProcedure(stream, result, run), ProcedureResult::Done);
    EXPECT_FALSE(m.link.OwnedByProcedure());
    ASSERT_EQ(m.machine.Boots().size(), 1u);
    EXPECT_EQ(m.machine.Boots()[0].runAddress, 0x40u);
    EXPECT_EQ(m.machine.Boots()[0].wordCount, 0xD8u - 0x40u);
    EXPECT_EQ(m.machine.CurrentMode(), MachineModel::Mode::Running);
    EXPECT_EQ(m.machine.MemoryWord(2, 0xBC), 0u);  // the gap went as zero words
    EXPECT_NE(m.machine.MemoryWord(2, 0x40), 0u);
}

}  // namespace
