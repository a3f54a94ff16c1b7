// The sound service on libpulse, the PulseAudio client library that
// PipeWire's PulseAudio service answers as well.
//
// A thread of its own (libpulse's threaded main loop) does everything that
// talks to the sound server: it connects, keeps one playback stream ready
// (corked) between groups, feeds the stream from the caller's image while a
// group sounds, and connects again whenever the server has gone, as often
// as it goes, trying every kRetryInterval while there is none.
//
// The caller's thread never calls into libpulse and never waits for the
// server. Play(), Stop() and SetVolumePercent() only note the request under
// a mutex of this class and wake the sound thread; the sound thread holds
// that mutex only while it copies at most one request of the server's
// (a few milliseconds of sound) out of the image. So each call returns in
// microseconds whether the server is there, gone, stopped (SIGSTOP) or
// never answers.
//
// The image is not copied as a whole: the sound thread copies what the
// server asks for, a few milliseconds at a time, straight from the caller's
// image into the stream's buffer. Play() starts the image from its first
// sample; should the server come (back) while the image would still be
// sounding, it goes on from the sample that is due by then, so that a
// group keeps its time. Stop() ends the sound, and once it has returned
// nothing reads the old image any more.
//
// Use from one thread only (the window's), and construct and destroy on
// it. Needs no event loop of the caller's. Nothing is reported: without a
// server the drill goes on silently.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <span>

#include "drill/ports.h"

struct pa_threaded_mainloop;

namespace rivek {

class PulseSoundService final : public SoundService {
public:
    // Between two attempts to reach a server that is not there; sound
    // begins within about this long after one appears.
    static constexpr std::chrono::milliseconds kRetryInterval{250};

    // Starts the sound thread, which connects in the background; returns at
    // once. `applicationName` is what the desktop's mixer shows.
    explicit PulseSoundService(const char* applicationName = "Rivek");
    // Ends the sound and the thread; does not wait for the server.
    ~PulseSoundService() override;
    PulseSoundService(const PulseSoundService&) = delete;
    PulseSoundService& operator=(const PulseSoundService&) = delete;

    // SoundService. An image that is not 8- or 16-bit PCM, or has no
    // samples, plays nothing (and stops what played).
    void Play(std::span<const std::uint8_t> waveImage) override;
    void Stop() override;

    // The stream's volume, 0 to 100 percent of the server's normal volume
    // on the scale the desktop's mixers show (100, the default, plays the
    // image at its own level; 0 is silent). Values outside are limited to
    // the range. Applies at once, to the group that sounds too.
    void SetVolumePercent(int percent);

    // Whether a stream is connected and ready to play now. For tests.
    bool Ready() const;

private:
    struct Sound;  // what the sound thread owns, all libpulse objects

    // Wakes the sound thread to look at the requests below.
    void Wake();

    // The requests, written by the caller's thread, read by the sound
    // thread; both under mutex_.
    struct Request {
        std::span<const std::uint8_t> samples;  // empty: nothing to play
        std::int32_t sampleRateHz = 0;
        std::int32_t channelCount = 0;
        std::int32_t bitsPerSample = 0;
        std::chrono::steady_clock::time_point startedAt;
        std::uint64_t generation = 0;  // counts Play and Stop
        int volumePercent = 100;
        std::uint64_t volumeGeneration = 0;
    };
    mutable std::mutex mutex_;
    Request request_;
    bool ready_ = false;  // written by the sound thread

    int wakeFd_ = -1;  // an eventfd the sound thread watches
    pa_threaded_mainloop* mainloop_ = nullptr;
    Sound* sound_ = nullptr;
};

}  // namespace rivek
