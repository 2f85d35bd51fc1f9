// What the "Download" button runs before the download: the checks and their
// refusals, PrepareUserImage, and the whole sequence on the machine model.

#include "support/FlashLayouts.h"
#include "operations/readout/MachineInfo.h"
#include "operations/readout/MachinePanel.h"
#include "support/ModelClock.h"
#include "support/OwnedContext.h"
#include "operations/downloads/DownloadStarts.h"
#include "images/UserImage.h"
#include "procedures/ResultTexts.h"
#include "procedures/RunProcedure.h"
#include "samples/SampleSet.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

constexpr std::uint32_t kUserArea = 0xD20000;

std::uint32_t Word(const std::vector<std::uint8_t>& bytes, std::size_t at)
{
    return std::uint32_t(bytes[at]) | std::uint32_t(bytes[at + 1]) << 8 | std::uint32_t(bytes[at + 2]) << 16;
}

void PutWord(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value)
{
    bytes[at] = std::uint8_t(value);
    bytes[at + 1] = std::uint8_t(value >> 8);
    bytes[at + 2] = std::uint8_t(value >> 16);
}

// A machine information as a complete readout of a machine with factory data leaves it.
MachineInfo Machine(std::uint32_t hardwareVersion = 0x010200, std::uint32_t length = 0x20000,
                    std::uint32_t step = 0x10000)
{
    MachineInfo info;
    info.answered = info.factoryInfoRead = info.mainInfoRead = true;
    info.hardwareVersion = hardwareVersion;
    info.userAreaAddress = kUserArea;
    info.userAreaLength = length;
    info.eraseStep = step;
    return info;
}

// A loaded image with its kept copy.
UserImage Program(std::uint32_t hardware, const std::vector<std::uint32_t>& zones)
{
    UserImage image;
    image.hardware = hardware;
    image.zoneSizes = zones;
    image.zoneCount = std::uint32_t(zones.size());
    for (const auto size : zones)
        image.dataLength += size;
    image.data.assign(image.dataLength, 0x5A);
    image.loaded = true;
    KeepUserImageAsLoaded(image);
    return image;
}

