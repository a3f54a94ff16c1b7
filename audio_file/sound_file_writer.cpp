#include "audio_file/sound_file_writer.h"

#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <limits>

#include "tone/wave_builder.h"

namespace rivek {
namespace {

// The FLAC stream header counts samples in 36 bits.
constexpr std::int64_t kMaxFlacSamples = (std::int64_t{1} << 36) - 1;

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

int LibraryFormat(SoundFileFormat format) {
    switch (format) {
    case SoundFileFormat::Wav: return SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    case SoundFileFormat::Flac: return SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    case SoundFileFormat::OggVorbis: return SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    case SoundFileFormat::Mp3: return SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;
    }
    return 0;
}

SF_INFO MonoInfo(int libraryFormat) {
    SF_INFO info{};
    info.samplerate = kSampleRateHz;
    info.channels = 1;
    info.format = libraryFormat;
    return info;
}

// The library's text for an error number. Some encoders leave -1, for
// which the library would print a complaint on standard output (where the
// audio may be going), so only its own positive numbers are looked up.
std::string LibraryError(int number) {
    if (number > 0) return sf_error_number(number);
    return "the sound file library could not encode the audio";
}

bool WriteAll(int fd, std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes = bytes.subspan(static_cast<std::size_t>(written));
    }
    return true;
}

}  // namespace

struct SoundFileWriterState {
    int fd = -1;
    SNDFILE* file = nullptr;
    std::string error;  // the first failure, for Finish()
    ~SoundFileWriterState() {
        if (file != nullptr) sf_close(file);
    }
    void Fail(std::string message) {
        if (error.empty()) error = std::move(message);
    }
};

namespace {

// The descriptor as libsndfile's virtual file, so that every write's
// outcome is seen here: some of the library's encoders (MP3 among them)
// only log a short write, and a file cut short would then take the place
// of a good one.
SoundFileWriterState& HandleOf(void* user) { return *static_cast<SoundFileWriterState*>(user); }

sf_count_t VirtualLength(void* user) {
    struct stat info {};
    return ::fstat(HandleOf(user).fd, &info) == 0 ? info.st_size : -1;
}

sf_count_t VirtualSeek(sf_count_t offset, int whence, void* user) {
    return ::lseek(HandleOf(user).fd, static_cast<off_t>(offset), whence);
}

sf_count_t VirtualRead(void* data, sf_count_t count, void* user) {
    ssize_t got;
    do {
        got = ::read(HandleOf(user).fd, data, static_cast<std::size_t>(count));
    } while (got < 0 && errno == EINTR);
    return got < 0 ? 0 : got;
}

sf_count_t VirtualWrite(const void* data, sf_count_t count, void* user) {
    SoundFileWriterState& handle = HandleOf(user);
    const std::span bytes(static_cast<const std::uint8_t*>(data), static_cast<std::size_t>(count));
    if (!WriteAll(handle.fd, bytes)) {
        handle.Fail(std::strerror(errno));
        return 0;
    }
    return count;
}

sf_count_t VirtualTell(void* user) { return ::lseek(HandleOf(user).fd, 0, SEEK_CUR); }

SF_VIRTUAL_IO gDescriptorIo = {VirtualLength, VirtualSeek, VirtualRead, VirtualWrite, VirtualTell};

}  // namespace

std::optional<SoundFileFormat> SoundFileFormatOfPath(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0) return std::nullopt;
    const std::string extension = Lower(name.substr(dot + 1));
    if (extension == "oga") return SoundFileFormat::OggVorbis;
    return SoundFileFormatNamed(extension);
}

std::optional<SoundFileFormat> SoundFileFormatNamed(std::string_view name) {
    const std::string lower = Lower(name);
    if (lower == "wav") return SoundFileFormat::Wav;
    if (lower == "flac") return SoundFileFormat::Flac;
    if (lower == "ogg") return SoundFileFormat::OggVorbis;
    if (lower == "mp3") return SoundFileFormat::Mp3;
    return std::nullopt;
}

std::string_view SoundFileFormatTitle(SoundFileFormat format) {
    switch (format) {
    case SoundFileFormat::Wav: return "WAV";
    case SoundFileFormat::Flac: return "FLAC";
    case SoundFileFormat::OggVorbis: return "Ogg Vorbis";
    case SoundFileFormat::Mp3: return "MP3";
    }
    return "";
}

bool SoundFileFormatAvailable(SoundFileFormat format) {
    SF_INFO info = MonoInfo(LibraryFormat(format));
    return sf_format_check(&info) == SF_TRUE;
}

std::int64_t MaxSoundFileSamples(SoundFileFormat format) {
    switch (format) {
    case SoundFileFormat::Wav: return kMaxWaveSamples;
    case SoundFileFormat::Flac: return kMaxFlacSamples;
    case SoundFileFormat::OggVorbis:
    case SoundFileFormat::Mp3: return std::numeric_limits<std::int64_t>::max();
    }
    return 0;
}

SoundFileWriter::SoundFileWriter(std::unique_ptr<SoundFileWriterState> state) : handle_(std::move(state)) {}

SoundFileWriter::~SoundFileWriter() = default;

std::unique_ptr<SoundFileWriter> SoundFileWriter::Open(int fd, SoundFileFormat format, std::int64_t totalSamples,
                                                       std::string& error) {
    auto handle = std::make_unique<SoundFileWriterState>();
    handle->fd = fd;
    if (::lseek(fd, 0, SEEK_CUR) >= 0) {
        SF_INFO info = MonoInfo(LibraryFormat(format));
        handle->file = sf_open_virtual(&gDescriptorIo, SFM_WRITE, &info, handle.get());
    } else {
        // A pipe or the like: the library writes a stream and leaves out
        // whatever it would go back to. Only WAV has nothing to leave out:
        // its header holds the sizes, so with the size known here it goes
        // first, and the library writes the bare samples behind it.
        int libraryFormat = LibraryFormat(format);
        if (format == SoundFileFormat::Wav) {
            if (totalSamples > kMaxWaveSamples) {
                error = "too long for a WAV file";
                return nullptr;
            }
            if (!WriteAll(fd, WaveHeader(totalSamples))) {
                error = std::strerror(errno);
                return nullptr;
            }
            libraryFormat = SF_FORMAT_RAW | SF_FORMAT_PCM_16 | SF_ENDIAN_LITTLE;
        }
        SF_INFO info = MonoInfo(libraryFormat);
        handle->file = sf_open_fd(fd, SFM_WRITE, &info, SF_FALSE);
    }
    if (handle->file == nullptr) {
        error = handle->error.empty() ? LibraryError(sf_error(nullptr)) : handle->error;
        return nullptr;
    }
    return std::unique_ptr<SoundFileWriter>(new SoundFileWriter(std::move(handle)));
}

bool SoundFileWriter::Write(std::span<const std::int16_t> samples) {
    if (!handle_->error.empty()) return false;
    const auto count = static_cast<sf_count_t>(samples.size());
    if (sf_write_short(handle_->file, samples.data(), count) != count) {
        handle_->Fail(LibraryError(sf_error(handle_->file)));
    }
    return handle_->error.empty();
}

bool SoundFileWriter::Finish(std::string& error) {
    if (handle_->file != nullptr) {
        // Closing writes what the encoder still holds and, on a file that
        // can seek, the header's final sizes.
        const int closed = sf_close(handle_->file);
        handle_->file = nullptr;
        if (closed != 0) handle_->Fail(LibraryError(closed));
    }
    if (handle_->error.empty()) return true;
    error = handle_->error;
    return false;
}

}  // namespace rivek
