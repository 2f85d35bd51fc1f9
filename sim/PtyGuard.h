#pragma once

#include <string>

#include <termios.h>

// Keeps the simulator's pseudo-terminal openable for the next tool. A tool
// that ends without closing its port (killed, crashed) leaves its line
// settings and Qt's exclusive mode on the device: the next open by a user
// other than root is refused, and Qt cannot set odd parity on the settings it
// finds. The guard watches the device for closes and puts the line back as
// the simulator first set it each time a tool lets go of it.
class PtyGuard {
public:
    // slave: the simulator's own descriptor of the device, open as long as
    // the guard; the line's settings now are the ones it is put back to.
    PtyGuard(int slave, const std::string& device);
    ~PtyGuard();
    PtyGuard(const PtyGuard&) = delete;
    PtyGuard& operator=(const PtyGuard&) = delete;

    // The descriptor to poll for reading; -1 when the device cannot be
    // watched (Error() says why), and then the line is never put back.
    int Fd() const { return notify; }
    const std::string& Error() const { return error; }

    // Takes the notices waiting on Fd(); when a tool closed the device, puts
    // the line back and returns true.
    bool TakeCloses();

private:
    void Reset() const;

    int slave;
    termios fresh{};
    int notify = -1;
    std::string error;
};
