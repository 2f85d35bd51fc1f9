#pragma once

#include "link/PortSelection.h"

#include <QDialog>

#include <array>
#include <functional>
#include <memory>

namespace Ui {
class PortDevicesForm;
}
class Prompts;
class QComboBox;
class QLabel;

// "Serial port devices": com1 to com8 with the device each stands for. The
// technician picks another from the serial ports present or types a path;
// the choice is stored as Ports/comN, and opened at once when that name is
// the selected port.
class TPortDevicesForm final : public QDialog {
    Q_OBJECT

public:
    TPortDevicesForm(DeviceLink& link, std::string& portName, Prompts& prompts, QWidget* parent = nullptr);
    ~TPortDevicesForm() override;

    // Shows the dialog with the row of item 1 .. 8 ready for a choice.
    void ShowFor(int item);
    // Called after every choice, so that the port dialog shows it.
    void OnChosen(std::function<void()> chosen) { this->chosen = std::move(chosen); }
    // After a pick in the port dialog: which name is selected, and why its
    // device did not open, again; what the rows hold or are being typed stays.
    void ShowSelection();

protected:
    void showEvent(QShowEvent* event) override;

private:
    struct Row {
        QComboBox* device = nullptr;
        QLabel* state = nullptr;
    };

    void DeviceComboBoxChosen(int item, const QString& device);
    void RefreshPortsButtonClick();
    void ShowRows();

    std::unique_ptr<Ui::PortDevicesForm> ui;
    DeviceLink& link;
    PortSelection selection;
    Prompts& prompts;
    std::array<Row, PortSelection::kPortCount> rows;
    std::function<void()> chosen;
};
