#pragma once

#include "app/ToolContext.h"
#include "app/panels/ActionStart.h"
#include "files/LoadFlow.h"

class Prompts;

// The boot panel's two buttons on the process-wide objects of a context.
class BootPanel : public LoadFlow {
public:
    explicit BootPanel(const ToolContext& context);

    // "Load" is the LoadFlow's: the open dialog, the "BootDir" folder, LoadBootFile.

    // "Boot": a BootStream of the loaded program (no readout before it), or
    // NotLoaded "No file loaded" when no program is loaded that can be streamed.
    ActionStart Start();

private:
    ToolContext context;
};
