// mirelle-loader: the service tool's window.
#include "app/LoaderOptions.h"
#include "operations/ToolContext.h"
#include "app/ui/LoaderApplication.h"
#include "app/ui/LoaderWindows.h"
#include "app/ui/MainForm.h"
#include "app/ui/QtPrompts.h"
#include "app/ui/QuitOnSignal.h"
#include "link/DeviceLink.h"
#include "link/QtPortBackend.h"
#include "link/PortStack.h"
#include "link/RecordingBackend.h"

#include <QTimer>

#include <cstdio>
#include <exception>
#include <memory>

int main(int argc, char** argv)
{
    // Read before the application object, so that --help and --version
    // need no display.
    const LoaderOptions options = ParseLoaderOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!options.error.empty()) {
        std::fprintf(stderr, "%s\n", options.error.c_str());
        return 2;
    }
    if (options.help || options.version) {
        std::fputs((options.help ? LoaderUsageText() : LoaderVersionText()).c_str(), stdout);
        return 0;
    }

    // Qt sees no option of the command line: the program takes only its own.
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    LoaderApplication application(qtArgc, qtArgv);
    QuitOnSignal();
    QtPrompts prompts;
    application.SetPrompts(&prompts);

    // The one link, over a recording backend that records once asked: with
    // --record from the port's first open, or from "Record the line to a
    // file...". What keeps it from recording is told in the error box, once
    // the exchange under way is over; the line goes on.
    PortStack stack = BuildPortStack(std::make_unique<QtPortBackend>(), {.stopNow = {}, .recordable = true, .trace = {}});
    RecordingBackend* recorder = stack.recording;
    if (options.record)
        recorder->StartAtNextOpen(*options.record);
    recorder->TellTroubleTo([&prompts](const std::string& text) {
        QTimer::singleShot(0, [&prompts, text] { prompts.Error(LoaderApplication::kTitle, text); });
    });
    DeviceLink link(std::move(stack.backend));
    try {
        // The one link exists before any window.
        const ToolContext context = ProcessContext(link);
        LoaderWindows windows = CreateLoaderWindows(context, prompts, options.developer);
        windows.main->SetRecorder(recorder);
        MainForm = windows.main.get();
        ConfigForm = windows.config.get();
        BootForm = windows.boot.get();
        ProgramFactoryForm = windows.factory.get();
        ProgramUserForm = windows.user.get();
        EmulForm = windows.console.get();
        prompts.SetParent(MainForm);
        MainForm->show();
        // The file of the command line once the window is up, as if chosen with "Load".
        if (!options.file.empty())
            QTimer::singleShot(0, MainForm, [file = options.file] { MainForm->OpenFile(file); });
        application.exec();
    } catch (const std::exception& error) {
        application.ShowException(error);
    }
    return 0;
}
