#include "cli/PortCommands.h"

#include "cli/CliSession.h"
#include "common/ControlText.h"
#include "common/TextFormat.h"
#include "link/PortName.h"
#include "link/PortSelection.h"
#include "link/SerialPortList.h"
#include "link/Settings.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <algorithm>
#include <vector>

namespace {

// The stored value of a setting, or what the store said of it.
std::string StoredText(const std::string& name, bool& present)
{
    std::string value;
    try {
        present = ReadSetting(name, value);
    } catch (const SettingsError& error) {
        present = true;
        return error.what();
    }
    return value;
}

// What set-port and the port dialogs have stored: "ComPort", then each
// "Ports/comN" that is set with the device it finally names. With --json
// also as members: "comPort" (null when not set) and "devices", by port
// name, each with its stored "device" and the "resolved" one.
void PrintStoredPorts(CliSession& session)
{
    bool present = false;
    const std::string comPort = StoredText(SettingName::kComPort, present);
    // What an older settings file holds is shown escaped, as any text from outside.
    session.SayUtf8(std::string(SettingName::kComPort) + "\t" + (present ? EscapedUtf8(comPort) : "(not set)"));
    session.report.Set("comPort", present ? QJsonValue(QString::fromStdString(comPort)) : QJsonValue());
    QJsonObject devices;
    for (int item = 1; item <= PortSelection::kPortCount; ++item) {
        const std::string portName = PortNameOfItem(item);
        const std::string name = SettingName::PortDevice(portName);
        const std::string device = StoredText(name, present);
        if (!present || device.empty())
            continue;
        const std::string resolved = ResolvedDevice(device);
        session.SayUtf8(name + "\t" + EscapedUtf8(device)
                        + (resolved != device ? " -> " + EscapedUtf8(resolved) : std::string()));
        devices.insert(QString::fromStdString(portName), QJsonObject{{"device", QString::fromStdString(device)},
                                                                     {"resolved", QString::fromStdString(resolved)}});
    }
    session.report.Set("devices", devices);
}

QJsonValue HexOrNull(const std::optional<std::uint16_t>& id)
{
    return id ? QJsonValue(QString::fromStdString(FormatText("%04x", unsigned(*id)))) : QJsonValue();
}

QJsonObject PortJson(const SerialPortEntry& entry)
{
    QJsonArray names;
    for (const std::string& name : PortNamesFor(entry.device))
        names.append(QString::fromStdString(name));
    return QJsonObject{
        {"device", QString::fromStdString(entry.device)},
        {"stableName", QString::fromStdString(entry.stableName)},
        {"description", QString::fromStdString(entry.description)},
        {"manufacturer", QString::fromStdString(entry.manufacturer)},
        {"vendorId", HexOrNull(entry.vendorId)},
        {"productId", HexOrNull(entry.productId)},
        {"usbId", QString::fromStdString(UsbIdText(entry))},
        {"serialNumber", QString::fromStdString(entry.serialNumber)},
        {"portNames", names},
    };
}

// The fields of a port in the order of `ports`, "-" for one it lacks.
std::vector<std::string> PortFields(const SerialPortEntry& entry)
{
    std::string names;
    for (const std::string& name : PortNamesFor(entry.device))
        names += (names.empty() ? "" : " ") + name;
    std::vector<std::string> fields;
    for (const std::string& field : {entry.device, entry.stableName, entry.description, entry.manufacturer,
                                     UsbIdText(entry), entry.serialNumber, names})
        fields.push_back(field.empty() ? std::string("-") : field);
    return fields;
}

// `ports` as a table: the columns aligned under a header, for a terminal;
// elsewhere the fields by TABs, one port a line, no header.
std::vector<std::string> PortLines(const std::vector<SerialPortEntry>& ports, bool table)
{
    std::vector<std::vector<std::string>> rows;
    if (table)
        rows.push_back({"Device", "Stable name", "Description", "Manufacturer", "USB id", "Serial number", "Names"});
    for (const SerialPortEntry& entry : ports)
        rows.push_back(PortFields(entry));
    // Widths in characters: a description may hold more than ASCII.
    const auto width = [](const std::string& field) { return std::size_t(QString::fromStdString(field).size()); };
    std::vector<std::size_t> widths(rows.front().size(), 0);
    for (const auto& row : rows)
        for (std::size_t column = 0; column < row.size(); ++column)
            widths[column] = std::max(widths[column], width(row[column]));
    std::vector<std::string> lines;
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t column = 0; column < row.size(); ++column) {
            if (column > 0)
                line += table ? "  " : "\t";
            line += row[column];
            if (table && column + 1 < row.size())
                line += std::string(widths[column] - width(row[column]), ' ');
        }
        lines.push_back(line);
    }
    return lines;
}

}  // namespace

ExitCode SetPortCommand(CliSession& session, const CliArguments& arguments)
{
    if (arguments.empty()) {
        PrintStoredPorts(session);
        session.report.SetResult("Done");  // the ports stored are its members
        return ExitCode::Done;
    }
    std::string name = arguments[0];
    if (!PortNumber(name))
        return session.UsageError("'" + name + "' is no port name: give com1 to com8");
    if (arguments.size() > 1 && HoldsControls(arguments[1]))
        return session.UsageError("'" + EscapedUtf8(arguments[1])
                                  + "' is no device path: it holds control characters");
    try {
        if (arguments.size() > 1)
            StorePortDevice(name, arguments[1]);
        PortSelection(session.context.link, name).SavePortSetting();
    } catch (const SettingsError& error) {
        session.Complain(error.what());
        return ExitCode::FileRefused;
    }
    PrintStoredPorts(session);
    session.report.SetResult("Done");  // the ports stored are its members
    return ExitCode::Done;
}

ExitCode PortsCommand(CliSession& session, const CliArguments&)
{
    const std::vector<SerialPortEntry> ports = ListSerialPorts();
    if (session.options.json) {
        QJsonArray array;
        for (const SerialPortEntry& entry : ports)
            array.append(PortJson(entry));
        session.report.Set("ports", array);
        session.report.SetResult(ports.empty() ? "No serial port found" : "Done");
        return ExitCode::Done;
    }
    if (ports.empty()) {
        session.SayUtf8("No serial port found");
#ifndef _WIN32
        session.SayUtf8("USB serial adapters appear as /dev/ttyUSB* or /dev/ttyACM* once plugged in");
#endif
        return ExitCode::Done;
    }
    for (const std::string& line : PortLines(ports, session.OutputOnTerminal()))
        session.SayUtf8(line);
    return ExitCode::Done;
}
