#pragma once

#include "production/SerialPool.h"

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

class ProductionDatabase;

// What became of a serial number given out. A number is never given twice,
// whatever its state:
//   allocated  given to a run on a station's port, its outcome still to come;
//   written    the machine holds it;
//   void       never written (the write was not sent, or the machine refused
//              it): listed, never given again;
//   in doubt   its run ended without an outcome (a station killed, a write
//              whose answer was lost and that no readout decided); it stays
//              so until a run meets a machine that holds it.
enum class SerialState { Allocated, Written, Void, InDoubt };
const char* SerialStateName(SerialState state);  // "allocated", "written", "void", "in doubt"

// What a run records after the write of a number it took.
enum class SerialOutcome { Written, Void, InDoubt };

// A pool that cannot be made (its texts, or a name or texts of another
// pool), one that is not there, or one used up. The text says which and why.
class PoolRefused : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A number taken from a pool, recorded as allocated.
struct TakenSerial {
    std::string serial;  // "SN000042"
    std::string pool;
    std::uint32_t number = 0;
};

// A number of a pool that is not decided: allocated or in doubt.
struct UndecidedSerial {
    std::string serial;
    SerialState state = SerialState::Allocated;
    std::string station;
    std::string port;
    std::string allocatedAt;  // ISO 8601, UTC
};

// A pool and what has become of its numbers.
struct PoolStatus {
    SerialPool pool;
    std::optional<std::string> next;  // the next number's text; nothing when used up
    std::uint64_t left = 0;           // numbers never given out
    std::uint64_t allocated = 0;
    std::uint64_t written = 0;
    std::uint64_t voided = 0;
    std::uint64_t inDoubt = 0;
    std::vector<UndecidedSerial> undecided;  // in number order
};

// The serial number pools of a production database, and every number given
// out. Each operation is one transaction; each throws DatabaseFailure when
// the database fails (nothing of it is then kept).
class SerialNumbers {
public:
    explicit SerialNumbers(ProductionDatabase& database) : database(database) {}

    // Adds a pool, made by `station`. PoolRefused when PoolRefusal() refuses
    // it, its name is taken, or one of its texts could come from another pool.
    void AddPool(const SerialPool& pool, const std::string& station);

    // The pool of that name, if there is one.
    std::optional<SerialPool> FindPool(const std::string& name);

    // Every pool by name, or the one named (PoolRefused when there is none).
    std::vector<PoolStatus> Status(const std::optional<std::string>& poolName = std::nullopt);

    // Takes the pool's next number, in one atomic step, and records it as
    // allocated to `station` and `port` now. The number is returned only
    // once that is committed: a number a caller holds is always recorded as
    // taken, and a failure (DatabaseFailure) takes none. In the same step,
    // a number still allocated to the same station and port becomes in
    // doubt: one port makes one machine at a time, so the run that took it
    // has ended without recording its outcome. PoolRefused when there is no
    // such pool or it is used up.
    TakenSerial Take(const std::string& pool, const std::string& station, const std::string& port);

    // What became of a number taken: allocated or in doubt becomes written,
    // void or in doubt. False when the number is not awaiting an outcome
    // (unknown, or decided already): nothing changes.
    bool RecordOutcome(const std::string& serial, SerialOutcome outcome);

    // A run met a machine that holds `serial`: the number is written, in
    // whatever state it was. Its state before; nothing when no pool of this
    // database gave it.
    std::optional<SerialState> MarkMetOnMachine(const std::string& serial);

private:
    ProductionDatabase& database;
};
