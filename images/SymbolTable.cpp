#include "images/SymbolTable.h"

#include "common/ByteOrder.h"
#include "images/FileReader.h"

#include <algorithm>

namespace {

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

void LowerInPlace(std::string& text)
{
    std::transform(text.begin(), text.end(), text.begin(), Lower);
}

void TakeName(SymbolRecord::NameField& field, const std::uint8_t* at)
{
    std::transform(at, at + SymbolRecord::kNameSize, field.begin(), [](std::uint8_t byte) { return Lower(char(byte)); });
}

// Fills a slot from the 112 bytes of one file record, names lower-cased.
void Decode(SymbolRecord& record, const std::uint8_t* raw)
{
    TakeName(record.symbolName, raw);
    TakeName(record.innerQualifier, raw + 32);
    TakeName(record.outerQualifier, raw + 64);
    record.symbolAddress = ByteOrder::Le32(raw + 96);
    record.symbolFlags = ByteOrder::Le32(raw + 100);
    std::copy(raw + 104, raw + 112, record.reserved.begin());
}

}  // namespace

std::string_view SymbolRecord::Text(const NameField& field)
{
    const auto end = std::find(field.begin(), field.end(), '\0');
    return std::string_view(field.data(), std::size_t(end - field.begin()));
}

std::uint8_t SymbolSpaceCode(std::uint32_t symbolFlags)
{
    switch (symbolFlags & SymbolFlags::kSpaceMask) {
    case SymbolFlags::kSpaceX:
        return 0;
    case SymbolFlags::kSpaceP:
        return 2;
    default:
        return 1;
    }
}

const char* KindPrefix(std::uint32_t symbolFlags)
{
    switch (symbolFlags & SymbolFlags::kKindMask) {
    case SymbolFlags::kEntry:
        return "entry ";
    case SymbolFlags::kInt:
        return "int ";
    default:
        return "";
    }
}

std::string QualifiedName(const SymbolRecord& record)
{
    std::string text(record.Outer());
    text += '.';
    text += record.Inner();
    text += '.';
    text += record.Name();
    return text;
}

std::string DisplayLine(const SymbolRecord& record)
{
    return KindPrefix(record.symbolFlags) + QualifiedName(record) + "\r\n";
}

DottedName SplitDottedName(std::string_view target)
{
    DottedName parts;
    for (auto dot = target.find('.'); dot != std::string_view::npos; dot = target.find('.')) {
        parts.outer = std::move(parts.inner);
        parts.inner = std::string(target.substr(0, dot));
        target.remove_prefix(dot + 1);
    }
    parts.name = std::string(target);
    return parts;
}

SymbolTable::SymbolTable() : records(std::make_unique<std::array<SymbolRecord, kCapacity>>()) {}

bool SymbolTable::LoadSymbolFile(const std::string& path)
{
    count = 0;
    FileReader file;
    if (!file.Open(path))
        return false;
    return Load(file);
}

bool SymbolTable::LoadSymbolBytes(std::span<const std::uint8_t> bytes)
{
    count = 0;
    FileReader file;
    file.OpenBytes(bytes);
    return Load(file);
}

bool SymbolTable::Load(FileReader& file)
{
    std::array<std::uint8_t, SymbolRecord::kFileSize> raw;
    while (file.TryBytes(raw.data(), raw.size())) {
        Decode((*records)[count], raw.data());
        if (++count == kCapacity)
            return false;
    }
    return true;
}

int SymbolTable::FindSymbol(std::string& name, std::string& inner, std::string& outer) const
{
    LowerInPlace(name);
    LowerInPlace(inner);
    LowerInPlace(outer);
    for (std::size_t index = 0; index < count; ++index) {
        const SymbolRecord& record = (*records)[index];
        if (record.Name() == name && (inner.empty() || record.Inner() == inner) &&
            (outer.empty() || record.Outer() == outer))
            return int(index);
    }
    return -1;
}

int SymbolTable::FindSymbol(std::string_view name, std::string_view inner, std::string_view outer) const
{
    std::string nameText(name), innerText(inner), outerText(outer);
    return FindSymbol(nameText, innerText, outerText);
}

SymbolTable& TheSymbolTable()
{
    static SymbolTable table;
    return table;
}
