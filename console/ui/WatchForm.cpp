#include "console/ui/WatchForm.h"

#include "common/QtText.h"
#include "ui_WatchForm.h"

#include "common/ui/PeriodicTimer.h"

#include <QContextMenuEvent>
#include <QMouseEvent>

#include <array>

namespace {

QColor LightColour(WatchLight light)
{
    switch (light) {
    case WatchLight::Lime: return QColor(0, 255, 0);
    case WatchLight::Aqua: return QColor(0, 255, 255);
    case WatchLight::Red: return QColor(255, 0, 0);
    case WatchLight::Yellow: return QColor(255, 255, 0);
    case WatchLight::Black: return QColor(0, 0, 0);
    }
    return {};
}

QFont LabelFont()
{
    QFont font("Courier New", 9);
    font.setStyleHint(QFont::TypeWriter);  // a fixed-pitch font where it is missing
    return font;
}

}  // namespace

TWatchForm::TWatchForm(QWidget* owner, const WatchOrder& order, DeviceLink& link)
    : QWidget(owner, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                         | Qt::WindowCloseButtonHint),
      ui(std::make_unique<Ui::WatchForm>()), link(link), watch(order)
{
    ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);  // FormClose: closed is gone, its timer with it
    if (!order.caption.empty())
        setWindowTitle(QStringFromLatin1(order.caption));
    ui->AddressLabel->setFont(LabelFont());
    ui->ValueLabel->setFont(LabelFont());
    ui->AddressLabel->setText(QString::fromStdString(watch.AddressText()));

    Timer1.setObjectName("Timer1");
    connect(&Timer1, &QTimer::timeout, this, &TWatchForm::Timer1Timer);
    ui->ComShape->installEventFilter(this);
    connect(ui->PopupMenu1, &QMenu::aboutToShow, this, &TWatchForm::PopupMenu1Popup);
    connect(ui->PopupMenu1, &QMenu::triggered, this, &TWatchForm::PopMenuClick);

    SetTimerInterval(Timer1, watch.Interval());
    ShowWatch();
    show();
}

TWatchForm::~TWatchForm() = default;

void TWatchForm::Timer1Timer()
{
    watch.Read(link);
    ShowWatch();
}

void TWatchForm::ComShapeMouseDown()
{
    watch.ToggleTimer();
    ShowWatch();
}

void TWatchForm::ResetValue()
{
    watch.Reset();
    ShowWatch();
}

void TWatchForm::PopupMenu1Popup()
{
    const std::array items{ui->NormalMenu, ui->UnsignedMaximumValueMenu, ui->SignedMaximumValueMenu,
                           ui->UnsignedMinimumValueMenu, ui->SignedMinimumValueMenu};
    for (std::size_t i = 0; i < items.size(); ++i)
        items[i]->setChecked(i == std::size_t(watch.Mode()));
}

void TWatchForm::PopMenuClick(QAction* sender)
{
    WatchMode mode = WatchMode::Normal;
    if (sender == ui->UnsignedMaximumValueMenu)
        mode = WatchMode::UnsignedMaximum;
    else if (sender == ui->SignedMaximumValueMenu)
        mode = WatchMode::SignedMaximum;
    else if (sender == ui->UnsignedMinimumValueMenu)
        mode = WatchMode::UnsignedMinimum;
    else if (sender == ui->SignedMinimumValueMenu)
        mode = WatchMode::SignedMinimum;
    watch.ChooseMode(mode);
    ShowWatch();
}

void TWatchForm::ShowWatch()
{
    QPalette palette = ui->ComShape->palette();
    palette.setColor(QPalette::Window, LightColour(watch.Light()));
    ui->ComShape->setPalette(palette);
    const std::string& values = watch.ValueText();
    ui->ValueLabel->setText(QStringFromLatin1(values));
    EnableTimer(Timer1, watch.TimerEnabled());
    // Taller when more words are shown than fit; never smaller by itself.
    const int needed = sizeHint().height();
    if (needed > height())
        resize(width(), needed);
}

bool TWatchForm::eventFilter(QObject* watched, QEvent* event)
{
    // Any button on the square; the second press of a double-click comes as
    // a double-click and counts as another click.
    if (watched == ui->ComShape
        && (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick)) {
        ComShapeMouseDown();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TWatchForm::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        ResetValue();
    QWidget::mouseDoubleClickEvent(event);
}

void TWatchForm::contextMenuEvent(QContextMenuEvent* event)
{
    ui->PopupMenu1->exec(event->globalPos());
}
