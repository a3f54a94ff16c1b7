// pulse_probe: the sound layer alone, as a yardstick for Rivek's figures.
// A bare window that, on Enter, plays a WAV image straight through libpulse
// the plain way: one playback stream made at start with the same buffer as
// Rivek's sound service (target 100 ms, requests of 25 ms, starting with the
// first frame, corked until used), and on Enter: flush, write the first
// target's worth, uncork; the server's requests are then fed from the image
// on libpulse's thread. No drill, no scoring, no drawing. Timed with
// enter_probe, it shows what the X server, Qt's input and the sound server
// take without any of Rivek's own work; playing a long image, it shows the
// CPU a libpulse client needs while a group sounds.
// Usage: pulse_probe WAV_FILE   (16-bit PCM with a 44-byte header, as
// rivek-tool wave writes it)
#include <pulse/pulseaudio.h>

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QWidget>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

constexpr pa_usec_t kTargetBuffer = 100 * PA_USEC_PER_MSEC;
constexpr pa_usec_t kRequestSize = 25 * PA_USEC_PER_MSEC;

// Everything here is touched under the main loop's lock.
struct Player {
    pa_threaded_mainloop* mainloop = nullptr;
    pa_context* context = nullptr;
    pa_stream* stream = nullptr;
    pa_sample_spec spec{};
    QByteArray samples;
    qsizetype offset = 0;
    bool playing = false;

    void Feed(std::size_t bytes) {
        if (!playing) return;
        const auto size = std::min<qsizetype>(static_cast<qsizetype>(bytes), samples.size() - offset);
        if (size <= 0) return;
        pa_stream_write(stream, samples.constData() + offset, static_cast<std::size_t>(size), nullptr, 0,
                        PA_SEEK_RELATIVE);
        offset += size;
    }

    static void OnWrite(pa_stream*, std::size_t bytes, void* userdata) {
        static_cast<Player*>(userdata)->Feed(bytes);
    }

    static void OnContextState(pa_context* c, void* userdata) {
        auto* self = static_cast<Player*>(userdata);
        if (pa_context_get_state(c) != PA_CONTEXT_READY) return;
        self->stream = pa_stream_new(c, "probe", &self->spec, nullptr);
        pa_stream_set_write_callback(self->stream, &Player::OnWrite, self);
        pa_buffer_attr buffer{};
        buffer.maxlength = static_cast<std::uint32_t>(-1);
        buffer.tlength = static_cast<std::uint32_t>(pa_usec_to_bytes(kTargetBuffer, &self->spec));
        buffer.minreq = static_cast<std::uint32_t>(pa_usec_to_bytes(kRequestSize, &self->spec));
        buffer.prebuf = static_cast<std::uint32_t>(pa_frame_size(&self->spec));
        buffer.fragsize = static_cast<std::uint32_t>(-1);
        pa_stream_connect_playback(self->stream, nullptr, &buffer,
                                   static_cast<pa_stream_flags_t>(PA_STREAM_START_CORKED | PA_STREAM_ADJUST_LATENCY),
                                   nullptr, nullptr);
    }

    void Start() {
        mainloop = pa_threaded_mainloop_new();
        context = pa_context_new(pa_threaded_mainloop_get_api(mainloop), "pulse_probe");
        pa_context_set_state_callback(context, &Player::OnContextState, this);
        pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr);
        pa_threaded_mainloop_start(mainloop);
    }

    void Play() {
        pa_threaded_mainloop_lock(mainloop);
        if (stream && pa_stream_get_state(stream) == PA_STREAM_READY) {
            if (pa_operation* op = pa_stream_flush(stream, nullptr, nullptr)) pa_operation_unref(op);
            offset = 0;
            playing = true;
            Feed(pa_usec_to_bytes(kTargetBuffer, &spec));
            if (pa_operation* op = pa_stream_cork(stream, 0, nullptr, nullptr)) pa_operation_unref(op);
        }
        pa_threaded_mainloop_unlock(mainloop);
    }
};

class ProbeWindow final : public QWidget {
public:
    explicit ProbeWindow(Player& player) : player_(player) {
        setWindowTitle("pulse_probe");
        resize(200, 100);
    }

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter) {
            QWidget::keyPressEvent(event);
            return;
        }
        player_.Play();
    }

private:
    Player& player_;
};

std::uint32_t Le(const QByteArray& bytes, int at, int size) {
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) value = value << 8 | static_cast<std::uint8_t>(bytes[at + i]);
    return value;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: pulse_probe WAV_FILE\n");
        return 2;
    }
    QFile file(argv[1]);
    if (!file.open(QIODevice::ReadOnly)) return 1;
    const QByteArray image = file.readAll();
    if (image.size() < 44 || std::memcmp(image.constData(), "RIFF", 4) != 0 || Le(image, 34, 2) != 16) {
        std::fprintf(stderr, "pulse_probe: not a 16-bit WAV image\n");
        return 1;
    }
    Player player;
    player.spec = {PA_SAMPLE_S16LE, Le(image, 24, 4), static_cast<std::uint8_t>(Le(image, 22, 2))};
    player.samples = image.mid(44);
    player.Start();
    ProbeWindow window(player);
    window.show();
    return application.exec();
}
