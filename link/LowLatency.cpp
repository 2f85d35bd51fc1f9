// The one platform file of the serial port's low-latency request.
#include "link/LowLatency.h"

#include <QSerialPort>

#if defined(_WIN32)

// Windows gives a program no such request: the FTDI driver takes its latency
// timer from the port's advanced settings in the Device Manager (16 ms until
// set to 1 ms there).
void AskForLowLatency(QSerialPort&) {}

#elif defined(__linux__)

#include <linux/serial.h>
#include <sys/ioctl.h>

void AskForLowLatency(QSerialPort& port)
{
    const int descriptor = int(port.handle());
    serial_struct serial{};
    if (::ioctl(descriptor, TIOCGSERIAL, &serial) != 0 || (serial.flags & ASYNC_LOW_LATENCY) != 0)
        return;
    serial.flags |= ASYNC_LOW_LATENCY;
    ::ioctl(descriptor, TIOCSSERIAL, &serial);
}

#else

// Other systems have no common request for it.
void AskForLowLatency(QSerialPort&) {}

#endif
