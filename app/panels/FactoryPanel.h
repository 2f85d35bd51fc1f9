#pragma once

#include "app/ToolContext.h"
#include "app/panels/ActionStart.h"
#include "files/LoadFlow.h"

class Prompts;
struct FactoryImage;
struct MachineInfo;

// The image is for this machine: the hard idents agree in all 32 bits, the
// flash idents in their low 16 bits.
bool IdentsMatch(const MachineInfo& info, const FactoryImage& image);

// The factory panel's two buttons on the process-wide objects of a context.
class FactoryPanel : public LoadFlow {
public:
    explicit FactoryPanel(const ToolContext& context);

    // "Load" is the LoadFlow's: the open dialog, the "FactoryDir" folder, LoadFactoryFile.

    // "Download" up to the dialog: the short readout (identity only) into
    // MachineInfo, the ident check, then a started FactoryDownload or the
    // refusal: NotLoaded "No file loaded", NoAnswer "No answer", or
    // MachineRefused "Incompatible ident : this file is not for this hardware".
    ActionStart Start();

private:
    ToolContext context;
};
