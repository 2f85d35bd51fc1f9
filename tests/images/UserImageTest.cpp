#include "support/TestFiles.h"
#include "images/UserImage.h"

#include <gtest/gtest.h>

namespace {

// Zones of 16, 0 and 32 bytes, two vectors, V1.02A for hardware 0x012300.
UserProgramContent SoundProgram()
{
    UserProgramContent content;
    content.hardware = 0x012300;
    content.softwareVersion = SoftwareVersion(1, 0x02, 'A');
    content.zoneSizes = {16, 0, 32};
    content.vectors = {0, 45};
    for (int i = 0; i < 48; ++i)
        content.data.push_back(std::uint8_t(0xF0 + i));
    return content;
}

std::string Load(TestFiles& files, const UserProgramContent& content, UserImage& image)
{
    LoadUserFile(files.Put("p.tbu", UserProgramBytes(content)), image);
    return image.statusText;
}

TEST(UserImage, SoundFileGivesSummaryAndFields)
{
    TestFiles files;
    UserImage image;
    EXPECT_EQ(Load(files, SoundProgram(), image),
              "File is ok : Software V1.02A, hardware : 012300, 3 zones, 2 vectors, total 48 bytes");
    EXPECT_TRUE(image.loaded);
    EXPECT_EQ(image.hardware, 0x012300u);
    EXPECT_EQ(image.softwareVersion, 0x010241u);
    EXPECT_EQ(image.zoneCount, 3u);
    EXPECT_EQ(image.zoneSizes, (std::vector<std::uint32_t>{16, 0, 32}));
    EXPECT_EQ(image.vectorCount, 2u);
    EXPECT_EQ(image.vectors, (std::vector<std::uint32_t>{0, 45}));
    EXPECT_EQ(image.dataLength, 48u);
    EXPECT_EQ(image.data, SoundProgram().data);
}

TEST(UserImage, SummaryNumberFormats)
{
    TestFiles files;
    UserImage image;
    UserProgramContent content = SoundProgram();
    content.hardware = 0x12;  // at least six digits
    content.softwareVersion = 0xAB1F0A62;  // bits 24-31 unused; major without leading zeros
    EXPECT_EQ(Load(files, content, image),
              "File is ok : Software V1F.0Ab, hardware : 000012, 3 zones, 2 vectors, total 48 bytes");
    content.hardware = 0x1234567A;
    content.softwareVersion = SoftwareVersion(0, 0, 'z');
    EXPECT_EQ(Load(files, content, image),
              "File is ok : Software V0.00z, hardware : 1234567A, 3 zones, 2 vectors, total 48 bytes");
    // A letter code of 0 is no letter: the text goes on without it.
    content.softwareVersion = SoftwareVersion(2, 0x10, '\0');
    EXPECT_EQ(Load(files, content, image),
              "File is ok : Software V2.10, hardware : 1234567A, 3 zones, 2 vectors, total 48 bytes");
    EXPECT_TRUE(image.loaded);
}

TEST(UserImage, ChecksumCoversTheDataOnly)
{
    TestFiles files;
    UserImage image;
    UserProgramContent content;
    content.zoneSizes = {4};
    content.data = {1, 2, 3, 10};  // sums to 16
    FileBytes bytes = UserProgramBytes(content);
    ASSERT_EQ(bytes.size(), 4 + 4 + 4 + 4 + 4 + 4 + 4u);
    EXPECT_EQ(UserProgramChecksum(content.data), 0xFFFFFFF0u);

    // Header, zone table and vectors are not covered.
    PutU32At(bytes, 0, 0xFFFFFF);
    PutU32At(bytes, 4, 0x123456);
    LoadUserFile(files.Put("a.tbu", bytes), image);
    EXPECT_TRUE(image.loaded) << image.statusText;

    for (std::uint32_t wrong : {0xFFFFFFF1u, 0xFFFFFFEFu, 0u, 16u}) {
        PutU32At(bytes, 24, wrong);
        LoadUserFile(files.Put("a.tbu", bytes), image);
        EXPECT_EQ(image.statusText, "Bad checksum : file is corrupted");
        EXPECT_FALSE(image.loaded);
    }
    // A changed data byte unbalances it too.
    bytes = UserProgramBytes(content);
    bytes[20] ^= 0x01;
    LoadUserFile(files.Put("a.tbu", bytes), image);
    EXPECT_EQ(image.statusText, "Bad checksum : file is corrupted");
}

TEST(UserImage, EveryTruncationIsUnexpectedEnd)
{
    TestFiles files;
    const FileBytes whole = UserProgramBytes(SoundProgram());
    UserImage image;
    for (std::size_t length = 0; length < whole.size(); ++length) {
        LoadUserFile(files.Put("cut.tbu", Prefix(whole, length)), image);
        EXPECT_EQ(image.statusText, "Unexpected end of file") << "length " << length;
        EXPECT_FALSE(image.loaded) << "length " << length;
    }
    FileBytes longer = whole;
    longer.push_back(0x55);
    LoadUserFile(files.Put("long.tbu", longer), image);
    EXPECT_TRUE(image.loaded) << image.statusText;
}

TEST(UserImage, CountsBeyondTheFileAllocateNothing)
{
    TestFiles files;
    UserImage image;
    const FileBytes sound = UserProgramBytes(SoundProgram());

    FileBytes bytes = sound;
    PutU32At(bytes, 8, 0x40000000);  // Z
    LoadUserFile(files.Put("z.tbu", bytes), image);
    EXPECT_EQ(image.statusText, "Unexpected end of file");
    EXPECT_TRUE(image.zoneSizes.empty());

    bytes = sound;
    PutU32At(bytes, 24, 0xFFFFFFFF);  // V
    LoadUserFile(files.Put("v.tbu", bytes), image);
    EXPECT_EQ(image.statusText, "Unexpected end of file");
    EXPECT_EQ(image.zoneSizes.size(), 3u);
    EXPECT_TRUE(image.vectors.empty());

    bytes = sound;
    PutU32At(bytes, 20, 0x7FFFFFFF);  // the last zone's size: T far beyond the file
    LoadUserFile(files.Put("t.tbu", bytes), image);
    EXPECT_EQ(image.statusText, "Unexpected end of file");
    EXPECT_EQ(image.dataLength, 0x7FFFFFFFu + 16);
    EXPECT_TRUE(image.data.empty());
    EXPECT_FALSE(image.loaded);
}

TEST(UserImage, ZoneCountIsLimitedByTheZoneTableBlock)
{
    TestFiles files;
    UserImage image;
    UserProgramContent content;
    content.zoneSizes.assign(80, 1);
    content.data.assign(80, 0x11);
    EXPECT_EQ(Load(files, content, image),
              "File is ok : Software V0.00, hardware : 000000, 80 zones, 0 vectors, total 80 bytes");
    EXPECT_EQ(image.ZoneTable().size(), 243u);

    content.zoneSizes.assign(81, 1);
    content.data.assign(81, 0x11);
    EXPECT_EQ(Load(files, content, image), "Too many zones : 81 (80 at most)");
    EXPECT_FALSE(image.loaded);

    // Empty zones count too.
    content.zoneSizes.assign(200, 0);
    content.zoneSizes[0] = 81;
    EXPECT_EQ(Load(files, content, image), "Too many zones : 200 (80 at most)");
}

TEST(UserImage, ZoneSizesSummingPast32BitsAreRefused)
{
    TestFiles files;
    UserImage image;
    UserProgramContent content;
    // 0xFFFFFFFF + 2 wraps to 1: one data byte would be read and balanced.
    content.zoneSizes = {0xFFFFFFFF, 2};
    content.data = {0x42};
    EXPECT_EQ(Load(files, content, image), "Program too large : 4294967297 bytes (4294967295 at most)");
    EXPECT_FALSE(image.loaded);

    content.zoneSizes = {0x80000000, 0x80000000};  // wraps to 0
    content.data = {};
    EXPECT_EQ(Load(files, content, image), "Program too large : 4294967296 bytes (4294967295 at most)");
}

TEST(UserImage, ProgramWithoutDataIsRefused)
{
    TestFiles files;
    UserImage image;
    UserProgramContent content;
    EXPECT_EQ(Load(files, content, image), "Empty program : no data to download");
    EXPECT_FALSE(image.loaded);
    content.zoneSizes = {0, 0};
    EXPECT_EQ(Load(files, content, image), "Empty program : no data to download");
    EXPECT_FALSE(image.loaded);
}

TEST(UserImage, VectorsMustLieInsideTheData)
{
    TestFiles files;
    UserImage image;
    UserProgramContent content;
    content.zoneSizes = {5};
    content.data = {1, 2, 3, 4, 5};
    content.vectors = {0, 2};  // the last three bytes
    Load(files, content, image);
    EXPECT_TRUE(image.loaded) << image.statusText;

    content.vectors = {0, 3, 4};
    EXPECT_EQ(Load(files, content, image), "Vector outside data : 0x3 + 3 > 0x5");  // the first one outside
    EXPECT_FALSE(image.loaded);
    content.vectors = {0xFFFFFFFF};  // offset + 3 must not wrap
    EXPECT_EQ(Load(files, content, image), "Vector outside data : 0xFFFFFFFF + 3 > 0x5");
    content.zoneSizes = {2};
    content.data = {1, 2};
    content.vectors = {0};
    EXPECT_EQ(Load(files, content, image), "Vector outside data : 0x0 + 3 > 0x2");
}

// Refusals of what the whole file holds; a count beyond the machine's limits
// is refused as soon as it is read (LoaderLimits), before these.
TEST(UserImage, ReadErrorsComeBeforeRefusals)
{
    TestFiles files;
    UserImage image;
    UserProgramContent content;
    content.zoneSizes = {5};
    content.data.assign(5, 0x11);
    content.vectors = {3};  // outside the data
    FileBytes bytes = UserProgramBytes(content);
    LoadUserFile(files.Put("v.tbu", bytes), image);
    ASSERT_EQ(image.statusText, "Vector outside data : 0x3 + 3 > 0x5");
    bytes.back() ^= 0x80;
    LoadUserFile(files.Put("a.tbu", bytes), image);
    EXPECT_EQ(image.statusText, "Bad checksum : file is corrupted");
    LoadUserFile(files.Put("b.tbu", Prefix(bytes, bytes.size() - 1)), image);
    EXPECT_EQ(image.statusText, "Unexpected end of file");

    content.zoneSizes.assign(81, 1);
    content.data.assign(81, 0x11);
    content.vectors = {};
    bytes = UserProgramBytes(content);
    bytes.back() ^= 0x80;
    LoadUserFile(files.Put("z.tbu", Prefix(bytes, bytes.size() - 1)), image);
    EXPECT_EQ(image.statusText, "Too many zones : 81 (80 at most)");
}

TEST(UserImage, UnopenableFiles)
{
    TestFiles files;
    UserImage image;
    for (const std::string& path : {std::string(), files.Path("missing.tbu"), files.Folder()}) {
        LoadUserFile(path, image);
        EXPECT_EQ(image.statusText, "Unable to open file") << path;
        EXPECT_FALSE(image.loaded);
    }
}

TEST(UserImage, FailureAfterSuccess)
{
    TestFiles files;
    UserImage image;
    LoadUserFile(files.Put("good.tbu", UserProgramBytes(SoundProgram())), image);
    ASSERT_TRUE(image.loaded);
    image.dataAsLoaded = image.data;
    image.programBase = 0x1234;

    UserProgramContent other = SoundProgram();
    other.hardware = 0x777777;
    other.zoneSizes = {8};
    other.data.resize(8);
    FileBytes bytes = UserProgramBytes(other);
    bytes.back() ^= 1;
    LoadUserFile(files.Put("bad.tbu", bytes), image);
    EXPECT_FALSE(image.loaded);
    EXPECT_EQ(image.statusText, "Bad checksum : file is corrupted");
    EXPECT_EQ(image.hardware, 0x777777u);  // what the failed load read stays
    EXPECT_EQ(image.data.size(), 8u);
    EXPECT_EQ(image.dataAsLoaded.size(), 48u);  // the main window's copy is not the loader's
    EXPECT_EQ(image.programBase, 0x1234u);
}

TEST(UserImage, ZoneTableEntries)
{
    UserImage image;
    image.zoneSizes = {16, 0, 32};
    image.programBase = 0x001000;
    EXPECT_EQ(image.ZoneTable(),
              (std::vector<std::uint8_t>{0x00, 0x10, 0x00, 0xFF, 0xFF, 0xFF, 0x10, 0x10, 0x00, 0xFF, 0xFF, 0xFF}));
}

}  // namespace
