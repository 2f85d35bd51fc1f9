#include "app/ui/MainForm.h"

#include "ui_MainForm.h"

#include "app/FileToOpen.h"
#include "app/StatusLine.h"
#include "app/ui/LoaderApplication.h"
#include "app/ui/LoaderWindows.h"
#include "common/FolderPart.h"
#include "common/Latin1.h"
#include "common/QtText.h"
#include "common/SettingNames.h"
#include "common/Version.h"
#include "console/ui/EmulForm.h"
#include "images/BootImage.h"
#include "images/FactoryImage.h"
#include "images/UserImage.h"
#include "link/PortDiagnosis.h"
#include "link/PortSelection.h"
#include "link/ui/ConfigForm.h"
#include "link/RecordingBackend.h"
#include "link/Settings.h"
#include "link/ui/PortDevicesForm.h"
#include "operations/backup/BackupJobs.h"
#include "operations/downloads/DownloadJobs.h"
#include "operations/machine/MachineJobs.h"
#include "operations/readout/MachineInfo.h"
#include "operations/readout/MachinePanel.h"
#include "procedures/ui/BootForm.h"
#include "procedures/ui/ProcedureForm.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>

namespace {

constexpr const char* kCaption = "Mirelle series program loader V2.00";

// A once-only field's edit: an enabled edit takes at most `length`
// characters from the user, while a written field is shown whole, however
// long it is.
void ShowField(QLineEdit* edit, const QString& text, bool enabled, int length)
{
    edit->setMaxLength(enabled ? length : std::max<int>(length, int(text.size())));
    edit->setText(text);
    edit->setEnabled(enabled);
}

}  // namespace

