#pragma once

#include <string>

struct MachineInfo;

// One JSON object whose keys are the field names of MachineInfo: flags as
// booleans, numbers as integers, texts and byte fields as strings (each byte
// one Latin-1 character, its control characters escaped: \u001b, \u007f, \u009b).
std::string MachineInfoJson(const MachineInfo& info);
