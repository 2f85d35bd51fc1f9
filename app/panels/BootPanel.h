#pragma once

#include "app/ToolContext.h"
#include "files/LoadFlow.h"
#include "procedures/boot/BootStream.h"

#include <memory>
#include <string>

class Prompts;

// The boot panel's two buttons on the process-wide objects of a context.
class BootPanel : public LoadFlow {
public:
    explicit BootPanel(const ToolContext& context);

    // "Load" is the LoadFlow's: the open dialog, the "BootDir" folder, LoadBootFile.

    // "Boot": the stream of the loaded program (no readout before it), or
    // nothing when no program is loaded.
    std::unique_ptr<BootStream> StartBoot();

private:
    ToolContext context;
};
