#include "link/ui/PortDevicesForm.h"

#include "ui_PortDevicesForm.h"

#include "common/Prompts.h"
#include "common/ui/DialogPlacement.h"
#include "link/DeviceLink.h"
#include "link/PortDiagnosis.h"
#include "link/SerialPortList.h"
#include "link/Settings.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>

namespace {

QString Text(const std::string& text)
{
    return QString::fromStdString(text);
}

}  // namespace

TPortDevicesForm::TPortDevicesForm(DeviceLink& link, std::string& portName, Prompts& prompts, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::PortDevicesForm>()), link(link), selection(link, portName),
      prompts(prompts)
{
    ui->setupUi(this);
    for (int item = 1; item <= PortSelection::kPortCount; ++item) {
        Row& row = rows[std::size_t(item - 1)];
        const QString name = Text(PortNameOfItem(item));
        auto* label = new QLabel(name, this);
        row.device = new QComboBox(this);
        row.device->setObjectName(QString("Com%1DeviceComboBox").arg(item));
        row.device->setEditable(true);
        row.device->setInsertPolicy(QComboBox::NoInsert);
        row.device->setMinimumContentsLength(36);
        row.device->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        row.device->lineEdit()->setAccessibleName(name + " device");
        label->setBuddy(row.device);
        row.state = new QLabel(this);
        row.state->setObjectName(QString("Com%1StateLabel").arg(item));
        row.state->setTextInteractionFlags(Qt::TextSelectableByMouse);
        ui->DevicesGrid->addWidget(label, item - 1, 0);
        ui->DevicesGrid->addWidget(row.device, item - 1, 1);
        ui->DevicesGrid->addWidget(row.state, item - 1, 2);
        // A port from the list, or a typed path once Enter is pressed.
        connect(row.device, &QComboBox::activated, this, [this, item, &row](int index) {
            DeviceComboBoxChosen(item, row.device->itemData(index).toString());
        });
        connect(row.device->lineEdit(), &QLineEdit::returnPressed, this,
                [this, item, &row] { DeviceComboBoxChosen(item, row.device->currentText()); });
    }
    ui->DevicesGrid->setColumnStretch(2, 1);
    connect(ui->RefreshPortsButton, &QPushButton::clicked, this, &TPortDevicesForm::RefreshPortsButtonClick);
    connect(ui->CloseButton, &QPushButton::clicked, this, &QDialog::hide);
    ShowRows();
}

TPortDevicesForm::~TPortDevicesForm() = default;

void TPortDevicesForm::ShowFor(int item)
{
    show();
    raise();
    activateWindow();
    if (item >= 1 && item <= PortSelection::kPortCount)
        rows[std::size_t(item - 1)].device->setFocus();
}

void TPortDevicesForm::showEvent(QShowEvent* event)
{
    ShowRows();
    PlaceCentred(this);
    QDialog::showEvent(event);
}

void TPortDevicesForm::DeviceComboBoxChosen(int item, const QString& device)
{
    const std::string path = device.trimmed().toStdString();
    if (path.empty())
        return;
    try {
        selection.ChooseDevice(item, path);
    } catch (const SettingsError& error) {
        prompts.Error("Serial port devices", error.what());
    }
    ShowRows();
    if (chosen)
        chosen();
}

void TPortDevicesForm::RefreshPortsButtonClick()
{
    ShowRows();
}

void TPortDevicesForm::ShowRows()
{
    const std::vector<SerialPortEntry> present = ListSerialPorts();
    for (int item = 1; item <= PortSelection::kPortCount; ++item) {
        Row& row = rows[std::size_t(item - 1)];
        const std::string device = ResolvePortDevice(PortNameOfItem(item));
        const QSignalBlocker quiet(row.device);
        row.device->clear();
        for (const SerialPortEntry& port : present) {
            const std::string stored = port.stableName.empty() ? port.device : port.stableName;
            row.device->addItem(Text(PortEntryLabel(port)), Text(stored));
            row.device->setItemData(row.device->count() - 1, Text(stored), Qt::ToolTipRole);
        }
        row.device->setCurrentIndex(-1);
        row.device->setEditText(Text(device));
        row.device->setToolTip(Text(device));
    }
    ShowSelection();
}

void TPortDevicesForm::ShowSelection()
{
    ui->FailureLabel->clear();
    for (int item = 1; item <= PortSelection::kPortCount; ++item) {
        const Row& row = rows[std::size_t(item - 1)];
        const std::string name = PortNameOfItem(item);
        const std::string device = ResolvePortDevice(name);
        std::string state = DevicePresent(device) ? "present" : "not present";
        const std::string resolved = ResolvedDevice(device);
        if (resolved != device)
            state = resolved + ", " + state;
        // The selected port that did not open: its reason beside it, and the
        // whole text with the remedy below the rows, wrapped.
        const bool selected = name == selection.SelectedName();
        std::string failure;
        if (selected && link.State() == LinkState::NotAvailable) {
            state = link.OpenFailure().reason;
            failure = PortFailureText(name, device, link.OpenFailure());
        } else if (selected) {
            state += ", selected";
        }
        row.state->setText(Text(state));
        row.state->setToolTip(Text(failure.empty() ? state : failure));
        if (selected)
            ui->FailureLabel->setText(Text(failure));
    }
}
