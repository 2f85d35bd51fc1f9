// A symbol file (".tfs") from the fuzzer's bytes, then the console's line and
// look-up by its dotted name of the first symbols it holds.
#include "images/SymbolTable.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static SymbolTable table;  // one block of 10000 records, as the tool's own
    table.LoadSymbolBytes(std::span(data, size));
    // Each look-up scans the table: a few of them keep an input fast.
    for (std::size_t i = 0; i < table.Count() && i < 64; ++i) {
        const std::string line = DisplayLine(table.Record(i));
        DottedName parts = SplitDottedName(QualifiedName(table.Record(i)));
        table.FindSymbol(parts.name, parts.inner, parts.outer);
        SymbolSpaceCode(table.Record(i).symbolFlags);
    }
    return 0;
}
