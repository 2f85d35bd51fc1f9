// The sample files: reproduced byte for byte by the generator, accepted by the
// tool's loaders, and, applied to or downloaded into the simulated machine,
// the flash structures the machine information readout walks.
#include "images/BootImage.h"
#include "images/FactoryImage.h"
#include "support/ModelFixture.h"
#include "images/SymbolTable.h"
#include "images/UserImage.h"
#include "samples/SampleSet.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

using Bytes = std::vector<std::uint8_t>;
using namespace SampleLayout;

namespace {

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::string Committed(const std::string& name)
{
    return std::string(QUORVEX_SAMPLES_DIR) + "/" + name;
}

// The sample machine: the sample factory image applied, the user area empty.
struct SampleMachine : ModelLink {
    SampleMachine()
    {
        const auto factory = SampleFactoryImage();
        EXPECT_TRUE(machine.ApplyImage(factory.eraseVectors, 0xD00000, factory.image));
    }

    std::uint32_t Word(std::uint32_t address)
    {
        std::uint8_t bytes[3] = {};
        EXPECT_TRUE(link.ReadFlashBlock(address, 3, bytes)) << std::hex << address;
        return Le24(bytes);
    }

    // The driver words of a list, walked as the readout walks it.
    std::vector<std::uint32_t> Drivers(std::uint32_t record)
    {
        std::vector<std::uint32_t> words;
        while (record != 0xFFFFFF && words.size() < 16) {
            std::uint8_t bytes[6] = {};
            EXPECT_TRUE(link.ReadFlashBlock(record + 3, 6, bytes));
            words.push_back(Le24(bytes));
            record = Le24(bytes, 3);
        }
        return words;
    }
};

}  // namespace

TEST(Samples, GeneratorReproducesTheCommittedFiles)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    QProcess generator;
    generator.start(MAKE_SAMPLES_PATH, {folder.path()});
    ASSERT_TRUE(generator.waitForFinished(10000));
    ASSERT_EQ(generator.exitCode(), 0) << generator.readAllStandardError().toStdString();

    const auto files = SampleFiles();
    ASSERT_EQ(files.size(), 4u);
    for (const auto& file : files) {
        const QByteArray generated = ReadAll(folder.filePath(QString::fromStdString(file.name)));
        const QByteArray committed = ReadAll(QString::fromStdString(Committed(file.name)));
        EXPECT_FALSE(committed.isEmpty()) << file.name << " is not committed";
        EXPECT_TRUE(generated == committed) << file.name << " differs from the generator's output";
        EXPECT_TRUE(generated == QByteArray(reinterpret_cast<const char*>(file.bytes.data()), qsizetype(file.bytes.size())));
    }
}

TEST(Samples, EveryFileLoadsWithTheToolsLoaders)
{
    FactoryImage factory;
    LoadFactoryFile(Committed("sample-factory.tbf"), factory);
    EXPECT_TRUE(factory.loaded);
    EXPECT_EQ(factory.statusText,
              "File is ok : image = 2816 bytes with 2 erase vectors, hard ident 4D520001, flash ident 000122DA");

    UserImage user;
    LoadUserFile(Committed("sample-user.tbu"), user);
    EXPECT_TRUE(user.loaded);
    EXPECT_EQ(user.statusText, "File is ok : Software V2.01C, hardware : 010200, 4 zones, 10 vectors, total 1874 bytes");

    BootImage boot;
    LoadBootFile(Committed("sample-boot.tb"), boot);
    EXPECT_TRUE(boot.loaded);
    EXPECT_EQ(boot.statusText, "File is ok :  segment P : [0x40..0xD7]  boot address : 0x40");

    SymbolTable symbols;
    EXPECT_TRUE(symbols.LoadSymbolFile(Committed("mainprog.tfs")));
    EXPECT_EQ(symbols.Count(), 10u);
    EXPECT_EQ(QualifiedName(symbols.Record(std::size_t(symbols.FindSymbol("timer_irq")))), "mainprog.main.timer_irq");
    EXPECT_EQ(symbols.FindSymbol("gain", "mixer"), 4);
}

