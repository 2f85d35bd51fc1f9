#include "app/panels/FactoryPanel.h"

#include "app/readout/MachineInfo.h"
#include "images/FactoryImage.h"

namespace {

constexpr std::uint32_t kFlashIdentCompared = 0xFFFF;

FactoryDownloadStart Refuse(FactoryRefusal refusal, const char* text)
{
    return {refusal, text, nullptr};
}

}  // namespace

bool IdentsMatch(const MachineInfo& info, const FactoryImage& image)
{
    return info.hardIdent == image.hardIdent
        && (info.flashIdent & kFlashIdentCompared) == (image.flashIdent & kFlashIdentCompared);
}

FactoryPanel::FactoryPanel(const ToolContext& context)
    : LoadFlow(FileKind::Factory, context.Targets()),
      context(context)
{
}

FactoryDownloadStart FactoryPanel::StartDownload()
{
    const FactoryImage& image = context.factoryImage;
    if (!image.loaded)
        return Refuse(FactoryRefusal::NotLoaded, "No file loaded");
    ReadIdentOnly(context.link, context.machineInfo);
    if (!context.machineInfo.answered)
        return Refuse(FactoryRefusal::NoAnswer, "No answer");
    if (!IdentsMatch(context.machineInfo, image))
        return Refuse(FactoryRefusal::IncompatibleIdent, "Incompatible ident : this file is not for this hardware");
    FactoryDownloadStart start;
    start.download = std::make_unique<FactoryDownload>(context.link, image.eraseVectors, image.image);
    return start;
}
