#pragma once

#include "console/Watch.h"

#include <QTimer>
#include <QWidget>

#include <memory>

namespace Ui {
class WatchForm;
}
class DeviceLink;
class QAction;

// "Watch": a small tool window, always on top, that reads 1 to 16 words of
// the machine's memory on its own timer and shows them in one of five modes.
// Its square shows how the reads go; a click on it pauses or resumes them, a
// double-click elsewhere resets the values, the context menu picks the mode.
// Owned by the console; closing it frees it.
class TWatchForm final : public QWidget {
    Q_OBJECT

public:
    // Shows itself. The caption replaces "Watch" unless it is empty.
    TWatchForm(QWidget* owner, const WatchOrder& order, DeviceLink& link);
    ~TWatchForm() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void Timer1Timer();
    void ComShapeMouseDown();
    void ResetValue();
    void PopupMenu1Popup();
    void PopMenuClick(QAction* sender);
    void ShowWatch();

    std::unique_ptr<Ui::WatchForm> ui;
    DeviceLink& link;
    Watch watch;
    QTimer Timer1{this};
};