TMainForm::TMainForm(const ToolContext& context, Prompts& prompts, bool developer, QWidget* parent)
    : QMainWindow(parent), ui(std::make_unique<Ui::MainForm>()), context(context), prompts(prompts),
      userLoad(FileKind::User, context.Targets()), factoryLoad(FileKind::Factory, context.Targets()),
      bootLoad(FileKind::Boot, context.Targets()), controls(context.link, context.machineInfo),
      statusLine(new QLabel(this)), developer(developer)
{
    ui->setupUi(this);
    statusLine->setObjectName("StatusBarLabel");
    ui->StatusBar->addPermanentWidget(statusLine, 1);

    // Hidden functions, for developers and factory staff only.
    ui->Panel1->setVisible(developer);
    ui->Panel2->setVisible(developer);
    ui->ToolsSeparatorMenu->setVisible(developer);
    ui->ProgramloaderMenu->setVisible(developer);
    ui->EmulatorMenu->setVisible(developer);

    Timer1.setObjectName("Timer1");
    Timer1.setInterval(1000);
    connect(&Timer1, &QTimer::timeout, this, &TMainForm::Timer1Timer);
    connect(ui->SerialConfigMenu, &QAction::triggered, this, &TMainForm::SerialConfigMenuClick);
    connect(ui->SerialDevicesMenu, &QAction::triggered, this, &TMainForm::SerialDevicesMenuClick);
    connect(ui->ExitMenu, &QAction::triggered, this, &TMainForm::ExitMenuClick);
    connect(ui->EmulatorMenu, &QAction::triggered, this, &TMainForm::EmulatorMenuClick);
    connect(ui->RefreshButton, &QPushButton::clicked, this, [this] { RefreshScreenInfo(ui->RefreshButton); });
    connect(ui->LoadUserButton, &QPushButton::clicked, this, &TMainForm::LoadUserButtonClick);
    connect(ui->ProgramUserButton, &QPushButton::clicked, this, &TMainForm::ProgramUserButtonClick);
    connect(ui->LoadBootButton, &QPushButton::clicked, this, &TMainForm::LoadBootButtonClick);
    connect(ui->BootButton, &QPushButton::clicked, this, &TMainForm::BootButtonClick);
    connect(ui->LoadFactoryButton, &QPushButton::clicked, this, &TMainForm::LoadFactoryButtonClick);
    connect(ui->ProgramFactoryButton, &QPushButton::clicked, this, &TMainForm::ProgramFactoryButtonClick);
    // The change events fire for the readout's texts too: the readout
    // disables the buttons again right after.
    connect(ui->HardwareOptionsMaskEdit, &QLineEdit::textChanged, this, &TMainForm::HardwareOptionsMaskEditChange);
    connect(ui->SerialNumberEdit, &QLineEdit::textChanged, this, &TMainForm::SerialNumberEditChange);
    connect(ui->MachineNameEdit, &QLineEdit::textChanged, this, &TMainForm::MachineNameEditChange);
    connect(ui->DownloadHardwareOptionsButton, &QPushButton::clicked, this,
            &TMainForm::DownloadHardwareOptionsButtonClick);
    connect(ui->DownloadSerialNumberButton, &QPushButton::clicked, this, &TMainForm::DownloadSerialNumberButtonClick);
    connect(ui->DownloadMachineNameButton, &QPushButton::clicked, this, &TMainForm::DownloadMachineNameButtonClick);
    connect(ui->PowerOffButton, &QPushButton::clicked, this, &TMainForm::PowerOffButtonClick);
    connect(ui->ProgramloaderMenu, &QAction::triggered, this, &TMainForm::ProgramloaderMenuClick);
    // Also when the timer sets it back: the click event of the check box fires then too.
    connect(ui->RtsCheckBox, &QCheckBox::toggled, this, &TMainForm::RtsCheckBoxClick);
    connect(ui->BackupMenu, &QAction::triggered, this, &TMainForm::BackupMenuClick);
    connect(ui->RestoreMenu, &QAction::triggered, this, &TMainForm::RestoreMenuClick);
    connect(ui->VerifyMenu, &QAction::triggered, this, &TMainForm::VerifyMenuClick);
    connect(ui->RecordMenu, &QAction::triggered, this, &TMainForm::RecordMenuClick);
    connect(ui->AboutMenu, &QAction::triggered, this, &TMainForm::AboutMenuClick);
    std::string verify;
    try {
        ReadSetting(SettingName::kVerifyAfterWriting, verify);
        ReadSetting(SettingName::kBackupDir, backupFolder);
    } catch (const SettingsError&) {
        // A value that is not text: off, and no folder remembered.
    }
    ui->VerifyMenu->setChecked(verify == "1");
    ui->RecordMenu->setEnabled(false);
    Timer1.start();
}

TMainForm::~TMainForm()
{
    context.bootImage.Release();
    context.factoryImage.Release();
    context.userImage.Release();
}

void TMainForm::AttachWindows(const LoaderWindows& loaderWindows)
{
    windows = &loaderWindows;
    runner = std::make_unique<DialogRunner>(
        DialogRunner::Dialogs{*windows->user, *windows->factory, *windows->boot},
        DialogRunner::ResultTexts{context.userResultText, context.factoryResultText});
}

JobContext TMainForm::Job()
{
    return {.link = context.link, .info = context.machineInfo, .runner = *runner, .observer = *this, .prompts = prompts};
}

void TMainForm::MachineRead(const MachineInfo& info)
{
    ShowMachinePanel(FillMachinePanel(info, context.userImage.loaded));
}

void TMainForm::showEvent(QShowEvent* event)
{
    if (!shownOnce) {
        shownOnce = true;
        FormShow();
    }
    QMainWindow::showEvent(event);
}

void TMainForm::FormShow()
{
    setWindowTitle(kCaption);
    // The window ends just below the status bar, the visible panels stacked
    // above it; Qt counts the menu bar inside the window.
    ui->CentralWidget->layout()->activate();
    const int panelsBottom = ui->Panel4->geometry().y() + ui->Panel4->maximumHeight();
    resize(width(), ui->MainMenu1->sizeHint().height() + panelsBottom + ui->StatusBar->maximumHeight());
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    // The main window's end is the program's, whatever else is open.
    QMainWindow::closeEvent(event);
    QCoreApplication::quit();
}

