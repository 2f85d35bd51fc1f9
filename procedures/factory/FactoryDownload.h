#pragma once

#include "common/FlashMap.h"
#include "procedures/FlashDownload.h"

#include <cstdint>
#include <vector>

class DeviceLink;

// The factory image download: erases the flash at every address of the
// image's erase list (none: straight to programming), then writes the image
// from 0xD00000 upwards in blocks of 240 bytes.
class FactoryDownload final : public FlashDownload {
public:
    static constexpr std::uint32_t kFlashAddress = FlashMap::kFactoryAreaAddress;

    // Starts a download, as the dialog does when it is shown: the result text
    // reads "Not done", the first erase (or the first block) comes next.
    FactoryDownload(DeviceLink& link, std::vector<std::uint32_t> eraseVectors, std::vector<std::uint8_t> image);

private:
    std::uint32_t EraseAddress() const override { return eraseVectors[eraseIndex]; }
    bool NextErase() override { return ++eraseIndex < eraseVectors.size(); }
    // The erases done, out of all.
    Progress EraseProgress() const override
    {
        return {Phase::Erasing, std::uint32_t(eraseIndex), std::uint32_t(eraseVectors.size())};
    }
    ProcedureProgress EraseCount() const override { return {0, eraseVectors.size(), eraseIndex}; }

    const std::vector<std::uint32_t> eraseVectors;
    std::size_t eraseIndex = 0;
};
