#include "log/SizeLimit.h"

#include "platform/Files.h"
#include "platform/System.h"

#include <algorithm>
#include <filesystem>
#include <set>

namespace fs = std::filesystem;

namespace {

// The suffix of the replacement file: its extension never reads as an
// archive number, whatever the log's extension.
constexpr const char* kTrimSuffix = ".trimming";

// Decimal digits only: a sign or a hexadecimal prefix would let the rotation
// move files that merely look like numbers.
int64_t ParseArchiveNumber(std::string_view text) {
    if (text.empty() || text.size() > 9)
        return -1;
    int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

} // namespace

void TrimLogFile(const std::string& fileName, int64_t sizeLimit) {
    using namespace platform;
    TFile source(fileName, TAccess::Read, TShare::DenyWrite, TDisposition::OpenExisting);
    int64_t size = source.Size();
    if (size <= sizeLimit)
        return;
    std::string data(static_cast<size_t>(size), '\0');
    data.resize(source.Read(data.data(), data.size()));
    size = static_cast<int64_t>(data.size());
    if (size <= sizeLimit)
        return;
    int64_t cut = size - static_cast<int32_t>(sizeLimit);
    int64_t start = cut;
    while (start > 0 && data[static_cast<size_t>(start - 1)] != '\n' &&
           data[static_cast<size_t>(start - 1)] != '\r')
        --start;

    std::string temp = fileName + kTrimSuffix;
    try {
        TFile target(temp, TAccess::ReadWrite, TShare::Exclusive, TDisposition::CreateAlways);
        target.Write(data.data() + start, static_cast<size_t>(size - start));
        target.Flush();
        target.Close();
        std::error_code ec;
        fs::permissions(temp, fs::status(fileName).permissions(), ec);
        fs::rename(temp, fileName);
    } catch (const fs::filesystem_error& e) {
        std::error_code ignored;
        fs::remove(temp, ignored);
        unsigned code = ErrnoToCode(e.code().value());
        throw EOSError(FileErrorMessage(code, fileName), code);
    } catch (...) {
        std::error_code ignored;
        fs::remove(temp, ignored);
        throw;
    }
}

std::string ArchiveName(const std::string& fileName, int64_t number) {
    std::string digits = std::to_string(number);
    if (digits.size() < 3)
        digits.insert(0, 3 - digits.size(), '0');
    return fileName + digits;
}

int64_t ArchiveNumber(const std::string& fileName, const std::string& archivePath) {
    if (archivePath.size() < fileName.size())
        return -1;
    return ParseArchiveNumber(std::string_view(archivePath).substr(fileName.size()));
}

int CompareArchiveNumbers(const std::string& fileName, const std::vector<std::string>& list,
                          size_t first, size_t second) {
    int64_t a = ArchiveNumber(fileName, list[first]);
    int64_t b = ArchiveNumber(fileName, list[second]);
    return a < b ? -1 : (a > b ? 1 : 0);
}

int CollectArchives(const std::string& fileName, std::vector<std::string>& list) {
    list.clear();
    std::string dir = platform::ExtractFilePath(fileName);
    std::string logExt = platform::AnsiLowerCase(platform::ExtractFileExt(fileName));
    std::string namePrefix = platform::AnsiLowerCase(platform::ExtractFileName(fileName));
    std::error_code ec;
    fs::directory_iterator it(dir.empty() ? fs::path(".") : fs::path(dir), ec);
    if (ec) {
        unsigned code = platform::ErrnoToCode(ec.value());
        throw platform::EOSError(platform::FileErrorMessage(code, dir), code);
    }
    for (const auto& entry : it) {
        std::string name = entry.path().filename().string();
        if (!platform::AnsiLowerCase(name).starts_with(namePrefix))
            continue;
        std::string path = dir + name;
        if (!platform::FileExists(path))
            continue;
        std::string ext = platform::ExtractFileExt(name);
        if (platform::AnsiLowerCase(ext) == logExt)
            continue;
        if (ext.size() < logExt.size() ||
            ParseArchiveNumber(std::string_view(ext).substr(logExt.size())) < 0)
            continue;
        list.push_back(path);
    }
    std::stable_sort(list.begin(), list.end(), [&](const std::string& a, const std::string& b) {
        return ArchiveNumber(fileName, a) < ArchiveNumber(fileName, b);
    });
    return static_cast<int>(list.size());
}

void RenumberArchives(const std::string& fileName, const std::vector<std::string>& list) {
    for (size_t i = list.size(); i-- > 0;) {
        int64_t number = ArchiveNumber(fileName, list[i]);
        try {
            platform::RenameNoReplace(list[i], ArchiveName(fileName, number + 1));
        } catch (const platform::Exception&) {
        }
    }
}

void RotateLogFile(const std::string& fileName, int32_t maxArchives) {
    std::vector<std::string> list;
    CollectArchives(fileName, list);
    size_t keep = list.size();
    if (maxArchives > 0 && keep > static_cast<size_t>(maxArchives))
        keep = static_cast<size_t>(maxArchives);

    // Find out first, by playing the renames through, whether the log will
    // get the name of archive 000: a log that cannot move must not cost the
    // old archives their places, or every later write above the threshold
    // would shift and delete them again.
    std::set<std::string> vacated;
    std::set<std::string> taken;
    auto occupied = [&](const std::string& path) {
        if (taken.count(path))
            return true;
        if (vacated.count(path))
            return false;
        std::error_code ec;
        return fs::exists(fs::symlink_status(path, ec));
    };
    for (size_t i = keep; i < list.size(); ++i)
        vacated.insert(list[i]);
    for (size_t i = keep; i-- > 0;) {
        std::string target = ArchiveName(fileName, ArchiveNumber(fileName, list[i]) + 1);
        if (occupied(target))
            continue;
        taken.erase(list[i]);
        vacated.insert(list[i]);
        vacated.erase(target);
        taken.insert(target);
    }
    if (!platform::FileExists(fileName) || occupied(ArchiveName(fileName, 0)))
        return;

    while (list.size() > keep) {
        try {
            platform::DeleteFileOrThrow(list.back());
        } catch (const platform::Exception&) {
        }
        list.pop_back();
    }
    RenumberArchives(fileName, list);
    try {
        platform::RenameNoReplace(fileName, ArchiveName(fileName, 0));
    } catch (const platform::Exception&) {
    }
}