void TMainForm::Timer1Timer()
{
    // An adapter pulled out closes the port; plugged back, it is opened again.
    context.link.KeepOpen();
    const LinkState state = context.link.State();
    statusLine->setText(QString::fromStdString(LinkStatusText(state, context.portName)));
    // The tool tip says why, and what to do, what the last failed exchange
    // saw, and where the line is recorded; made again only when one of them
    // changed.
    const std::string recording = recorder && recorder->Recording() ? recorder->Path() : std::string();
    const std::string cause = state == LinkState::NoAnswer ? context.link.LastFailure().Text() : std::string();
    const std::string hintOf = std::to_string(int(state)) + context.portName + "\n" + recording + "\n"
        + context.link.OpenFailure().Text() + "\n" + cause;
    if (hintOf != statusHintOf) {
        statusHintOf = hintOf;
        const std::string device = ResolvePortDevice(context.portName);
        const std::string failure = state == LinkState::NotAvailable
            ? PortFailureText(context.portName, device, context.link.OpenFailure())
            : std::string();
        std::string hint = LinkStatusHint(state, context.portName, device, failure);
        if (!cause.empty())
            hint += "\nThe last exchange: " + cause + ".";
        if (!recording.empty())
            hint += "\nThe line is recorded into " + recording + " (Help > Record the line to a file...).";
        statusLine->setToolTip(QString::fromStdString(hint));
    }
    ui->RtsCheckBox->setChecked(context.link.Rts());
    ui->RecordMenu->setChecked(!recording.empty());
}

void TMainForm::SerialConfigMenuClick()
{
    windows->config->show();
    windows->config->raise();
    windows->config->activateWindow();
}

void TMainForm::SerialDevicesMenuClick()
{
    windows->devices->ShowFor(0);
}

void TMainForm::ExitMenuClick()
{
    close();
}

void TMainForm::EmulatorMenuClick()
{
    windows->console->show();
    windows->console->raise();
    windows->console->activateWindow();
}

void TMainForm::RefreshScreenInfo(QObject* sender)
{
    // A port whose adapter was plugged back is opened here too, without
    // waiting for the status line's next look.
    context.link.KeepOpen();
    ReadMachine(Job(), sender == ui->ProgramFactoryButton ? ReadoutKind::Identity : ReadoutKind::Full);
}

void TMainForm::ShowMachinePanel(const MachinePanel& panel)
{
    ui->RefreshStatusLabel->setText(QStringFromLatin1(panel.statusText));
    ui->RefreshStatusLabel->setToolTip(QString::fromStdString(ReadoutCause()));
    for (const PanelRow& row : panel.rows) {
        const QString text = QStringFromLatin1(row.text);
        switch (row.id) {
        case PanelRowId::HardIdent: ui->HardIdentLabel->setText(text); break;
        case PanelRowId::MiniBootVersion: ui->MiniBootVersionLabel->setText(text); break;
        case PanelRowId::HardwareVersion: ui->HardwareVersionLabel->setText(text); break;
        case PanelRowId::HardwareOptions: ui->HardwareOptionsMaskEdit->setText(text); break;
        case PanelRowId::SerialNumber:
            ShowField(ui->SerialNumberEdit, text, panel.serialEditEnabled,
                      FieldLength(OnceOnlyField::SerialNumber));
            break;
        case PanelRowId::MachineName:
            ShowField(ui->MachineNameEdit, text, panel.nameEditEnabled, FieldLength(OnceOnlyField::MachineName));
            break;
        case PanelRowId::ProgramLoaderVersion: ui->ProgramLoaderVersionLabel->setText(text); break;
        case PanelRowId::FactoryDrivers: ui->FactoryDriversListLabel->setText(text); break;
        case PanelRowId::MainBootVersion: ui->MainBootVersionLabel->setText(text); break;
        case PanelRowId::Program1Version: ui->MainProgramVersionLabel->setText(text); break;
        case PanelRowId::Program2Version: ui->MainProgram2VersionLabel->setText(text); break;
        case PanelRowId::Drivers: ui->DriversListLabel->setText(text); break;
        }
    }
    // After the texts, whose change events enable the "Write it !" buttons:
    // a button becomes usable only once the user has edited its field.
    ui->HardwareOptionsMaskEdit->setEnabled(false);
    ui->DownloadHardwareOptionsButton->setEnabled(false);
    ui->DownloadHardwareOptionsButton->setVisible(false);
    ui->DownloadSerialNumberButton->setEnabled(false);
    ui->DownloadSerialNumberButton->setVisible(panel.serialWriteVisible);
    ui->DownloadMachineNameButton->setEnabled(false);
    ui->DownloadMachineNameButton->setVisible(panel.nameWriteVisible);
    ui->ProgramUserButton->setEnabled(panel.userDownloadEnabled);
}

