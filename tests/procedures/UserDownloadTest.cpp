// The user program download state machine against the in-process machine
// model: what each tick sends, where it writes, and how it ends.

#include "support/ModelFixture.h"
#include "images/UserImage.h"
#include "procedures/user/UserDownload.h"

#include <gtest/gtest.h>

#include <numeric>

namespace {

constexpr std::uint32_t kUserArea = 0xD20000;

// One request the machine carried out, as the download sees it.
struct Request {
    std::uint8_t opcode;
    std::uint32_t address;  // erase or program address; 0 for a status poll
    unsigned count;         // bytes programmed

    bool operator==(const Request&) const = default;
};

Request Program(std::uint32_t address, unsigned count) { return {Command::kProgramFlashBlock, address, count}; }

std::ostream& operator<<(std::ostream& out, const Request& r)
{
    return out << "{op " << int(r.opcode) << " at 0x" << std::hex << r.address << std::dec << " n " << r.count << "}";
}

// A loaded and prepared image with `zones` and data bytes 1, 2, 3 ...
UserImage Image(const std::vector<std::uint32_t>& zones, std::uint32_t userArea = kUserArea)
{
    UserImage image;
    image.zoneSizes = zones;
    image.zoneCount = std::uint32_t(zones.size());
    image.dataLength = std::accumulate(zones.begin(), zones.end(), 0u);
    image.data.resize(image.dataLength);
    for (std::size_t i = 0; i < image.data.size(); ++i)
        image.data[i] = std::uint8_t(i * 7 + 1);
    image.dataAsLoaded = image.data;
    image.programBase = userArea + 3 + 3 * image.zoneCount;
    image.loaded = true;
    return image;
}

UserArea Info(std::uint32_t length = 0x20000, std::uint32_t step = 0x10000)
{
    return {kUserArea, length, step};
}

// A download of a prepared image into `area`, as the panel starts it.
UserDownload Start(DeviceLink& link, const UserImage& image, const UserArea& area)
{
    return UserDownload(link, area, image.programBase, image.data, image.ZoneTable());
}

class DownloadTest : public testing::Test {
protected:
    // Ticks once; the requests the machine received in that tick.
    std::vector<Request> Tick(UserDownload& download)
    {
        m.machine.ClearRequestLog();
        download.Tick();
        std::vector<Request> requests;
        for (const auto& r : m.machine.RequestLog()) {
            const auto& p = r.parameters;
            Request request{r.opcode, 0, 0};
            if (p.size() >= 4)
                request.address = std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
            if (r.opcode == Command::kProgramFlashBlock)
                request.count = p[4];
            requests.push_back(request);
        }
        return requests;
    }

    // Ticks through the erase phase; the erase addresses, in order.
    std::vector<std::uint32_t> EraseAll(UserDownload& download, unsigned* busyPolls = nullptr)
    {
        std::vector<std::uint32_t> erased;
        unsigned polls = 0;
        for (int tick = 0; tick < 100000 && download.CurrentPhase() == UserDownload::Phase::Erasing; ++tick) {
            const auto requests = Tick(download);
            EXPECT_EQ(requests.size(), 1u);
            if (requests.empty())
                break;
            if (requests[0].opcode == Command::kEraseFlash)
                erased.push_back(requests[0].address);
            else if (requests[0].opcode == Command::kReadFlashStatus)
                ++polls;
        }
        if (busyPolls)
            *busyPolls = polls - unsigned(erased.size());
        return erased;
    }

    // Ticks through the programming phase; the requests of each tick.
    std::vector<std::vector<Request>> ProgramAll(UserDownload& download)
    {
        std::vector<std::vector<Request>> ticks;
        while (!download.IsFinished() && ticks.size() < 1000)
            ticks.push_back(Tick(download));
        return ticks;
    }

