#include "MainForm.h"

#include "ui_MainForm.h"

#include "BootImage.h"
#include "ConfigForm.h"
#include "EmulForm.h"
#include "FactoryImage.h"
#include "MachineInfo.h"
#include "MachinePanel.h"
#include "ProcedureForm.h"
#include "StatusLine.h"
#include "UserImage.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>

namespace {

constexpr const char* kCaption = "Mirelle series program loader V2.00";
constexpr int kSerialNumberLength = 8;
constexpr int kMachineNameLength = 32;

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
      userPanel(context), statusLine(new QLabel(this))
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
    connect(ui->ExitMenu, &QAction::triggered, this, &TMainForm::ExitMenuClick);
    connect(ui->EmulatorMenu, &QAction::triggered, this, &TMainForm::EmulatorMenuClick);
    connect(ui->RefreshButton, &QPushButton::clicked, this, [this] { RefreshScreenInfo(ui->RefreshButton); });
    connect(ui->LoadUserButton, &QPushButton::clicked, this, &TMainForm::LoadUserButtonClick);
    connect(ui->ProgramUserButton, &QPushButton::clicked, this, &TMainForm::ProgramUserButtonClick);
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
    statusLine->setText(QString::fromStdString(LinkStatusText(context.link.State(), context.portName)));
    ui->RtsCheckBox->setChecked(context.link.Rts());
}

void TMainForm::SerialConfigMenuClick()
{
    dialogs.config->show();
    dialogs.config->raise();
    dialogs.config->activateWindow();
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
            ShowField(ui->SerialNumberEdit, text, panel.serialEditEnabled, kSerialNumberLength);
            break;
        case PanelRowId::MachineName:
            ShowField(ui->MachineNameEdit, text, panel.nameEditEnabled, kMachineNameLength);
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

void TMainForm::LoadUserButtonClick()
{
    const FileLoad load = userPanel.Load(prompts);
    if (!load.chosen)
        return;
    ui->UserFileNameLabel->setText(QString::fromStdString(load.path));
    ui->UserFileNameLabel->setToolTip(QString::fromStdString(load.path));
    ui->StatusUserFileLabel->setText(Latin1(load.statusText));
    if (!load.loaded) {
        ui->ProgramUserButton->setEnabled(false);
        return;
    }
    RefreshScreenInfo(nullptr);
}

void TMainForm::ProgramUserButtonClick()
{
    ui->ProgramUserStatusLabel->clear();
    const UserDownloadStart start = userPanel.StartDownload();
    ShowMachinePanel(FillMachinePanel(context.machineInfo, context.userImage.loaded));
    if (!start.download) {
        ui->ProgramUserStatusLabel->setText(Latin1(start.check.text));
        return;
    }
    dialogs.user->Run(*start.download, context.userResultText);
    ui->ProgramUserStatusLabel->setText(Latin1(context.userResultText));
    RefreshScreenInfo(nullptr);
}
