#include "sound/qt_sound_service.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QMediaDevices>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "tone/wave_header.h"

namespace rivek {
namespace {

// Whether a sound server may be reachable. Qt Multimedia connects to the
// PulseAudio server (or PipeWire's PulseAudio service) once, when it is
// first used, and never tries again if that first attempt fails; so it is
// first used only once a server answers. The server is looked for where the
// PulseAudio client library looks by default: $PULSE_SERVER when it names a
// local socket, otherwise $XDG_RUNTIME_DIR/pulse/native. For any other
// address (a network server, a list), the audio layer judges by itself.
bool SoundServerMayBeThere() {
    std::string path;
    if (const char* server = std::getenv("PULSE_SERVER"); server && *server) {
        std::string_view address(server);
        if (address.starts_with("unix:")) address.remove_prefix(5);
        if (!address.starts_with('/') || address.find(' ') != std::string_view::npos) return true;
        path = address;
    } else if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
        path = std::string(runtime) + "/pulse/native";
    } else {
        return true;
    }
    sockaddr_un socketAddress{};
    socketAddress.sun_family = AF_UNIX;
    if (path.size() >= sizeof socketAddress.sun_path) return true;
    std::memcpy(socketAddress.sun_path, path.c_str(), path.size() + 1);

    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return true;
    // A listening server accepts at once; a full backlog also means one is
    // there. A missing or stale socket refuses.
    const bool answered =
        ::connect(fd, reinterpret_cast<const sockaddr*>(&socketAddress), sizeof socketAddress) == 0 ||
        errno == EAGAIN || errno == EINPROGRESS;
    ::close(fd);
    return answered;
}

}  // namespace

QtSoundService::QtSoundService() = default;

QtSoundService::~QtSoundService() { Stop(); }

void QtSoundService::Play(std::span<const std::uint8_t> waveImage) {
    // One image at a time: whatever still plays ends first.
    Stop();

    const std::optional<WaveSamples> wave = ReadWaveImage(waveImage);
    if (!wave || wave->samples.empty()) return;

    if (!audioLayerStarted_) {
        if (!SoundServerMayBeThere()) return;
        audioLayerStarted_ = true;
    }
    // Asked afresh every time: a server that went away since the last Play
    // may be back now (Qt reconnects by itself a few seconds after a loss).
    const QAudioDevice output = QMediaDevices::defaultAudioOutput();
    if (output.isNull()) return;

    QAudioFormat format;
    format.setSampleRate(wave->sampleRateHz);
    format.setChannelCount(wave->channelCount);
    format.setSampleFormat(wave->bitsPerSample == 16 ? QAudioFormat::Int16 : QAudioFormat::UInt8);

    samples_ = QByteArray::fromRawData(reinterpret_cast<const char*>(wave->samples.data()),
                                       static_cast<qsizetype>(wave->samples.size()));
    device_ = std::make_unique<QBuffer>(&samples_);
    device_->open(QIODevice::ReadOnly);
    // A new sink for every image: one that failed with its server stays
    // failed, while a new one connects to whatever is there now. In pull
    // mode the sink reads the buffer from this thread's event loop and
    // returns from start() at once.
    sink_ = std::make_unique<QAudioSink>(output, format);
    sink_->start(device_.get());
}

void QtSoundService::Stop() {
    if (sink_) {
        // stop() disconnects the stream at once: the sound ends, and the
        // sink reads nothing after it returns. Deleting it releases the
        // stream before the buffer it read from goes.
        sink_->stop();
        sink_.reset();
    }
    device_.reset();
    samples_.clear();
}

}  // namespace rivek
