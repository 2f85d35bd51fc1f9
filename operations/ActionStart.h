#pragma once

#include "operations/Job.h"
#include "procedures/FlashSegment.h"
#include "procedures/Procedure.h"

#include <memory>
#include <string>
#include <vector>

// What a job that writes into the machine does up to its procedure, in one
// shape for all (the downloads, the boot, the restore): a started
// procedure, or the kind of refusal and its text, to be shown where the
// procedure's result would go.

// Why an action does not start.
enum class ActionRefusal {
    None,
    NotLoaded,       // no file loaded, or none the action can use: "No file loaded"
    NoAnswer,        // the readout before it found no machine: "No answer"
    MachineRefused,  // the machine is not fit for the file: "Incompatible ident : this file is not for this
                     // hardware", "Incompatiblable hardware version", "Factory data must be downloaded first" ...
};

struct ActionStart {
    ActionRefusal refusal = ActionRefusal::None;
    std::string text;                      // the refusal's text; empty when started
    std::unique_ptr<Procedure> procedure;  // started, when not refused
    // What the machine must hold once the procedure has ended "Done": what a
    // verify reads back and compares. None for a boot.
    std::vector<FlashSegment> verified;

    static ActionStart Refuse(ActionRefusal refusal, std::string text)
    {
        return {refusal, std::move(text), nullptr, {}};
    }
    static ActionStart Started(std::unique_ptr<Procedure> procedure, std::vector<FlashSegment> verified = {})
    {
        return {{}, {}, std::move(procedure), std::move(verified)};
    }
};

// The end of a job whose procedure did not start: no machine (NoAnswer), a
// file that cannot be used (FileRefused), or the machine's refusal.
JobEnd EndOf(ActionRefusal refusal);

// A job that ends at its refusal: the observer told of it as the job's
// result.
JobOutcome Refused(const JobContext& job, const ActionStart& start);
