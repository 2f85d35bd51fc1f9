#pragma once

#include "operations/Job.h"
#include "operations/machine/MachineControls.h"
#include "operations/readout/MachineInfo.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <string>

// The readouts, the once-only writes and the power requests as jobs.

enum class ReadoutKind {
    Identity,  // the short readout: wake-up and identity
    Full,      // identity, factory directory and data, user area's programs and drivers
};

// The readout into the job's MachineInfo (the observer told), Done when the
// machine answered, NoAnswer otherwise. Its text: the identity line for the
// short readout, the status text ("Done", "No answer") for the full one.
JobOutcome ReadMachine(const JobContext& job, ReadoutKind readout);

struct WriteOnceOptions {
    // Where the reply to the write was lost (none, late, corrupted, with
    // surplus bytes), the readout after it decides what became of it (the
    // command line); otherwise the "No answer" box stands (the window).
    bool judgeLostReply = true;
    // A readout before the write, for a front end that has had none (the
    // command line): once the text is accepted and a confirmation can be had.
    bool readoutFirst = true;
};

struct WriteOutcome : JobOutcome {
    FieldWrite write;        // the bytes the text gives, or why it cannot be written
    FieldWriteOutcome stop;  // where the write stopped
    // The field as the readout after the write found it (its characters,
    // Latin-1), when it read the factory data.
    std::optional<std::string> readBack;
    // What the readout after a lost reply found, when it decided the write
    // ("The reply to the write was lost : Serial number reads back as written").
    std::optional<std::string> lostReply;
};

// "Write it !" of a once-only field: the text prepared (refused: its error,
// InputRefused), the readout first when asked ("Not written : ..." when no
// confirmation can be had), the field's check, the question (No: "Not
// written", Aborted), the write ("Done"; a failed one: its error), and the
// full readout after. The errors go through the prompts (the window's error
// boxes, the command line's result lines).
WriteOutcome WriteOnceOnlyField(const JobContext& job, OnceOnlyField field, const QString& text,
                                const WriteOnceOptions& options = {});

// 0: "Power Off"; 1: "Program loader", to the resident loader.
enum class PowerMode : std::uint8_t { Off = 0, ResidentLoader = 1 };

struct PowerOutcome : JobOutcome {
    PowerMode mode = PowerMode::Off;
    bool acknowledged = false;
};

// A fresh wake-up and the power request: "Done" when the machine
// acknowledged it, "No answer" otherwise.
PowerOutcome SetPower(const JobContext& job, PowerMode mode);
