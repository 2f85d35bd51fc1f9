#include "app/ui/LoaderWindows.h"

#include "operations/ToolContext.h"
#include "app/ui/MainForm.h"
#include "console/ui/EmulForm.h"
#include "link/ui/ConfigForm.h"
#include "link/ui/PortDevicesForm.h"
#include "procedures/ui/BootForm.h"
#include "procedures/ui/ProcedureForm.h"

TMainForm* MainForm = nullptr;
TConfigForm* ConfigForm = nullptr;
TBootForm* BootForm = nullptr;
TProgramFactoryForm* ProgramFactoryForm = nullptr;
TProgramUserForm* ProgramUserForm = nullptr;
TEmulForm* EmulForm = nullptr;

LoaderWindows::LoaderWindows() = default;

// The main window reaches the others through the one list it belongs to:
// moved, the list tells it where it is now.
LoaderWindows::LoaderWindows(LoaderWindows&& other) noexcept
    : main(std::move(other.main)),
      config(std::move(other.config)),
      boot(std::move(other.boot)),
      factory(std::move(other.factory)),
      user(std::move(other.user)),
      console(std::move(other.console)),
      devices(std::move(other.devices))
{
    if (main)
        main->AttachWindows(*this);
}

LoaderWindows::~LoaderWindows()
{
    devices.reset();
    console.reset();
    user.reset();
    factory.reset();
    boot.reset();
    config.reset();
    main.reset();
}

LoaderWindows CreateLoaderWindows(const ToolContext& context, Prompts& prompts, bool developer)
{
    LoaderWindows windows;
    windows.main = std::make_unique<TMainForm>(context, prompts, developer);
    windows.config = std::make_unique<TConfigForm>(context.link, context.portName, prompts, windows.main.get());
    windows.boot = std::make_unique<TBootForm>(windows.main.get());
    windows.factory = std::make_unique<TProgramFactoryForm>(windows.main.get());
    windows.user = std::make_unique<TProgramUserForm>(windows.main.get());
    windows.console = std::make_unique<TEmulForm>(context.link, context.Targets(), prompts);
    // Beside the port dialog, not one of the behaviour's windows: created last.
    windows.devices = std::make_unique<TPortDevicesForm>(context.link, context.portName, prompts, windows.main.get());
    TConfigForm* config = windows.config.get();
    TPortDevicesForm* devices = windows.devices.get();
    config->OnChooseDevice([devices](int item) { devices->ShowFor(item); });
    devices->OnChosen([config] { config->ShowPorts(); });
    config->OnPicked([devices] { devices->ShowSelection(); });
    windows.main->AttachWindows(windows);
    return windows;
}
