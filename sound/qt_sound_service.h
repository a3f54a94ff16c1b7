// The sound service on Qt Multimedia: plays a WAV image in memory through a
// QAudioSink on the default output device.
//
// Play() reads the image's header, starts the samples playing and returns
// at once; the sink pulls them straight from the caller's image (no copy on
// our side), so the image must stay unchanged until Stop(). Stop() ends the
// sound and returns when nothing reads the image any more: the sink reads
// only on the thread that owns it (this one), and it is gone when Stop()
// returns. Neither call reports anything: without a sound server or device
// the drill goes on silently. Each Play tries the device anew: a server that
// was not there at start-up is used from the first Play after it appears,
// and a server lost during the drill is used again once Qt has reconnected
// (Qt 6.4 retries once, three seconds after the loss). A server that is
// not back by then is not used again in this run: Qt's PulseAudio engine
// stays disconnected, its device list keeps the old sink (so a null
// default device does not show it), every new sink fails to open, and
// the engine is not reachable through Qt's public interface to be
// restarted. The drill goes on silently; the sound returns when Rivek is
// started again.
//
// Needs a QCoreApplication, and its event loop running while a sound plays:
// the sink feeds the device from it. Use on one thread only.
#pragma once

#include <QByteArray>

#include <memory>

#include "drill/ports.h"

class QAudioSink;
class QBuffer;

namespace rivek {

class QtSoundService final : public SoundService {
public:
    QtSoundService();
    ~QtSoundService() override;
    QtSoundService(const QtSoundService&) = delete;
    QtSoundService& operator=(const QtSoundService&) = delete;

    void Play(std::span<const std::uint8_t> waveImage) override;
    void Stop() override;

private:
    // Declared in this order so that the sink goes before the device it
    // reads, and the device before the bytes it wraps.
    bool audioLayerStarted_ = false;  // Qt Multimedia used once a server answered
    QByteArray samples_;  // the caller's samples, wrapped without a copy
    std::unique_ptr<QBuffer> device_;
    std::unique_ptr<QAudioSink> sink_;
};

}  // namespace rivek
