#include "drill/drill_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstddef>
#include <optional>
#include <random>
#include <string>
#include <string_view>

#include "drill/integer_text.h"
#include "platform/upper_case.h"

namespace rivek {
namespace {

constexpr unsigned char kCr = 0x0D;
constexpr unsigned char kLf = 0x0A;
constexpr unsigned char kEndOfText = 0x1A;
constexpr std::size_t kNumberTextLimit = 32;

// Opens a file for reading. Only a regular file counts as opened: a
// directory, a FIFO, a device or a dangling link gives -1. O_NONBLOCK keeps
// the open of a FIFO without a writer from waiting; it has no effect on the
// reads of a regular file.
int OpenRegularFileForReading(const char* name) {
    const int fd = ::open(name, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// The text of an open file, byte by byte, as both files are read: a byte
// 0x1A, a read error, the end of the file or the reader's byte limit ends
// the text, and nothing after it is read. Owns the descriptor.
class TextReader {
public:
    TextReader(int fd, std::size_t byteLimit) : fd_(fd), bytesLeft_(byteLimit) {}
    ~TextReader() { ::close(fd_); }
    TextReader(const TextReader&) = delete;
    TextReader& operator=(const TextReader&) = delete;

    // The next byte without consuming it, or nullopt at the end of the text.
    std::optional<unsigned char> Peek() {
        if (next_ == filled_ && !Fill()) return std::nullopt;
        return buffer_[next_];
    }
    void Consume() { ++next_; }

private:
    bool Fill() {
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
        // A 0x1A ends the text where it stands.
        for (std::size_t i = 0; i < filled_; ++i) {
            if (buffer_[i] == kEndOfText) {
                filled_ = i;
                ended_ = true;
                break;
            }
        }
        return filled_ > 0;
    }

    int fd_;
    std::size_t bytesLeft_;
    std::array<unsigned char, 4096> buffer_{};
    std::size_t filled_ = 0;
    std::size_t next_ = 0;
    bool ended_ = false;
};

// Reading a number: skip bytes up to 0x20 (line ends included), then take
// the run of bytes above 0x20, at most 32 of them, leaving the byte that
// ends the run unread. The end of the text before any run gives 0.
std::optional<std::int32_t> ReadNumber(TextReader& reader) {
    std::optional<unsigned char> byte;
    while ((byte = reader.Peek()) && *byte <= 0x20) reader.Consume();
    if (!byte) return 0;
    std::string text;
    while ((byte = reader.Peek()) && *byte > 0x20 && text.size() < kNumberTextLimit) {
        text.push_back(static_cast<char>(*byte));
        reader.Consume();
    }
    return ConvertIntegerText(text);
}

// Up to and including the next CR, then an LF directly behind it.
void SkipRestOfLine(TextReader& reader) {
    std::optional<unsigned char> byte;
    while ((byte = reader.Peek())) {
        reader.Consume();
        if (*byte == kCr) break;
    }
    if (byte == kCr && reader.Peek() == kLf) reader.Consume();
}

// ---- Writing ----------------------------------------------------------

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

// The file that writing `name` really changes: a symbolic link is followed,
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

// Creates a new, empty file with a name of its own in `directory`; returns
// its descriptor and sets `tempPath`, or -1.
int CreateTempFile(const std::string& directory, std::string& tempPath) {
    std::random_device entropy;
    for (int attempt = 0; attempt < 16; ++attempt) {
        tempPath = directory + "/.Rivek.ini." + std::to_string(::getpid()) + "." +
                   std::to_string(entropy());
        // 0666 under the umask, as any newly created file.
        const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC,
                              0666);
        if (fd >= 0) return fd;
        if (errno != EEXIST) return -1;
    }
    return -1;
}

// Writes the new content beside the target and renames it over the target
// once it is on disk whole. Returns false when no temporary file could be
// made in the target's folder; any later failure leaves the old file as it
// was, and the temporary file is removed.
bool ReplaceByRename(const std::string& target, const struct stat* existing,
                     std::string_view content) {
    const std::string directory = DirectoryOf(target);
    std::string tempPath;
    const int fd = CreateTempFile(directory, tempPath);
    if (fd < 0) return false;

    bool ok = true;
    if (existing) {
        // Keep the old file's permissions and, where allowed, its owner.
        ok = ::fchmod(fd, existing->st_mode & 07777) == 0;
        if (ok && ::fchown(fd, existing->st_uid, existing->st_gid) != 0) {
            // Only a privileged process may give a file away; the content
            // matters more than the owner.
        }
    }
    ok = ok && WriteAll(fd, content) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(tempPath.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(tempPath.c_str());
        return true;
    }
    // Make the rename itself durable; the content is already safe.
    const int dirFd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

// For a writable file in a folder that takes no new files: rewrite the file
// in place. Room for the new bytes is reserved first, so that a full disk
// or a file size limit stops the save before any old byte is overwritten;
// the new bytes then go over the old ones before the file is cut to their
// length.
void RewriteInPlace(const std::string& target, std::string_view content) {
    const int fd = ::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
        ::posix_fallocate(fd, 0, static_cast<off_t>(content.size())) == 0 &&
        WriteAll(fd, content) && ::ftruncate(fd, static_cast<off_t>(content.size())) == 0) {
        ::fsync(fd);
    }
    ::close(fd);
}

// Upper-cases and filters one piece of the first line into the pool. With
// `carriedLeadByte` the piece opens with the lead byte of code page 932 that ended the
// last piece (already judged there), so that its second byte is recognised
// as such here.
void AppendToPool(CharPool& pool, const CodeTable& table, std::string& piece,
                  bool carriedLeadByte) {
    UpperCaseInPlace(piece);
    for (std::size_t i = carriedLeadByte ? 1 : 0; i < piece.size(); ++i) {
        if (pool.PoolLength >= kCharPoolCapacity) return;
        const auto byte = static_cast<unsigned char>(piece[i]);
        if (table[byte] != 0) pool.CharPool[static_cast<std::size_t>(pool.PoolLength++)] = byte;
    }
}

// Whether the piece ends in a lead byte whose second byte is still to come.
bool EndsInLeadByte(std::string_view piece, bool carriedLeadByte) {
    // A carried lead byte opens the piece and waits for the byte after it.
    bool pending = carriedLeadByte;
    for (std::size_t i = carriedLeadByte ? 1 : 0; i < piece.size(); ++i) {
        if (pending) {
            pending = false;
        } else if (IsShiftJisLeadByte(static_cast<unsigned char>(piece[i]))) {
            pending = true;
        }
    }
    return pending;
}

}  // namespace

void LoadSettings(SettingsFields& fields) {
    const int fd = OpenRegularFileForReading(kSettingsFileName);
    if (fd < 0) return;
    TextReader reader(fd, kSettingsReadLimit);
    for (const Setting setting : {Setting::Frequency, Setting::Speed, Setting::GroupLength}) {
        const std::optional<std::int32_t> value = ReadNumber(reader);
        SkipRestOfLine(reader);
        // A value that does not convert leaves the field as it was.
        if (value) fields.SetSpinValue(setting, *value);
    }
}

void LoadCharPool(CharPool& pool, const CodeTable& table) {
    pool.PoolLength = 0;
    const int fd = OpenRegularFileForReading(kCharSetFileName);
    if (fd < 0) {
        for (unsigned char letter = 'A'; letter <= 'Z'; ++letter) {
            pool.CharPool[static_cast<std::size_t>(pool.PoolLength++)] = letter;
        }
        return;
    }
    TextReader reader(fd, kCharSetReadLimit);
    // The first line ends at a CR, a NUL (the rest of the line is not used),
    // 0x1A or the end of the file. It is taken in pieces, so that a line of
    // any length needs no more memory than one piece.
    constexpr std::size_t kPieceBytes = 4096;
    std::string piece;
    bool carriedLeadByte = false;
    bool lineEnded = false;
    while (!lineEnded && pool.PoolLength < kCharPoolCapacity) {
        const std::optional<unsigned char> byte = reader.Peek();
        if (!byte || *byte == kCr || *byte == 0x00) {
            lineEnded = true;
        } else {
            piece.push_back(static_cast<char>(*byte));
            reader.Consume();
        }
        if (piece.size() == kPieceBytes || (lineEnded && !piece.empty())) {
            const bool endsInLead = !lineEnded && EndsInLeadByte(piece, carriedLeadByte);
            const char lastByte = piece.back();
            AppendToPool(pool, table, piece, carriedLeadByte);
            piece.clear();
            carriedLeadByte = endsInLead;
            // The lead byte opens the next piece again, so that the upper-case
            // conversion sees it before its second byte; it was already
            // judged for the pool in this piece.
            if (carriedLeadByte) piece.push_back(lastByte);
        }
    }
}

void SaveSettings(const SettingsFields& fields) {
    std::string content;
    for (const Setting setting : {Setting::Frequency, Setting::Speed, Setting::GroupLength}) {
        content += std::to_string(fields.SpinValue(setting));
        content += "\r\n";
    }

    const std::optional<std::string> target = ResolveLinks(kSettingsFileName);
    if (!target) return;
    struct stat existing {};
    const bool exists = ::stat(target->c_str(), &existing) == 0;
    if (exists) {
        // Only a regular file we may write is replaced: a read-only file
        // stays as it is, as it would if it were opened for writing.
        if (!S_ISREG(existing.st_mode) || ::access(target->c_str(), W_OK) != 0) return;
    } else if (errno != ENOENT) {
        return;
    }
    if (!ReplaceByRename(*target, exists ? &existing : nullptr, content) && exists) {
        RewriteInPlace(*target, content);
    }
}

}  // namespace rivek
