#pragma once

#include "app/ToolContext.h"
#include "files/LoadFlow.h"
#include "procedures/factory/FactoryDownload.h"

#include <memory>
#include <string>

class Prompts;
struct FactoryImage;
struct MachineInfo;

// Why a factory download is not started. Each has its own text.
enum class FactoryRefusal {
    None,
    NotLoaded,          // "No file loaded"
    NoAnswer,           // "No answer"
    IncompatibleIdent,  // "Incompatible ident : this file is not for this hardware"
};

struct FactoryDownloadStart {
    FactoryRefusal refusal = FactoryRefusal::None;
    std::string text;  // the refusal's text, for the panel's result label
    std::unique_ptr<FactoryDownload> download;
};

// The image is for this machine: the hard idents agree in all 32 bits, the
// flash idents in their low 16 bits.
bool IdentsMatch(const MachineInfo& info, const FactoryImage& image);

// The factory panel's two buttons on the process-wide objects of a context.
class FactoryPanel : public LoadFlow {
public:
    explicit FactoryPanel(const ToolContext& context);

    // "Load" is the LoadFlow's: the open dialog, the "FactoryDir" folder, LoadFactoryFile.

    // "Download" up to the dialog: the short readout (identity only) into
    // MachineInfo, the ident check, then a started download or the refusal.
    FactoryDownloadStart StartDownload();

private:
    ToolContext context;
};
