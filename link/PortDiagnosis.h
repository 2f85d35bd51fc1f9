#pragma once

#include "link/PortPathFacts.h"
#include "link/SerialPortList.h"

#include <optional>
#include <string>
#include <vector>

// Why a port could not be opened, in words a technician can act on. Qt's
// error codes do not tell a missing device from one held by another program
// or one the user may not open; the system's own checks on the path and Qt's
// lock file do, without opening the port a second time.

enum class PortTrouble {
    None,
    NoDevice,      // nothing at the path: not plugged in, or another name
    NotADevice,    // a directory, a regular file, a device of another kind: no serial port
    NoPermission,  // the user may not read and write it
    Busy,          // another program holds it
    Other,         // what the system said, as it said it
};

struct PortDiagnosis {
    PortTrouble trouble = PortTrouble::None;
    std::string reason;  // "Permission denied", "No such device", ...
    std::string remedy;  // what to do about it; may be empty
    // The reason, and " — " and the remedy when there is one.
    std::string Text() const;
};

// The diagnosis for a port that did not open: `systemError` is what the open
// said, used when the facts tell nothing more; `present` are the ports that
// a missing device's remedy offers instead.
PortDiagnosis ClassifyPortFailure(const PortPathFacts& facts, const std::string& systemError,
                                  const std::vector<SerialPortEntry>& present);

// ExaminePortPath and ClassifyPortFailure with the ports present now.
PortDiagnosis DiagnosePortFailure(const std::string& device, const std::string& systemError);

// "com1 (/dev/ttyUSB0): Permission denied — add yourself to ...", or for a
// port given as a device path "/dev/ttyUSB0: ...". A name that is near a
// port name but none (com9, COM1 where the names are com1 .. com8) and that
// names no device is told the port names instead of "No such device".
std::string PortFailureText(const std::string& portName, const std::string& device, const PortDiagnosis& diagnosis);

// Where Qt keeps the lock file of a port it opened: "LCK..ttyUSB0" for
// /dev/ttyUSB0 in the first lock folder that has it or can take it.
std::vector<std::string> PortLockFileCandidates(const std::string& device);
