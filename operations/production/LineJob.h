#pragma once

#include "operations/Job.h"
#include "production/MachineHistory.h"
#include "production/MachineRecord.h"
#include "production/SerialNumbers.h"

#include <optional>
#include <string>

class ProductionDatabase;
struct Recipe;

// A production station's run of a recipe on one machine: the whole of
// "mirelle-cli line". It asks nothing: the recipe is the confirmation.
//
// Before the machine is touched: the database takes a write, the recipe's
// pool is there and not used up, and the machine name fits with its numbers.
// Then, on the machine: the full readout before (what the record keeps of the
// machine as it came); a serial number the machine holds already is marked
// written and takes no number (the recipe's machineWithSerial: stop with
// "Serial number is already written", or go on without the factory image,
// which would erase it); the factory image and the user program, each
// verified when the recipe asks; a serial number taken from the pool and
// written; the machine name; power off when asked. Before each step after the
// first the database is tried: a database lost stops the run after the step
// under way. Whatever the end, once the machine answered its record goes to
// the database, or to unrecorded-TIME.json when the database does not take
// it.
//
// Every step's results go to the observer as "STEP: TEXT" ("factory: Done",
// "factory verify: Verified", "serial number: SN000001 taken from pool
// line3", "serial number: Done"), the run's result last without a step
// ("Done"); what went wrong beside the machine (the database) as a Problem.
//
// Nothing process-wide: several runs go at once, each on a thread of its own
// with its own link, MachineInfo, ProductionDatabase connection and recipe
// (whose images a run prepares for its machine: give each run a copy).

// Where a run makes its machine: the station's name as the records and the
// pool give it, and the production database, through a connection of the
// run's own thread. The port is the link's (its name as opened).
struct LineStation {
    std::string name;
    ProductionDatabase& database;
};

// The serial number a run took, or met on the machine.
struct LineSerial {
    std::string text;    // "SN000001"
    bool taken = false;  // taken from the pool by this run; false: the machine held it already
    // What the database holds for it after the run: written, void or in
    // doubt; allocated when its outcome could not be recorded. Nothing for a
    // number met on the machine that no pool of this database gave.
    std::optional<SerialState> state;
};

struct LineOutcome {
    JobEnd end = JobEnd::Done;
    // The run's result, UTF-8: "Done", the text of the step that stopped
    // it, "Stopped : the production database failed", "Not recorded : ...";
    // before the machine, the problem that stopped it (told as a Problem);
    // empty when the port did not open (its opener said why).
    std::string result;
    // The machine answered the readout before: the record was made. A port
    // without a machine that answers is not recorded.
    bool machineTouched = false;
    MachineRecord record;
    RecordOutcome recording;  // where the record went
    std::optional<LineSerial> serial;
    // Beside a "No answer": what the link saw. After a download that broke
    // off: what it left in the machine ("The factory area is now partly
    // erased: ..."). Empty otherwise (JobOutcome's cause and consequence).
    std::string cause;
    std::string consequence;
};

// Runs `recipe` (loaded and checked: LoadRecipe) on the job's machine for
// `station`. The record's step names: "factory", "factory verify",
// "download", "download verify", "serial number", "machine name", "power off".
LineOutcome RunLine(const JobContext& job, Recipe& recipe, const LineStation& station);

// The exit code a record keeps for an end: mirelle-cli's for the same end,
// so that a record reads the same whichever front end made it.
constexpr int RecordedExitCode(JobEnd end)
{
    switch (end) {
    case JobEnd::Done: return 0;
    case JobEnd::NoAnswer: return 1;
    case JobEnd::InputRefused: return 2;
    case JobEnd::FileRefused: return 3;
    case JobEnd::MachineRefused: return 4;
    case JobEnd::Aborted: return 5;
    case JobEnd::PortUnavailable: return 6;
    case JobEnd::DatabaseFailed: return 7;
    }
    return 4;
}
