#include "app/panels/BootPanel.h"

#include "images/BootImage.h"
#include "procedures/boot/BootStream.h"

BootPanel::BootPanel(const ToolContext& context)
    : LoadFlow(FileKind::Boot, context.Targets()),
      context(context)
{
}

ActionStart BootPanel::Start()
{
    const BootImage& image = context.bootImage;
    if (!image.loaded || image.endAddress < image.runAddress
        || image.pWords.size() < std::size_t(image.endAddress) * BootImage::kWordBytes)
        return ActionStart::Refuse(ActionRefusal::NotLoaded, "No file loaded");
    const auto first = image.pWords.begin() + std::ptrdiff_t(image.runAddress * BootImage::kWordBytes);
    const auto last = image.pWords.begin() + std::ptrdiff_t(image.endAddress * BootImage::kWordBytes);
    return ActionStart::Started(std::make_unique<BootStream>(
        context.link, std::vector<std::uint8_t>(first, last), image.runAddress, image.endAddress));
}
