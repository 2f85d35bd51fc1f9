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

UserDownload::UserDownload(DeviceLink& link, const UserArea& area, std::vector<FlashSegment> blocks)
    : FlashDownload(link, true, std::move(blocks), {}), area(area)
{
}

std::vector<FlashSegment> RestoreBlocks(std::uint32_t address, const std::vector<std::uint8_t>& bytes)
{
    std::vector<FlashSegment> blocks;
    for (std::size_t offset = 0; offset < bytes.size(); offset += FlashDownload::kBlockSize) {
        const auto begin = bytes.begin() + std::ptrdiff_t(offset);
        const auto end = bytes.begin() + std::ptrdiff_t(std::min(bytes.size(), offset + FlashDownload::kBlockSize));
        if (std::any_of(begin, end, [](std::uint8_t byte) { return byte != 0xFF; }))
            blocks.push_back({address + std::uint32_t(offset), {begin, end}});
    }
    // The first block holds the zone table: written last, as a download
    // writes it, so that a restore cut short leaves no zone table that
    // describes data which is not there.
    if (!blocks.empty() && blocks.front().address == address)
        std::rotate(blocks.begin(), blocks.begin() + 1, blocks.end());
    return blocks;
}