bool TMainForm::ShowFileLoad(const FileLoad& load, QLabel* fileName, QLabel* status)
{
    if (!load.chosen)
        return false;
    fileName->setText(QString::fromStdString(load.path));
    fileName->setToolTip(QString::fromStdString(load.path));
    status->setText(QStringFromLatin1(load.statusText));
    return true;
}

void TMainForm::OpenFile(const std::string& path)
{
    const FileToOpen file = ChooseFileToOpen(path, developer);
    if (!file.kind) {
        prompts.Error(LoaderApplication::kTitle, file.refusal);
        return;
    }
    switch (*file.kind) {
    case FileKind::User: ShowUserLoad(userLoad.LoadChosen(file.path, prompts)); break;
    case FileKind::Factory: ShowFactoryLoad(factoryLoad.LoadChosen(file.path, prompts)); break;
    case FileKind::Boot: ShowBootLoad(bootLoad.LoadChosen(file.path, prompts)); break;
    case FileKind::Symbols: windows->console->LoadSymbolFile(file.path); break;
    case FileKind::Backup: RestoreFrom(file.path); break;
    }
}

void TMainForm::LoadUserButtonClick()
{
    ShowUserLoad(userLoad.Load(prompts));
}

void TMainForm::ShowUserLoad(const FileLoad& load)
{
    if (!ShowFileLoad(load, ui->UserFileNameLabel, ui->StatusUserFileLabel))
        return;
    if (!load.loaded) {
        ui->ProgramUserButton->setEnabled(false);
        return;
    }
    // The readout decides whether "Download" is enabled.
    RefreshScreenInfo(nullptr);
}

void TMainForm::LoadBootButtonClick()
{
    ShowBootLoad(bootLoad.Load(prompts));
}

void TMainForm::ShowBootLoad(const FileLoad& load)
{
    if (ShowFileLoad(load, ui->BootFileNameLabel, ui->StatusBootFileLabel))
        ui->BootButton->setEnabled(load.loaded);
}

void TMainForm::LoadFactoryButtonClick()
{
    ShowFactoryLoad(factoryLoad.Load(prompts));
}

void TMainForm::ShowFactoryLoad(const FileLoad& load)
{
    if (ShowFileLoad(load, ui->FactoryFileNameLabel, ui->StatusFactoryFileLabel))
        ui->ProgramFactoryButton->setEnabled(load.loaded);
}

void TMainForm::BootButtonClick()
{
    // The boot panel has no result label: a refusal shows nothing. The full
    // readout follows in any case.
    BootMachine(Job(), context.bootImage, true);
}

void TMainForm::ProgramFactoryButtonClick()
{
    ui->ProgramFactoryStatusLabel->clear();
    resultLabel = ui->ProgramFactoryStatusLabel;
    const JobOutcome outcome =
        DownloadFactoryImage(Job(), context.factoryImage, {.verify = VerifyAfterWriting()});
    resultLabel = nullptr;
    ShowWriteResult(ui->ProgramFactoryStatusLabel, outcome);
}

