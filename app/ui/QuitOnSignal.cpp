// The one platform file of the window's stop signals.
#include "app/ui/QuitOnSignal.h"

#ifdef _WIN32

#include <QCoreApplication>
#include <QMetaObject>

#include <windows.h>

namespace {

// Called on a thread of its own: the quit is queued to the event loop.
BOOL WINAPI OnConsoleEvent(DWORD event)
{
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
        QMetaObject::invokeMethod(QCoreApplication::instance(), [] { QCoreApplication::quit(); }, Qt::QueuedConnection);
        // Windows ends the process as a close event returns: the loop gets a
        // moment to close the windows and the port.
        if (event == CTRL_CLOSE_EVENT)
            Sleep(2000);
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

// Ctrl-C, Ctrl-Break or closing the console the window was started from.
void QuitOnSignal()
{
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

#else

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>

#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalSockets[2] = {-1, -1};

extern "C" void OnQuitSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(signalSockets[0], &byte, 1);
}

}  // namespace

void QuitOnSignal()
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalSockets) != 0)
        return;
    auto* notifier = new QSocketNotifier(signalSockets[1], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, [] {
        char byte = 0;
        [[maybe_unused]] const auto read = ::read(signalSockets[1], &byte, 1);
        QCoreApplication::quit();
    });
    struct sigaction action = {};
    action.sa_handler = OnQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGHUP, &action, nullptr);  // the terminal it was started from closed
}

#endif
