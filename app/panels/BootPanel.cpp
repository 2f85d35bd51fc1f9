#include "app/panels/BootPanel.h"

#include "images/BootImage.h"

BootPanel::BootPanel(const ToolContext& context)
    : LoadFlow(FileKind::Boot, context.Targets()),
      context(context)
{
}

std::unique_ptr<BootStream> BootPanel::StartBoot()
{
    const BootImage& image = context.bootImage;
    if (!image.loaded || image.endAddress < image.runAddress
        || image.pWords.size() < std::size_t(image.endAddress) * BootImage::kWordBytes)
        return nullptr;
    const auto first = image.pWords.begin() + std::ptrdiff_t(image.runAddress * BootImage::kWordBytes);
    const auto last = image.pWords.begin() + std::ptrdiff_t(image.endAddress * BootImage::kWordBytes);
    return std::make_unique<BootStream>(context.link, std::vector<std::uint8_t>(first, last), image.runAddress,
                                        image.endAddress);
}
