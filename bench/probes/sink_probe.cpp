// sink_probe: the audio layer alone, as a yardstick for Rivek's figures.
// A bare window that, on Enter, plays a WAV image the way Rivek's sound
// service does (a new QAudioSink on the default output each time, pulling
// from an in-memory buffer), with no drill, no scoring and no drawing.
// Timed with enter_probe, it shows what the X server, Qt and the sound
// server take without any of Rivek's own work; playing a long image, it
// shows the CPU the audio layer needs while a group sounds.
// Usage: sink_probe WAV_FILE   (16-bit PCM with a 44-byte header, as
// rivek-tool wave writes it)
#include <QApplication>
#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QFile>
#include <QKeyEvent>
#include <QMediaDevices>
#include <QWidget>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

class ProbeWindow final : public QWidget {
public:
    ProbeWindow(QByteArray samples, int rate, int channels)
        : samples_(std::move(samples)), rate_(rate), channels_(channels) {
        setWindowTitle("sink_probe");
        resize(200, 100);
    }

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter) {
            QWidget::keyPressEvent(event);
            return;
        }
        if (sink_) {
            sink_->stop();
            sink_.reset();
        }
        device_.reset();
        const QAudioDevice output = QMediaDevices::defaultAudioOutput();
        if (output.isNull()) return;
        QAudioFormat format;
        format.setSampleRate(rate_);
        format.setChannelCount(channels_);
        format.setSampleFormat(QAudioFormat::Int16);
        device_ = std::make_unique<QBuffer>(&samples_);
        device_->open(QIODevice::ReadOnly);
        sink_ = std::make_unique<QAudioSink>(output, format);
        sink_->start(device_.get());
    }

private:
    QByteArray samples_;
    int rate_;
    int channels_;
    std::unique_ptr<QBuffer> device_;
    std::unique_ptr<QAudioSink> sink_;
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
        std::fprintf(stderr, "usage: sink_probe WAV_FILE\n");
        return 2;
    }
    QFile file(argv[1]);
    if (!file.open(QIODevice::ReadOnly)) return 1;
    const QByteArray image = file.readAll();
    if (image.size() < 44 || std::memcmp(image.constData(), "RIFF", 4) != 0 || Le(image, 34, 2) != 16) {
        std::fprintf(stderr, "sink_probe: not a 16-bit WAV image\n");
        return 1;
    }
    ProbeWindow window(image.mid(44), static_cast<int>(Le(image, 24, 4)), static_cast<int>(Le(image, 22, 2)));
    window.show();
    return application.exec();
}
