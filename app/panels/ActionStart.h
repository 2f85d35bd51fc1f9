#pragma once

#include "procedures/Procedure.h"

#include <memory>
#include <string>

// What an action button of the user, factory and boot panels ("Download",
// "Boot") does up to its dialog, in one shape for the three: a started
// procedure, or the kind of refusal and the panel's own text for it, to be
// shown where the procedure's result would go. The window runs the
// procedure in the panel's dialog, the command line to its end.

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

    static ActionStart Refuse(ActionRefusal refusal, std::string text)
    {
        return {refusal, std::move(text), nullptr};
    }
    static ActionStart Started(std::unique_ptr<Procedure> procedure) { return {{}, {}, std::move(procedure)}; }
};
