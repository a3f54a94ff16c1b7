// Files on a POSIX system, as Rivek reads and writes them: opening a file
// for reading only when it is a regular file, reading it within a byte
// limit, and writing a file so that a failure never leaves it half written.
// No file format lives here; the drill's two files and rivek-tool's outputs
// give these their content.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace rivek {

// Opens `path` for reading. Only a regular file counts as opened: a
// directory, a FIFO, a device, a dangling or looping link gives -1. Never
// waits (a FIFO without a writer included).
int OpenRegularFileForReading(const char* path);

// Reads an open file byte by byte, at most `byteLimit` bytes of it; a read
// error, the end of the file or the limit ends the bytes. Owns the
// descriptor. Memory stays one block of 4 KiB whatever the file's size.
class BoundedReader {
public:
    BoundedReader(int fd, std::size_t byteLimit) : fd_(fd), bytesLeft_(byteLimit) {}
    ~BoundedReader();
    BoundedReader(const BoundedReader&) = delete;
    BoundedReader& operator=(const BoundedReader&) = delete;

    // The next byte without consuming it, or nullopt at the end.
    std::optional<unsigned char> Peek() {
        if (next_ == filled_ && !Fill()) return std::nullopt;
        return buffer_[next_];
    }
    void Consume() { ++next_; }
    // Consumes `bytes` when the bytes to come start with them. Looks into
    // one buffer's worth only, which at the start of a regular file is
    // its first 4 KiB.
    bool SkipIfStartsWith(std::string_view bytes) {
        if (!Peek() || filled_ - next_ < bytes.size()) return false;
        if (std::string_view(reinterpret_cast<const char*>(buffer_.data() + next_), bytes.size()) != bytes) {
            return false;
        }
        next_ += bytes.size();
        return true;
    }

private:
    bool Fill();

    int fd_;
    std::size_t bytesLeft_;
    std::array<unsigned char, 4096> buffer_{};
    std::size_t filled_ = 0;
    std::size_t next_ = 0;
    bool ended_ = false;
};

// Gives the file at `path` the new content, whole or not at all:
// - The content goes to a temporary file in the same folder, which is
//   written, synced and then renamed over the file; the old file's
//   permissions (and, where allowed, its owner) are kept. A symbolic link
//   stays a link and its target gets the content.
// - An existing file that is not a regular file we may write is left alone.
// - In a folder that takes no new files, an existing writable file is
//   rewritten in place once room for the new bytes is reserved: new bytes
//   first, then the file is cut to their length.
// Returns whether the content was saved; on false the old file is as it
// was and nothing was left beside it.
bool SaveFileReplacing(const std::string& path, std::string_view content);

// A file being written from the start, for output that may be large or
// streamed. What is at `path` decides how:
// - a regular file, a path that does not exist yet, or a link to either:
//   the bytes go to a temporary file in the target's folder, which becomes
//   the file only at Commit(); until then the old file stands unchanged.
// - anything else (a device, a FIFO, "-" for standard output): written
//   directly, and never removed.
// Destroying an OutputFile that was not committed removes the temporary
// file and nothing else: nothing the program did not create is unlinked.
class OutputFile {
public:
    // Opens the output; on failure returns nullopt and sets `error` to a
    // sentence for the user (e.g. "folder does not exist").
    static std::optional<OutputFile> Open(const std::string& path, std::string& error);

    OutputFile(OutputFile&& other) noexcept;
    OutputFile& operator=(OutputFile&&) = delete;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();

    // The descriptor to write to, positioned at the start.
    int Descriptor() const { return fd_; }
    // Whether the output is a temporary file that Commit() puts in place
    // (and so may be seeked and rewritten); false for a device, FIFO or
    // standard output.
    bool Replaces() const { return !tempPath_.empty(); }

    // Writes all of `bytes`; false on a write error.
    bool Write(std::string_view bytes);
    // Syncs the bytes and puts the file in place. False, with `error` set,
    // when that fails; the old file then stands as it was.
    bool Commit(std::string& error);

private:
    OutputFile(int fd, std::string target, std::string tempPath, bool ownsFd)
        : fd_(fd), target_(std::move(target)), tempPath_(std::move(tempPath)), ownsFd_(ownsFd) {}

    int fd_ = -1;
    std::string target_;
    std::string tempPath_;  // empty when written directly
    bool ownsFd_ = true;
    bool committed_ = false;
};

}  // namespace rivek
