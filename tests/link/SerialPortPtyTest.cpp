// The real serial port code over a pseudo-terminal.
#include "link/DeviceLink.h"
#include "support/PseudoTerminal.h"
#include "link/SerialPort.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using testing::ElementsAre;
using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

namespace {

class SerialPortPtyTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pty.IsValid());
        ASSERT_TRUE(port.Open(pty.SlavePath(), 38400, Parity::Odd, StopBits::One));
    }
    static long MillisecondsSince(Clock::time_point start)
    {
        return long(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
    }

    PseudoTerminal pty;
    SerialPort port;
};

TEST_F(SerialPortPtyTest, WritesAndReadsWholeBlocks)
{
    const Bytes out{0x02, 0x03, 0x7E, 0x01, 0x00, 0x7E};
    ASSERT_TRUE(port.Write(out));
    EXPECT_EQ(pty.Receive(), out);

    pty.Send({0x10, 0x20, 0x30});
    Bytes in(3);
    ASSERT_TRUE(port.Read(in));
    EXPECT_THAT(in, ElementsAre(0x10, 0x20, 0x30));
}

TEST_F(SerialPortPtyTest, ShortReadWaitsItsWholeTimeOutFailsAndConsumesWhatCame)
{
    pty.Send({1, 2, 3, 4, 5});
    Bytes nine(9);
    const auto start = Clock::now();
    EXPECT_FALSE(port.Read(nine));
    EXPECT_GE(MillisecondsSince(start), 109);

    pty.Send({6, 7});
    Bytes two(2);
    ASSERT_TRUE(port.Read(two));
    EXPECT_THAT(two, ElementsAre(6, 7));  // the five bytes are gone
}

TEST_F(SerialPortPtyTest, PurgeDropsOnlyWhatWasReceived)
{
    pty.Send({1, 2, 3});
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    port.PurgeReceive();
    Bytes one(1);
    EXPECT_FALSE(port.Read(one));

    pty.Send({9});
    ASSERT_TRUE(port.Read(one));
    EXPECT_EQ(one[0], 9);
}

TEST_F(SerialPortPtyTest, BreakPulseEndsOnAByteOrAfterTheOneByteTimeOut)
{
    auto start = Clock::now();
    EXPECT_TRUE(port.BreakPulse());
    EXPECT_GE(MillisecondsSince(start), 101);

    pty.Send({0x42, 0x43});
    EXPECT_TRUE(port.BreakPulse());
    Bytes one(1);
    ASSERT_TRUE(port.Read(one));
    EXPECT_EQ(one[0], 0x43);  // the first byte was taken by the break
}

TEST_F(SerialPortPtyTest, TheDeviceIsOpenedForExclusiveUse)
{
    SerialPort second;
    EXPECT_FALSE(second.Open(pty.SlavePath(), 38400, Parity::Odd, StopBits::One));
    EXPECT_FALSE(second.IsOpen());

    port.Close();
    port.Close();  // closing twice is harmless
    EXPECT_TRUE(second.Open(pty.SlavePath(), 38400, Parity::Odd, StopBits::One));
}

TEST_F(SerialPortPtyTest, OpeningAnotherPortClosesTheFirst)
{
    PseudoTerminal other;
    ASSERT_TRUE(port.Open(other.SlavePath(), 38400, Parity::Odd, StopBits::One));
    SerialPort second;
    EXPECT_TRUE(second.Open(pty.SlavePath(), 38400, Parity::Odd, StopBits::One));

    // Reopening the same device works too.
    EXPECT_TRUE(port.Open(other.SlavePath(), 38400, Parity::Odd, StopBits::One));
}

TEST_F(SerialPortPtyTest, APseudoTerminalOpensForTheLinkButCannotDriveRts)
{
    EXPECT_FALSE(port.SetRts(true));
    port.Close();

    DeviceLink link;
    ASSERT_TRUE(link.OpenPort(PortAddress::OfDevice(pty.SlavePath())));
    EXPECT_EQ(link.State(), LinkState::Ready);
    EXPECT_FALSE(link.SetRts(true));
    EXPECT_FALSE(link.Rts());

    EXPECT_FALSE(link.OpenPort(PortAddress::OfDevice("/dev/no-such-serial-device")));
    EXPECT_EQ(link.State(), LinkState::NotAvailable);
}

TEST(SerialPortClosedTest, AMissingDeviceFailsAndEveryOperationFailsAtOnce)
{
    SerialPort port;
    EXPECT_FALSE(port.Open("/dev/no-such-serial-device", 38400, Parity::Odd, StopBits::One));
    EXPECT_FALSE(port.IsOpen());
    const auto start = Clock::now();
    Bytes bytes(4);
    EXPECT_FALSE(port.Read(bytes));
    EXPECT_FALSE(port.Write(bytes));
    EXPECT_FALSE(port.BreakPulse());
    EXPECT_FALSE(port.SetRts(true));
    port.PurgeReceive();
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count(), 100);  // none waits for a time-out
}

}  // namespace
