#include "support/PostgresServer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

namespace {

// The newest PostgreSQL's programs.
QString PostgresBin()
{
    QDir versions(QStringLiteral("/usr/lib/postgresql"));
    QStringList found = versions.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    std::sort(found.begin(), found.end(), [](const QString& a, const QString& b) { return a.toInt() < b.toInt(); });
    for (auto version = found.crbegin(); version != found.crend(); ++version) {
        const QString bin = versions.filePath(*version + QStringLiteral("/bin"));
        if (QFile::exists(bin + QStringLiteral("/initdb")) && QFile::exists(bin + QStringLiteral("/pg_ctl")))
            return bin;
    }
    return {};
}

// Gives the folder and what is in it to `user`.
bool GiveTo(const QString& path, uid_t user, gid_t group)
{
    if (::chown(QFile::encodeName(path).constData(), user, group) != 0)
        return false;
    QDir folder(path);
    for (const QFileInfo& entry : folder.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)) {
        if (entry.isDir() ? !GiveTo(entry.filePath(), user, group)
                          : ::chown(QFile::encodeName(entry.filePath()).constData(), user, group) != 0)
            return false;
    }
    return true;
}

// Stops the shared server after the last test.
class PostgresEnvironment : public testing::Environment {
public:
    void TearDown() override { server.reset(); }
    std::unique_ptr<PostgresServer> server;
};

PostgresEnvironment* environment = static_cast<PostgresEnvironment*>(
    testing::AddGlobalTestEnvironment(new PostgresEnvironment));

const char* kRole = "quorvex";

}  // namespace

PostgresServer::PostgresServer()
{
    QElapsedTimer timer;
    timer.start();
    bin = PostgresBin();
    if (bin.isEmpty()) {
        failure = "PostgreSQL is not installed: no /usr/lib/postgresql/*/bin/initdb "
                  "(apt-get install postgresql; ./run test installs it)";
        return;
    }
    // A short folder: a socket's path holds at most 107 bytes.
    folder = std::make_unique<QTemporaryDir>(QStringLiteral("/tmp/qpg-XXXXXX"));
    if (!folder->isValid()) {
        failure = "cannot make a folder under /tmp: " + folder->errorString().toStdString();
        return;
    }
    data = folder->filePath(QStringLiteral("data"));
    asNobody = ::geteuid() == 0;
    if (asNobody) {
        const passwd* nobody = ::getpwnam("nobody");
        const group* nogroup = ::getgrnam("nogroup");
        if (!nobody || !nogroup || !GiveTo(folder->path(), nobody->pw_uid, nogroup->gr_gid)) {
            failure = "running as root, and cannot give " + folder->path().toStdString()
                      + " to nobody:nogroup, as whom PostgreSQL would run";
            return;
        }
    }
    if (!Run(bin + QStringLiteral("/initdb"),
             {QStringLiteral("-D"), data, QStringLiteral("-U"), QLatin1String(kRole), QStringLiteral("--auth=trust"),
              QStringLiteral("--locale=C"), QStringLiteral("--encoding=UTF8"), QStringLiteral("--no-sync")},
             "initdb"))
        return;
    QFile config(data + QStringLiteral("/postgresql.conf"));
    if (!config.open(QIODevice::Append)) {
        failure = "cannot add to " + config.fileName().toStdString();
        return;
    }
    config.write(QStringLiteral("listen_addresses = ''\n"
                                "unix_socket_directories = '%1'\n"
                                "fsync = off\n"
                                "synchronous_commit = off\n"
                                "full_page_writes = off\n"
                                "shared_buffers = 16MB\n")
                     .arg(folder->path())
                     .toUtf8());
    config.close();
    if (!Run(bin + QStringLiteral("/pg_ctl"),
             {QStringLiteral("-D"), data, QStringLiteral("-l"), folder->filePath(QStringLiteral("server.log")),
              QStringLiteral("-w"), QStringLiteral("-t"), QStringLiteral("60"), QStringLiteral("start")},
             "pg_ctl start")) {
        QFile log(folder->filePath(QStringLiteral("server.log")));
        if (log.open(QIODevice::ReadOnly))
            failure += "; the server's log: " + log.readAll().toStdString();
        return;
    }
    started = true;
    startSeconds = double(timer.elapsed()) / 1000;
    // A figure, for whoever wonders where the time goes; nothing depends on it.
    std::fprintf(stderr, "PostgreSQL test server started in %.1f s\n", startSeconds);
}

PostgresServer::~PostgresServer()
{
    if (started) {
        Run(bin + QStringLiteral("/pg_ctl"),
            {QStringLiteral("-D"), data, QStringLiteral("-m"), QStringLiteral("immediate"), QStringLiteral("-w"),
             QStringLiteral("stop")},
            "pg_ctl stop");
    }
}

bool PostgresServer::Run(const QString& program, const QStringList& arguments, const char* step)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setWorkingDirectory(folder->path());  // one nobody may enter
    if (asNobody) {
        process.start(QStringLiteral("setpriv"), QStringList{QStringLiteral("--reuid=nobody"),
                                                             QStringLiteral("--regid=nogroup"),
                                                             QStringLiteral("--clear-groups"), program}
                                                     + arguments);
    } else {
        process.start(program, arguments);
    }
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        failure = std::string(step) + " (" + program.toStdString() + ") failed"
                  + (asNobody ? " run as nobody through setpriv" : "") + ": "
                  + process.errorString().toStdString() + "; " + process.readAll().toStdString();
        return false;
    }
    return true;
}

QString PostgresServer::NewDatabase(std::string& error)
{
    if (!Running()) {
        error = failure;
        return {};
    }
    const QString name = QStringLiteral("test%1").arg(++databases);
    const QString connection = QStringLiteral("postgres-test-admin");
    {
        QSqlDatabase admin = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connection);
        admin.setHostName(folder->path());
        admin.setUserName(QLatin1String(kRole));
        admin.setDatabaseName(QStringLiteral("postgres"));
        if (!admin.open()) {
            error = "cannot connect to the test server: " + admin.lastError().text().toStdString();
        } else if (QSqlQuery create(admin); !create.exec(QStringLiteral("CREATE DATABASE ") + name)) {
            error = "CREATE DATABASE failed: " + create.lastError().text().toStdString();
        }
        admin.close();
    }
    QSqlDatabase::removeDatabase(connection);
    if (!error.empty())
        return {};
    return QStringLiteral("postgresql://%1@/%2?host=%3").arg(QLatin1String(kRole), name, folder->path());
}

PostgresServer& SharedPostgres()
{
    if (!environment->server)
        environment->server = std::make_unique<PostgresServer>();
    return *environment->server;
}

bool PostgresTestsSkipped()
{
    const char* no = std::getenv("QUORVEX_NO_POSTGRES");
    return no && std::string(no) == "1";
}
