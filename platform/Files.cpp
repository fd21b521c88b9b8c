#include "platform/Files.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

// Lock bytes that stand for "an opener reads / writes / denies reading /
// denies writing". Far beyond any real data, so they never meet byte-range
// locks that programs take on the contents.
constexpr off_t kShareBase = 0x7FFFFFFF00000000LL;
constexpr off_t kAccessRead = kShareBase + 0;
constexpr off_t kAccessWrite = kShareBase + 1;
constexpr off_t kDenyRead = kShareBase + 2;
constexpr off_t kDenyWrite = kShareBase + 3;

bool SomeoneHolds(int fd, off_t byte) {
    struct flock lock = {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = byte;
    lock.l_len = 1;
    if (fcntl(fd, F_OFD_GETLK, &lock) != 0)
        return false;
    return lock.l_type != F_UNLCK;
}

bool HoldShared(int fd, off_t byte) {
    struct flock lock = {};
    lock.l_type = F_RDLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = byte;
    lock.l_len = 1;
    return fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

// What one opener does and denies, as lock bytes.
struct TShareClaim {
    bool Reads, Writes, DeniesRead, DeniesWrite;

    void Hold(int fd) const {
        if (Reads)
            HoldShared(fd, kAccessRead);
        if (Writes)
            HoldShared(fd, kAccessWrite);
        if (DeniesRead)
            HoldShared(fd, kDenyRead);
        if (DeniesWrite)
            HoldShared(fd, kDenyWrite);
    }

    void Release(int fd) const {
        struct flock lock = {};
        lock.l_type = F_UNLCK;
        lock.l_whence = SEEK_SET;
        lock.l_start = kShareBase;
        lock.l_len = 4;
        fcntl(fd, F_OFD_SETLK, &lock);
    }

    // Locks of this handle never conflict with themselves, so the bytes it
    // holds already do not count.
    bool Conflicts(int fd) const {
        return (Reads && SomeoneHolds(fd, kDenyRead)) || (Writes && SomeoneHolds(fd, kDenyWrite)) ||
               (DeniesRead && SomeoneHolds(fd, kAccessRead)) ||
               (DeniesWrite && SomeoneHolds(fd, kAccessWrite));
    }
};

std::string ParentOf(const std::string& path) {
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

[[noreturn]] void ThrowOpen(int err, const std::string& path) {
    unsigned code = ErrnoToCode(err);
    if (code == 2 && !DirectoryExists(ParentOf(path)))
        code = 3;
    throw EFOpenError(FileErrorMessage(code, path), code);
}

[[noreturn]] void ThrowIo(int err, const std::string& path) {
    unsigned code = ErrnoToCode(err);
    throw EOSError(FileErrorMessage(code, path), code);
}

} // namespace

unsigned ErrnoToCode(int err) {
    switch (err) {
    case ENOENT:
        return 2;
    case ENOTDIR:
        return 3;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
        return 5;
    case EMFILE:
    case ENFILE:
        return 4;
    case EEXIST:
        return 80;
    case ENOSPC:
    case EDQUOT:
        return 112;
    case EAGAIN:
        return 32;
    case ENAMETOOLONG:
        return 206;
    default:
        return 31;
    }
}

std::string FileErrorMessage(unsigned code, const std::string& path) {
    const char* reason;
    switch (code) {
    case 2:
        reason = "Файл не найден";
        break;
    case 3:
        reason = "Путь не найден";
        break;
    case 4:
        reason = "Слишком много открытых файлов";
        break;
    case 5:
        reason = "Отказано в доступе";
        break;
    case 32:
        reason = "Файл занят другим процессом";
        break;
    case 33:
        reason = "Часть файла заблокирована другим процессом";
        break;
    case 80:
        reason = "Файл уже существует";
        break;
    case 112:
        reason = "Недостаточно места на диске";
        break;
    case 206:
        reason = "Слишком длинное имя файла";
        break;
    default:
        reason = "Ошибка ввода-вывода";
        break;
    }
    return std::string(reason) + " (код " + std::to_string(code) + "): \"" + path + "\"";
}

TFile::TFile(const std::string& path, TAccess access, TShare share, TDisposition disposition)
    : FilePath(path) {
    int flags = O_CLOEXEC;
    if (disposition == TDisposition::CreateAlways || disposition == TDisposition::OpenAlways)
        flags |= O_CREAT;
    if (disposition == TDisposition::CreateNew)
        flags |= O_CREAT | O_EXCL;
    // A handle that can read can hold the shared lock bytes, so writers open
    // read-write where the file allows it.
    int fd = -1;
    if (access == TAccess::Read) {
        fd = ::open(path.c_str(), flags | O_RDONLY, 0666);
    } else {
        fd = ::open(path.c_str(), flags | O_RDWR, 0666);
        if (fd < 0 && errno == EACCES && access == TAccess::Write)
            fd = ::open(path.c_str(), flags | O_WRONLY, 0666);
    }
    if (fd < 0)
        ThrowOpen(errno, path);
    // A read-only open of a directory succeeds on Linux; one for writing
    // fails by itself, so only readers pay for the test.
    struct stat st = {};
    if (access == TAccess::Read && fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        ThrowOpen(EISDIR, path);
    }
    TShareClaim claim{access != TAccess::Write, access != TAccess::Read,
                      share == TShare::DenyRead || share == TShare::Exclusive,
                      share == TShare::DenyWrite || share == TShare::Exclusive};
    // Each opener takes its own lock bytes before it looks at the others',
    // so of two openers racing, at least one sees the other: no conflict is
    // ever missed. Both may see each other, though; the one that finds a
    // conflict tries once more with the guard held, where openers are taken
    // one at a time, so one of two racing openers always wins, as it would
    // on the original platform.
    claim.Hold(fd);
    bool conflict = claim.Conflicts(fd);
    if (conflict) {
        claim.Release(fd);
        while (flock(fd, LOCK_EX) != 0 && errno == EINTR) {
        }
        claim.Hold(fd);
        conflict = claim.Conflicts(fd);
        if (conflict)
            claim.Release(fd);
        flock(fd, LOCK_UN);
    }
    if (conflict) {
        ::close(fd);
        throw EFOpenError(FileErrorMessage(32, path), 32);
    }
    // Emptying waits until the sharing check has passed: a file that another
    // opener holds must not lose its contents to a refused open.
    if (disposition == TDisposition::CreateAlways && ftruncate(fd, 0) != 0) {
        int err = errno;
        ::close(fd);
        ThrowOpen(err, path);
    }
    Fd = fd;
}

TFile::TFile(TFile&& other) noexcept : Fd(other.Fd), FilePath(std::move(other.FilePath)) {
    other.Fd = -1;
}

TFile& TFile::operator=(TFile&& other) noexcept {
    if (this != &other) {
        if (Fd >= 0)
            ::close(Fd);
        Fd = other.Fd;
        FilePath = std::move(other.FilePath);
        other.Fd = -1;
    }
    return *this;
}

TFile::~TFile() {
    if (Fd >= 0)
        ::close(Fd);
}

int64_t TFile::Size() const {
    struct stat st = {};
    if (fstat(Fd, &st) != 0)
        ThrowIo(errno, FilePath);
    return st.st_size;
}

int64_t TFile::Seek(int64_t offset, int whence) {
    off_t result = lseek(Fd, offset, whence);
    if (result < 0)
        ThrowIo(errno, FilePath);
    return result;
}

size_t TFile::Read(void* buffer, size_t count) {
    size_t done = 0;
    while (done < count) {
        ssize_t n = ::read(Fd, static_cast<char*>(buffer) + done, count - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            ThrowIo(errno, FilePath);
        if (n == 0)
            break;
        done += static_cast<size_t>(n);
    }
    return done;
}

void TFile::ReadAt(int64_t offset, void* buffer, size_t count) {
    size_t done = 0;
    while (done < count) {
        ssize_t n = ::pread(Fd, static_cast<char*>(buffer) + done, count - done,
                            static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            ThrowIo(errno, FilePath);
        if (n == 0)
            throw EOSError("Неожиданный конец файла: \"" + FilePath + "\"", 38);
        done += static_cast<size_t>(n);
    }
}

void TFile::Write(const void* buffer, size_t count) {
    size_t done = 0;
    while (done < count) {
        ssize_t n = ::write(Fd, static_cast<const char*>(buffer) + done, count - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            ThrowIo(errno, FilePath);
        done += static_cast<size_t>(n);
    }
}

void TFile::WriteAt(int64_t offset, const void* buffer, size_t count) {
    size_t done = 0;
    while (done < count) {
        ssize_t n = ::pwrite(Fd, static_cast<const char*>(buffer) + done, count - done,
                             static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            ThrowIo(errno, FilePath);
        done += static_cast<size_t>(n);
    }
}

namespace {
int64_t Nanoseconds(const struct stat& st) {
    return static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
}
} // namespace

int64_t TFile::ModifiedTime() const {
    struct stat st = {};
    if (fstat(Fd, &st) != 0)
        ThrowIo(errno, FilePath);
    return Nanoseconds(st);
}

int64_t FileModifiedTime(const std::string& path) {
    struct stat st = {};
    return stat(path.c_str(), &st) == 0 ? Nanoseconds(st) : -1;
}

void TFile::Flush() {
    if (fsync(Fd) != 0)
        ThrowIo(errno, FilePath);
}

void TFile::Close() {
    if (Fd < 0)
        return;
    int fd = Fd;
    Fd = -1;
    if (::close(fd) != 0 && errno != EINTR)
        ThrowIo(errno, FilePath);
}

bool FileExists(const std::string& path) {
    struct stat st = {};
    return stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
    struct stat st = {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void RenameNoReplace(const std::string& from, const std::string& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return;
    int err = errno;
    if (err == EINVAL || err == ENOSYS) {
        // File systems without the flag: a hard link fails on an existing
        // target, which keeps the promise.
        if (link(from.c_str(), to.c_str()) == 0) {
            unlink(from.c_str());
            return;
        }
        err = errno;
    }
    unsigned code = ErrnoToCode(err);
    throw EOSError(FileErrorMessage(code, err == EEXIST ? to : from), code);
}

void DeleteFileOrThrow(const std::string& path) {
    if (unlink(path.c_str()) != 0)
        ThrowIo(errno, path);
}

} // namespace platform
