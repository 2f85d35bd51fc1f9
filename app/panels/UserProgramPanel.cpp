#include "app/panels/UserProgramPanel.h"

#include "app/readout/MachineInfo.h"
#include "common/ByteOrder.h"
#include "common/TextFormat.h"
#include "images/UserImage.h"
#include "link/DeviceLink.h"

namespace {

constexpr std::uint32_t kHardwareMask = 0xFFFF00;
constexpr std::uint32_t kWordMask = 0xFFFFFF;

UserDownloadCheck Refuse(UserDownloadRefusal refusal, std::string text)
{
    return {refusal, std::move(text)};
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

UserDownloadStart StartUserDownload(DeviceLink& link, MachineInfo& info, UserImage& image)
{
    UserDownloadStart start;
    ReadMachineInfo(link, info);
    start.check = CheckUserDownload(info, image);
    if (!start.check.Accepted())
        return start;
    if (!PrepareUserImage(image, info)) {
        start.check = Refuse(UserDownloadRefusal::NotLoaded, "No file loaded");
        return start;
    }
    const UserArea area{info.userAreaAddress, info.userAreaLength, info.eraseStep};
    start.download = std::make_unique<UserDownload>(link, area, image.programBase, image.data, image.ZoneTable());
    return start;
}

UserProgramPanel::UserProgramPanel(const ToolContext& context)
    : LoadFlow(FileKind::User, context.Targets()),
      context(context)
{
}

UserDownloadStart UserProgramPanel::StartDownload()
{
    return StartUserDownload(context.link, context.machineInfo, context.userImage);
}
