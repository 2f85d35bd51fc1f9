#pragma once

#include "production/DatabaseAddress.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

#include <span>
#include <stdexcept>
#include <string>

// The database cannot be used: it could not be reached (opened), a
// statement on it failed (a lock held too long, a lost connection, a file
// that cannot be written), or its schema is newer than this tool's. The text
// is one line for the user, naming the database (never its password).
class DatabaseFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class ProductionDatabase;

// One step of the schema: from the version before it to `to`. The steps run
// in order, each on a schema at the version before it, inside the one
// transaction that brings the database to the last step's version.
struct SchemaStep {
    int to;
    void (*run)(ProductionDatabase& database);
};

// The schema of this tool: its steps, and the version they reach.
std::span<const SchemaStep> SchemaSteps();
inline constexpr int kSchemaVersion = 1;

// One connection to the production database, of the thread that makes it:
// Qt SQL's connections belong to their thread, so each thread (each station
// port run in a thread, each test thread) makes its own ProductionDatabase
// and uses it there only. The connection's name holds the thread and a count.
//
// Opening reaches the database and brings its schema to this tool's version:
// created on first use; an older one upgraded by the steps after its
// version; a newer one refused. SQLite runs in WAL mode with a busy timeout,
// so that readers never wait and writers wait for each other; PostgreSQL is
// given up after 5 s without an answer (connect_timeout).
class ProductionDatabase {
public:
    // Throws DatabaseFailure when the database cannot be reached, its schema
    // cannot be brought up to date, or it is newer.
    explicit ProductionDatabase(const DatabaseAddress& address, std::span<const SchemaStep> steps = SchemaSteps());
    ~ProductionDatabase();
    ProductionDatabase(const ProductionDatabase&) = delete;
    ProductionDatabase& operator=(const ProductionDatabase&) = delete;

    const DatabaseAddress& Address() const { return address; }
    bool IsPostgres() const { return address.kind == DatabaseAddress::Kind::Postgres; }
    QSqlDatabase Connection() const;
    int SchemaVersion() const { return version; }

    // Whether the database takes a write now: a write transaction begun, one
    // row updated, rolled back. For a run, before any machine is touched.
    // Throws DatabaseFailure.
    void ProbeWrite();

    // One statement with its values bound in order ('?' placeholders); the
    // query, positioned before its first row. Throws DatabaseFailure saying
    // `what` was being done ("taking a serial number").
    QSqlQuery Run(const char* what, const QString& sql, const QVariantList& values = {});

    // A DatabaseFailure naming this database, `what` was being done and why.
    DatabaseFailure Failure(const char* what, const QString& why) const;

private:
    void Open();
    void BringSchemaUpToDate(std::span<const SchemaStep> steps);
    int StoredVersion();

    DatabaseAddress address;
    QString connectionName;
    int version = 0;
};

// A write transaction, rolled back unless committed. On SQLite BEGIN
// IMMEDIATE (QSqlDatabase::transaction() sends a plain BEGIN): the write
// lock is taken at once, so that two stations wait for each other there
// instead of failing at their first write. On PostgreSQL BEGIN; the rows a
// transaction must hold alone it locks itself (SELECT ... FOR UPDATE).
class WriteTransaction {
public:
    // Throws DatabaseFailure.
    WriteTransaction(ProductionDatabase& database, const char* what);
    ~WriteTransaction();
    WriteTransaction(const WriteTransaction&) = delete;
    WriteTransaction& operator=(const WriteTransaction&) = delete;

    // Throws DatabaseFailure; the transaction is then rolled back.
    void Commit();

private:
    ProductionDatabase& database;
    const char* what;
    bool open = true;
};

// The time now, as every timestamp of the database is kept: ISO 8601 in UTC
// with milliseconds, "2024-05-01T08:30:00.000Z", so that text order is time order.
QString TimestampNow();
