#include "app/ui/MainForm.h"

#include "ui_MainForm.h"

#include "app/FileToOpen.h"
#include "app/StatusLine.h"
#include "app/readout/MachineInfo.h"
#include "app/readout/MachinePanel.h"
#include "app/ui/LoaderApplication.h"
#include "console/ui/EmulForm.h"
#include "images/BootImage.h"
#include "images/FactoryImage.h"
#include "images/UserImage.h"
#include "link/PortDiagnosis.h"
#include "link/PortSelection.h"
#include "link/ui/ConfigForm.h"
#include "link/ui/PortDevicesForm.h"
#include "procedures/ui/BootForm.h"
#include "procedures/ui/ProcedureForm.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>

namespace {

constexpr const char* kCaption = "Mirelle series program loader V2.00";

// Bytes from the machine and from files: one Latin-1 character each.
QString Latin1(const std::string& text)
{
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

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
      userPanel(context), factoryPanel(context), bootPanel(context), controls(context), statusLine(new QLabel(this)),
      developer(developer)
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
    Timer1.start();
}

TMainForm::~TMainForm()
{
    context.bootImage.Release();
    context.factoryImage.Release();
    context.userImage.Release();
}

void TMainForm::AttachDialogs(const LoaderDialogs& dialogs)
{
    this->dialogs = dialogs;
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
    const LinkState state = context.link.State();
    statusLine->setText(QString::fromStdString(LinkStatusText(state, context.portName)));
    // The tool tip says why, and what to do; made again only when the state or the port changed.
    const std::string hintOf = std::to_string(int(state)) + context.portName;
    if (hintOf != statusHintOf) {
        statusHintOf = hintOf;
        const std::string device = ResolvePortDevice(context.portName);
        const std::string failure = state == LinkState::NotAvailable
            ? PortFailureText(context.portName, device, context.link.OpenFailure())
            : std::string();
        statusLine->setToolTip(QString::fromStdString(LinkStatusHint(state, context.portName, device, failure)));
    }
    ui->RtsCheckBox->setChecked(context.link.Rts());
}

void TMainForm::SerialConfigMenuClick()
{
    dialogs.config->show();
    dialogs.config->raise();
    dialogs.config->activateWindow();
}

void TMainForm::SerialDevicesMenuClick()
{
    dialogs.devices->ShowFor(0);
}

void TMainForm::ExitMenuClick()
{
    close();
}

void TMainForm::EmulatorMenuClick()
{
    dialogs.console->show();
    dialogs.console->raise();
    dialogs.console->activateWindow();
}

void TMainForm::RefreshScreenInfo(QObject* sender)
{
    if (sender == ui->ProgramFactoryButton)
        ReadIdentOnly(context.link, context.machineInfo);
    else
        ReadMachineInfo(context.link, context.machineInfo);
    ShowMachinePanel(FillMachinePanel(context.machineInfo, context.userImage.loaded));
}

void TMainForm::ShowMachinePanel(const MachinePanel& panel)
{
    ui->RefreshStatusLabel->setText(Latin1(panel.statusText));
    for (const PanelRow& row : panel.rows) {
        const QString text = Latin1(row.text);
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
    status->setText(Latin1(load.statusText));
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
    case FileKind::User: ShowUserLoad(userPanel.LoadChosen(file.path, prompts)); break;
    case FileKind::Factory: ShowFactoryLoad(factoryPanel.LoadChosen(file.path, prompts)); break;
    case FileKind::Boot: ShowBootLoad(bootPanel.LoadChosen(file.path, prompts)); break;
    case FileKind::Symbols: dialogs.console->LoadSymbolFile(file.path); break;
    }
}

void TMainForm::LoadUserButtonClick()
{
    ShowUserLoad(userPanel.Load(prompts));
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
    ShowBootLoad(bootPanel.Load(prompts));
}

void TMainForm::ShowBootLoad(const FileLoad& load)
{
    if (ShowFileLoad(load, ui->BootFileNameLabel, ui->StatusBootFileLabel))
        ui->BootButton->setEnabled(load.loaded);
}

void TMainForm::LoadFactoryButtonClick()
{
    ShowFactoryLoad(factoryPanel.Load(prompts));
}

void TMainForm::ShowFactoryLoad(const FileLoad& load)
{
    if (ShowFileLoad(load, ui->FactoryFileNameLabel, ui->StatusFactoryFileLabel))
        ui->ProgramFactoryButton->setEnabled(load.loaded);
}

void TMainForm::BootButtonClick()
{
    // The boot panel has no result label: a refusal shows nothing.
    const ActionStart start = bootPanel.Start();
    if (start.procedure)
        dialogs.boot->Run(*start.procedure);
    RefreshScreenInfo(nullptr);
}

void TMainForm::ProgramFactoryButtonClick()
{
    ui->ProgramFactoryStatusLabel->clear();
    RunDownload(factoryPanel.Start(), ui->ProgramFactoryStatusLabel, *dialogs.factory, context.factoryResultText);
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

void TMainForm::DownloadSerialNumberButtonClick()
{
    if (controls.WriteField(OnceOnlyField::SerialNumber, ui->SerialNumberEdit->text(), prompts))
        RefreshScreenInfo(nullptr);
}

void TMainForm::DownloadMachineNameButtonClick()
{
    if (controls.WriteField(OnceOnlyField::MachineName, ui->MachineNameEdit->text(), prompts))
        RefreshScreenInfo(nullptr);
}

void TMainForm::PowerOffButtonClick()
{
    controls.PowerControl(0);
}

void TMainForm::ProgramloaderMenuClick()
{
    controls.PowerControl(1);
}

void TMainForm::RtsCheckBoxClick(bool checked)
{
    // Not looked at: the timer shows the line's level within a second.
    controls.ForceProgrammingMode(checked);
}

void TMainForm::ProgramUserButtonClick()
{
    ui->ProgramUserStatusLabel->clear();
    RunDownload(userPanel.Start(), ui->ProgramUserStatusLabel, *dialogs.user, context.userResultText);
}

void TMainForm::RunDownload(const ActionStart& start, QLabel* result, TProcedureForm& dialog, std::string& resultText)
{
    ShowMachinePanel(FillMachinePanel(context.machineInfo, context.userImage.loaded));
    if (!start.procedure) {
        result->setText(Latin1(start.text));
        return;
    }
    dialog.Run(*start.procedure, resultText);
    result->setText(Latin1(resultText));
    RefreshScreenInfo(nullptr);
}
