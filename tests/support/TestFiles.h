#pragma once

// A temporary folder for the files of one test, written with the sample writers.

#include "samples/FileWriters.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>

class TestFiles {
public:
    TestFiles() { EXPECT_TRUE(folder.isValid()); }

    // Writes `bytes` as `name` in the folder; returns the full path.
    std::string Put(const std::string& name, const FileBytes& bytes)
    {
        const std::string path = Path(name);
        EXPECT_TRUE(WriteFileBytes(path, bytes)) << path;
        return path;
    }
    std::string Path(const std::string& name) const { return folder.filePath(QString::fromStdString(name)).toStdString(); }
    std::string Folder() const { return folder.path().toStdString(); }

private:
    QTemporaryDir folder;
};

// The first `length` bytes of a file.
inline FileBytes Prefix(const FileBytes& bytes, std::size_t length)
{
    return FileBytes(bytes.begin(), bytes.begin() + std::ptrdiff_t(length));
}

inline void PutU32At(FileBytes& bytes, std::size_t offset, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[offset + std::size_t(i)] = std::uint8_t(value >> (8 * i));
}
