#pragma once
// Keeping a log file within its size limit: trimming the oldest lines in
// place, or rotating it into numbered archives (name + "000", "001", ...;
// 000 the newest).
#include <cstdint>
#include <string>
#include <vector>

// The rotation threshold: one third above the limit.
constexpr int64_t SizeLimitThreshold(int64_t sizeLimit) {
    return sizeLimit + sizeLimit / 3;
}

// Keeps the last `sizeLimit` bytes extended back to the start of their first
// line. The kept part goes to a new file beside the log that then replaces
// it, so a failure leaves the old file whole. Throws on failure.
void TrimLogFile(const std::string& fileName, int64_t sizeLimit);

// The archives of `fileName` on disk, sorted by number; returns their count.
int CollectArchives(const std::string& fileName, std::vector<std::string>& list);
// The number of an archive path: what follows `fileName` in it; -1 if none.
int64_t ArchiveNumber(const std::string& fileName, const std::string& archivePath);
int CompareArchiveNumbers(const std::string& fileName, const std::vector<std::string>& list,
                          size_t first, size_t second);
// Renames each archive to the next number, highest first. Silent.
void RenumberArchives(const std::string& fileName, const std::vector<std::string>& list);
// The archive name for a number: at least three digits.
std::string ArchiveName(const std::string& fileName, int64_t number);

// Deletes archives beyond `maxArchives` (0 or less: none), moves the rest up
// and makes the log archive 000. Nothing is deleted or moved unless the log
// will find the name of archive 000 free.
void RotateLogFile(const std::string& fileName, int32_t maxArchives);
