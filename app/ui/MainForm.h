#pragma once

#include "app/ui/DialogRunner.h"
#include "files/LoadFlow.h"
#include "operations/Job.h"
#include "operations/ToolContext.h"
#include "operations/machine/MachineControls.h"

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
class RecordingBackend;
struct LoaderWindows;

// The main window: the machine information panel, the user program panel
// (and, for developers, the boot and factory panels), the menu and the
// status line that shows the link's state once a second. Its handlers read
// their widgets, call one job and show what comes back; each readout a job
// makes is shown in the machine panel as it comes.
class TMainForm final : public QMainWindow, private JobObserver {
    Q_OBJECT

public:
    // `developer`: also show the boot and factory panels and the hidden
    // Tools entries.
    TMainForm(const ToolContext& context, Prompts& prompts, bool developer, QWidget* parent = nullptr);
    // FormDestroy: the image buffers are released with the main window.
    ~TMainForm() override;

    // The other windows, created after the main window.
    void AttachWindows(const LoaderWindows& windows);

    // The readout (identity only for the factory "Download" button, the
    // full one for any other sender), then the panel from MachineInfo.
    void RefreshScreenInfo(QObject* sender);

    // The file of the command line (mirelle-loader FILE): loaded as its
    // panel's "Load" loads a chosen one (the console's "load" for a symbol
    // file; a backup is offered for a restore behind its question), or
    // refused in an error box that names it and says why.
    void OpenFile(const std::string& path);

    // The link's recording backend, which "Record the line to a file..."
    // starts and stops (none: the entry is disabled).
    void SetRecorder(RecordingBackend* recorder);

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
    // The Machine and Help menus: the jobs a technician runs beside the
    // panels, and the recording of the line for a bug report.
    void BackupMenuClick();
    void RestoreMenuClick();
    void VerifyMenuClick(bool checked);
    void RecordMenuClick(bool checked);
    void AboutMenuClick();
    // The restore of the backup at `path`, behind its question.
    void RestoreFrom(const std::string& path);
    // What "Verify after writing" asks of the jobs that write.
    bool VerifyAfterWriting() const;
    // A write job's result where its panel shows it: its text, which after a
    // verify is the verify's result; "Done, " and that in the tool tip.
    void ShowWriteResult(QLabel* label, const JobOutcome& outcome);
    std::string ReadoutCause() const;
    // The folder of a chosen backup, for the next dialog and the settings.
    void RememberBackupFolder(const std::string& path);
    // A job that ended in a refusal or a failure beside the machine (a
    // file): its text in the error box.
    void ShowJobFailure(const JobOutcome& outcome);

    // The job's context: the window's link and MachineInfo, its dialogs,
    // its prompts, and this window as the observer.
    JobContext Job();
    void MachineRead(const MachineInfo& info) override;
    void StepEnded(const StepOutcome& step) override;

    void ShowMachinePanel(const MachinePanel& panel);
    // The file-name and status labels after a Load; true when a file was chosen.
    bool ShowFileLoad(const FileLoad& load, QLabel* fileName, QLabel* status);
    // What each panel's "Load" shows after its file was chosen and loaded.
    void ShowUserLoad(const FileLoad& load);
    void ShowBootLoad(const FileLoad& load);
    void ShowFactoryLoad(const FileLoad& load);

    std::unique_ptr<Ui::MainForm> ui;
    ToolContext context;
    Prompts& prompts;
    LoadFlow userLoad;
    LoadFlow factoryLoad;
    LoadFlow bootLoad;
    MachineControls controls;
    const LoaderWindows* windows = nullptr;
    std::unique_ptr<DialogRunner> runner;
    RecordingBackend* recorder = nullptr;
    QLabel* resultLabel = nullptr;  // where the job under way shows its download's result
    std::string backupFolder;  // where the backup dialogs start
    QTimer Timer1{this};
    QLabel* statusLine;
    std::string statusHintOf;  // the state and port the status line's tool tip was made for
    bool developer;
    bool shownOnce = false;
};
