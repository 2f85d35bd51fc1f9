#pragma once

#include <memory>

class Prompts;
class TBootForm;
class TConfigForm;
class TEmulForm;
class TMainForm;
class TPortDevicesForm;
class TProgramFactoryForm;
class TProgramUserForm;
struct ToolContext;

// The six windows of mirelle-loader, created in their order at start-up and
// kept for the whole run: the main window first (the application's main
// window), then the port dialog, whose creation opens the stored port, then
// the three download dialogs and the console, all hidden. They go in the
// reverse order.
struct LoaderWindows {
    std::unique_ptr<TMainForm> main;
    std::unique_ptr<TConfigForm> config;
    std::unique_ptr<TBootForm> boot;
    std::unique_ptr<TProgramFactoryForm> factory;
    std::unique_ptr<TProgramUserForm> user;
    std::unique_ptr<TEmulForm> console;
    std::unique_ptr<TPortDevicesForm> devices;

    LoaderWindows();
    LoaderWindows(LoaderWindows&& other) noexcept;
    LoaderWindows& operator=(LoaderWindows&&) = delete;
    ~LoaderWindows();
};

LoaderWindows CreateLoaderWindows(const ToolContext& context, Prompts& prompts, bool developer);

// The process-wide windows, named after them, set by the program's main().
extern TMainForm* MainForm;
extern TConfigForm* ConfigForm;
extern TBootForm* BootForm;
extern TProgramFactoryForm* ProgramFactoryForm;
extern TProgramUserForm* ProgramUserForm;
extern TEmulForm* EmulForm;
