// What no machine and no computer can take, and the loaders' entry points for
// bytes already in memory.
#include "images/BootImage.h"
#include "images/FactoryImage.h"
#include "images/FileReader.h"
#include "images/SymbolTable.h"
#include "images/UserImage.h"
#include "samples/SampleSet.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

struct Verdict {
    std::string text;
    bool loaded;
};

// One zone of `length` zero bytes: a sound program of any length.
Verdict LoadUserOfLength(std::uint32_t length)
{
    UserProgramContent content;
    content.zoneSizes = {length};
    content.data.assign(length, 0);
    UserImage image;
    LoadUserBytes(UserProgramBytes(content), image);
    return {image.statusText, image.loaded};
}

Verdict LoadFactoryOfLength(std::uint32_t length)
{
    FactoryImageContent content;
    content.image.assign(length, 0xFF);
    FactoryImage image;
    LoadFactoryBytes(FactoryImageBytes(content), image);
    return {image.statusText, image.loaded};
}

// The largest data, with `count` vectors side by side from its start.
Verdict LoadUserWithVectors(std::uint32_t count)
{
    UserProgramContent content;
    content.zoneSizes = {UserImage::kMaxAddressableData};
    content.data.assign(UserImage::kMaxAddressableData, 0);
    for (std::uint32_t i = 0; i < count; ++i)
        content.vectors.push_back(3 * i % (UserImage::kMaxAddressableData - 2));
    UserImage image;
    LoadUserBytes(UserProgramBytes(content), image);
    return {image.statusText, image.loaded};
}

Verdict LoadFactoryWithEraseVectors(std::uint32_t count)
{
    FactoryImageContent content;
    content.eraseVectors.assign(count, 0xD00000);
    FactoryImage image;
    LoadFactoryBytes(FactoryImageBytes(content), image);
    return {image.statusText, image.loaded};
}

TEST(LoaderLimits, CountsBeyondTheMachinesLimitsAreRefusedBeforeAllocating)
{
    struct Case {
        Verdict (*load)(std::uint32_t);
        std::uint32_t count;
        const char* text;
    };
    const Case cases[] = {
        {LoadUserOfLength, 0x1000000,
         "File is ok : Software V0.00, hardware : 000000, 1 zones, 0 vectors, total 16777216 bytes"},
        {LoadUserOfLength, 0x1000001, "File too large : 16777217 bytes, more than the machine can address"},
        {LoadFactoryOfLength, 0x300000,
         "File is ok : image = 3145728 bytes with 0 erase vectors, hard ident 00000000, flash ident 00000000"},
        {LoadFactoryOfLength, 0x300001, "File too large : 3145729 bytes, more than the machine can address"},
        {LoadUserWithVectors, 5592405,
         "File is ok : Software V0.00, hardware : 000000, 1 zones, 5592405 vectors, total 16777216 bytes"},
        {LoadUserWithVectors, 5592406, "Too many vectors : 5592406 (5592405 at most)"},
        {LoadFactoryWithEraseVectors, 0x1000000,
         "File is ok : image = 0 bytes with 16777216 erase vectors, hard ident 00000000, flash ident 00000000"},
        {LoadFactoryWithEraseVectors, 0x1000001, "Too many erase vectors : 16777217 (16777216 at most)"},
    };
    for (const Case& c : cases) {
        const bool fits = std::string(c.text).starts_with("File is ok");
        // A refusal allocates nothing: the limit would otherwise give another text.
        std::optional<AllocationLimitForTests> limit;
        if (!fits)
            limit.emplace(1024);
        const Verdict verdict = c.load(c.count);
        EXPECT_EQ(verdict.text, c.text);
        EXPECT_EQ(verdict.loaded, fits) << c.text;
    }
}

TEST(LoaderLimits, AnAllocationThatFailsRefusesTheFile)
{
    UserProgramContent user;
    user.zoneSizes = {16, 0, 32};  // a table of 12 bytes
    user.vectors = {0};
    user.data.assign(48, 0x11);
    FactoryImageContent factory;
    factory.eraseVectors = {0xD00000, 0xD10000};  // 8 bytes
    factory.image.assign(10, 0x22);

    struct Case {
        bool isUser;
        std::uint64_t limit;
        const char* text;
    };
    const Case cases[] = {
        {true, 11, "File too large for this computer : 12 bytes could not be allocated"},
        {true, 47, "File too large for this computer : 48 bytes could not be allocated"},
        {false, 7, "File too large for this computer : 8 bytes could not be allocated"},
        {false, 9, "File too large for this computer : 10 bytes could not be allocated"},
    };
    for (const Case& c : cases) {
        UserImage userImage;
        FactoryImage factoryImage;
        {
            AllocationLimitForTests limit(c.limit);
            if (c.isUser)
                LoadUserBytes(UserProgramBytes(user), userImage);
            else
                LoadFactoryBytes(FactoryImageBytes(factory), factoryImage);
        }
        EXPECT_EQ(c.isUser ? userImage.statusText : factoryImage.statusText, c.text);
        EXPECT_FALSE(userImage.loaded || factoryImage.loaded) << c.text;
    }
    // The limit ends with its scope.
    UserImage image;
    LoadUserBytes(UserProgramBytes(user), image);
    EXPECT_TRUE(image.loaded) << image.statusText;
}

TEST(LoaderLimits, BytesInMemoryLoadAsTheirFileDoes)
{
    TestFiles files;
    for (const SampleFile& sample : SampleFiles()) {
        // Whole, and cut short by one byte.
        for (const FileBytes& bytes : {sample.bytes, Prefix(sample.bytes, sample.bytes.size() - 1)}) {
            const std::string path = files.Put(sample.name, bytes);
            std::string fromFile, fromBytes;
            if (sample.name.ends_with(".tbu")) {
                UserImage a, b;
                LoadUserFile(path, a);
                LoadUserBytes(bytes, b);
                fromFile = a.statusText + (a.loaded ? "+" : "-");
                fromBytes = b.statusText + (b.loaded ? "+" : "-");
                EXPECT_EQ(a.data, b.data);
            } else if (sample.name.ends_with(".tbf")) {
                FactoryImage a, b;
                LoadFactoryFile(path, a);
                LoadFactoryBytes(bytes, b);
                fromFile = a.statusText + (a.loaded ? "+" : "-");
                fromBytes = b.statusText + (b.loaded ? "+" : "-");
                EXPECT_EQ(a.image, b.image);
            } else if (sample.name.ends_with(".tb")) {
                BootImage a, b;
                LoadBootFile(path, a);
                LoadBootBytes(bytes, b);
                fromFile = a.statusText + (a.loaded ? "+" : "-");
                fromBytes = b.statusText + (b.loaded ? "+" : "-");
                EXPECT_EQ(a.pWords, b.pWords);
            } else {
                SymbolTable a, b;
                fromFile = std::to_string(a.LoadSymbolFile(path)) + " " + std::to_string(a.Count());
                fromBytes = std::to_string(b.LoadSymbolBytes(bytes)) + " " + std::to_string(b.Count());
            }
            EXPECT_EQ(fromBytes, fromFile) << sample.name << " of " << bytes.size() << " bytes";
        }
    }
}

}  // namespace
