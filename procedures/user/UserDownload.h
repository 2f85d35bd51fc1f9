#pragma once

#include "procedures/FlashDownload.h"

#include <cstdint>
#include <vector>

class DeviceLink;

// Where a user program goes: the user area as the machine's factory
// directory describes it.
struct UserArea {
    std::uint32_t address = 0;    // flash address of the user area
    std::uint32_t length = 0;     // length of the range to erase
    std::uint32_t eraseStep = 0;  // distance between successive erase addresses
};

// The user program download: erases the user area step by step (always at
// least once), writes the prepared program at its base address in blocks of
// 240 bytes, and with the last block writes the zone table at the start of
// the user area.
class UserDownload final : public FlashDownload {
public:
    // Starts a download, as the dialog does when it is shown: the result text
    // reads "Not done", the erase phase begins at offset 0. `data` is the
    // prepared (restored and relocated) program, written from `programBase`;
    // `zoneTable` goes to the start of the user area with the last block.
    UserDownload(DeviceLink& link, const UserArea& area, std::uint32_t programBase, std::vector<std::uint8_t> data,
                 std::vector<std::uint8_t> zoneTable);
    // A restore of the user area: the same erase, then only `blocks`
    // (RestoreBlocks of a backup), the zone table among them.
    UserDownload(DeviceLink& link, const UserArea& area, std::vector<FlashSegment> blocks);

private:
    std::uint32_t EraseAddress() const override { return area.address + eraseOffset; }
    bool NextErase() override;
    // The offset of the erase under way, out of the user area's length.
    Progress EraseProgress() const override { return {Phase::Erasing, eraseOffset, area.length}; }
    // One erase a step over the user area's length, and always at least one.
    ProcedureProgress EraseCount() const override;

    const UserArea area;
    std::uint32_t eraseOffset = 0;
};

// The blocks of a user area's bytes that a restore programs: `bytes` from
// `address` cut into blocks of FlashDownload::kBlockSize, those that are all
// erased (0xFF) left out, since the erase leaves them so; in address order,
// but for the first block of the area (the zone table's), which comes last.
std::vector<FlashSegment> RestoreBlocks(std::uint32_t address, const std::vector<std::uint8_t>& bytes);
