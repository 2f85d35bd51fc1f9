#pragma once

#include "common/FlashMap.h"
#include "images/FactoryImage.h"
#include "images/UserImage.h"
#include "production/SerialPool.h"

#include <stdexcept>
#include <string>

// A recipe: what a production station does to each blank machine, in a JSON
// file that a production engineer writes and versions beside the files it
// names (paths relative to the recipe's folder):
//
//   {
//       "factoryImage": {"file": "sample-factory.tbf", "verify": true},
//       "userProgram": {"file": "sample-user.tbu", "verify": true},
//       "serialPool": "sample",
//       "machineName": "Line 3 {serial}",
//       "powerOff": true,
//       "machineWithSerial": "stop"
//   }
//
// Every key is required and no other is taken, so that a misspelt key is
// said, not ignored. "machineName" is a fixed text or a pattern in which
// "{serial}" stands for the serial number written. "machineWithSerial" says
// what a run does with a machine whose serial number is written already:
// "stop" with an error, or "record" it and go on; such a machine takes no
// number either way.

enum class MachineWithSerial { Stop, Record };

// A file the recipe writes into the machine.
struct RecipeFile {
    std::string path;    // absolute
    std::string sha256;  // of the file as loaded, lower-case hexadecimal
    bool verify = true;  // read back and compare after the download
};

struct Recipe {
    std::string path;  // the recipe's own file, absolute
    std::string sha256;
    RecipeFile factory;
    FactoryImage factoryImage;  // loaded
    RecipeFile user;
    UserImage userImage;  // loaded
    std::string serialPool;
    std::string machineName;  // the pattern
    bool powerOff = true;
    MachineWithSerial machineWithSerial = MachineWithSerial::Stop;
};

// A recipe that cannot be used, and where: the key ("factoryImage.file";
// empty for the recipe as a whole) and the reason. Either a mistake in the
// recipe itself (a usage error for the command line), or a file that cannot
// be read or loaded: the recipe's own, or one it names (a refused file).
class RecipeError : public std::runtime_error {
public:
    enum class Kind { InRecipe, FileRefused };
    RecipeError(Kind kind, const std::string& recipe, std::string key, std::string reason);

    Kind kind;
    std::string key;
    std::string reason;
};

// Reads the recipe at `path` (UTF-8) and checks all of it before any machine
// is touched: its keys and their values, the machine name's characters and
// length without a serial number, and each file it names, loaded by the
// tool's loaders (a file of another kind by its extension, or one its
// loader refuses, is refused with the loader's text). Throws RecipeError.
Recipe LoadRecipe(const std::string& path);

// The checks that need the pool from the database: the pool is the one the
// recipe names, and the machine name with the pool's serial numbers (all of
// one length) fits the machine's 32 characters. Throws RecipeError.
void CheckRecipeWithPool(const Recipe& recipe, const SerialPool& pool);

// The machine name for a serial number: the pattern with "{serial}" replaced,
// trimmed of blanks at both ends.
std::string MachineNameFor(const Recipe& recipe, const std::string& serial);

// The longest text the machine's name field holds.
inline constexpr int kMachineNameLength = int(FlashMap::FactoryData::kMachineNameSize) - 1;
