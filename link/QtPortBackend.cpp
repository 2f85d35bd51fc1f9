#include "link/QtPortBackend.h"

#include "link/LowLatency.h"
#include "link/PortName.h"

#include <QDeadlineTimer>
#include <QSerialPort>

#include <algorithm>

namespace {

QSerialPort::Parity ToQt(Parity parity)
{
    switch (parity) {
    case Parity::None: return QSerialPort::NoParity;
    case Parity::Odd: return QSerialPort::OddParity;
    case Parity::Even: return QSerialPort::EvenParity;
    }
    return QSerialPort::NoParity;
}

QSerialPort::StopBits ToQt(StopBits stopBits)
{
    return stopBits == StopBits::Two ? QSerialPort::TwoStop : QSerialPort::OneStop;
}

}  // namespace

QtPortBackend::QtPortBackend() = default;
QtPortBackend::~QtPortBackend() = default;

bool QtPortBackend::Open(const PortAddress& address, const LineSettings& settings)
{
    const std::string& device = address.device;
    Close();
    openError.clear();
    lostReason.clear();
    if (device.empty()) {
        openError = "No device";
        return false;
    }
    auto candidate = std::make_unique<QSerialPort>();
    candidate->setPortName(QString::fromStdString(SystemDevicePath(device)));
    // Qt opens the device exclusively (a lock file and TIOCEXCL on Unix, no
    // sharing on Windows) and in raw mode: no end-of-file, no replacement or
    // stripping of characters.
    if (!candidate->open(QIODevice::ReadWrite)) {
        openError = candidate->errorString().toStdString();
        return false;
    }
    const bool configured = candidate->setBaudRate(settings.baudRate)
        && candidate->setDataBits(QSerialPort::Data8)
        && candidate->setParity(ToQt(settings.parity))
        && candidate->setStopBits(ToQt(settings.stopBits))
        && candidate->setFlowControl(QSerialPort::NoFlowControl);
    if (!configured) {
        openError = "The line settings were refused: " + candidate->errorString().toStdString();
        candidate->close();
        return false;
    }
    // A pseudo-terminal has no modem lines: DTR is applied where the device
    // supports it, and RTS is off whenever it can be driven at all.
    candidate->setDataTerminalReady(true);
    candidate->setRequestToSend(false);
    candidate->clearError();
    AskForLowLatency(*candidate);
    port = std::move(candidate);
    // Also between exchanges, from the event loop: a window learns of a
    // pulled adapter without sending anything.
    QObject::connect(port.get(), &QSerialPort::errorOccurred, port.get(), [this](QSerialPort::SerialPortError) {
        CheckLost();
    });
    return true;
}

void QtPortBackend::CheckLost()
{
    if (!port || !port->isOpen())
        return;
    const QSerialPort::SerialPortError error = port->error();
    if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError)
        return;
    lostReason = port->errorString().toStdString();
    port->close();  // the object stays: this may run inside its own signal
}

std::size_t QtPortBackend::Pending()
{
    if (!IsOpen())
        return 0;
    port->waitForReadyRead(0);  // what the system holds, into Qt's buffer
    return std::size_t(port->bytesAvailable());
}

void QtPortBackend::Close()
{
    if (port) {
        port->close();
        port.reset();
    }
}

bool QtPortBackend::IsOpen() const
{
    return port && port->isOpen();
}

bool QtPortBackend::Write(std::span<const std::uint8_t> bytes)
{
    if (!IsOpen())
        return false;
    const auto size = static_cast<qint64>(bytes.size());
    if (port->write(reinterpret_cast<const char*>(bytes.data()), size) != size) {
        CheckLost();
        return false;
    }
    QDeadlineTimer deadline(kWriteTimeout);
    while (port->bytesToWrite() > 0) {
        if (deadline.hasExpired() || !port->waitForBytesWritten(int(deadline.remainingTime()))) {
            CheckLost();
            return port->isOpen() && port->bytesToWrite() == 0;
        }
    }
    return true;
}

std::size_t QtPortBackend::Read(std::span<std::uint8_t> into, std::chrono::milliseconds timeout)
{
    if (!IsOpen())
        return 0;
    std::size_t got = 0;
    QDeadlineTimer deadline(timeout);
    for (;;) {
        const qint64 n = port->read(reinterpret_cast<char*>(into.data() + got), qint64(into.size() - got));
        if (n > 0)
            got += std::size_t(n);
        if (got == into.size() || n < 0 || deadline.hasExpired()) {
            CheckLost();
            return got;
        }
        if (!port->waitForReadyRead(int(std::max<qint64>(deadline.remainingTime(), 1)))) {
            CheckLost();
            if (!port->isOpen())
                return got;
        }
    }
}

void QtPortBackend::PurgeReceive()
{
    if (IsOpen())
        port->clear(QSerialPort::Input);
}

bool QtPortBackend::SetBreak(bool on)
{
    return IsOpen() && port->setBreakEnabled(on);
}

bool QtPortBackend::SetRts(bool on)
{
    return IsOpen() && port->setRequestToSend(on);
}
