#pragma once

#include "cli/ExitCode.h"

#include <QJsonObject>
#include <QJsonValue>

#include <optional>
#include <string>
#include <vector>

// A JSON object as mirelle-cli writes it: indented, UTF-8, every control
// character escaped (\u001b, \u007f, \u009b), so that none reaches a terminal.
std::string JsonText(const QJsonObject& object);

// What one run of mirelle-cli --json prints: exactly one object, with
// `result` (the text the plain run prints as its result), `exitCode` and
// what the command found as members of their own.
//
// A command adds its findings with Set() (download, factory and boot get
// "bytes", "blocks", "erases" and "durationMs" from the procedure run; the
// --verify step sets "verify"); the session keeps the result lines that it
// would have printed, and the diagnostics, here. The result is always one
// line: the text given to SetResult(), else the first result line kept (what
// follows it, a verify's result, has a member of its own), else the last
// diagnostic (a port that did not open, a usage error), else empty.
class JsonReport {
public:
    // A member of the command's findings; a later Set() of the same name replaces it.
    void Set(const QString& name, const QJsonValue& value);
    // Every member of `members`.
    void Merge(const QJsonObject& members);
    // The result text itself, instead of the lines kept (UTF-8).
    void SetResult(const std::string& utf8);

    // A result line the plain run would print (UTF-8).
    void KeepResultLine(const std::string& utf8);
    // A diagnostic, without the program's name before it.
    void KeepDiagnostic(const std::string& line);

    // The object, with `result` and `exitCode`.
    QJsonObject Object(ExitCode code) const;
    // Its text; after a streamed array, the rest of the object behind it.
    std::string Text(ExitCode code) const;

    // An array member written item by item as the run goes (decode's
    // exchanges: as many as the recording holds), so that the object is
    // never held whole: the object's first lines up to the array's opening,
    // then each item's text. The member must sort before every other member
    // of the object, where QJsonDocument would put it.
    std::string StreamArray(const QString& name);
    std::string StreamItem(const QJsonObject& item);

private:
    QJsonObject members;
    std::optional<std::string> result;
    std::vector<std::string> lines;
    std::string lastDiagnostic;
    bool streaming = false;
    std::size_t streamed = 0;  // items of the streamed array
};
