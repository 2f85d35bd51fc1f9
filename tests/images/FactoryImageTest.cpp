#include "images/FactoryImage.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

namespace {

FactoryImageContent SoundFactory()
{
    FactoryImageContent content;
    content.hardIdent = 0x12;
    content.flashIdent = 0x00ABCDEF;
    content.eraseVectors = {0xD00000, 0xD10000};
    content.image = {1, 2, 3, 4, 5};
    return content;
}

TEST(FactoryImage, SoundFileGivesSummaryAndFields)
{
    TestFiles files;
    FactoryImage image;
    LoadFactoryFile(files.Put("a.tbf", FactoryImageBytes(SoundFactory())), image);
    EXPECT_EQ(image.statusText,
              "File is ok : image = 5 bytes with 2 erase vectors, hard ident 00000012, flash ident 00ABCDEF");
    EXPECT_TRUE(image.loaded);
    EXPECT_EQ(image.hardIdent, 0x12u);
    EXPECT_EQ(image.flashIdent, 0x00ABCDEFu);
    EXPECT_EQ(image.eraseVectorCount, 2u);
    EXPECT_EQ(image.eraseVectors, (std::vector<std::uint32_t>{0xD00000, 0xD10000}));
    EXPECT_EQ(image.imageLength, 5u);
    EXPECT_EQ(image.image, (std::vector<std::uint8_t>{1, 2, 3, 4, 5}));
}

TEST(FactoryImage, EmptyTablesAndTrailingBytes)
{
    TestFiles files;
    FactoryImage image;
    FactoryImageContent empty;
    empty.hardIdent = 0xFEDCBA98;
    empty.flashIdent = 1;
    const FileBytes bytes = FactoryImageBytes(empty);
    ASSERT_EQ(bytes.size(), 16u);
    LoadFactoryFile(files.Put("empty.tbf", bytes), image);
    EXPECT_TRUE(image.loaded);
    EXPECT_EQ(image.statusText,
              "File is ok : image = 0 bytes with 0 erase vectors, hard ident FEDCBA98, flash ident 00000001");

    FileBytes trailing = FactoryImageBytes(SoundFactory());
    trailing.insert(trailing.end(), {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
    LoadFactoryFile(files.Put("trailing.tbf", trailing), image);
    EXPECT_TRUE(image.loaded);
    EXPECT_EQ(image.image.size(), 5u);
}

TEST(FactoryImage, EveryTruncationIsUnexpectedEnd)
{
    TestFiles files;
    const FileBytes whole = FactoryImageBytes(SoundFactory());
    FactoryImage image;
    for (std::size_t length = 0; length < whole.size(); ++length) {
        LoadFactoryFile(files.Put("cut.tbf", Prefix(whole, length)), image);
        EXPECT_EQ(image.statusText, "Unexpected end of file") << "length " << length;
        EXPECT_FALSE(image.loaded) << "length " << length;
    }
}

TEST(FactoryImage, CountsBeyondTheFileAllocateNothing)
{
    TestFiles files;
    FactoryImage image;
    image.eraseVectors = {7};
    FileBytes bytes = FactoryImageBytes(SoundFactory());
    PutU32At(bytes, 8, 0xFFFFFFFF);  // N
    LoadFactoryFile(files.Put("n.tbf", bytes), image);
    EXPECT_EQ(image.statusText, "Unexpected end of file");
    EXPECT_EQ(image.eraseVectorCount, 0xFFFFFFFFu);
    EXPECT_TRUE(image.eraseVectors.empty());  // the old table is gone, no new one

    bytes = FactoryImageBytes(SoundFactory());
    PutU32At(bytes, 20, 6);  // M one more than the image holds
    LoadFactoryFile(files.Put("m.tbf", bytes), image);
    EXPECT_EQ(image.statusText, "Unexpected end of file");
    EXPECT_FALSE(image.loaded);
    EXPECT_TRUE(image.image.empty());
}

TEST(FactoryImage, UnopenableFiles)
{
    TestFiles files;
    FactoryImage image;
    for (const std::string& path : {std::string(), files.Path("missing.tbf"), files.Folder()}) {
        LoadFactoryFile(path, image);
        EXPECT_EQ(image.statusText, "Unable to open file") << path;
        EXPECT_FALSE(image.loaded);
    }
}

TEST(FactoryImage, FailureAfterSuccessKeepsWhatItReplaced)
{
    TestFiles files;
    FactoryImage image;
    LoadFactoryFile(files.Put("good.tbf", FactoryImageBytes(SoundFactory())), image);
    ASSERT_TRUE(image.loaded);

    FactoryImageContent other = SoundFactory();
    other.hardIdent = 0x99;
    LoadFactoryFile(files.Put("bad.tbf", Prefix(FactoryImageBytes(other), 14)), image);
    EXPECT_FALSE(image.loaded);
    EXPECT_EQ(image.statusText, "Unexpected end of file");
    EXPECT_EQ(image.hardIdent, 0x99u);  // replaced before the failure
    EXPECT_TRUE(image.eraseVectors.empty());
    EXPECT_EQ(image.image.size(), 5u);  // not yet reached: still the earlier image
}

}  // namespace
