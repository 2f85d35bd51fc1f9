#pragma once

#include <QWidget>

#include <memory>

namespace Ui {
class EmulForm;
}

// "Emulator": the developer console on the machine's memory. Shown, not
// modal, from the Tools menu; closing it only hides it.
class TEmulForm final : public QWidget {
    Q_OBJECT

public:
    explicit TEmulForm(QWidget* parent = nullptr);
    ~TEmulForm() override;

private:
    std::unique_ptr<Ui::EmulForm> ui;
};
