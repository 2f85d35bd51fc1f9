#include "cli/JsonReport.h"

#include "common/TextFormat.h"

#include <QJsonDocument>

#include <algorithm>

namespace {

// QJsonDocument escapes the C0 controls (\u001b) but leaves DEL and the C1
// controls as they are: escaped here too. In its UTF-8 they are the byte 7F
// and the pairs C2 80 .. C2 9F, found only inside strings.
std::string EscapedDelAndC1(const QByteArray& json)
{
    std::string escaped;
    for (qsizetype i = 0; i < json.size(); ++i) {
        const auto byte = static_cast<unsigned char>(json[i]);
        const auto next = i + 1 < json.size() ? static_cast<unsigned char>(json[i + 1]) : 0u;
        if (byte == 0x7F) {
            escaped += "\\u007f";
        } else if (byte == 0xC2 && next >= 0x80 && next < 0xA0) {
            escaped += FormatText("\\u%04x", unsigned(next));
            ++i;
        } else {
            escaped += char(byte);
        }
    }
    return escaped;
}

}  // namespace

std::string JsonText(const QJsonObject& object)
{
    return EscapedDelAndC1(QJsonDocument(object).toJson(QJsonDocument::Indented));
}

void JsonReport::Set(const QString& name, const QJsonValue& value)
{
    members.insert(name, value);
}

void JsonReport::Merge(const QJsonObject& more)
{
    for (auto member = more.begin(); member != more.end(); ++member)
        members.insert(member.key(), member.value());
}

void JsonReport::SetResult(const std::string& utf8)
{
    result = utf8;
}

void JsonReport::KeepResultLine(const std::string& utf8)
{
    lines.push_back(utf8);
}

void JsonReport::KeepDiagnostic(const std::string& line)
{
    lastDiagnostic = line;
}

std::string JsonReport::Text(ExitCode code) const
{
    std::string text = JsonText(Object(code));
    if (!streaming)
        return text;
    // The rest of the object: its members after the array, without its "{".
    return std::string(streamed > 0 ? "\n" : "") + "    ],\n" + text.substr(text.find('\n') + 1);
}

std::string JsonReport::StreamArray(const QString& name)
{
    streaming = true;
    streamed = 0;
    return "{\n    \"" + name.toStdString() + "\": [\n";
}

std::string JsonReport::StreamItem(const QJsonObject& item)
{
    // The item as QJsonDocument indents it inside the array: 8 more blanks a line.
    std::string text = JsonText(item);
    text.pop_back();  // its last line break
    std::string indented = streamed++ > 0 ? ",\n" : "";
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        indented += "        " + text.substr(at, end - at) + (end < text.size() ? "\n" : "");
        at = end + 1;
    }
    return indented;
}

QJsonObject JsonReport::Object(ExitCode code) const
{
    std::string text;
    if (result) {
        text = *result;
    } else if (!lines.empty()) {
        text = lines.front();  // one line: what follows has members of its own
    } else {
        text = lastDiagnostic;
    }
    QJsonObject object = members;
    object.insert("result", QString::fromStdString(text));
    object.insert("exitCode", int(code));
    return object;
}
