#pragma once

#include "link/PortSelection.h"

#include <QDialog>

#include <functional>
#include <memory>
#include <optional>

namespace Ui {
class ConfigForm;
}
class Prompts;
class QButtonGroup;

// "Serial port": the dialog in which the user picks the machine's port.
// Creating it opens the stored port; each pick opens the picked one and
// stores it; "Close" (or Esc) hides the dialog and keeps the port open.
class TConfigForm final : public QDialog {
    Q_OBJECT

public:
    // `portName` is the process-wide name of the selected port. A stored
    // "ComPort" that is not text is shown through `prompts` as an error,
    // and the dialog starts with no port selected.
    TConfigForm(DeviceLink& link, std::string& portName, Prompts& prompts, QWidget* parent = nullptr);
    ~TConfigForm() override;

    // What each item's context menu calls to choose the device of its name
    // (the "Serial port devices" dialog, for item 1 .. 8).
    void OnChooseDevice(std::function<void(int)> choose) { chooseDevice = std::move(choose); }
    // Called after every pick, so that the devices dialog shows it.
    void OnPicked(std::function<void()> picked) { this->picked = std::move(picked); }
    // After a device was chosen: the selection and the items' hints again.
    void ShowPorts();

protected:
    void showEvent(QShowEvent* event) override;
    void reject() override;

private:
    void ComRadioGroupClick(int item);
    void CloseButtonClick();
    void ShowSelection(std::optional<int> item);
    void ShowDeviceHints();
    void ComRadioButtonContextMenu(int item, const QPoint& at);

    std::unique_ptr<Ui::ConfigForm> ui;
    QButtonGroup* items;
    PortSelection selection;
    DeviceLink& link;
    std::function<void(int)> chooseDevice;
    std::function<void()> picked;
};
