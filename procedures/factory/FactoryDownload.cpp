#include "procedures/factory/FactoryDownload.h"

FactoryDownload::FactoryDownload(DeviceLink& link, std::vector<std::uint32_t> eraseVectors,
                                 std::vector<std::uint8_t> image)
    : FlashDownload(link, !eraseVectors.empty(), kFlashAddress, std::move(image), 0, {}),
      eraseVectors(std::move(eraseVectors))
{
}
