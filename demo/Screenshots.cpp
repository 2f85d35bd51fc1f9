// Renders the README's pictures of the window on the offscreen platform: the
// main window after a readout of the simulated machine (the sample factory
// image, the sample user program loaded and downloaded), and the download
// dialog under way. demo/screenshots.sh builds and runs it.
// Usage: loader-screenshots OUTPUT_FOLDER   (run from the repository's root)

#include "operations/ToolContext.h"
#include "app/ui/LoaderApplication.h"
#include "app/ui/LoaderWindows.h"
#include "app/ui/MainForm.h"
#include "common/Prompts.h"
#include "link/DeviceLink.h"
#include "link/ui/ConfigForm.h"
#include "procedures/ui/ProcedureForm.h"
#include "samples/SampleSet.h"
#include "sim/MachineModel.h"
#include "sim/ModelPortBackend.h"

#include "operations/readout/MachineInfo.h"
#include "images/BootImage.h"
#include "images/FactoryImage.h"
#include "images/SymbolTable.h"
#include "images/UserImage.h"

#include <QDir>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

// Every open dialog chooses the sample user program; nothing else is asked.
class SamplePrompts final : public Prompts {
public:
    std::optional<std::string> OpenFile(const OpenFileQuestion&) override { return "samples/sample-user.tbu"; }
    std::optional<std::string> SaveFile(const SaveFileQuestion&) override { return std::nullopt; }
    bool Confirm(const std::string&, const std::string&, const std::string&) override { return false; }
    void Inform(const std::string&, const std::string&) override {}
    void Error(const std::string&, const std::string& text) override
    {
        std::fprintf(stderr, "loader-screenshots: %s\n", text.c_str());
    }
};

bool Save(QWidget* window, const QString& path)
{
    const bool saved = window->grab().save(path);
    std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
    return saved;
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir profile;
    qputenv("XDG_CONFIG_HOME", profile.path().toLocal8Bit());
    LoaderApplication application(argc, argv);
    const QString output = argc > 1 ? argv[1] : "doc";
    QDir().mkpath(output);

    MachineConfig config;
    config.eraseTime = SimTime::zero();
    MachineModel machine(config);
    const FactoryImageContent factory = SampleFactoryImage();
    machine.ApplyImage(factory.eraseVectors, SampleLayout::kFactoryBase, factory.image);
    DeviceLink link(std::make_unique<ModelPortBackend>(machine));

    std::string portName, factoryResult, userResult;
    FactoryImage factoryImage;
    UserImage userImage;
    BootImage bootImage;
    MachineInfo info;
    SymbolTable symbols;
    const ToolContext context{link, portName, factoryImage, userImage, bootImage, info, factoryResult, userResult,
                              symbols};
    SamplePrompts prompts;
    LoaderWindows windows = CreateLoaderWindows(context, prompts, false);
    TMainForm& main = *windows.main;
    main.show();
    windows.config->findChild<QRadioButton*>("Com1RadioButton")->click();
    main.findChild<QPushButton*>("LoadUserButton")->click();

    // The dialog, once programming is under way.
    bool dialogSaved = false;
    auto* watch = new QTimer(&application);
    QObject::connect(watch, &QTimer::timeout, [&] {
        auto* bar = windows.user->findChild<QProgressBar*>("ProgressBar");
        if (windows.user->isVisible() && bar->value() >= 720 && !dialogSaved) {
            dialogSaved = Save(windows.user.get(), output + "/download-dialog.png");
            watch->stop();
        }
    });
    watch->start(5);
    main.findChild<QPushButton*>("ProgramUserButton")->click();

    QTimer::singleShot(1100, &application, [&] {  // the status line's first tick has come
        const bool saved = Save(&main, output + "/main-window.png");
        application.exit(saved && dialogSaved ? 0 : 1);
    });
    return application.exec();
}
