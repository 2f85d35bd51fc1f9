#include "link/ui/ConfigForm.h"

#include "ui_ConfigForm.h"

#include "common/Prompts.h"
#include "common/ui/DialogPlacement.h"
#include "link/DeviceLink.h"
#include "link/PortDiagnosis.h"

#include <QButtonGroup>
#include <QMenu>

TConfigForm::TConfigForm(DeviceLink& link, std::string& portName, Prompts& prompts, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::ConfigForm>()), items(new QButtonGroup(this)),
      selection(link, portName), link(link)
{
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
    setFixedSize(sizeHint().expandedTo(QSize(155, 132)));
    QRadioButton* const buttons[] = {ui->Com1RadioButton, ui->Com2RadioButton, ui->Com3RadioButton,
                                     ui->Com4RadioButton, ui->Com5RadioButton, ui->Com6RadioButton,
                                     ui->Com7RadioButton, ui->Com8RadioButton};
    for (int item = 1; item <= PortSelection::kPortCount; ++item) {
        items->addButton(buttons[item - 1], item);
        buttons[item - 1]->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(buttons[item - 1], &QWidget::customContextMenuRequested, this,
                [this, item](const QPoint& at) { ComRadioButtonContextMenu(item, at); });
    }
    // Only a user's click picks a port: the selection shown at start-up, or
    // after a pick, stores nothing.
    connect(items, &QButtonGroup::idClicked, this, &TConfigForm::ComRadioGroupClick);
    connect(ui->CloseButton, &QPushButton::clicked, this, &TConfigForm::CloseButtonClick);

    if (const std::string error = selection.LoadPortSetting(); !error.empty())
        prompts.Error("Mirelle series program loader", error);
    ShowSelection(selection.ApplyPort());
    ShowDeviceHints();
}

TConfigForm::~TConfigForm() = default;

void TConfigForm::ComRadioGroupClick(int item)
{
    ShowSelection(selection.Pick(item));
    ShowDeviceHints();
    if (picked)
        picked();
}

void TConfigForm::CloseButtonClick()
{
    hide();
}

void TConfigForm::reject()
{
    CloseButtonClick();  // Esc presses "Close"; the close box does the same
}

void TConfigForm::showEvent(QShowEvent* event)
{
    ShowDeviceHints();
    PlaceCentred(this);
    QDialog::showEvent(event);
}

void TConfigForm::ShowSelection(std::optional<int> item)
{
    // An exclusive group cannot be cleared: for a moment it is not exclusive.
    items->setExclusive(false);
    for (QAbstractButton* button : items->buttons())
        button->setChecked(item && items->id(button) == *item);
    items->setExclusive(true);
}

void TConfigForm::ShowDeviceHints()
{
    for (QAbstractButton* button : items->buttons()) {
        const std::string name = PortNameOfItem(items->id(button));
        std::string failure;
        if (name == selection.SelectedName() && link.State() == LinkState::NotAvailable) {
            const std::string device = ResolvePortDevice(name);
            failure = PortFailureText(name, device, link.OpenFailure());
        }
        button->setToolTip(QString::fromStdString(PortItemHint(name, failure)));
    }
}

void TConfigForm::ShowPorts()
{
    ShowSelection(PortNumber(selection.SelectedName()));
    ShowDeviceHints();
}

void TConfigForm::ComRadioButtonContextMenu(int item, const QPoint& at)
{
    QMenu menu(this);
    menu.addAction(QString("Choose the device of com%1...").arg(item), this, [this, item] {
        if (chooseDevice)
            chooseDevice(item);
    });
    menu.exec(items->button(item)->mapToGlobal(at));
}
