#include "production/ProductionDatabase.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QStringList>
#include <QThread>

#include <atomic>

namespace {

// The Qt SQL driver of each kind, and the Debian package that brings it.
const char* DriverName(DatabaseAddress::Kind kind)
{
    return kind == DatabaseAddress::Kind::Postgres ? "QPSQL" : "QSQLITE";
}

const char* DriverPackage(DatabaseAddress::Kind kind)
{
    return kind == DatabaseAddress::Kind::Postgres ? "libqt6sql6-psql" : "libqt6sql6-sqlite";
}

// A connection's name: the thread that owns it, and a count for each one made.
QString NewConnectionName()
{
    static std::atomic<unsigned> made{0};
    return QStringLiteral("quorvex-production/%1/%2")
        .arg(reinterpret_cast<quintptr>(QThread::currentThreadId()))
        .arg(++made);
}

// What the database says (else the driver), on one line.
QString Why(const QSqlError& error)
{
    const QString why = error.databaseText().simplified();
    return why.isEmpty() ? error.driverText().simplified() : why;
}

// PostgreSQL: the schema is brought up to date by one station at a time.
constexpr qint64 kSchemaLock = 0x51756f7276;

}  // namespace

ProductionDatabase::ProductionDatabase(const DatabaseAddress& address, std::span<const SchemaStep> steps)
    : address(address), connectionName(NewConnectionName())
{
    try {
        Open();
        BringSchemaUpToDate(steps);
    } catch (...) {
        {
            QSqlDatabase connection = QSqlDatabase::database(connectionName, false);
            connection.close();
        }
        QSqlDatabase::removeDatabase(connectionName);
        throw;
    }
}

ProductionDatabase::~ProductionDatabase()
{
    {
        QSqlDatabase connection = QSqlDatabase::database(connectionName, false);
        connection.close();
    }
    QSqlDatabase::removeDatabase(connectionName);
}

QSqlDatabase ProductionDatabase::Connection() const
{
    return QSqlDatabase::database(connectionName, false);
}

DatabaseFailure ProductionDatabase::Failure(const char* what, const QString& why) const
{
    return DatabaseFailure(("the database " + address.Display() + " failed while " + QString::fromUtf8(what)
                            + ": " + why)
                               .toStdString());
}

void ProductionDatabase::Open()
{
    const QString cannotOpen = QStringLiteral("cannot open the database ") + address.Display() + QStringLiteral(": ");
    QSqlDatabase connection = QSqlDatabase::addDatabase(QLatin1String(DriverName(address.kind)), connectionName);
    if (!connection.isValid()) {
        throw DatabaseFailure((cannotOpen + QStringLiteral("Qt's %1 driver is not installed (apt-get install %2)")
                                                .arg(QLatin1String(DriverName(address.kind)),
                                                     QLatin1String(DriverPackage(address.kind))))
                                  .toStdString());
    }
    if (address.kind == DatabaseAddress::Kind::Sqlite) {
        if (address.makeFolder)
            QDir().mkpath(QFileInfo(address.file).absolutePath());
        connection.setDatabaseName(address.file);
        connection.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(address.busyTimeout.count()));
    } else {
        connection.setHostName(address.host);
        if (address.port >= 0)
            connection.setPort(address.port);
        connection.setUserName(address.user);
        connection.setPassword(address.password);
        connection.setDatabaseName(address.database);
        // libpq waits for ever for a server that does not answer.
        QString options = QStringLiteral("connect_timeout=5");
        if (!address.options.isEmpty())
            options += QLatin1Char(';') + address.options;
        connection.setConnectOptions(options);
    }
    // Whether the database can be reached is what open() says, not the
    // error's type, which tells a locked file or a lost server otherwise.
    if (!connection.open() || !connection.isOpen())
        throw DatabaseFailure((cannotOpen + Why(connection.lastError())).toStdString());
    if (address.kind == DatabaseAddress::Kind::Sqlite) {
        Run("opening it", QStringLiteral("PRAGMA journal_mode = WAL"));
        Run("opening it", QStringLiteral("PRAGMA foreign_keys = ON"));
    }
}

int ProductionDatabase::StoredVersion()
{
    QSqlQuery query = Run("reading its schema version", QStringLiteral("SELECT version FROM schema_version"));
    return query.next() ? query.value(0).toInt() : 0;
}

void ProductionDatabase::BringSchemaUpToDate(std::span<const SchemaStep> steps)
{
    const int target = steps.empty() ? 0 : steps.back().to;
    const auto refuseNewer = [&](int found) {
        if (found > target) {
            throw DatabaseFailure(QStringLiteral("the database %1 has schema version %2, newer than this tool's (%3): "
                                                 "use the mirelle-cli that made it, or a newer one")
                                      .arg(address.Display())
                                      .arg(found)
                                      .arg(target)
                                      .toStdString());
        }
    };
    if (Connection().tables().contains(QStringLiteral("schema_version"))) {
        version = StoredVersion();
        refuseNewer(version);
        if (version == target)
            return;
    }
    WriteTransaction transaction(*this, "bringing its schema up to date");
    if (IsPostgres())
        Run("bringing its schema up to date", QStringLiteral("SELECT pg_advisory_xact_lock(?)"), {kSchemaLock});
    Run("bringing its schema up to date",
        QStringLiteral("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)"));
    // Another station may have done it meanwhile: read again under the lock.
    QSqlQuery stored = Run("reading its schema version", QStringLiteral("SELECT version FROM schema_version"));
    if (stored.next()) {
        version = stored.value(0).toInt();
    } else {
        version = 0;
        Run("bringing its schema up to date", QStringLiteral("INSERT INTO schema_version (version) VALUES (0)"));
    }
    stored.finish();
    refuseNewer(version);
    for (const SchemaStep& step : steps) {
        if (step.to <= version)
            continue;
        step.run(*this);
        version = step.to;
    }
    Run("bringing its schema up to date", QStringLiteral("UPDATE schema_version SET version = ?"), {version});
    transaction.Commit();
}

void ProductionDatabase::ProbeWrite()
{
    WriteTransaction transaction(*this, "trying a write");
    Run("trying a write", QStringLiteral("UPDATE schema_version SET version = version"));
    // Rolled back: nothing is kept.
}

QSqlQuery ProductionDatabase::Run(const char* what, const QString& sql, const QVariantList& values)
{
    QSqlQuery query(Connection());
    query.setForwardOnly(true);
    // PostgreSQL prepares only queries and row changes: a statement without
    // values (BEGIN, CREATE TABLE) goes as it is.
    if (values.isEmpty()) {
        if (!query.exec(sql))
            throw Failure(what, Why(query.lastError()));
        return query;
    }
    if (!query.prepare(sql))
        throw Failure(what, Why(query.lastError()));
    for (const QVariant& value : values)
        query.addBindValue(value);
    if (!query.exec())
        throw Failure(what, Why(query.lastError()));
    return query;
}

WriteTransaction::WriteTransaction(ProductionDatabase& database, const char* what) : database(database), what(what)
{
    database.Run(what, database.IsPostgres() ? QStringLiteral("BEGIN") : QStringLiteral("BEGIN IMMEDIATE"));
}

WriteTransaction::~WriteTransaction()
{
    if (!open)
        return;
    QSqlQuery rollback(database.Connection());
    rollback.exec(QStringLiteral("ROLLBACK"));
}

void WriteTransaction::Commit()
{
    database.Run(what, QStringLiteral("COMMIT"));
    open = false;
}

QString TimestampNow()
{
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
}
