// Sound files of practice audio, written by libsndfile: WAV (16-bit PCM),
// FLAC (16-bit), Ogg Vorbis and MP3 (MPEG Layer III), all mono at 11025
// samples per second like the images. Rivek encodes nothing itself; it
// only asks the library for a format the library offers.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "drill/practice_audio.h"

namespace rivek {

enum class SoundFileFormat { Wav, Flac, OggVorbis, Mp3 };

struct SoundFileWriterState;  // the library's side of a writer

// The format a file name asks for by its extension, in any case: .wav,
// .flac, .ogg or .oga, .mp3. nullopt for any other name.
std::optional<SoundFileFormat> SoundFileFormatOfPath(std::string_view path);

// The format of a short name as a user types it: wav, flac, ogg, mp3 (any
// case). nullopt for any other name.
std::optional<SoundFileFormat> SoundFileFormatNamed(std::string_view name);

// The format's name for messages: "WAV", "FLAC", "Ogg Vorbis", "MP3".
std::string_view SoundFileFormatTitle(SoundFileFormat format);

// Whether the libsndfile at hand writes the format, mono at 11025 Hz (a
// build of the library may leave out FLAC, Ogg or MP3).
bool SoundFileFormatAvailable(SoundFileFormat format);

// The most samples a file of the format can hold:
// - WAV: kMaxWaveSamples (1,073,741,805, about 27 hours), so that every
//   size field of its header stays within a signed 32-bit number;
// - FLAC: 2^36 - 1, what the stream's header can count;
// - Ogg Vorbis, MP3: no field of the format limits them (INT64_MAX).
std::int64_t MaxSoundFileSamples(SoundFileFormat format);

// A sound file being written on an open descriptor, which it neither owns
// nor closes. The samples arrive through SampleSink::Write; Finish() then
// completes the file (headers, the encoder's last frames).
//
// A descriptor that can seek (a regular file) gets the file exactly as
// libsndfile writes it. One that cannot (a pipe, a socket, a terminal's
// device): FLAC, Ogg and MP3 are written as streams; WAV, whose header
// libsndfile would go back to, gets its 44-byte header for
// `totalSamples` first (the same bytes libsndfile writes for 16-bit mono)
// and then the samples as they come.
class SoundFileWriter final : public SampleSink {
public:
    // nullptr, with `error` set to a sentence for the user, when the
    // library refuses the format or the descriptor.
    static std::unique_ptr<SoundFileWriter> Open(int fd, SoundFileFormat format, std::int64_t totalSamples,
                                                 std::string& error);
    ~SoundFileWriter() override;
    SoundFileWriter(const SoundFileWriter&) = delete;
    SoundFileWriter& operator=(const SoundFileWriter&) = delete;

    // All of the samples, or false (then Finish() reports the error).
    bool Write(std::span<const std::int16_t> samples) override;
    // Completes the file; false, with `error` set, when any write failed.
    bool Finish(std::string& error);

private:
    explicit SoundFileWriter(std::unique_ptr<SoundFileWriterState> state);
    std::unique_ptr<SoundFileWriterState> handle_;
};

}  // namespace rivek
