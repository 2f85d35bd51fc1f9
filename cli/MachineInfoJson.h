#pragma once

#include <QJsonObject>

#include <cstdint>
#include <string>

struct MachineInfo;

// The members of info --json, whose names are the field names of
// MachineInfo: flags as booleans, numbers as integers, texts and byte fields
// as strings (each byte one Latin-1 character). Beside the numbers, the
// identities and addresses also as hexadecimal text as the panel writes them:
// hardIdentHex "4D520001", userAreaAddressHex "D20000".
QJsonObject MachineInfoMembers(const MachineInfo& info);

// The two identities as numbers and as hexadecimal text: hardIdent,
// flashIdent, hardIdentHex, flashIdentHex.
QJsonObject IdentityMembers(std::uint32_t hardIdent, std::uint32_t flashIdent);

// "4D520001": an identity as the panel shows it.
QString IdentityHex(std::uint32_t ident);
// "D20000": a 24-bit flash address.
QString AddressHex(std::uint32_t address);

// MachineInfoMembers as one JSON object (JsonText: its control characters
// escaped: \u001b, \u007f, \u009b).
std::string MachineInfoJson(const MachineInfo& info);
