// A sound service that plays nothing and records each request in the
// CallLog ("Play" with the image's size, "Stop"). It keeps a copy of the
// last image and notes a Play that comes while the last image may still be
// playing, that is without a Stop in between.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "drill/ports.h"
#include "fakes/call_log.h"

namespace rivek::testing {

class FakeSound : public SoundService {
public:
    explicit FakeSound(CallLog& log) : log_(&log) {}

    void Play(std::span<const std::uint8_t> waveImage) override {
        log_->Add("Play " + std::to_string(waveImage.size()));
        if (playing_) ++playsWithoutStop_;
        playing_ = true;
        ++plays_;
        lastImage_.assign(waveImage.begin(), waveImage.end());
    }
    void Stop() override {
        log_->Add("Stop");
        playing_ = false;
        if (onStop) onStop();
    }

    // Runs inside every Stop, to look at the world at that moment.
    std::function<void()> onStop;

    bool Playing() const { return playing_; }
    int Plays() const { return plays_; }
    int PlaysWithoutStop() const { return playsWithoutStop_; }
    const std::vector<std::uint8_t>& LastImage() const { return lastImage_; }

private:
    CallLog* log_;
    bool playing_ = false;
    int plays_ = 0;
    int playsWithoutStop_ = 0;
    std::vector<std::uint8_t> lastImage_;
};

}  // namespace rivek::testing