TEST(UserDownloadCheck, RefusalsAndTheirTexts)
{
    struct Case {
        const char* what;
        MachineInfo info;
        UserImage image;
        UserDownloadRefusal refusal;
        std::string text;
    };
    auto silent = Machine();
    silent.answered = false;
    auto noFactory = Machine();
    noFactory.factoryInfoRead = false;
    auto notLoaded = Program(0x010200, {100});
    notLoaded.loaded = false;
    auto notKept = Program(0x010200, {100});
    notKept.dataAsLoaded.clear();
    // Zone table of 2 zones (9 bytes) and 0x1000 - 9 data bytes fill 0x1000 exactly.
    const auto fits = Program(0x010200, {0x800, 0x1000 - 9 - 0x800});
    const auto oneOver = Program(0x010200, {0x800, 0x1000 - 8 - 0x800});

    const std::vector<Case> cases{
        {"not loaded", Machine(), notLoaded, UserDownloadRefusal::NotLoaded, "No file loaded"},
        {"not kept", Machine(), notKept, UserDownloadRefusal::NotLoaded, "No file loaded"},
        {"no answer", silent, Program(0x010200, {100}), UserDownloadRefusal::NoAnswer, "No answer"},
        {"no factory data", noFactory, Program(0x010200, {100}), UserDownloadRefusal::NoFactoryData,
         "Factory data must be downloaded first"},
        {"hardware differs in bits 8 to 23", Machine(0x010200), Program(0x010300, {100}),
         UserDownloadRefusal::IncompatibleHardware, "Incompatiblable hardware version"},
        {"hardware differs only in the low byte", Machine(0x010200), Program(0x0102FF, {100}),
         UserDownloadRefusal::None, ""},
        {"hardware differs only above bit 23", Machine(0x010200), Program(0xFF010200, {100}),
         UserDownloadRefusal::None, ""},
        {"erase step 0", Machine(0x010200, 0x20000, 0), Program(0x010200, {100}),
         UserDownloadRefusal::NoEraseStep, "Bad factory data : erase step is 0"},
        {"fits exactly", Machine(0x010200, 0x1000), fits, UserDownloadRefusal::None, ""},
        {"one byte too large", Machine(0x010200, 0x1000), oneOver, UserDownloadRefusal::TooLarge,
         "Program too large : 4097 bytes for a user area of 4096 bytes"},
        {"empty user area with step 0", Machine(0x010200, 0, 0), Program(0x010200, {100}),
         UserDownloadRefusal::TooLarge, "Program too large : 106 bytes for a user area of 0 bytes"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto check = CheckUserDownload(c.info, c.image);
        EXPECT_EQ(check.refusal, c.refusal);
        EXPECT_EQ(check.text, c.text);
        EXPECT_EQ(check.Accepted(), c.refusal == UserDownloadRefusal::None);
    }
}

TEST(PrepareUserImage, RelocatesFromTheLoadedValuesEveryTime)
{
    auto image = Program(0x010200, {12, 4});
    PutWord(image.data, 0, 0x000010);
    PutWord(image.data, 3, 0);
    PutWord(image.data, 6, 0xFFFFFF);
    PutWord(image.data, 9, 0xFFFFF0);
    image.vectors = {0, 3, 6, 9, 14, 16, 0xFFFFFFFF};  // the last three do not fit in the data
    KeepUserImageAsLoaded(image);
    const auto loaded = image.data;

    for (int download = 0; download < 2; ++download) {
        SCOPED_TRACE(download);
        ASSERT_TRUE(PrepareUserImage(image, Machine()));
        EXPECT_EQ(image.programBase, kUserArea + 9);  // behind a table of 3 entries
        EXPECT_EQ(Word(image.data, 0), kUserArea + 9 + 0x10);
        EXPECT_EQ(Word(image.data, 3), 0xFFFFFFu);
        EXPECT_EQ(Word(image.data, 6), 0xFFFFFFu);
        EXPECT_EQ(Word(image.data, 9), (0xFFFFF0u + kUserArea + 9) & 0xFFFFFF);
        EXPECT_TRUE(std::equal(image.data.begin() + 12, image.data.end(), loaded.begin() + 12));
        EXPECT_EQ(image.dataAsLoaded, loaded);
    }

    image.dataAsLoaded.clear();
    EXPECT_FALSE(PrepareUserImage(image, Machine()));
}

// The sample factory image in the machine and the sample user program file.
class DownloadButtonTest : public testing::Test {
protected:
    void SetUp() override
    {
        const auto factory = SampleFactoryImage();
        ASSERT_TRUE(m.machine.ApplyImage(factory.eraseVectors, SampleLayout::kFactoryBase, factory.image));
        ASSERT_TRUE(folder.isValid());
        program = SampleUserProgram();
        Load(program);
    }

    void Load(const UserProgramContent& content)
    {
        const auto path = folder.filePath("program.tbu").toStdString();
        ASSERT_TRUE(WriteFileBytes(path, UserProgramBytes(content)));
        LoadUserProgram(path, image);
        ASSERT_TRUE(image.loaded) << image.statusText;
    }

    // Runs the download to its end as a front end does, keeping `result` in
    // step; the download's result text.
    std::string RunToEnd(Procedure& download)
    {
        RunProcedure(download, result, ModelPacedRun(m.machine));
        return download.ResultText();
    }

    // The panel's context over this fixture's image, MachineInfo and result text.
    ToolContext Context(DeviceLink& link)
    {
        return {link, others.portName, others.factoryImage, image, others.bootImage, info, others.factoryResultText,
                result, others.symbols};
    }

    ModelLink m;
    QTemporaryDir folder;
    UserProgramContent program;
    UserImage image;
    MachineInfo info;
    std::string result;
    OwnedContext others;
};

// Load, "Download" twice, then the readout: the machine shows the program's
// versions and drivers, and the relocated addresses are the file's values
// moved once by programBase, also after the second download.
TEST_F(DownloadButtonTest, DownloadsTheSampleProgramTwiceInARow)
{
    for (int download = 0; download < 2; ++download) {
        SCOPED_TRACE(download);
        auto start = StartUserDownload(m.link, info, image);
        ASSERT_EQ(start.refusal, ActionRefusal::None) << start.text;
        ASSERT_TRUE(start.procedure);
        EXPECT_EQ(start.procedure->ResultText(), "Not done");
        EXPECT_EQ(image.programBase, SampleLayout::kUserProgramBase);
        EXPECT_EQ(RunToEnd(*start.procedure), "Done");
        EXPECT_EQ(result, "Done");

        const auto flash = m.machine.ReadFlash(image.programBase, program.data.size());
        ASSERT_FALSE(program.vectors.empty());
        for (const auto offset : program.vectors) {
            const auto value = Word(program.data, offset);
            const auto expected = value == 0 || value == 0xFFFFFF ? 0xFFFFFF : (value + image.programBase) & 0xFFFFFF;
            EXPECT_EQ(Word(flash, offset), expected) << "vector at " << offset;
        }
    }

    ReadMachineInfo(m.link, info);
    EXPECT_EQ(info.statusText, "");
    ASSERT_TRUE(info.mainInfoRead);
    EXPECT_EQ(info.mainBootVersion, SampleLayout::kMainBootVersion);
    EXPECT_EQ(info.program1Text, "V2.01 C");
    EXPECT_EQ(info.program2Text, "V1.00 A");
    EXPECT_EQ(info.driversText, "type 0x10 V2.00;  type 0x11 V1.05;  ");
}

// The panel of a program's context works on the process-wide image and
// MachineInfo, and its driver keeps the process-wide result text in step.
TEST_F(DownloadButtonTest, ProcessWideImageAndMachineInfoThroughTheContext)
{
    const ToolContext context = ProcessContext(m.link);
    TheUserImage() = image;
    auto start = StartUserDownload(context.link, context.machineInfo, context.userImage);
    ASSERT_TRUE(start.procedure);
    EXPECT_TRUE(TheMachineInfo().factoryInfoRead);
    start.procedure->Abort();
    ProcedureRun run = ModelPacedRun(m.machine);
    run.beforeTick = [](Procedure&) { EXPECT_EQ(UserResultText, "Not done"); };
    RunProcedure(*start.procedure, context.userResultText, run);
    EXPECT_EQ(start.procedure->ResultText(), "Aborted");
    EXPECT_EQ(UserResultText, "Aborted");
    TheUserImage().Release();
}

// Every refusal comes before anything in the machine is erased.
TEST_F(DownloadButtonTest, RefusalsEraseNothing)
{
    struct Case {
        const char* what;
        FactoryLayout factory;
        std::uint32_t hardware;
        bool silent;
        ActionRefusal refusal;
        std::string text;
    };
    const std::vector<Case> cases{
        {"no answer", {}, 0x010200, true, ActionRefusal::NoAnswer, "No answer"},
        {"erased factory word", {.count = 0xFFFFFF}, 0x010200, false, ActionRefusal::MachineRefused,
         "Factory data must be downloaded first"},
        {"other hardware", {}, 0x020200, false, ActionRefusal::MachineRefused,
         "Incompatiblable hardware version"},
        {"erase step 0", {.eraseStep = 0}, 0x010200, false, ActionRefusal::MachineRefused,
         "Bad factory data : erase step is 0"},
        {"user area too small", {.userAreaLength = 0x400}, 0x010200, false, ActionRefusal::MachineRefused,
         "Program too large : 1889 bytes for a user area of 1024 bytes"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ModelLink machine;
        c.factory.WriteTo(machine);
        if (c.silent)
            machine.machine.PowerOff();
        auto content = program;
        content.hardware = c.hardware;
        Load(content);
        result = "untouched";
        const ToolContext context = Context(machine.link);
        const auto start = StartUserDownload(machine.link, context.machineInfo, context.userImage);
        EXPECT_FALSE(start.procedure);
        EXPECT_EQ(start.refusal, c.refusal);
        EXPECT_EQ(start.text, c.text);
        EXPECT_EQ(result, "untouched");
        const auto& log = machine.machine.RequestLog();
        EXPECT_TRUE(std::none_of(log.begin(), log.end(), [](const auto& r) {
            return r.opcode == Command::kEraseFlash || r.opcode == Command::kProgramFlashBlock;
        }));
    }
}

}  // namespace
