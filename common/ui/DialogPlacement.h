#pragma once

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

// Centres a window on its screen, as the dialogs are placed, also where no
// window manager would place them.
inline void PlaceCentred(QWidget* window)
{
    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    window->move(area.center() - QPoint(window->width() / 2, window->height() / 2));
}
