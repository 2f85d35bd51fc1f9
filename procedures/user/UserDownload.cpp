#include "procedures/user/UserDownload.h"

#include <algorithm>

UserDownload::UserDownload(DeviceLink& link, const UserArea& area, std::uint32_t programBase,
                           std::vector<std::uint8_t> data, std::vector<std::uint8_t> zoneTable)
    : FlashDownload(link, true, programBase, std::move(data), area.address, std::move(zoneTable)), area(area)
{
}

ProcedureProgress UserDownload::EraseCount() const
{
    if (area.eraseStep == 0)
        return {0, 1, 0};
    const std::uint64_t step = area.eraseStep;
    const std::uint64_t erases = std::max<std::uint64_t>(1, (std::uint64_t(area.length) + step - 1) / step);
    return {0, erases, eraseOffset / step};
}

bool UserDownload::NextErase()
{
    eraseOffset += area.eraseStep;
    return eraseOffset < area.length;
}
