#pragma once
// Files opened with the original platform's access and sharing modes.
// Sharing is emulated among programs that use this layer with
// open-file-description locks on bytes far beyond any real data, so an open
// that the original would refuse with a sharing violation (error 32) is
// refused here too, across threads and processes alike.
#include "platform/Exception.h"

#include <cstdint>
#include <string>

namespace platform {

enum class TAccess { Read, Write, ReadWrite };

// What other openers may do while this handle is open.
enum class TShare { DenyNone, DenyWrite, DenyRead, Exclusive };

enum class TDisposition {
    OpenExisting, // fail with 2 when missing
    CreateAlways, // create, or empty an existing file
    CreateNew,    // fail with 80 when it exists
    OpenAlways    // open, or create when missing; never empties
};

class TFile {
public:
    TFile() = default;
    // Throws EFOpenError carrying the original platform's error code.
    TFile(const std::string& path, TAccess access, TShare share, TDisposition disposition);
    TFile(TFile&& other) noexcept;
    TFile& operator=(TFile&& other) noexcept;
    TFile(const TFile&) = delete;
    TFile& operator=(const TFile&) = delete;
    ~TFile();

    bool IsOpen() const { return Fd >= 0; }
    const std::string& Path() const { return FilePath; }
    int Handle() const { return Fd; }

    // All of these throw EOSError on failure; short reads are not errors.
    int64_t Size() const;
    int64_t Seek(int64_t offset, int whence); // SEEK_SET, SEEK_CUR, SEEK_END
    size_t Read(void* buffer, size_t count);
    void ReadAt(int64_t offset, void* buffer, size_t count); // exactly count bytes
    void Write(const void* buffer, size_t count);            // all of it
    void WriteAt(int64_t offset, const void* buffer, size_t count);
    void Flush(); // fsync
    void Close();
    // Last modification in nanoseconds since the Unix epoch; throws EOSError.
    int64_t ModifiedTime() const;

private:
    int Fd = -1;
    std::string FilePath;
};

// Maps an errno value to the original platform's error code.
unsigned ErrnoToCode(int err);
// The message for an error code, in Russian, naming the file.
std::string FileErrorMessage(unsigned code, const std::string& path);

bool FileExists(const std::string& path); // exists and is not a directory
// Last modification of the file the path names now, in nanoseconds since the
// Unix epoch; -1 when it cannot be had.
int64_t FileModifiedTime(const std::string& path);
bool DirectoryExists(const std::string& path); // exists and is a directory
// Rename that never replaces an existing target; throws EOSError (80 when the
// target exists).
void RenameNoReplace(const std::string& from, const std::string& to);
// Deletes a file; throws EOSError.
void DeleteFileOrThrow(const std::string& path);

} // namespace platform
