// The recording format of the line: every event reads back as written, and a
// file cut short or spoilt is read up to its last good event.
#include "link/Recording.h"
#include "link/RecordingBackend.h"
#include "support/ScriptedPeer.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

LineEvent Event(LineEvent::Kind kind, std::int64_t micros, std::vector<std::uint8_t> bytes = {}, bool done = true)
{
    LineEvent event;
    event.kind = kind;
    event.micros = micros;
    event.bytes = std::move(bytes);
    event.done = done;
    return event;
}

}  // namespace

TEST(Recording, EveryEventKindReadsBackAsWritten)
{
    LineEvent open = Event(LineEvent::Kind::Open, 10);
    open.name = "com1";
    open.device = "/dev/serial/by-id/usb-FTDI My Adapter%1";
    open.settings = {19200, Parity::Even, StopBits::Two};
    LineEvent read = Event(LineEvent::Kind::Read, 40, {0x04});
    read.requested = 1;
    LineEvent timedOut = Event(LineEvent::Kind::Read, 50, {0x02, 0x0B}, false);
    timedOut.requested = 14;
    LineEvent breakOn = Event(LineEvent::Kind::Break, 60);
    breakOn.on = true;
    LineEvent rtsOff = Event(LineEvent::Kind::Rts, 70, {}, false);
    const std::vector<LineEvent> events{open,
                                        Event(LineEvent::Kind::Write, 30, {0x80, 0xA2, 0x03}),
                                        Event(LineEvent::Kind::Write, 35, {0x02}, false),
                                        read, timedOut, breakOn, rtsOff,
                                        Event(LineEvent::Kind::Purge, 80, {0x55, 0x55}),
                                        Event(LineEvent::Kind::Purge, 85),
                                        Event(LineEvent::Kind::Close, 90)};
    std::string text = std::string(kRecordingHeader) + "\n";
    for (const LineEvent& event : events)
        text += FormatLineEvent(event) + "\n";

    text += FormatRecordingEnd(events.size()) + "\n";
    const Recording recording = ParseRecording(text);
    EXPECT_EQ(recording.error, "");
    EXPECT_FALSE(recording.cutOff);
    EXPECT_FALSE(recording.cutShort);
    ASSERT_EQ(recording.events.size(), events.size());
    for (std::size_t i = 0; i < events.size(); ++i)
        EXPECT_EQ(FormatLineEvent(recording.events[i]), FormatLineEvent(events[i])) << text;
    EXPECT_EQ(recording.events[0].device, open.device);
    EXPECT_EQ(FormatLineEvent(events[3]), "40 read 1 04");
}

TEST(Recording, IsReadUpToItsLastWholeEventAndSaysWhichLineIsWrong)
{
    const std::string head = "mirelle-recording 1\n10 write 80A203\n20 read 1 04\n";
    struct Case {
        std::string text;
        std::size_t events;
        bool cutShort;
        std::string error;
        bool cutOff = false;  // a version 2 recording without its end line
    };
    const Case cases[] = {
        {head, 2, false, ""},
        {head + "30 write 02037E01", 2, true, ""},  // killed while writing the line
        {head + "30 read 14 020B7E", 2, true, ""},
        {head + "30 read 1 0\n40 close\n", 2, false, "line 4: a read needs"},
        {head + "30 read 3 04 timeout\n", 3, false, ""},
        {head + "30 read 1 04 timeout\n", 2, false, "line 4: a read times out exactly"},
        {head + "30 tickle\n", 2, false, "line 4: unknown event 'tickle'"},
        {head + "x write 00\n", 2, false, "line 4: an event starts with its time"},
        {"mirelle-recording 3\n10 close\n", 0, false, "line 1: not a recording"},
        {"mirelle-recording 2\n10 close\nend 1\n", 1, false, ""},
        {"mirelle-recording 2\n10 close\n20 close\n", 2, false, "", true},
        {"mirelle-recording 2\n10 close\n20 clo", 1, true, "", true},
        {"mirelle-recording 2\n10 close\nend 2\n", 1, false, "line 3: the end line counts 2 events, the recording holds 1"},
        {"mirelle-recording 2\n10 close\nend 1\n20 close\n", 1, false, "line 4: an event after the end line"},
        {head + "end 2\n", 2, false, "line 4: an event starts with its time"},  // version 1 has no end line
        {"mirelle-rec", 0, true, "line 1: not a recording"},
        {"", 0, false, "the file is empty"},
    };
    for (const Case& c : cases) {
        const Recording recording = ParseRecording(c.text);
        EXPECT_EQ(recording.events.size(), c.events) << c.text;
        EXPECT_EQ(recording.cutShort, c.cutShort) << c.text;
        EXPECT_EQ(recording.error.substr(0, c.error.size()), c.error) << c.text;
        EXPECT_EQ(recording.error.empty(), c.error.empty()) << c.text;
        EXPECT_EQ(recording.cutOff, c.cutOff) << c.text;
    }
}

// The window records from its first open: a recording that cannot be
// written is told where the window tells it, and the port opens all the same.
TEST(Recording, AWindowsRecordingThatCannotBeWrittenIsToldAndThePortStillOpens)
{
    QTemporaryDir folder;
    RecordingBackend recording(std::make_unique<ScriptedPeer>());
    std::vector<std::string> told;
    recording.TellTroubleTo([&told](const std::string& text) { told.push_back(text); });
    const std::string path = folder.filePath("none/window.rec").toStdString();
    recording.StartAtNextOpen(path);
    EXPECT_TRUE(told.empty());
    EXPECT_TRUE(recording.Open(PortAddress::OfDevice("/dev/ttyTEST"), LineSettings{}));
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0], "cannot write the recording " + path + ": No such file or directory");
    EXPECT_FALSE(recording.Recording());
}
