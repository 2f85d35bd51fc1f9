#include "procedures/user/UserDownload.h"

UserDownload::UserDownload(DeviceLink& link, const UserArea& area, std::uint32_t programBase,
                           std::vector<std::uint8_t> data, std::vector<std::uint8_t> zoneTable)
    : FlashDownload(link, true, programBase, std::move(data), area.address, std::move(zoneTable)), area(area)
{
}

bool UserDownload::NextErase()
{
    eraseOffset += area.eraseStep;
    return eraseOffset < area.length;
}
