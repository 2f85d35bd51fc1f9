// Every transition of the link state, and the wake-up exchange that moves the
// link out of NoAnswer, against a scripted peer.
#include "link/DeviceLink.h"
#include "support/ScriptedPeer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using testing::ElementsAre;
using Bytes = std::vector<std::uint8_t>;

namespace {

const Bytes kIdentityReply = ReplyOf(0x7E, 0x00, {0, 0, 0, 1, 0, 0, 0, 2});

class LinkStateTest : public testing::Test {
protected:
    LinkStateTest() : link(std::unique_ptr<PortBackend>(peer = new ScriptedPeer)) {}

    bool ReadIdentity()
    {
        std::uint32_t hard = 0, flash = 0;
        return link.ReadIdentity(hard, flash);
    }
    // Drive the link to NoAnswer through a missing acknowledgement.
    void LoseTheMachine()
    {
        peer->wakeAnswer = -1;
        link.Select(Command::kSelectCode);
        ASSERT_EQ(link.State(), LinkState::NoAnswer);
        peer->wakeAnswer = 0x04;
        peer->Clear();
    }

    ScriptedPeer* peer;
    DeviceLink link;
};

TEST_F(LinkStateTest, OpeningAndClosing)
{
    EXPECT_EQ(link.State(), LinkState::Closed);
    ASSERT_TRUE(link.OpenPort(PortAddress::OfDevice("/dev/some-port")));
    EXPECT_EQ(link.State(), LinkState::Ready);  // at once, without any exchange
    EXPECT_TRUE(peer->sent.empty());
    EXPECT_EQ(peer->openedDevice, "/dev/some-port");

    link.ClosePort();
    EXPECT_EQ(link.State(), LinkState::Closed);
    EXPECT_FALSE(peer->IsOpen());

    peer->refuseOpen = true;
    EXPECT_FALSE(link.OpenPort(PortAddress::OfDevice("/dev/some-port")));
    EXPECT_EQ(link.State(), LinkState::NotAvailable);
    // Why it failed is kept with the address tried, until an open succeeds.
    EXPECT_EQ(link.LastAddress().device, "/dev/some-port");
    EXPECT_EQ(link.OpenFailure().trouble, PortTrouble::NoDevice);
    peer->refuseOpen = false;
    EXPECT_TRUE(link.OpenPort(PortAddress::OfDevice("/dev/some-port")));
    EXPECT_EQ(link.State(), LinkState::Ready);
    EXPECT_EQ(link.OpenFailure().trouble, PortTrouble::None);
}

TEST_F(LinkStateTest, CommandsInClosedOrNotAvailableFailUnsent)
{
    for (bool tryToOpen : {false, true}) {
        if (tryToOpen) {
            peer->refuseOpen = true;
            link.OpenPort({"com2", "/dev/ttyS1"});
        }
        const LinkState before = link.State();
        std::uint8_t status = 0;
        std::uint8_t bytes[4] = {};
        std::uint32_t words[1] = {};
        EXPECT_FALSE(ReadIdentity());
        EXPECT_FALSE(link.ReadFlashStatus(status));
        EXPECT_FALSE(link.ReadFlashBlock(0, 3, bytes));
        EXPECT_FALSE(link.ProgramFlashBlock(0, 3, bytes, status));
        EXPECT_FALSE(link.EraseFlash(0));
        EXPECT_FALSE(link.PowerControl(0));
        EXPECT_FALSE(link.ReadMemory(0, MemorySpace::X, 1, words));
        EXPECT_FALSE(link.WriteMemory(0, MemorySpace::X, 1, words));
        EXPECT_FALSE(link.Execute(0, {}, 0, 0));
        EXPECT_FALSE(link.Kill(0));
        link.Select(Command::kSelectCode);
        EXPECT_TRUE(peer->sent.empty());
        EXPECT_EQ(peer->breaks, 0);
        EXPECT_EQ(link.State(), before);
    }
}

TEST_F(LinkStateTest, SelectWhileReadySendsBreakAndSelectCodeAgain)
{
    link.OpenPort({"com1", "/dev/ttyS0"});
    link.Select(Command::kSelectCode);
    EXPECT_EQ(link.State(), LinkState::Ready);
    link.Select(Command::kSelectCode);
    EXPECT_EQ(link.State(), LinkState::Ready);
    EXPECT_EQ(peer->breaks, 2);
    EXPECT_EQ(peer->purges, 2);
    EXPECT_THAT(peer->sent, ElementsAre(0x80, 0xA2, 0x03, 0x80, 0xA2, 0x03));
}

TEST_F(LinkStateTest, SelectInClosedOnlyStoresTheCode)
{
    link.Select(0x1234);
    EXPECT_EQ(link.State(), LinkState::Closed);
    EXPECT_TRUE(peer->sent.empty());
    link.OpenPort({"com1", "/dev/ttyS0"});
    link.Select(0x1234);
    EXPECT_THAT(peer->sent, ElementsAre(0x12, 0x34, 0x03));
}

TEST_F(LinkStateTest, WakeUpAnsweredOrNot)
{
    link.OpenPort({"com1", "/dev/ttyS0"});
    LoseTheMachine();

    // Not answered: the command fails with only the wake-up on the line.
    peer->wakeAnswer = -1;
    EXPECT_FALSE(ReadIdentity());
    EXPECT_EQ(link.State(), LinkState::NoAnswer);
    EXPECT_THAT(peer->sent, ElementsAre(0x80, 0xA2, 0x03));

    // Answered with another byte: still NoAnswer.
    peer->Clear();
    peer->wakeAnswer = 0x06;
    EXPECT_FALSE(ReadIdentity());
    EXPECT_EQ(link.State(), LinkState::NoAnswer);
    EXPECT_EQ(peer->frames, 0);

    // Answered with the acknowledgement: Ready, and the command proceeds.
    peer->Clear();
    peer->wakeAnswer = 0x04;
    peer->Answer(kIdentityReply);
    EXPECT_TRUE(ReadIdentity());
    EXPECT_EQ(link.State(), LinkState::Ready);
    EXPECT_EQ(peer->frames, 1);
}

TEST_F(LinkStateTest, BadRepliesDropTheLinkToNoAnswerAndSayWhatWasWrong)
{
    link.OpenPort({"com1", "/dev/ttyS0"});
    auto badChecksum = kIdentityReply;
    badChecksum.back() += 1;
    auto badStart = kIdentityReply;
    badStart[0] = 0x03;
    const Bytes shortReply(kIdentityReply.begin(), kIdentityReply.end() - 1);
    const struct {
        Bytes reply;
        LinkFailure::Kind kind;
        const char* text;
    } cases[] = {
        {badChecksum, LinkFailure::Kind::BadChecksum,
         "the answer to ReadIdentity had a bad checksum: check the cable, the adapter and the line's speed"},
        {badStart, LinkFailure::Kind::BadStart, "the answer to ReadIdentity had a bad start byte: check the cable, "
                                                "the adapter and the line's speed"},
        {ReplyOf(0x7E, 0x01, {0, 0, 0, 1, 0, 0, 0, 2}), LinkFailure::Kind::BadOpcode,
         "the answer to ReadIdentity had a bad opcode: check the cable, the adapter and the line's speed"},
        {ReplyOf(0x7F, 0x00, {0, 0, 0, 1, 0, 0, 0, 2}), LinkFailure::Kind::BadClass,
         "the answer to ReadIdentity had a bad class byte: check the cable, the adapter and the line's speed"},
        {shortReply, LinkFailure::Kind::Short, "the answer to ReadIdentity stopped after 13 of 14 bytes: check "
                                               "the cable, the adapter and the line's speed"},
        {Bytes{}, LinkFailure::Kind::NoByte, "the machine sent nothing in answer to ReadIdentity: check that it "
                                             "is switched on, its cable and the selected port"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        peer->Answer(c.reply);
        std::uint32_t hard = 0xAAAA, flash = 0xBBBB;
        EXPECT_FALSE(link.ReadIdentity(hard, flash));
        EXPECT_EQ(hard, 0xAAAAu);
        EXPECT_EQ(link.State(), LinkState::NoAnswer);
        EXPECT_EQ(link.LastFailure().kind, c.kind);
        EXPECT_EQ(link.LastFailure().Text(), c.text);
        // The next command wakes the machine first and works again.
        peer->Answer(kIdentityReply);
        EXPECT_TRUE(ReadIdentity());
        EXPECT_EQ(link.State(), LinkState::Ready);
        EXPECT_FALSE(link.LastFailure().Failed());
    }
}

TEST_F(LinkStateTest, SurplusBytesSpoilTheNextReplyAndTheWakeUpPurgesThem)
{
    link.OpenPort({"com1", "/dev/ttyS0"});
    Bytes withSurplus = kIdentityReply;
    withSurplus.insert(withSurplus.end(), {0x55, 0x66});
    peer->Answer(withSurplus);
    EXPECT_TRUE(ReadIdentity());
    EXPECT_EQ(peer->incoming.size(), 2u);

    peer->Answer(kIdentityReply);
    EXPECT_FALSE(ReadIdentity());  // reads the surplus as the head of its reply
    EXPECT_EQ(link.State(), LinkState::NoAnswer);
    EXPECT_EQ(link.LastFailure().kind, LinkFailure::Kind::BadStart);
    EXPECT_THAT(link.LastFailure().Text(), testing::EndsWith("; an earlier answer came late or with surplus bytes"));

    peer->incoming.clear();
    peer->incoming.push_back(0x99);  // a stray byte waiting before the wake-up
    peer->Answer(kIdentityReply);
    EXPECT_TRUE(ReadIdentity());
    EXPECT_EQ(link.State(), LinkState::Ready);
}

TEST_F(LinkStateTest, AcknowledgementMissingOrWrong)
{
    link.OpenPort({"com1", "/dev/ttyS0"});
    EXPECT_FALSE(link.EraseFlash(0xD00000));  // no answer at all
    EXPECT_EQ(link.State(), LinkState::NoAnswer);
    EXPECT_EQ(link.LastFailure().kind, LinkFailure::Kind::NoByte);
    peer->Answer({0x15});
    EXPECT_FALSE(link.EraseFlash(0xD00000));
    EXPECT_EQ(link.State(), LinkState::NoAnswer);
    EXPECT_EQ(link.LastFailure().Text(), "the answer to EraseFlash was the byte 0x15 instead of an acknowledgement: "
                                         "check the cable, the adapter and the line's speed");
    peer->Answer({0x04});
    EXPECT_TRUE(link.EraseFlash(0xD00000));
    EXPECT_EQ(link.State(), LinkState::Ready);
}

TEST_F(LinkStateTest, ALostDeviceIsClosedAndOpenedAgainWhenItIsBack)
{
    link.OpenPort({"com3", "COM3"});  // no path that must be there first: tried at each look
    peer->Close();                    // the adapter pulled out
    link.KeepOpen();
    EXPECT_EQ(link.State(), LinkState::Ready);  // opened again at once
    EXPECT_EQ(peer->opens, 2);
    EXPECT_FALSE(peer->rts);

    peer->Close();
    peer->refuseOpen = true;
    EXPECT_TRUE(link.KeepOpen());
    EXPECT_EQ(link.State(), LinkState::NotAvailable);
    EXPECT_FALSE(link.KeepOpen());  // still away
    peer->refuseOpen = false;
    EXPECT_TRUE(link.KeepOpen());
    EXPECT_EQ(link.State(), LinkState::Ready);
    EXPECT_TRUE(peer->sent.empty());  // looking sends nothing
}

TEST_F(LinkStateTest, RawWriteIgnoresTheStateAndLeavesIt)
{
    link.OpenPort({"com1", "/dev/ttyS0"});
    LoseTheMachine();
    const Bytes stream{0x01, 0x02, 0x03};
    EXPECT_TRUE(link.RawWrite(stream));
    EXPECT_EQ(link.State(), LinkState::NoAnswer);
    EXPECT_THAT(peer->sent, ElementsAre(0x01, 0x02, 0x03));
    link.ClosePort();
    EXPECT_FALSE(link.RawWrite(stream));
}

TEST_F(LinkStateTest, RtsFollowsTheLineAndEveryOpenClearsIt)
{
    EXPECT_FALSE(link.SetRts(true));  // no port
    EXPECT_FALSE(link.Rts());
    link.OpenPort({"com1", "/dev/ttyS0"});
    ASSERT_TRUE(link.SetRts(true));
    EXPECT_TRUE(link.Rts());
    EXPECT_TRUE(peer->rts);

    link.OpenPort({"com2", "/dev/ttyS1"});  // reopening turns the line off
    EXPECT_FALSE(link.Rts());
    EXPECT_FALSE(peer->rts);

    link.SetRts(true);
    peer->refuseOpen = true;
    EXPECT_FALSE(link.OpenPort({"com3", "/dev/ttyS2"}));
    EXPECT_FALSE(link.Rts());  // cleared also when the open fails

    peer->refuseOpen = false;
    link.OpenPort({"com1", "/dev/ttyS0"});
    peer->rtsSupported = false;  // a port without the line
    EXPECT_FALSE(link.SetRts(true));
    EXPECT_FALSE(link.Rts());
}

TEST(FrameTest, ChecksumMakesLengthPayloadAndChecksumSumToZero)
{
    const std::uint8_t payload[] = {0x7E, 0x01, 0x00};
    EXPECT_EQ(Frame::Checksum(3, payload), 0x7E);
    const std::uint8_t zero[] = {0xFD};
    EXPECT_EQ(Frame::Checksum(1, zero), 0x02);
    const std::uint8_t wraps[] = {0xFF};
    EXPECT_EQ(Frame::Checksum(1, wraps), 0x00);
}

}  // namespace
