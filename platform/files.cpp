#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>
#include <utility>

namespace rivek {
namespace {

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

std::string DirectoryOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string BaseNameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file that writing `path` really changes: a symbolic link is followed,
// hop by hop, to the path it names, so that the link itself stays a link.
// nullopt for a loop of links or a link that cannot be read.
std::optional<std::string> ResolveLinks(std::string path) {
    constexpr int kMaxHops = 40;  // the kernel's own limit for a path
    for (int hop = 0; hop < kMaxHops; ++hop) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
        std::array<char, 4096> target{};
        const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
        if (length <= 0 || static_cast<std::size_t>(length) >= target.size()) return std::nullopt;
        std::string next(target.data(), static_cast<std::size_t>(length));
        path = next.front() == '/' ? next : DirectoryOf(path) + "/" + next;
    }
    return std::nullopt;
}

// Creates a new, empty file with a name of its own beside `target`
// (".<name>.<pid>.<random>"); returns its descriptor and sets `tempPath`,
// or -1 with errno set.
int CreateTempFileBeside(const std::string& target, std::string& tempPath) {
    std::random_device entropy;
    const std::string stem = DirectoryOf(target) + "/." + BaseNameOf(target) + ".";
    for (int attempt = 0; attempt < 16; ++attempt) {
        tempPath = stem + std::to_string(::getpid()) + "." + std::to_string(entropy());
        // 0666 under the umask, as any newly created file.
        const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC,
                              0666);
        if (fd >= 0) return fd;
        if (errno != EEXIST) return -1;
    }
    return -1;
}

// Keeps the old file's permissions and, where allowed, its owner.
bool CopyModeAndOwner(int fd, const struct stat& existing) {
    if (::fchmod(fd, existing.st_mode & 07777) != 0) return false;
    if (::fchown(fd, existing.st_uid, existing.st_gid) != 0) {
        // Only a privileged process may give a file away; the content
        // matters more than the owner.
    }
    return true;
}

// Makes a rename in `directory` durable; the content is already safe.
void SyncDirectory(const std::string& directory) {
    const int dirFd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
}

enum class ReplaceResult { Saved, Failed, NoTempFile };

// Writes the new content beside the target and renames it over the target
// once it is on disk whole. Any failure leaves the old file as it was, and
// the temporary file is removed.
ReplaceResult ReplaceByRename(const std::string& target, const struct stat* existing,
                              std::string_view content) {
    std::string tempPath;
    const int fd = CreateTempFileBeside(target, tempPath);
    if (fd < 0) return ReplaceResult::NoTempFile;

    bool ok = !existing || CopyModeAndOwner(fd, *existing);
    ok = ok && WriteAll(fd, content) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(tempPath.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(tempPath.c_str());
        return ReplaceResult::Failed;
    }
    SyncDirectory(DirectoryOf(target));
    return ReplaceResult::Saved;
}

// For a writable file in a folder that takes no new files: rewrite the file
// in place. Room for the new bytes is reserved first, so that a full disk
// or a file size limit stops the save before any old byte is overwritten;
// the new bytes then go over the old ones before the file is cut to their
// length.
bool RewriteInPlace(const std::string& target, std::string_view content) {
    const int fd = ::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info {};
    const bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
                    ::posix_fallocate(fd, 0, static_cast<off_t>(content.size())) == 0 &&
                    WriteAll(fd, content) &&
                    ::ftruncate(fd, static_cast<off_t>(content.size())) == 0 && ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

}  // namespace

