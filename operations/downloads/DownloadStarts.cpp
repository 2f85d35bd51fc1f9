#include "operations/downloads/DownloadStarts.h"

#include "common/ByteOrder.h"
#include "common/TextFormat.h"
#include "images/BootImage.h"
#include "images/FactoryImage.h"
#include "images/UserImage.h"
#include "link/DeviceLink.h"
#include "operations/readout/MachineInfo.h"
#include "procedures/boot/BootStream.h"
#include "procedures/factory/FactoryDownload.h"
#include "procedures/user/UserDownload.h"

namespace {

constexpr std::uint32_t kHardwareMask = 0xFFFF00;
constexpr std::uint32_t kWordMask = 0xFFFFFF;
constexpr std::uint32_t kFlashIdentCompared = 0xFFFF;

UserDownloadCheck Refuse(UserDownloadRefusal refusal, std::string text)
{
    return {refusal, std::move(text)};
}

// The kind of a refusal: whether the file, the link or the machine stops the download.
ActionRefusal KindOf(UserDownloadRefusal refusal)
{
    switch (refusal) {
    case UserDownloadRefusal::None: return ActionRefusal::None;
    case UserDownloadRefusal::NotLoaded: return ActionRefusal::NotLoaded;
    case UserDownloadRefusal::NoAnswer: return ActionRefusal::NoAnswer;
    default: return ActionRefusal::MachineRefused;
    }
}

// The data and the loaded copy are both there and of the loaded length.
bool ImageKept(const UserImage& image)
{
    return image.loaded && image.data.size() == image.dataLength && image.dataAsLoaded.size() == image.dataLength;
}

// Bytes the download writes into the user area: the zone table, then the data.
// A program without data bytes writes nothing.
std::uint64_t UserAreaNeeded(const UserImage& image)
{
    if (image.dataLength == 0)
        return 0;
    return UserImage::ZoneTableSize(image.zoneCount) + image.dataLength;
}

}  // namespace

UserDownloadCheck CheckUserDownload(const MachineInfo& info, const UserImage& image)
{
    if (!ImageKept(image))
        return Refuse(UserDownloadRefusal::NotLoaded, "No file loaded");
    if (!info.answered)
        return Refuse(UserDownloadRefusal::NoAnswer, "No answer");
    if (!info.factoryInfoRead)
        return Refuse(UserDownloadRefusal::NoFactoryData, "Factory data must be downloaded first");
    // "Incompatiblable", misspelt, is kept on purpose: technicians and their scripts know it.
    if ((info.hardwareVersion & kHardwareMask) != (image.hardware & kHardwareMask))
        return Refuse(UserDownloadRefusal::IncompatibleHardware, "Incompatiblable hardware version");
    if (info.eraseStep == 0 && info.userAreaLength != 0)
        return Refuse(UserDownloadRefusal::NoEraseStep, "Bad factory data : erase step is 0");
    if (const auto needed = UserAreaNeeded(image); needed > info.userAreaLength)
        return Refuse(UserDownloadRefusal::TooLarge,
                      FormatText("Program too large : %llu bytes for a user area of %u bytes",
                                 static_cast<unsigned long long>(needed), unsigned(info.userAreaLength)));
    return {};
}

bool PrepareUserImage(UserImage& image, const MachineInfo& info)
{
    if (image.dataAsLoaded.size() != image.dataLength)
        return false;
    image.data = image.dataAsLoaded;
    image.programBase = std::uint32_t(info.userAreaAddress + UserImage::ZoneTableSize(image.zoneCount));
    for (const auto offset : image.vectors) {
        if (offset > image.data.size() || image.data.size() - offset < 3)
            continue;
        std::uint8_t* at = image.data.data() + offset;
        std::uint32_t value = ByteOrder::Le24(at);
        value = (value == 0 || value == UserImage::kNoAddress) ? UserImage::kNoAddress
                                                              : (value + image.programBase) & kWordMask;
        ByteOrder::PutLe24(at, value);
    }
    return true;
}

ActionStart StartUserDownload(DeviceLink& link, MachineInfo& info, UserImage& image)
{
    ReadMachineInfo(link, info);
    const UserDownloadCheck check = CheckUserDownload(info, image);
    if (!check.Accepted())
        return ActionStart::Refuse(KindOf(check.refusal), check.text);
    if (!PrepareUserImage(image, info))
        return ActionStart::Refuse(ActionRefusal::NotLoaded, "No file loaded");
    const UserArea area{info.userAreaAddress, info.userAreaLength, info.eraseStep};
    auto download = std::make_unique<UserDownload>(link, area, image.programBase, image.data, image.ZoneTable());
    auto written = download->WrittenSegments();
    return ActionStart::Started(std::move(download), std::move(written));
}

bool IdentsMatch(const MachineInfo& info, const FactoryImage& image)
{
    return info.hardIdent == image.hardIdent
        && (info.flashIdent & kFlashIdentCompared) == (image.flashIdent & kFlashIdentCompared);
}

ActionStart StartFactoryDownload(DeviceLink& link, MachineInfo& info, const FactoryImage& image)
{
    if (!image.loaded)
        return ActionStart::Refuse(ActionRefusal::NotLoaded, "No file loaded");
    ReadIdentOnly(link, info);
    if (!info.answered)
        return ActionStart::Refuse(ActionRefusal::NoAnswer, "No answer");
    if (!IdentsMatch(info, image))
        return ActionStart::Refuse(ActionRefusal::MachineRefused,
                                   "Incompatible ident : this file is not for this hardware");
    auto download = std::make_unique<FactoryDownload>(link, image.eraseVectors, image.image);
    auto written = download->WrittenSegments();
    return ActionStart::Started(std::move(download), std::move(written));
}

ActionStart StartBoot(DeviceLink& link, const BootImage& image)
{
    if (!image.loaded || image.endAddress < image.runAddress
        || image.pWords.size() < std::size_t(image.endAddress) * BootImage::kWordBytes)
        return ActionStart::Refuse(ActionRefusal::NotLoaded, "No file loaded");
    const auto first = image.pWords.begin() + std::ptrdiff_t(image.runAddress * BootImage::kWordBytes);
    const auto last = image.pWords.begin() + std::ptrdiff_t(image.endAddress * BootImage::kWordBytes);
    return ActionStart::Started(
        std::make_unique<BootStream>(link, std::vector<std::uint8_t>(first, last), image.runAddress, image.endAddress));
}
