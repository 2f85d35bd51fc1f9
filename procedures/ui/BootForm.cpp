#include "BootForm.h"

#include "ui_BootForm.h"

TBootForm::TBootForm(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::BootForm>())
{
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowCloseButtonHint);
    setFixedSize(256, 95);
}

TBootForm::~TBootForm() = default;
