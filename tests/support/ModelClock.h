#pragma once

#include "procedures/RunProcedure.h"
#include "sim/MachineModel.h"

// A procedure run that waits on the machine model's clock, so that a pause
// moves the model's time instead of the test's.
inline ProcedureRun ModelPacedRun(MachineModel& machine)
{
    ProcedureRun run;
    run.clock = {[&machine] { return machine.Now(); },
                 [&machine](std::chrono::nanoseconds until) { machine.AdvanceTo(until); }};
    return run;
}
