#pragma once

#include <QDateTime>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// The record of one machine made on a production station: what it was
// before, each step of the recipe and its result, what went into it and
// what it became. A run fills it as it goes and hands it to RecordMachine()
// at its end, whatever the end. Texts are UTF-8 (the machine's Latin-1
// fields converted).
//
// A run with a recipe, on this layer:
//   LoadRecipe(path)                                   every file checked, nothing touched
//   ProductionDatabase database(address)               reached, schema up to date
//   database.ProbeWrite()                              it takes a write
//   CheckRecipeWithPool(recipe, *numbers.FindPool(recipe.serialPool))
//   record = StartRecord(recipe, station, port), the readout before into it
//   a machine with a serial number: numbers.MarkMetOnMachine(serial), then
//     the recipe's machineWithSerial says whether the run goes on; it takes no number
//   else numbers.Take(pool, station, port), the write, then
//     numbers.RecordOutcome(serial, written / void / in doubt)
//   RecordMachine(database, record, UnrecordedFolder(address)) at the end.

// One step of a run: "factory", "factory verify", "download", "download
// verify", "serial number", "machine name", "power off".
struct MachineStep {
    std::string name;
    std::string result;  // its result text, as the single command prints it
    int exitCode = 0;    // the single command's exit code for that result
    std::int64_t durationMs = 0;

    bool operator==(const MachineStep&) const = default;
};

// A file written into the machine.
struct RecordedFile {
    std::string path;    // absolute
    std::string sha256;  // lower-case hexadecimal

    bool operator==(const RecordedFile&) const = default;
};

struct MachineRecord {
    std::string station;
    std::string port;
    QDateTime startedAt;  // UTC
    QDateTime endedAt;    // UTC; the duration is the time between the two

    std::string recipe;  // the recipe's path
    std::string recipeSha256;

    // The machine as the readout before found it: nothing where it read nothing.
    std::optional<std::uint32_t> hardIdent;
    std::optional<std::uint32_t> flashIdent;
    std::optional<std::uint32_t> hardwareVersion;
    std::string serialBefore;  // the once-only fields as read; empty when blank
    std::string nameBefore;

    std::vector<MachineStep> steps;
    RecordedFile factoryImage;
    RecordedFile userProgram;

    std::string serialPool;
    std::string serial;  // the serial number this run wrote; empty when none
    std::string name;    // the machine name this run wrote; empty when none

    // The readout after the run: each row's caption and text.
    std::vector<std::pair<std::string, std::string>> versionsAfter;

    std::string result;  // the run's result text
    int exitCode = 0;

    bool operator==(const MachineRecord&) const = default;
};
