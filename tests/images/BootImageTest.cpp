#include "images/BootImage.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

namespace {

using Records = std::vector<BootRecord>;

std::string Load(TestFiles& files, const Records& records, BootImage& image)
{
    LoadBootFile(files.Put("b.tb", BootProgramBytes({records})), image);
    return image.statusText;
}

std::uint32_t WordAt(const BootImage& image, std::uint32_t address)
{
    const std::uint8_t* at = &image.pWords.at(address * 3);
    return std::uint32_t(at[0]) | std::uint32_t(at[1]) << 8 | std::uint32_t(at[2]) << 16;
}

TEST(BootImage, SmallestFile)
{
    TestFiles files;
    BootImage image;
    LoadBootFile(files.Put("b.tb", BootProgramBytes(0x10, {0xABCDEF})), image);
    EXPECT_EQ(image.statusText, "File is ok :  segment P : [0x10..0x10]  boot address : 0x10");
    EXPECT_TRUE(image.loaded);
    EXPECT_EQ(image.runAddress, 0x10u);
    EXPECT_EQ(image.endAddress, 0x11u);
    ASSERT_EQ(image.pWords.size(), 12288u);
    ASSERT_EQ(image.pLoaded.size(), 4096u);
    EXPECT_EQ(image.pWords[0x30], 0xEF);  // bytes in file order
    EXPECT_EQ(image.pWords[0x31], 0xCD);
    EXPECT_EQ(image.pWords[0x32], 0xAB);
    EXPECT_EQ(image.pLoaded[0x10], 1);
    EXPECT_EQ(image.pLoaded[0x11], 0);
}

TEST(BootImage, RecordsInAnyOrderWithGaps)
{
    TestFiles files;
    BootImage image;
    const Records records = {BootRecord::RunAddress(0x7FF), BootRecord::PData(0xAB0, {1, 2}),
                             BootRecord::PData(0x800, {3}), BootRecord::RunAddress(0x800),
                             BootRecord::PData(0x900, {}), BootRecord::End(), BootRecord::TypeOnly(0x55)};
    EXPECT_EQ(Load(files, records, image), "File is ok :  segment P : [0x800..0xAB1]  boot address : 0x800");
    EXPECT_EQ(image.runAddress, 0x800u);  // the last run address counts
    EXPECT_EQ(image.endAddress, 0xAB2u);
    EXPECT_EQ(WordAt(image, 0x800), 3u);
    EXPECT_EQ(WordAt(image, 0x801), 0u);
    EXPECT_EQ(WordAt(image, 0xAB1), 2u);
}

TEST(BootImage, BufferLimits)
{
    TestFiles files;
    BootImage image;
    EXPECT_EQ(Load(files, {BootRecord::PData(0xFFF, {9}), BootRecord::RunAddress(0xFFF), BootRecord::End()}, image),
              "File is ok :  segment P : [0xFFF..0xFFF]  boot address : 0xFFF");
    EXPECT_EQ(image.endAddress, 0x1000u);
    EXPECT_EQ(Load(files, {BootRecord::PData(0xFFF, {9, 9}), BootRecord::RunAddress(0xFFF), BootRecord::End()},
                   image),
              "Address seg P outside buffer : 0xFFF + 0x2");
    EXPECT_FALSE(image.loaded);

    // Counts far past the buffer are refused before any word is read.
    FileBytes huge = {0x02, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    LoadBootFile(files.Put("huge.tb", huge), image);
    EXPECT_EQ(image.statusText, "Address seg P outside buffer : 0xFFFFFF + 0xFFFFFF");
    huge = {0x02, 0x00, 0x10, 0x00, 0x00, 0x00, 0x00, 0xFE, 0x00, 0x10, 0x00, 0xFF};  // 0x1000 + 0: nothing
    LoadBootFile(files.Put("edge.tb", huge), image);
    EXPECT_EQ(image.statusText, "segment P is empty");
}

TEST(BootImage, OverlapNamesTheFirstSharedAddressInLowerCase)
{
    TestFiles files;
    BootImage image;
    const std::vector<std::uint32_t> sixteen(16, 7);
    EXPECT_EQ(Load(files,
                   {BootRecord::PData(0x1C, {1, 2, 3, 4}), BootRecord::PData(0x10, sixteen),
                    BootRecord::RunAddress(0x10), BootRecord::End()},
                   image),
              "overwrite at address 0x1c in segment P");
    EXPECT_FALSE(image.loaded);

    // Overlap is only looked for within one file.
    EXPECT_EQ(Load(files, {BootRecord::PData(0x10, sixteen), BootRecord::RunAddress(0x10), BootRecord::End()}, image),
              "File is ok :  segment P : [0x10..0x1F]  boot address : 0x10");
    EXPECT_EQ(Load(files, {BootRecord::PData(0x18, {5}), BootRecord::RunAddress(0x18), BootRecord::End()}, image),
              "File is ok :  segment P : [0x18..0x18]  boot address : 0x18");
    EXPECT_EQ(WordAt(image, 0x10), 0u);  // the earlier file's words are gone
    EXPECT_EQ(image.pLoaded[0x10], 0);
    EXPECT_EQ(WordAt(image, 0x18), 5u);
}

TEST(BootImage, RecordTypeRefusals)
{
    TestFiles files;
    BootImage image;
    EXPECT_EQ(Load(files, {BootRecord::TypeOnly(0x00)}, image),
              "Data in segment X : this is not allowed for boot program");
    EXPECT_EQ(Load(files, {BootRecord::PData(0, {1}), BootRecord::TypeOnly(0x01)}, image),
              "Data in segment Y : this is not allowed for boot program");
    EXPECT_EQ(Load(files, {BootRecord::TypeOnly(0x03)}, image), "invalid segment type : 0x3");
    EXPECT_EQ(Load(files, {BootRecord::RunAddress(0), BootRecord::TypeOnly(0xAB)}, image),
              "invalid segment type : 0xAB");
    EXPECT_FALSE(image.loaded);
}

TEST(BootImage, ClosingChecks)
{
    TestFiles files;
    BootImage image;
    EXPECT_EQ(Load(files, {BootRecord::PData(0x10, {1}), BootRecord::End()}, image), "No run address");
    EXPECT_EQ(Load(files, {BootRecord::PData(0x10, {1}), BootRecord::RunAddress(0x20), BootRecord::End()}, image),
              "run address (0x20) is not the lowest address of data (0x10)");
    EXPECT_EQ(Load(files, {BootRecord::RunAddress(0x5), BootRecord::End()}, image),
              "run address (0x5) is not the lowest address of data (0x1000)");
    EXPECT_EQ(Load(files, {BootRecord::RunAddress(0x1000), BootRecord::End()}, image), "segment P is empty");
    EXPECT_EQ(Load(files, {BootRecord::End()}, image), "No run address");
    EXPECT_FALSE(image.loaded);
}

TEST(BootImage, EveryTruncationIsUnexpectedEnd)
{
    TestFiles files;
    const FileBytes whole = BootProgramBytes(
        {{BootRecord::PData(0x20, {1, 2}), BootRecord::PData(0x10, {3}), BootRecord::RunAddress(0x10),
          BootRecord::End()}});
    BootImage image;
    for (std::size_t length = 0; length < whole.size(); ++length) {
        LoadBootFile(files.Put("cut.tb", Prefix(whole, length)), image);
        EXPECT_EQ(image.statusText, "Unexpected end of file") << "length " << length;
        EXPECT_FALSE(image.loaded) << "length " << length;
    }
    LoadBootFile(files.Put("whole.tb", whole), image);
    EXPECT_TRUE(image.loaded) << image.statusText;
}

TEST(BootImage, UnopenableFilesAndFailureAfterSuccess)
{
    TestFiles files;
    BootImage image;
    LoadBootFile(files.Put("good.tb", BootProgramBytes(0x10, {1, 2, 3})), image);
    ASSERT_TRUE(image.loaded);
    for (const std::string& path : {std::string(), files.Path("missing.tb"), files.Folder()}) {
        LoadBootFile(path, image);
        EXPECT_EQ(image.statusText, "Unable to open file") << path;
        EXPECT_FALSE(image.loaded);
        EXPECT_EQ(WordAt(image, 0x10), 0u);  // cleared before the file was opened
    }
    LoadBootFile(files.Put("good.tb", BootProgramBytes(0x10, {1, 2, 3})), image);
    ASSERT_TRUE(image.loaded);
    LoadBootFile(files.Put("bad.tb", BootProgramBytes({{BootRecord::PData(0x40, {4}), BootRecord::TypeOnly(1)}})),
                 image);
    EXPECT_FALSE(image.loaded);
    EXPECT_EQ(image.statusText, "Data in segment Y : this is not allowed for boot program");
    EXPECT_EQ(WordAt(image, 0x40), 4u);  // partly filled by the failed file
    EXPECT_EQ(WordAt(image, 0x10), 0u);
}

}  // namespace
