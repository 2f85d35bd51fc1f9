#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

class FileReader;

// One record of a symbol file (".tfs"): 112 bytes, little-endian numbers.
//   0  32 symbolName       zero-ended (a full field without zero counts as 32 characters)
//   32 32 innerQualifier   middle part of the qualified name
//   64 32 outerQualifier   first part of the qualified name
//   96  4 symbolAddress    word address in the symbol's memory space
//   100 4 symbolFlags      bits 0-3 kind, bits 8-10 memory space
//   104 8 reserved
struct SymbolRecord {
    static constexpr std::size_t kFileSize = 112;
    static constexpr std::size_t kNameSize = 32;
    using NameField = std::array<char, kNameSize>;

    NameField symbolName{};
    NameField innerQualifier{};
    NameField outerQualifier{};
    std::uint32_t symbolAddress = 0;
    std::uint32_t symbolFlags = 0;
    std::array<std::uint8_t, 8> reserved{};

    // The text of a name field: up to its first zero byte, at most 32 characters.
    static std::string_view Text(const NameField& field);
    std::string_view Name() const { return Text(symbolName); }
    std::string_view Inner() const { return Text(innerQualifier); }
    std::string_view Outer() const { return Text(outerQualifier); }
};
static_assert(sizeof(SymbolRecord) == SymbolRecord::kFileSize);

// Symbol kinds (flags bits 0-3) and memory space bits (flags bits 8-10).
namespace SymbolFlags {
constexpr std::uint32_t kKindMask = 0x0F, kEntry = 1, kInt = 2;
constexpr std::uint32_t kSpaceMask = 0x700, kSpaceX = 0x100, kSpaceY = 0x200, kSpaceP = 0x400;
}  // namespace SymbolFlags

// Memory space code of a symbol (the MemorySpace code: 0 X, 1 Y, 2 P): X for
// 0x100, P for 0x400, Y for 0x200 and for every other value of bits 8-10.
std::uint8_t SymbolSpaceCode(std::uint32_t symbolFlags);
// "entry " for kind 1, "int " for kind 2, else "".
const char* KindPrefix(std::uint32_t symbolFlags);
// outer "." inner "." name, both dots always present ("..k").
std::string QualifiedName(const SymbolRecord& record);
// Kind prefix, qualified name, CR LF: the console's line for a found symbol.
std::string DisplayLine(const SymbolRecord& record);

// A target word cut at its dots: the last part is the name, the one before
// it the inner qualifier, the one before that the outer qualifier; missing
// parts are empty and parts before the last three are dropped
// ("k", "m.k", "f.m.k"; "a.f.m.k" is "f.m.k").
struct DottedName {
    std::string name;
    std::string inner;
    std::string outer;
};
DottedName SplitDottedName(std::string_view target);

// One fixed block of kCapacity records plus a count, in file order, names
// held in lower case (A-Z only; other bytes unchanged).
class SymbolTable {
public:
    static constexpr std::size_t kCapacity = 10000;

    SymbolTable();  // allocates the block once; the table starts empty
    SymbolTable(const SymbolTable&) = delete;
    SymbolTable& operator=(const SymbolTable&) = delete;

    // Empties the table and fills it from the file. False when the file cannot
    // be opened (table left empty) or when it holds kCapacity records or more
    // (the first kCapacity are kept and usable). A partial record at the end is
    // ignored. True otherwise, also for an empty file.
    bool LoadSymbolFile(const std::string& path);
    // The same for the contents of a file already in memory (never unopenable).
    bool LoadSymbolBytes(std::span<const std::uint8_t> bytes);

    // Index of the first record whose name equals `name` and, where `inner` or
    // `outer` is not empty, whose qualifier equals it; -1 when none. The three
    // texts are lower-cased in place (A-Z only).
    int FindSymbol(std::string& name, std::string& inner, std::string& outer) const;
    // The same on copies, for callers that keep their texts.
    int FindSymbol(std::string_view name, std::string_view inner = {}, std::string_view outer = {}) const;

    std::size_t Count() const { return count; }
    const SymbolRecord& Record(std::size_t index) const { return (*records)[index]; }

private:
    bool Load(FileReader& file);

    std::unique_ptr<std::array<SymbolRecord, kCapacity>> records;
    std::size_t count = 0;
};

// The process-wide symbol table: empty at start, changed only by a load.
// Only a program's entry reaches it, to hand it on in the ToolContext.
SymbolTable& TheSymbolTable();
