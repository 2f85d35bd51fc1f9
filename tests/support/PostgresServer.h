#pragma once

#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <string>

// A PostgreSQL server of the tests' own: a data folder under /tmp made by
// initdb, listening on a Unix socket in a short folder beside it and on no
// TCP port, its role "quorvex" trusted. PostgreSQL refuses to run as root:
// run as root (CI), the folder goes to nobody and initdb and pg_ctl run as
// nobody (setpriv). The programs come from /usr/lib/postgresql/*/bin, which
// is not on Debian's PATH.
class PostgresServer {
public:
    // Starts the server; Failure() says why when it did not start.
    PostgresServer();
    // Stops it (immediate shutdown) and removes its folder.
    ~PostgresServer();
    PostgresServer(const PostgresServer&) = delete;
    PostgresServer& operator=(const PostgresServer&) = delete;

    bool Running() const { return failure.empty(); }
    const std::string& Failure() const { return failure; }
    double StartSeconds() const { return startSeconds; }

    // A new empty database on the server: its connection URI
    // (postgresql://quorvex@/NAME?host=FOLDER), or empty with `error` set.
    QString NewDatabase(std::string& error);

private:
    bool Run(const QString& program, const QStringList& arguments, const char* step);

    std::unique_ptr<QTemporaryDir> folder;
    QString bin;
    QString data;
    bool asNobody = false;
    bool started = false;
    std::string failure;
    double startSeconds = 0;
    int databases = 0;
};

// The one server of the test binary: started at its first use, stopped at
// the end of the run whatever the tests' outcome.
PostgresServer& SharedPostgres();

// Whether the tests of the PostgreSQL backend are to be skipped: only when
// QUORVEX_NO_POSTGRES=1 says so. Otherwise they fail when the server cannot
// be started, saying why.
bool PostgresTestsSkipped();
