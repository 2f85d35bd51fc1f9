#include "app/panels/FactoryPanel.h"

#include "app/readout/MachineInfo.h"
#include "images/FactoryImage.h"
#include "procedures/factory/FactoryDownload.h"

namespace {

constexpr std::uint32_t kFlashIdentCompared = 0xFFFF;

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

ActionStart FactoryPanel::Start()
{
    const FactoryImage& image = context.factoryImage;
    if (!image.loaded)
        return ActionStart::Refuse(ActionRefusal::NotLoaded, "No file loaded");
    ReadIdentOnly(context.link, context.machineInfo);
    if (!context.machineInfo.answered)
        return ActionStart::Refuse(ActionRefusal::NoAnswer, "No answer");
    if (!IdentsMatch(context.machineInfo, image))
        return ActionStart::Refuse(ActionRefusal::MachineRefused,
                                   "Incompatible ident : this file is not for this hardware");
    return ActionStart::Started(std::make_unique<FactoryDownload>(context.link, image.eraseVectors, image.image));
}
