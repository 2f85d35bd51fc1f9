#include "images/BootImage.h"

#include "images/FileReader.h"

#include <algorithm>

namespace {

constexpr std::uint8_t kSegmentX = 0x00, kSegmentY = 0x01, kSegmentP = 0x02, kRunAddress = 0xFE, kEnd = 0xFF;

}  // namespace

void BootImage::Release()
{
    std::vector<std::uint8_t>().swap(pWords);
    std::vector<std::uint8_t>().swap(pLoaded);
    loaded = false;
}

BootImage& TheBootImage()
{
    static BootImage image;
    return image;
}

namespace {

// The one load of a boot program, from a file or from memory; `opened` tells
// whether the reader has something to read.
void LoadBoot(FileReader& file, bool opened, BootImage& image)
{
    image.loaded = false;
    try {
        image.pWords.resize(BootImage::kWordCount * BootImage::kWordBytes);
        image.pLoaded.resize(BootImage::kWordCount);
        std::fill(image.pWords.begin(), image.pWords.end(), 0);
        std::fill(image.pLoaded.begin(), image.pLoaded.end(), 0);
        bool runAddressSeen = false;
        bool anyWord = false;
        std::uint32_t lowestAddress = BootImage::kWordCount;
        std::uint32_t highestAddress = 0;

        if (!opened)
            throw LoadError(kUnableToOpen);
        for (bool end = false; !end;) {
            const std::uint8_t type = file.U8();
            switch (type) {
            case kSegmentX:
                throw LoadError("Data in segment X : this is not allowed for boot program");
            case kSegmentY:
                throw LoadError("Data in segment Y : this is not allowed for boot program");
            case kSegmentP: {
                const std::uint32_t start = file.U24();
                const std::uint32_t count = file.U24();
                if (start + count > BootImage::kWordCount)
                    throw LoadError(FormatText("Address seg P outside buffer : 0x%X + 0x%X", start, count));
                for (std::uint32_t address = start; address < start + count; ++address)
                    if (image.pLoaded[address])
                        throw LoadError(FormatText("overwrite at address 0x%lx in segment P",
                                                   static_cast<unsigned long>(address)));
                file.Bytes(image.pWords.data() + start * BootImage::kWordBytes, count * BootImage::kWordBytes);
                std::fill_n(image.pLoaded.begin() + start, count, 1);
                if (count >= 1) {
                    anyWord = true;
                    lowestAddress = std::min(lowestAddress, start);
                    highestAddress = std::max(highestAddress, start + count - 1);
                }
                break;
            }
            case kRunAddress:
                image.runAddress = file.U24();
                runAddressSeen = true;
                break;
            case kEnd:
                end = true;
                break;
            default:
                throw LoadError(FormatText("invalid segment type : 0x%X", unsigned(type)));
            }
        }
        file.Close();

        if (!runAddressSeen)
            throw LoadError("No run address");
        if (image.runAddress != lowestAddress)
            throw LoadError(FormatText("run address (0x%X) is not the lowest address of data (0x%X)",
                                       image.runAddress, lowestAddress));
        if (!anyWord)
            throw LoadError("segment P is empty");
        image.endAddress = highestAddress + 1;
        image.statusText = FormatText("File is ok :  segment P : [0x%lX..0x%lX]  boot address : 0x%lX",
                                      static_cast<unsigned long>(lowestAddress),
                                      static_cast<unsigned long>(highestAddress),
                                      static_cast<unsigned long>(image.runAddress));
        image.loaded = true;
    } catch (const LoadError& error) {
        image.statusText = error.what();
    }
}

}  // namespace

void LoadBootFile(const std::string& path, BootImage& image)
{
    FileReader file;
    const bool opened = file.Open(path);
    LoadBoot(file, opened, image);
}

void LoadBootBytes(std::span<const std::uint8_t> bytes, BootImage& image)
{
    FileReader file;
    file.OpenBytes(bytes);
    LoadBoot(file, true, image);
}