int OpenRegularFileForReading(const char* path) {
    // O_NONBLOCK keeps the open of a FIFO without a writer from waiting; it
    // has no effect on the reads of a regular file.
    const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

BoundedReader::~BoundedReader() { ::close(fd_); }

bool BoundedReader::Fill() {
    if (ended_ || bytesLeft_ == 0) return false;
    const std::size_t want = std::min(buffer_.size(), bytesLeft_);
    ssize_t got;
    do {
        got = ::read(fd_, buffer_.data(), want);
    } while (got < 0 && errno == EINTR);
    if (got <= 0) {
        ended_ = true;
        return false;
    }
    filled_ = static_cast<std::size_t>(got);
    bytesLeft_ -= filled_;
    next_ = 0;
    return true;
}

bool SaveFileReplacing(const std::string& path, std::string_view content) {
    const std::optional<std::string> target = ResolveLinks(path);
    if (!target) return false;
    struct stat existing {};
    const bool exists = ::stat(target->c_str(), &existing) == 0;
    if (exists) {
        // Only a regular file we may write is replaced: a read-only file
        // stays as it is, as it would if it were opened for writing.
        if (!S_ISREG(existing.st_mode) || ::access(target->c_str(), W_OK) != 0) return false;
    } else if (errno != ENOENT) {
        return false;
    }
    switch (ReplaceByRename(*target, exists ? &existing : nullptr, content)) {
    case ReplaceResult::Saved: return true;
    case ReplaceResult::Failed: return false;
    case ReplaceResult::NoTempFile: return exists && RewriteInPlace(*target, content);
    }
    return false;
}

// ---- OutputFile -------------------------------------------------------

std::optional<OutputFile> OutputFile::Open(const std::string& path, std::string& error) {
    if (path == "-") {
        const int fd = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0);
        if (fd < 0) {
            error = "standard output is closed";
            return std::nullopt;
        }
        return OutputFile(fd, path, "", true);
    }
    const std::optional<std::string> target = ResolveLinks(path);
    if (!target) {
        error = "too many levels of symbolic links";
        return std::nullopt;
    }
    struct stat existing {};
    const bool exists = ::stat(target->c_str(), &existing) == 0;
    if (!exists && errno != ENOENT) {
        error = std::strerror(errno);
        return std::nullopt;
    }
    if (exists && S_ISDIR(existing.st_mode)) {
        error = "is a folder";
        return std::nullopt;
    }
    if (exists && !S_ISREG(existing.st_mode)) {
        // A device or a FIFO takes the bytes as they come and is never
        // replaced or removed.
        const int fd = ::open(target->c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) {
            error = std::strerror(errno);
            return std::nullopt;
        }
        return OutputFile(fd, *target, "", true);
    }
    if (exists && ::access(target->c_str(), W_OK) != 0) {
        error = std::strerror(errno);
        return std::nullopt;
    }
    std::string tempPath;
    const int fd = CreateTempFileBeside(*target, tempPath);
    if (fd < 0) {
        error = errno == ENOENT ? "folder does not exist" : std::strerror(errno);
        return std::nullopt;
    }
    if (exists && !CopyModeAndOwner(fd, existing)) {
        error = std::strerror(errno);
        ::close(fd);
        ::unlink(tempPath.c_str());
        return std::nullopt;
    }
    return OutputFile(fd, *target, tempPath, true);
}

OutputFile::OutputFile(OutputFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      target_(std::move(other.target_)),
      tempPath_(std::move(other.tempPath_)),
      ownsFd_(other.ownsFd_),
      committed_(std::exchange(other.committed_, true)) {}

OutputFile::~OutputFile() {
    if (fd_ >= 0 && ownsFd_) ::close(fd_);
    // Only the temporary file is ours to remove.
    if (!committed_ && !tempPath_.empty()) ::unlink(tempPath_.c_str());
}

bool OutputFile::Write(std::string_view bytes) { return WriteAll(fd_, bytes); }

bool OutputFile::Commit(std::string& error) {
    if (committed_) return true;
    if (tempPath_.empty()) {
        committed_ = true;
        return true;
    }
    bool ok = ::fsync(fd_) == 0;
    ok = (::close(fd_) == 0) && ok;
    fd_ = -1;
    if (!ok || ::rename(tempPath_.c_str(), target_.c_str()) != 0) {
        error = std::strerror(errno);
        return false;  // the destructor removes the temporary file
    }
    committed_ = true;
    SyncDirectory(DirectoryOf(target_));
    return true;
}

}  // namespace rivek
