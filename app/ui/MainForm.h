#pragma once

#include "app/ToolContext.h"
#include "app/panels/BootPanel.h"
#include "app/panels/FactoryPanel.h"
#include "app/panels/MachineWrites.h"
#include "app/panels/UserProgramPanel.h"

#include <QMainWindow>
#include <QTimer>

#include <memory>

namespace Ui {
class MainForm;
}
struct MachinePanel;
class Prompts;
class QLabel;
class TBootForm;
class TConfigForm;
class TPortDevicesForm;
class TEmulForm;
class TProcedureForm;
class TProgramFactoryForm;
class TProgramUserForm;

// The windows the main window shows; all live as long as it does.
struct LoaderDialogs {
    TConfigForm* config = nullptr;
    TBootForm* boot = nullptr;
    TProgramFactoryForm* factory = nullptr;
    TProgramUserForm* user = nullptr;
    TEmulForm* console = nullptr;
    TPortDevicesForm* devices = nullptr;
};

// The main window: the machine information panel, the user program panel
// (and, for developers, the boot and factory panels), the menu and the
// status line that shows the link's state once a second. Its handlers read
// their widgets, call one core operation and show what comes back.
class TMainForm final : public QMainWindow {
    Q_OBJECT

public:
    // `developer`: also show the boot and factory panels and the hidden
    // Tools entries.
    TMainForm(const ToolContext& context, Prompts& prompts, bool developer, QWidget* parent = nullptr);
    // FormDestroy: the image buffers are released with the main window.
    ~TMainForm() override;

    // The dialogs, created after the main window.
    void AttachDialogs(const LoaderDialogs& dialogs);

    // The readout (identity only for the factory "Download" button, the
    // full one for any other sender), then the panel from MachineInfo.
    void RefreshScreenInfo(QObject* sender);

    // The file of the command line (mirelle-loader FILE): loaded as its
    // panel's "Load" loads a chosen one (the console's "load" for a symbol
    // file), or refused in an error box that names it and says why.
    void OpenFile(const std::string& path);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void FormShow();
    void Timer1Timer();
    void SerialConfigMenuClick();
    void SerialDevicesMenuClick();
    void ExitMenuClick();
    void EmulatorMenuClick();
    void LoadUserButtonClick();
    void ProgramUserButtonClick();
    void LoadBootButtonClick();
    void BootButtonClick();
    void LoadFactoryButtonClick();
    void ProgramFactoryButtonClick();
    void HardwareOptionsMaskEditChange();
    void SerialNumberEditChange();
    void MachineNameEditChange();
    void DownloadHardwareOptionsButtonClick();
    void DownloadSerialNumberButtonClick();
    void DownloadMachineNameButtonClick();
    void PowerOffButtonClick();
    void ProgramloaderMenuClick();
    void RtsCheckBoxClick(bool checked);

    void ShowMachinePanel(const MachinePanel& panel);
    // The file-name and status labels after a Load; true when a file was chosen.
    bool ShowFileLoad(const FileLoad& load, QLabel* fileName, QLabel* status);
    // What each panel's "Load" shows after its file was chosen and loaded.
    void ShowUserLoad(const FileLoad& load);
    void ShowBootLoad(const FileLoad& load);
    void ShowFactoryLoad(const FileLoad& load);
    // A download panel's start, after whose readout the machine panel is
    // shown again: its refusal on the panel's result label, or its dialog
    // (keeping the process-wide `resultText` in step), the result text on
    // the label and the full readout.
    void RunDownload(const ActionStart& start, QLabel* result, TProcedureForm& dialog, std::string& resultText);

    std::unique_ptr<Ui::MainForm> ui;
    ToolContext context;
    Prompts& prompts;
    UserProgramPanel userPanel;
    FactoryPanel factoryPanel;
    BootPanel bootPanel;
    MachineControls controls;
    LoaderDialogs dialogs;
    QTimer Timer1{this};
    QLabel* statusLine;
    std::string statusHintOf;  // the state and port the status line's tool tip was made for
    bool developer;
    bool shownOnce = false;
};