void TMainForm::HardwareOptionsMaskEditChange()
{
    ui->DownloadHardwareOptionsButton->setEnabled(true);
}

void TMainForm::SerialNumberEditChange()
{
    ui->DownloadSerialNumberButton->setEnabled(true);
}

void TMainForm::MachineNameEditChange()
{
    ui->DownloadMachineNameButton->setEnabled(true);
}

void TMainForm::DownloadHardwareOptionsButtonClick()
{
    // What the edit shows, its blanks as 0: text() would drop them.
    if (controls.WriteHardwareOptions(ui->HardwareOptionsMaskEdit->displayText(), prompts))
        RefreshScreenInfo(nullptr);
}

// The window has read the machine before (the panel shows the button only
// when the field is blank), and shows a lost reply's "No answer" box as it
// stands; a write sent is followed by the full readout.
constexpr WriteOnceOptions kWindowsWrite{.judgeLostReply = false, .readoutFirst = false};

void TMainForm::DownloadSerialNumberButtonClick()
{
    WriteOnceOnlyField(Job(), OnceOnlyField::SerialNumber, ui->SerialNumberEdit->text(), kWindowsWrite);
}

void TMainForm::DownloadMachineNameButtonClick()
{
    WriteOnceOnlyField(Job(), OnceOnlyField::MachineName, ui->MachineNameEdit->text(), kWindowsWrite);
}

void TMainForm::PowerOffButtonClick()
{
    SetPower(Job(), PowerMode::Off);
}

void TMainForm::ProgramloaderMenuClick()
{
    SetPower(Job(), PowerMode::ResidentLoader);
}

void TMainForm::RtsCheckBoxClick(bool checked)
{
    // Not looked at: the timer shows the line's level within a second.
    controls.ForceProgrammingMode(checked);
}

void TMainForm::ProgramUserButtonClick()
{
    ui->ProgramUserStatusLabel->clear();
    resultLabel = ui->ProgramUserStatusLabel;
    const JobOutcome outcome = DownloadUserProgram(Job(), context.userImage, {.verify = VerifyAfterWriting()});
    resultLabel = nullptr;
    ShowWriteResult(ui->ProgramUserStatusLabel, outcome);
}

bool TMainForm::VerifyAfterWriting() const
{
    return ui->VerifyMenu->isChecked();
}

void TMainForm::StepEnded(const StepOutcome& step)
{
    // The download's own text as soon as it has ended ("Done"), before its
    // verify reads back.
    if (resultLabel && step.kind != StepKind::Verify)
        resultLabel->setText(QStringFromLatin1(step.text));
}

std::string TMainForm::ReadoutCause() const
{
    // Why the readout has nothing to show: the port's reason, or what the
    // link saw behind a "No answer".
    if (context.link.State() == LinkState::NotAvailable)
        return "the port did not open: " + context.link.OpenFailure().Text();
    return context.link.LastFailure().Text();
}

void TMainForm::ShowWriteResult(QLabel* label, const JobOutcome& outcome)
{
    // The download's own text, as the behaviour shows it; after a verify its
    // result in its place, so that a failed verify never reads "Done", and
    // both in the tool tip, with the cause of a "No answer" and what a broken
    // download left in the machine.
    std::string tip = outcome.text;
    if (outcome.Step(StepKind::Verify))
        tip = outcome.steps.front().text + ", " + outcome.text;
    QString toolTip = QStringFromLatin1(tip);
    for (const std::string& more : {outcome.cause, outcome.consequence})
        if (!more.empty())
            toolTip += "\n" + QString::fromStdString(more);
    label->setText(QStringFromLatin1(outcome.text));
    label->setToolTip(toolTip);
}

