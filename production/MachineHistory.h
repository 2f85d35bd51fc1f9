#pragma once

#include "production/MachineRecord.h"

#include <QDateTime>
#include <QJsonObject>
#include <QString>

#include <optional>
#include <string>
#include <vector>

class ProductionDatabase;
struct Recipe;

// A new record for a run of `recipe` on `station`'s `port`, started now: the
// recipe, its files and their SHA-256, and the pool filled in.
MachineRecord StartRecord(const Recipe& recipe, const std::string& station, const std::string& port);

// Where a record went.
struct RecordOutcome {
    bool recorded = false;   // in the database
    QString unrecordedFile;  // else the file that holds it; empty when that failed too
    std::string why;         // why the database did not take it (and the file, when neither did)
};

// Writes the record into the database, in one statement. When the database
// cannot take it (lost, locked, full), the record goes to a new file
// unrecorded-TIME.json in `unrecordedFolder` (UnrecordedFolder() of the
// address: beside the SQLite file, or the current folder), TIME the run's
// end in UTC, never over another such file: the record, with "database"
// and "databaseFailure" saying where it belonged and why it is not there.
RecordOutcome RecordMachine(ProductionDatabase& database, const MachineRecord& record, const QString& unrecordedFolder);

// Which records to read: all of them, or those of a serial number (written
// by the run or found on the machine), of a station, or started at or after a time.
struct HistoryFilter {
    std::optional<std::string> serial;
    std::optional<std::string> station;
    std::optional<QDateTime> since;
};

// A time as --since takes it: a date (2024-05-01, from its local midnight) or
// a date and time in ISO 8601 (2024-05-01T08:30, local; with Z or +02:00 as given).
std::optional<QDateTime> ParseSince(const std::string& text);

// The records, oldest first. Throws DatabaseFailure.
std::vector<MachineRecord> ReadHistory(ProductionDatabase& database, const HistoryFilter& filter);

// A record as JSON: every field by its name, identities as numbers and as
// hexadecimal text ("hardIdentHex": "4D520001"), times in ISO 8601, and
// "durationMs". History --json and the unrecorded file write it.
QJsonObject MachineRecordJson(const MachineRecord& record);

// A record as one CSV line (RFC 4180, without its line end), and the line of
// the column names before the first.
std::string HistoryCsvHeader();
std::string HistoryCsvLine(const MachineRecord& record);
