#include "images/FileReader.h"

#include "common/ByteOrder.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <limits>
#include <new>
#include <system_error>

namespace {

std::atomic<std::uint64_t> allocationLimit{std::numeric_limits<std::uint64_t>::max()};

// Sizes `into` to `count` elements, turning a failed allocation into the
// loader's refusal.
template <typename T>
void Allocate(std::vector<T>& into, std::uint32_t count)
{
    const std::uint64_t bytes = std::uint64_t(count) * sizeof(T);
    try {
        if (bytes > allocationLimit.load())
            throw std::bad_alloc();
        into.resize(count);
    } catch (const std::bad_alloc&) {
        std::vector<T>().swap(into);
        throw LoadError(FormatText("File too large for this computer : %llu bytes could not be allocated",
                                   static_cast<unsigned long long>(bytes)));
    }
}

}  // namespace

bool FileReader::Open(const std::string& path)
{
    Close();
    auto fail = [this](std::string why) {
        Close();
        openError = std::move(why);
        return false;
    };
    if (path.empty())
        return fail("No file name given");
    const std::filesystem::path name(std::u8string(path.begin(), path.end()));
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(name, error);
    if (error)
        return fail(error.message());
    if (std::filesystem::is_directory(status))
        return fail(std::make_error_code(std::errc::is_a_directory).message());
    if (!std::filesystem::is_regular_file(status))
        return fail("Not a regular file");
    errno = 0;
    file.open(name, std::ios::binary);
    if (!file.is_open())
        return fail(errno != 0 ? std::generic_category().message(errno) : "Cannot be opened for reading");
    file.seekg(0, std::ios::end);
    const auto end = file.tellg();
    file.seekg(0, std::ios::beg);
    if (end < 0 || !file)
        return fail("Cannot be read");
    size = std::uint64_t(end);
    return true;
}

void FileReader::OpenBytes(std::span<const std::uint8_t> bytes)
{
    Close();
    memory = bytes;
    inMemory = true;
    size = bytes.size();
}

void FileReader::Close()
{
    openError.clear();
    if (file.is_open())
        file.close();
    file.clear();
    memory = {};
    inMemory = false;
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
    if (!IsOpen() || Remaining() == 0)
        return false;
    if (inMemory) {
        const auto got = std::size_t(std::min<std::uint64_t>(count, Remaining()));
        std::copy_n(memory.begin() + std::ptrdiff_t(position), got, into);
        position += got;
        return got == count;
    }
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

void FileReader::Table(std::vector<std::uint32_t>& table, std::uint32_t count, CountLimit limit)
{
    std::vector<std::uint32_t>().swap(table);
    Require(std::uint64_t(count) * 4);
    if (count > limit.most)
        throw LoadError(FormatText("Too many %s : %u (%u at most)", limit.what, count, limit.most));
    Allocate(table, count);
    std::array<std::uint8_t, 4096> chunk;
    for (std::size_t done = 0; done < count;) {
        const std::size_t now = std::min<std::size_t>(count - done, chunk.size() / 4);
        Bytes(chunk.data(), now * 4);
        for (std::size_t i = 0; i < now; ++i)
            table[done + i] = ByteOrder::Le32(&chunk[i * 4]);
        done += now;
    }
}

void FileReader::Block(std::vector<std::uint8_t>& block, std::uint32_t count, std::uint32_t addressable)
{
    std::vector<std::uint8_t>().swap(block);
    Require(count);
    if (count > addressable)
        throw LoadError(FormatText("File too large : %u bytes, more than the machine can address", count));
    Allocate(block, count);
    Bytes(block.data(), count);
}

std::string FileOpenFailure(const std::string& path)
{
    FileReader file;
    file.Open(path);
    return file.OpenError();
}

AllocationLimitForTests::AllocationLimitForTests(std::uint64_t bytes) : previous(allocationLimit.exchange(bytes)) {}

AllocationLimitForTests::~AllocationLimitForTests()
{
    allocationLimit.store(previous);
}
