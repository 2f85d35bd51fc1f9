#pragma once

class QSerialPort;

// USB serial adapters hold short answers back for their latency timer (16 ms
// on the common FTDI chips), and every exchange of the tool is a short one:
// asks the driver of an open port for low latency. A device that has no such
// setting (a pseudo-terminal) or refuses it is used as it is.
void AskForLowLatency(QSerialPort& port);
