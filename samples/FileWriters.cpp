#include "samples/FileWriters.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace {

void PutU32(FileBytes& out, std::uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(std::uint8_t(value >> shift));
}

void PutU24(FileBytes& out, std::uint32_t value)
{
    for (int shift = 0; shift < 24; shift += 8)
        out.push_back(std::uint8_t(value >> shift));
}

void PutName(FileBytes& out, const std::string& name)
{
    const std::size_t kept = std::min<std::size_t>(name.size(), 32);
    out.insert(out.end(), name.begin(), name.begin() + std::ptrdiff_t(kept));
    out.insert(out.end(), 32 - kept, 0);
}

}  // namespace

FileBytes FactoryImageBytes(const FactoryImageContent& content)
{
    FileBytes out;
    out.reserve(16 + 4 * content.eraseVectors.size() + content.image.size());
    PutU32(out, content.hardIdent);
    PutU32(out, content.flashIdent);
    PutU32(out, std::uint32_t(content.eraseVectors.size()));
    for (auto vector : content.eraseVectors)
        PutU32(out, vector);
    PutU32(out, std::uint32_t(content.image.size()));
    out.insert(out.end(), content.image.begin(), content.image.end());
    return out;
}

std::uint32_t UserProgramChecksum(const std::vector<std::uint8_t>& data)
{
    std::uint32_t sum = 0;
    for (auto byte : data)
        sum += byte;
    return 0u - sum;
}

FileBytes UserProgramBytes(const UserProgramContent& content)
{
    FileBytes out;
    out.reserve(20 + 4 * (content.zoneSizes.size() + content.vectors.size()) + content.data.size());
    PutU32(out, content.hardware);
    PutU32(out, content.softwareVersion);
    PutU32(out, std::uint32_t(content.zoneSizes.size()));
    for (auto size : content.zoneSizes)
        PutU32(out, size);
    PutU32(out, std::uint32_t(content.vectors.size()));
    for (auto offset : content.vectors)
        PutU32(out, offset);
    out.insert(out.end(), content.data.begin(), content.data.end());
    PutU32(out, UserProgramChecksum(content.data));
    return out;
}

FileBytes BootProgramBytes(const BootProgramContent& content)
{
    FileBytes out;
    for (const auto& record : content.records) {
        out.push_back(record.type);
        if (record.type == BootRecord::kP) {
            PutU24(out, record.address);
            PutU24(out, std::uint32_t(record.words.size()));
            for (auto word : record.words)
                PutU24(out, word);
        } else if (record.type == BootRecord::kRun) {
            PutU24(out, record.address);
        }
    }
    return out;
}

FileBytes BootProgramBytes(std::uint32_t start, const std::vector<std::uint32_t>& words)
{
    return BootProgramBytes({{BootRecord::PData(start, words), BootRecord::RunAddress(start), BootRecord::End()}});
}

FileBytes SymbolFileBytes(const std::vector<SymbolContent>& symbols)
{
    FileBytes out;
    out.reserve(112 * symbols.size());
    for (const auto& symbol : symbols) {
        PutName(out, symbol.symbolName);
        PutName(out, symbol.innerQualifier);
        PutName(out, symbol.outerQualifier);
        PutU32(out, symbol.symbolAddress);
        PutU32(out, symbol.symbolFlags);
        out.insert(out.end(), 8, 0);
    }
    return out;
}

bool WriteFileBytes(const std::string& path, const FileBytes& bytes)
{
    std::ofstream file(std::filesystem::path(std::u8string(path.begin(), path.end())),
                       std::ios::binary | std::ios::trunc);
    if (!file)
        return false;
    file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    file.close();
    return !file.fail();
}
