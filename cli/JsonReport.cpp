#include "cli/JsonReport.h"

#include "common/TextFormat.h"

#include <QJsonDocument>

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

QJsonObject JsonReport::Object(ExitCode code) const
{
    std::string text;
    if (result) {
        text = *result;
    } else if (!lines.empty()) {
        for (std::size_t i = 0; i < lines.size(); ++i)
            text += (i == 0 ? "" : "\n") + lines[i];
    } else {
        text = lastDiagnostic;
    }
    QJsonObject object = members;
    object.insert("result", QString::fromStdString(text));
    object.insert("exitCode", int(code));
    return object;
}
