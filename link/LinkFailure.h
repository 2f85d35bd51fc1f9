#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// What the link saw when an exchange with the machine failed. The tool's
// own text for all of these stays "No answer"; this says where to look: a
// machine that sent nothing points at its power and cable, a damaged answer
// at the adapter, the cable's noise or the line's speed.
struct LinkFailure {
    enum class Kind : std::uint8_t {
        None,         // the last exchange went through
        NotOpen,      // no port was open: nothing was sent
        PortLost,     // the device went away under the exchange
        WriteFailed,  // the port did not take the request
        NoByte,       // nothing came back
        Short,        // `got` of `expected` bytes came back
        BadAck,       // `byte` came where an acknowledgement belongs
        BadStart,
        BadLength,
        BadClass,
        BadOpcode,
        BadChecksum,
        BadEcho,      // a well-formed answer for another address or count
    };

    Kind kind = Kind::None;
    std::string exchange;      // "ReadIdentity", or "the wake-up"
    std::size_t got = 0;
    std::size_t expected = 0;
    std::uint8_t byte = 0;
    bool lateBytes = false;    // the purge before it, or the bad answer, left bytes over
    std::string portReason;    // what the system said of a lost device or a refused write

    bool Failed() const { return kind != Kind::None; }
    // In words, with what to check: "the answer to ReadIdentity had a bad
    // checksum: check the cable, the adapter and the line's speed". Empty
    // when the exchange went through.
    std::string Text() const;
};
