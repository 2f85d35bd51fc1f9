#include "images/UserImage.h"

#include "common/ByteOrder.h"
#include "images/FileReader.h"

#include <numeric>

namespace {

constexpr std::uint64_t kMaxDataLength = 0xFFFFFFFF;

// Refusals of a program that reads and balances but cannot be downloaded
// soundly. `total` is the exact sum of the zone sizes.
void CheckDownloadable(const UserImage& image, std::uint64_t total)
{
    // A wrapped total would make the zone table point at the wrong places.
    if (total > kMaxDataLength)
        throw LoadError(FormatText("Program too large : %llu bytes (%llu at most)",
                                   static_cast<unsigned long long>(total),
                                   static_cast<unsigned long long>(kMaxDataLength)));
    // Nothing to write: the download would leave the user area erased.
    if (total == 0)
        throw LoadError("Empty program : no data to download");
    // The relocation rewrites the 3 bytes at each vector.
    for (auto offset : image.vectors)
        if (std::uint64_t(offset) + 3 > image.dataLength)
            throw LoadError(FormatText("Vector outside data : 0x%X + 3 > 0x%X", offset, image.dataLength));
}

std::string Summary(const UserImage& image)
{
    const std::uint32_t version = image.softwareVersion;
    std::string text = FormatText("File is ok : Software V%X.%02X", (version >> 16) & 0xFF, (version >> 8) & 0xFF);
    // A letter code of 0 stands for no letter; it is not put in the text.
    if (const char letter = char(version & 0xFF); letter != '\0')
        text += letter;
    text += FormatText(", hardware : %06X, %u zones, %u vectors, total %u bytes", image.hardware, image.zoneCount,
                       image.vectorCount, image.dataLength);
    return text;
}

void Put24(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    std::uint8_t bytes[3];
    ByteOrder::PutLe24(bytes, value);
    out.insert(out.end(), bytes, bytes + 3);
}

}  // namespace

std::vector<std::uint8_t> UserImage::ZoneTable() const
{
    std::vector<std::uint8_t> table;
    table.reserve(std::size_t(ZoneTableSize(std::uint32_t(zoneSizes.size()))));
    std::uint32_t start = programBase;
    for (auto zoneSize : zoneSizes) {
        Put24(table, zoneSize == 0 ? kNoAddress : start);
        start += zoneSize;
    }
    Put24(table, kNoAddress);
    return table;
}

void UserImage::Release()
{
    std::vector<std::uint32_t>().swap(zoneSizes);
    std::vector<std::uint32_t>().swap(vectors);
    std::vector<std::uint8_t>().swap(data);
    std::vector<std::uint8_t>().swap(dataAsLoaded);
    loaded = false;
}

UserImage& TheUserImage()
{
    static UserImage image;
    return image;
}

namespace {

// The one load of a user program, from a file or from memory; `opened` tells
// whether the reader has something to read.
void LoadUser(FileReader& file, bool opened, UserImage& image)
{
    image.loaded = false;
    try {
        if (!opened)
            throw LoadError(kUnableToOpen);
        image.hardware = file.U32();
        image.softwareVersion = file.U32();
        image.zoneCount = file.U32();
        // The zone table goes to flash in one block; more zones than fit would
        // only fail after the whole user area has been erased and rewritten.
        file.Table(image.zoneSizes, image.zoneCount, {UserImage::kMaxZones, "zones"});
        image.vectorCount = file.U32();
        file.Table(image.vectors, image.vectorCount, {UserImage::kMaxVectors, "vectors"});
        const std::uint64_t total = std::accumulate(image.zoneSizes.begin(), image.zoneSizes.end(), std::uint64_t(0));
        image.dataLength = std::uint32_t(total);
        file.Block(image.data, image.dataLength, UserImage::kMaxAddressableData);
        std::uint32_t checksum = file.U32();
        file.Close();
        for (auto byte : image.data)
            checksum += byte;
        if (checksum != 0)
            throw LoadError("Bad checksum : file is corrupted");
        CheckDownloadable(image, total);
        image.statusText = Summary(image);
        image.loaded = true;
    } catch (const LoadError& error) {
        image.statusText = error.what();
    }
}

}  // namespace

void LoadUserFile(const std::string& path, UserImage& image)
{
    FileReader file;
    const bool opened = file.Open(path);
    LoadUser(file, opened, image);
}

void LoadUserBytes(std::span<const std::uint8_t> bytes, UserImage& image)
{
    FileReader file;
    file.OpenBytes(bytes);
    LoadUser(file, true, image);
}

void KeepUserImageAsLoaded(UserImage& image)
{
    image.dataAsLoaded = image.data;
}

void LoadUserProgram(const std::string& path, UserImage& image)
{
    LoadUserFile(path, image);
    if (image.loaded)
        KeepUserImageAsLoaded(image);
}