TEST(Samples, FactoryImageReadsBackAsACompleteFactorySection)
{
    SampleMachine m;
    const std::uint32_t n = m.Word(0xD00000);
    ASSERT_EQ(n, kMiniBootVectorCount);

    std::uint8_t directory[30] = {};
    ASSERT_TRUE(m.link.ReadFlashBlock(0xD00006 + 3 * n, 30, directory));
    EXPECT_EQ(Le24(directory, 0), kMiniBootVersion);
    EXPECT_EQ(Le24(directory, 3), kFactoryData);
    EXPECT_EQ(Le24(directory, 6), kUserArea);
    EXPECT_EQ(Le24(directory, 9), kUserAreaLength);
    EXPECT_EQ(Le24(directory, 12), kEraseStep);
    EXPECT_EQ(Le24(directory, 15), kProgramLoader);
    EXPECT_EQ(Le24(directory, 18), kFactoryDrivers);

    std::uint8_t data[51] = {};
    ASSERT_TRUE(m.link.ReadFlashBlock(kFactoryData, 51, data));
    EXPECT_EQ(Le24(data, 0), kHardwareVersion);
    EXPECT_EQ(Le24(data, 3), kHardwareOptions);
    // Blank serial number and name: 0xFF up to the last byte, which is not.
    EXPECT_EQ(Bytes(data + 9, data + 17), Bytes(8, 0xFF));
    EXPECT_NE(data[17], 0xFF);
    EXPECT_EQ(Bytes(data + 18, data + 50), Bytes(32, 0xFF));
    EXPECT_NE(data[50], 0xFF);

    EXPECT_EQ(m.Word(kProgramLoader + 3), kProgramLoaderVersion);
    EXPECT_EQ(m.Drivers(kFactoryDrivers), (std::vector<std::uint32_t>{0x010001, 0x011002}));

    // The user area is empty: no main record.
    EXPECT_EQ(m.Word(kUserArea), 0xFFFFFFu);
    // The user area lies in whole sectors that the factory image does not touch.
    EXPECT_EQ(kUserArea % m.machine.SectorSize(), 0u);
    for (const auto vector : kEraseVectors)
        EXPECT_LT(vector, kUserArea);
    EXPECT_LE(kUserArea + kUserAreaLength, m.machine.FlashBase() + m.machine.FlashSize());
}

TEST(Samples, UserProgramDownloadedHoldsMainRecordProgramsAndDrivers)
{
    SampleMachine m;
    auto user = SampleUserProgram();
    const auto zoneCount = std::uint32_t(user.zoneSizes.size());
    const std::uint32_t programBase = kUserArea + 3 * zoneCount + 3;
    ASSERT_EQ(programBase, kUserProgramBase);

    // Relocation: each vector's address moves by the program base; 0 and
    // 0xFFFFFF stand for no address.
    for (const auto offset : user.vectors) {
        const std::uint32_t value = Le24(user.data, offset);
        const std::uint32_t moved = value == 0 || value == 0xFFFFFF ? 0xFFFFFF : (value + programBase) & 0xFFFFFF;
        user.data[offset] = std::uint8_t(moved);
        user.data[offset + 1] = std::uint8_t(moved >> 8);
        user.data[offset + 2] = std::uint8_t(moved >> 16);
    }

    // The download: erase the user area step by step, the data in blocks of
    // 240 bytes, then the zone table.
    for (std::uint32_t offset = 0; offset < kUserAreaLength; offset += kEraseStep) {
        ASSERT_TRUE(m.link.EraseFlash(kUserArea + offset));
        ASSERT_EQ(m.PollUntilDone(), 0);
    }
    std::uint8_t status = 0xEE;
    for (std::size_t written = 0; written < user.data.size(); written += 240) {
        const auto n = unsigned(std::min<std::size_t>(240, user.data.size() - written));
        ASSERT_TRUE(m.link.ProgramFlashBlock(programBase + std::uint32_t(written), n, &user.data[written], status));
        ASSERT_EQ(status, 0);
    }
    Bytes table;
    std::uint32_t zoneStart = programBase;
    for (const auto size : user.zoneSizes) {
        const std::uint32_t entry = size == 0 ? 0xFFFFFF : zoneStart;
        zoneStart += size;
        for (int shift = 0; shift < 24; shift += 8)
            table.push_back(std::uint8_t(entry >> shift));
    }
    table.insert(table.end(), 3, 0xFF);
    ASSERT_TRUE(m.link.ProgramFlashBlock(kUserArea, unsigned(table.size()), table.data(), status));
    ASSERT_EQ(status, 0);

    // What the readout then finds.
    const std::uint32_t mainRecord = m.Word(kUserArea);
    EXPECT_EQ(mainRecord, programBase);
    EXPECT_EQ(m.Word(mainRecord + 3), kMainBootVersion);
    const std::uint32_t program1 = m.Word(mainRecord + 9), program2 = m.Word(mainRecord + 12);
    EXPECT_EQ(m.Word(program1 + 3), kProgram1Version);
    EXPECT_EQ(m.Word(program2 + 3), kProgram2Version);
    const std::uint32_t driverList = m.Word(kUserArea + 3);
    EXPECT_EQ(driverList, programBase + kUserZoneSizes[0]);
    EXPECT_EQ(m.Drivers(driverList), (std::vector<std::uint32_t>{0x020010, 0x010511}));
    // Everything lies inside the user area.
    EXPECT_LE(programBase + user.data.size(), kUserArea + kUserAreaLength);
}
