#include "production/DatabaseAddress.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>
#include <QUrl>
#include <QUrlQuery>

QString DatabaseAddress::Display() const
{
    if (kind == Kind::Sqlite)
        return file;
    // psql's form, without the password: a socket folder as the host query item.
    const bool socket = host.startsWith(QLatin1Char('/'));
    QString shown = QStringLiteral("postgresql://");
    if (!user.isEmpty())
        shown += user + QLatin1Char('@');
    if (!socket)
        shown += host;
    if (port >= 0)
        shown += QLatin1Char(':') + QString::number(port);
    shown += QLatin1Char('/') + database;
    if (socket)
        shown += QStringLiteral("?host=") + host;
    return shown;
}

std::optional<DatabaseAddress> ParseDatabaseAddress(const std::string& text, std::string& error)
{
    const QString given = QString::fromStdString(text);
    DatabaseAddress address;
    if (!given.startsWith(QStringLiteral("postgresql://")) && !given.startsWith(QStringLiteral("postgres://"))) {
        if (given.isEmpty()) {
            error = "--database needs a file or a postgresql:// URI";
            return std::nullopt;
        }
        address.file = QFileInfo(given).absoluteFilePath();
        return address;
    }
    const QUrl url(given, QUrl::StrictMode);
    if (!url.isValid()) {
        error = "--database: not a connection URI: " + url.errorString().toStdString();
        return std::nullopt;
    }
    address.kind = DatabaseAddress::Kind::Postgres;
    address.host = url.host(QUrl::FullyDecoded);
    address.port = url.port(-1);
    address.user = url.userName(QUrl::FullyDecoded);
    address.password = url.password(QUrl::FullyDecoded);
    address.database = url.path(QUrl::FullyDecoded).mid(1);
    if (address.database.contains(QLatin1Char('/'))) {
        error = "--database: a connection URI names one database: postgresql://USER@HOST/DATABASE";
        return std::nullopt;
    }
    QStringList options;
    for (const auto& [key, value] : QUrlQuery(url).queryItems(QUrl::FullyDecoded)) {
        if (key == QStringLiteral("host"))
            address.host = value;
        else if (key == QStringLiteral("port"))
            address.port = value.toInt();
        else if (key == QStringLiteral("user"))
            address.user = value;
        else if (key == QStringLiteral("password"))
            address.password = value;
        else if (key == QStringLiteral("dbname"))
            address.database = value;
        else
            options << key + QLatin1Char('=') + value;
    }
    address.options = options.join(QLatin1Char(';'));
    return address;
}

DatabaseAddress DefaultDatabaseAddress()
{
    DatabaseAddress address;
    address.file = QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
                       .filePath(QStringLiteral("Orvane/Quorvex/production.sqlite"));
    address.makeFolder = true;
    return address;
}

QString UnrecordedFolder(const DatabaseAddress& address)
{
    if (address.kind == DatabaseAddress::Kind::Sqlite)
        return QFileInfo(address.file).absolutePath();
    return QDir::currentPath();
}
