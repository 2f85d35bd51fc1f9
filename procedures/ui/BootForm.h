#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class BootForm;
}

// "Booting ...": the dialog that streams a boot program to the machine's
// resident loader.
class TBootForm final : public QDialog {
    Q_OBJECT

public:
    explicit TBootForm(QWidget* parent = nullptr);
    ~TBootForm() override;

private:
    std::unique_ptr<Ui::BootForm> ui;
};