    ModelLink m;
};

TEST_F(DownloadTest, ErasesInStepsThenWritesBlocksWithTheZoneTableInTheLastTick)
{
    const auto image = Image({300, 200});
    UserDownload download = Start(m.link, image, Info(0x20000, 0x10000));
    EXPECT_EQ(download.ResultText(), "Not done");
    EXPECT_STREQ(download.StatusText(), "Erasing...");

    unsigned busyPolls = 0;
    EXPECT_EQ(EraseAll(download, &busyPolls), (std::vector<std::uint32_t>{kUserArea, kUserArea + 0x10000}));
    EXPECT_GT(busyPolls, 0u);  // an erase takes longer than one poll
    EXPECT_STREQ(download.StatusText(), "Programming...");
    EXPECT_EQ(download.ResultText(), "Not done");

    const auto base = image.programBase;
    const std::vector<std::vector<Request>> expected{
        {Program(base, 240)},
        {Program(base + 240, 240)},
        {Program(base + 480, 20), Program(kUserArea, 9)},
        {},
    };
    EXPECT_EQ(ProgramAll(download), expected);
    EXPECT_EQ(download.Outcome(), UserDownload::Result::Done);
    EXPECT_EQ(download.ResultText(), "Done");
    EXPECT_STREQ(download.StatusText(), "Stanby");
    EXPECT_EQ(download.CurrentProgress().position, 500u);

    EXPECT_EQ(m.machine.ReadFlash(base, 500), image.data);
    EXPECT_EQ(m.machine.ReadFlash(kUserArea, 9), image.ZoneTable());
    EXPECT_EQ(m.Word(kUserArea), base);
    EXPECT_EQ(m.Word(kUserArea + 3), base + 300);
    EXPECT_EQ(m.Word(kUserArea + 6), 0xFFFFFFu);
}

TEST_F(DownloadTest, BlockBoundaries)
{
    struct Case {
        std::uint32_t length;
        std::vector<unsigned> blocks;
    };
    for (const auto& c : {Case{480, {240, 240}}, Case{481, {240, 240, 1}}, Case{240, {240}}, Case{1, {1}}}) {
        SCOPED_TRACE(c.length);
        const auto image = Image({c.length});
        UserDownload download = Start(m.link, image, Info(0x10000, 0x10000));
        EraseAll(download);
        const auto ticks = ProgramAll(download);
        // One tick per block, then the tick that finds everything written.
        ASSERT_EQ(ticks.size(), c.blocks.size() + 1);
        std::uint32_t offset = 0;
        for (std::size_t i = 0; i < c.blocks.size(); ++i) {
            std::vector<Request> expected{Program(image.programBase + offset, c.blocks[i])};
            if (i + 1 == c.blocks.size())
                expected.push_back(Program(kUserArea, 6));
            EXPECT_EQ(ticks[i], expected) << "block " << i;
            offset += c.blocks[i];
        }
        EXPECT_TRUE(ticks.back().empty());
        EXPECT_EQ(download.ResultText(), "Done");
        EXPECT_EQ(m.machine.ReadFlash(image.programBase, c.length), image.data);
    }
}

TEST_F(DownloadTest, ProgressFollowsErasingThenWriting)
{
    const auto image = Image({500});
    UserDownload download = Start(m.link, image, Info(0x20000, 0x10000));
    auto progress = download.CurrentProgress();
    EXPECT_EQ(progress.phase, UserDownload::Phase::Erasing);
    EXPECT_EQ(progress.position, 0u);
    EXPECT_EQ(progress.maximum, 0x20000u);
    // Work() counts the erases: two steps of the user area.
    EXPECT_EQ(download.Work().maximum, 2u);
    EXPECT_STREQ(download.WorkUnit(), "erases");

    Tick(download);
    EXPECT_GT(download.PauseHint().count(), 0);
    while (download.CurrentProgress().position == 0)
        Tick(download);
    EXPECT_EQ(download.CurrentProgress().position, 0x10000u);
    EXPECT_EQ(download.Work().position, 1u);
    EXPECT_EQ(download.PauseHint().count(), 0);

    EraseAll(download);
    progress = download.CurrentProgress();
    EXPECT_EQ(progress.phase, UserDownload::Phase::Programming);
    EXPECT_EQ(progress.position, 0u);
    EXPECT_EQ(progress.maximum, 500u);
    Tick(download);
    EXPECT_EQ(download.CurrentProgress().position, 240u);
    EXPECT_EQ(download.Work().position, 240u);
    EXPECT_STREQ(download.WorkUnit(), "bytes");
}

TEST_F(DownloadTest, BadStatusOnTheLastBlockStopsBeforeTheZoneTable)
{
    const auto image = Image({300, 200});
    UserDownload download = Start(m.link, image, Info());
    EraseAll(download);
    m.machine.InjectFault({.kind = FaultKind::ProgramStatus, .nth = 3, .status = 0x02});
    const auto ticks = ProgramAll(download);
    ASSERT_EQ(ticks.size(), 3u);
    EXPECT_EQ(ticks[2], (std::vector<Request>{Program(image.programBase + 480, 20)}));
    EXPECT_EQ(download.Outcome(), UserDownload::Result::ProgramStatus);
    EXPECT_EQ(download.ResultText(), "bad status while programming : 0x02");
    EXPECT_EQ(download.FailedStatus(), 0x02);
    EXPECT_STREQ(download.StatusText(), "Stanby");
    EXPECT_EQ(m.Word(kUserArea), 0xFFFFFFu);  // no zone table
}

TEST_F(DownloadTest, BadStatusOnAFullBlockStopsThere)
{
    const auto image = Image({500});
    UserDownload download = Start(m.link, image, Info());
    EraseAll(download);
    m.machine.InjectFault({.kind = FaultKind::ProgramStatus, .nth = 1, .status = 0x84});
    EXPECT_EQ(ProgramAll(download).size(), 1u);
    EXPECT_EQ(download.ResultText(), "bad status while programming : 0x84");
}

TEST_F(DownloadTest, BadEraseStatusStopsBeforeProgramming)
{
    const auto image = Image({500});
    UserDownload download = Start(m.link, image, Info());
    m.machine.InjectFault({.kind = FaultKind::EraseStatus, .nth = 2, .status = 0x08});
    EXPECT_EQ(EraseAll(download).size(), 2u);
    EXPECT_EQ(download.Outcome(), UserDownload::Result::EraseStatus);
    EXPECT_EQ(download.ResultText(), "bad status while erasing : 0x08");
    EXPECT_TRUE(ProgramAll(download).empty());
}

TEST_F(DownloadTest, NoAnswerEndsTheDownloadAtOnce)
{
    for (const unsigned failing : {1u, 2u}) {
        ModelLink machine;
        const auto image = Image({500});
        UserDownload download = Start(machine.link, image, Info());
        machine.machine.InjectFault({.kind = FaultKind::NoAnswer, .nth = failing});
        for (unsigned tick = 0; tick < failing; ++tick)
            download.Tick();
        EXPECT_TRUE(download.IsFinished()) << failing;
        EXPECT_EQ(download.Outcome(), UserDownload::Result::NoAnswer);
        EXPECT_EQ(download.ResultText(), "No answer");
    }
    // Within the programming phase too: the zone table is not written.
    const auto image = Image({500});
    UserDownload download = Start(m.link, image, Info());
    EraseAll(download);
    m.machine.InjectFault({.kind = FaultKind::NoAnswer, .nth = 2});
    EXPECT_EQ(ProgramAll(download).size(), 2u);
    EXPECT_EQ(download.ResultText(), "No answer");
    EXPECT_EQ(m.Word(kUserArea), 0xFFFFFFu);
}

TEST_F(DownloadTest, AbortEndsAtTheNextTickWithoutAnExchange)
{
    const auto image = Image({500});
    {
        UserDownload download = Start(m.link, image, Info());
        Tick(download);  // the erase is under way
        download.Abort();
        EXPECT_EQ(download.CurrentPhase(), UserDownload::Phase::Idle);
        EXPECT_FALSE(download.IsFinished());
        EXPECT_EQ(download.ResultText(), "Not done");
        EXPECT_TRUE(Tick(download).empty());
        EXPECT_EQ(download.Outcome(), UserDownload::Result::Aborted);
        EXPECT_EQ(download.ResultText(), "Aborted");
        EXPECT_STREQ(download.StatusText(), "Stanby");
    }
    {
        UserDownload download = Start(m.link, image, Info());
        EraseAll(download);
        Tick(download);
        download.Abort();
        EXPECT_TRUE(Tick(download).empty());
        EXPECT_EQ(download.ResultText(), "Aborted");
    }
    {
        // Once finished, neither Abort nor Tick changes anything.
        UserDownload download = Start(m.link, image, Info());
        EraseAll(download);
        ProgramAll(download);
        download.Abort();
        EXPECT_TRUE(Tick(download).empty());
        EXPECT_EQ(download.ResultText(), "Done");
    }
}

}  // namespace
