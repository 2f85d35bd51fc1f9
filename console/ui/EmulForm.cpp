#include "EmulForm.h"

#include "ui_EmulForm.h"

TEmulForm::TEmulForm(QWidget* parent) : QWidget(parent, Qt::Window), ui(std::make_unique<Ui::EmulForm>())
{
    ui->setupUi(this);
    resize(453, 422);
}

TEmulForm::~TEmulForm() = default;
