#include "images/FileReader.h"

#include "common/ByteOrder.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <system_error>

bool FileReader::Open(const std::string& path)
{
    Close();
    if (path.empty())
        return false;
    const std::filesystem::path name(std::u8string(path.begin(), path.end()));
    std::error_code error;
    if (!std::filesystem::is_regular_file(name, error))
        return false;
    file.open(name, std::ios::binary);
    if (!file.is_open())
        return false;
    file.seekg(0, std::ios::end);
    const auto end = file.tellg();
    file.seekg(0, std::ios::beg);
    if (end < 0 || !file) {
        Close();
        return false;
    }
    size = std::uint64_t(end);
    return true;
}

void FileReader::Close()
{
    if (file.is_open())
        file.close();
    file.clear();
    size = position = 0;
}

void FileReader::Require(std::uint64_t byteCount) const
{
    if (byteCount > Remaining())
        throw LoadError(kUnexpectedEnd);
}

bool FileReader::TryBytes(std::uint8_t* into, std::size_t count)
{
    if (count == 0)
        return true;
    if (!file.is_open() || Remaining() == 0)
        return false;
    file.read(reinterpret_cast<char*>(into), std::streamsize(count));
    const auto got = std::uint64_t(file.gcount());
    position += got;
    if (got < count) {
        // The file may have shrunk under us; nothing more is to be had.
        size = position;
        return false;
    }
    return true;
}

void FileReader::Bytes(std::uint8_t* into, std::size_t count)
{
    if (!TryBytes(into, count))
        throw LoadError(kUnexpectedEnd);
}

std::uint8_t FileReader::U8()
{
    std::uint8_t byte;
    Bytes(&byte, 1);
    return byte;
}

std::uint32_t FileReader::U24()
{
    std::array<std::uint8_t, 3> bytes;
    Bytes(bytes.data(), bytes.size());
    return ByteOrder::Le24(bytes.data());
}

std::uint32_t FileReader::U32()
{
    std::array<std::uint8_t, 4> bytes;
    Bytes(bytes.data(), bytes.size());
    return ByteOrder::Le32(bytes.data());
}

void FileReader::Table(std::vector<std::uint32_t>& table, std::uint32_t count)
{
    std::vector<std::uint32_t>().swap(table);
    Require(std::uint64_t(count) * 4);
    table.resize(count);
    std::array<std::uint8_t, 4096> chunk;
    for (std::size_t done = 0; done < count;) {
        const std::size_t now = std::min<std::size_t>(count - done, chunk.size() / 4);
        Bytes(chunk.data(), now * 4);
        for (std::size_t i = 0; i < now; ++i)
            table[done + i] = ByteOrder::Le32(&chunk[i * 4]);
        done += now;
    }
}

void FileReader::Block(std::vector<std::uint8_t>& block, std::uint32_t count)
{
    std::vector<std::uint8_t>().swap(block);
    Require(count);
    block.resize(count);
    Bytes(block.data(), count);
}