void TMainForm::ShowJobFailure(const JobOutcome& outcome)
{
    if (outcome.Done() || outcome.end == JobEnd::Aborted || outcome.text.empty())
        return;
    prompts.Error(LoaderApplication::kTitle, Utf8FromLatin1(outcome.text));
}

void TMainForm::VerifyMenuClick(bool checked)
{
    try {
        WriteSetting(SettingName::kVerifyAfterWriting, checked ? "1" : "0");
    } catch (const SettingsError& error) {
        prompts.Error(LoaderApplication::kTitle, error.what());
    }
}

void TMainForm::RememberBackupFolder(const std::string& path)
{
    backupFolder = FolderPart(path);
    try {
        WriteSetting(SettingName::kBackupDir, backupFolder);
    } catch (const SettingsError& error) {
        prompts.Error(LoaderApplication::kTitle, error.what());
    }
}

void TMainForm::BackupMenuClick()
{
    const auto path = prompts.SaveFile(SaveDialog(FileKind::Backup, "Back up user program", backupFolder));
    if (!path)
        return;
    RememberBackupFolder(*path);
    const JobOutcome outcome = BackUpUserArea(Job(), *path);
    if (outcome.Done())
        prompts.Inform("Back up user program", "The user program is backed up in " + *path);
    ShowJobFailure(outcome);
}

void TMainForm::RestoreMenuClick()
{
    const auto path = prompts.OpenFile(OpenDialog(FileKind::Backup, backupFolder));
    if (!path)
        return;
    RememberBackupFolder(*path);
    RestoreFrom(*path);
}

void TMainForm::RestoreFrom(const std::string& path)
{
    ui->ProgramUserStatusLabel->clear();
    resultLabel = ui->ProgramUserStatusLabel;
    const JobOutcome outcome = RestoreUserArea(Job(), path, {.verify = VerifyAfterWriting(), .describe = true});
    resultLabel = nullptr;
    if (!outcome.steps.empty())
        ShowWriteResult(ui->ProgramUserStatusLabel, outcome);
    ShowJobFailure(outcome);
}

void TMainForm::SetRecorder(RecordingBackend* backend)
{
    recorder = backend;
    ui->RecordMenu->setEnabled(recorder != nullptr);
}

void TMainForm::RecordMenuClick(bool checked)
{
    if (!recorder)
        return;
    if (!checked) {
        recorder->Stop();
        statusHintOf.clear();
        Timer1Timer();
        return;
    }
    const auto path = prompts.SaveFile({.title = "Record the line to a file",
                                        .filters = {{"Recording of the line (*.rec)", "*.rec"},
                                                    {"Any files (*.*)", "*.*"}},
                                        .defaultSuffix = "rec",
                                        .initialFolder = {},
                                        .replaceWithoutAsking = false});
    if (!path) {
        ui->RecordMenu->setChecked(false);
        return;
    }
    context.link.ClosePort();  // before the recording: it holds the open, not this close
    if (const auto refused = recorder->Start(*path)) {
        ui->RecordMenu->setChecked(false);
        prompts.Error(LoaderApplication::kTitle, *refused);
        return;
    }
    // The port opened again at once, as every open with RTS off, so that the
    // recording holds the whole of it.
    PortSelection(context.link, context.portName).ApplyPort();
    statusHintOf.clear();
    Timer1Timer();
}

void TMainForm::AboutMenuClick()
{
    // The user guide where the package puts it, beside the program's folder.
    const QString docs = QDir(QCoreApplication::applicationDirPath() + "/../share/doc/mirelle-loader").absolutePath();
    const std::string guide = QDir(docs).exists() ? docs.toStdString() + " (README.md.gz)"
                                                  : std::string("README.md in the source tree");
    prompts.Inform("About " + std::string(LoaderApplication::kTitle),
                   std::string(kCaption) + "\n\nmirelle-loader " + kProjectVersion + ", built with Qt " + QT_VERSION_STR
                       + ", running on Qt " + qVersion() + "\n\nUser guide: " + guide);
}
