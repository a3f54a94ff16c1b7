#include "sound/pulse_sound_service.h"

#include <pulse/pulseaudio.h>
#include <pulse/thread-mainloop.h>

#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/timerfd.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "tone/wave_header.h"

namespace rivek {
namespace {

// The stream's buffer on the server's side: the server asks for more
// whenever the stream holds less than kTargetBuffer, in requests of at
// least kRequestSize, and (adjusting its sink's latency to the stream) mixes
// about (target - 2 x request) / 2 = 25 ms ahead of what is heard.
//
// How soon a group is heard does not depend on these: a group always
// starts on a fresh stream that is ready and corked, and the server starts
// an idle sink as soon as a stream begins to play (the first sample
// reached a null sink 1.3-1.7 ms after Play, alike for targets of 20, 40
// and 60 ms). Nor does Stop: the stream is let go, and the server drops
// all it held. What they set is
//   - how long the server and this thread may be kept from running before
//     the tone breaks up: the target less what the sink mixes ahead, 75 ms
//     (a target of 20 ms broke the tone up on a machine busy with
//     compilers, load 10 on 2 cores; 60 ms did not);
//   - how often this thread wakes while a group sounds: once a request,
//     about 40 times a second (at 60/10 ms: 100 times);
//   - how much a sink that cannot take back what it has mixed still plays
//     after Stop, and how soon a volume change is heard: 25 ms.
constexpr pa_usec_t kTargetBuffer = 100 * PA_USEC_PER_MSEC;
constexpr pa_usec_t kRequestSize = 25 * PA_USEC_PER_MSEC;

// Rivek's images: 16-bit mono at 11025 Hz. The stream kept ready between
// groups has this format; an image of another format gets a stream of its
// own when it comes.
constexpr pa_sample_spec kImageFormat{PA_SAMPLE_S16LE, 11025, 1};

// Whether a sound server may be reachable, judged without libpulse and
// without waiting: where the client library would look for it by default
// ($PULSE_SERVER when it names a local socket, otherwise
// $XDG_RUNTIME_DIR/pulse/native), a listening socket takes the connection
// at once (or has a full backlog), while a missing or stale one refuses.
// Any other address (a network server, a list) may always be there. Saves
// a whole client set-up every retry while no server runs.
bool ServerMayBeThere() {
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
    const bool answered =
        ::connect(fd, reinterpret_cast<const sockaddr*>(&socketAddress), sizeof socketAddress) == 0 ||
        errno == EAGAIN || errno == EINPROGRESS;
    ::close(fd);
    return answered;
}

pa_volume_t VolumeOf(int percent) {
    return static_cast<pa_volume_t>(static_cast<std::uint64_t>(PA_VOLUME_NORM) *
                                    static_cast<std::uint64_t>(percent) / 100);
}

std::optional<pa_sample_spec> FormatOf(std::int32_t rateHz, std::int32_t channels, std::int32_t bits) {
    pa_sample_spec spec{bits == 16 ? PA_SAMPLE_S16LE : PA_SAMPLE_U8, static_cast<std::uint32_t>(rateHz),
                        static_cast<std::uint8_t>(channels)};
    if (!pa_sample_spec_valid(&spec)) return std::nullopt;
    return spec;
}

}  // namespace

// Everything below runs on the sound thread (libpulse's threaded main loop,
// with its lock held), except where a comment says otherwise.
struct PulseSoundService::Sound {
    // One playback stream, and what this thread knows of it.
    struct Stream {
        pa_stream* handle = nullptr;
        pa_sample_spec format = kImageFormat;
        bool ready = false;
        bool corked = true;  // streams start corked
        bool used = false;   // written to since it was made
    };

    PulseSoundService* owner = nullptr;
    pa_mainloop_api* api = nullptr;
    std::string name;

    pa_io_event* wakeEvent = nullptr;
    int retryFd = -1;  // a one-shot monotonic timer
    pa_io_event* retryEvent = nullptr;
    unsigned quickMisses = 0;

    pa_context* context = nullptr;
    // The stream that plays, and a spare kept ready beside it. A stream
    // that has played is let go at the next request and the spare takes
    // its place: the server then forgets at once whatever of the old
    // image it still held (a flush leaves what the server has already
    // mixed, which would sound before the next image), and the next image
    // starts on a stream that has never played.
    Stream current;
    Stream spare;
    pa_operation* drain = nullptr;

    // The request being played: its generation, whether it has samples,
    // their format and size, and the next byte to write.
    std::uint64_t generation = 0;
    std::uint64_t volumeGeneration = 0;
    int volumePercent = 100;
    bool playing = false;
    pa_sample_spec format = kImageFormat;
    std::size_t imageBytes = 0;
    std::size_t offset = 0;

    // --- connection ---------------------------------------------------

    void ScheduleRetry() {
        itimerspec when{};
        when.it_value.tv_nsec =
            std::chrono::duration_cast<std::chrono::nanoseconds>(kRetryInterval).count();
        ::timerfd_settime(retryFd, 0, &when, nullptr);
    }

    void Connect() {
        // The quick look misses servers that the client library finds in
        // other places (its configuration file, the X display's root
        // window): every eighth attempt connects whatever it shows.
        if (!ServerMayBeThere() && ++quickMisses % 8 != 0) {
            ScheduleRetry();
            return;
        }
        pa_proplist* properties = pa_proplist_new();
        pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, name.c_str());
        pa_proplist_sets(properties, PA_PROP_APPLICATION_ICON_NAME, "rivek");
        context = pa_context_new_with_proplist(api, name.c_str(), properties);
        pa_proplist_free(properties);
        if (context == nullptr) {
            ScheduleRetry();
            return;
        }
        pa_context_set_state_callback(context, &Sound::OnContextState, this);
        // No autospawn: a desktop starts its own server; Rivek never does.
        if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0 && context) {
            DropContext();
            ScheduleRetry();
        }
    }

    void DropContext() {
        Drop(current);
        Drop(spare);
        if (context == nullptr) return;
        pa_context_set_state_callback(context, nullptr, nullptr);
        pa_context_disconnect(context);  // closes the socket; waits for nothing
        pa_context_unref(context);
        context = nullptr;
    }

    bool ContextReady() const { return context && pa_context_get_state(context) == PA_CONTEXT_READY; }

    static void OnContextState(pa_context* c, void* userdata) {
        auto* self = static_cast<Sound*>(userdata);
        switch (pa_context_get_state(c)) {
            case PA_CONTEXT_READY:
                self->MakeMissingStreams();
                break;
            case PA_CONTEXT_FAILED:
            case PA_CONTEXT_TERMINATED:
                self->DropContext();
                self->ScheduleRetry();
                break;
            default:
                break;
        }
    }

    static void OnRetry(pa_mainloop_api*, pa_io_event*, int fd, pa_io_event_flags_t, void* userdata) {
        auto* self = static_cast<Sound*>(userdata);
        std::uint64_t expirations = 0;
        if (::read(fd, &expirations, sizeof expirations) < 0) return;
        if (self->context == nullptr) {
            self->Connect();
        } else {
            self->MakeMissingStreams();
        }
    }

    // --- the streams --------------------------------------------------

    void MakeMissingStreams() {
        if (!ContextReady()) return;
        const pa_sample_spec wanted = playing ? format : kImageFormat;
        if (current.handle == nullptr) {
            if (spare.handle && pa_sample_spec_equal(&spare.format, &wanted)) {
                current = spare;
                spare = {};
            } else {
                Make(current, wanted);
            }
        }
        if (spare.handle == nullptr) Make(spare, wanted);
        if (current.ready) Resume();
    }

    void Make(Stream& stream, const pa_sample_spec& streamFormat) {
        Drop(stream);
        stream.format = streamFormat;
        stream.handle = pa_stream_new(context, "Morse", &stream.format, nullptr);
        if (stream.handle == nullptr) {
            ScheduleRetry();
            return;
        }
        pa_stream_set_state_callback(stream.handle, &Sound::OnStreamState, this);
        pa_stream_set_write_callback(stream.handle, &Sound::OnWrite, this);

        pa_buffer_attr buffer{};
        buffer.maxlength = static_cast<std::uint32_t>(-1);
        buffer.tlength = static_cast<std::uint32_t>(pa_usec_to_bytes(kTargetBuffer, &stream.format));
        buffer.minreq = static_cast<std::uint32_t>(pa_usec_to_bytes(kRequestSize, &stream.format));
        // Starts with the first frame: Play writes a whole target's worth
        // before it uncorks, and a group must not wait for more.
        buffer.prebuf = static_cast<std::uint32_t>(pa_frame_size(&stream.format));
        buffer.fragsize = static_cast<std::uint32_t>(-1);
        pa_cvolume volume;
        pa_cvolume_set(&volume, stream.format.channels, VolumeOf(volumePercent));
        // Corked until there is something to play. No automatic timing
        // updates: nothing on these streams polls the server between groups.
        const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_START_CORKED | PA_STREAM_ADJUST_LATENCY);
        if (pa_stream_connect_playback(stream.handle, nullptr, &buffer, flags, &volume, nullptr) < 0) {
            Drop(stream);
            ScheduleRetry();
        }
    }

    // Lets a stream go. The server removes it, and its sound with it, when
    // the request reaches it; nothing here waits for that.
    void Drop(Stream& stream) {
        if (&stream == &current) CancelDrain();
        if (stream.handle) {
            pa_stream_set_state_callback(stream.handle, nullptr, nullptr);
            pa_stream_set_write_callback(stream.handle, nullptr, nullptr);
            if (PA_STREAM_IS_GOOD(pa_stream_get_state(stream.handle))) pa_stream_disconnect(stream.handle);
            pa_stream_unref(stream.handle);
        }
        stream = {};
        if (&stream == &current) SetReady(false);
    }

    void SetReady(bool ready) {
        std::lock_guard lock(owner->mutex_);
        owner->ready_ = ready;
    }

    static void OnStreamState(pa_stream* s, void* userdata) {
        auto* self = static_cast<Sound*>(userdata);
        Stream& stream = s == self->current.handle ? self->current : self->spare;
        switch (pa_stream_get_state(s)) {
            case PA_STREAM_READY:
                stream.ready = true;
                if (&stream == &self->current) {
                    self->SetReady(true);
                    self->Resume();
                }
                break;
            case PA_STREAM_FAILED:
            case PA_STREAM_TERMINATED:
                // The server removed it (or the context went): a new one
                // follows while the context lasts.
                self->Drop(stream);
                self->ScheduleRetry();
                break;
            default:
                break;
        }
    }

    void SetVolume() {
        for (Stream* stream : {&current, &spare}) {
            if (!stream->ready) continue;
            pa_cvolume volume;
            pa_cvolume_set(&volume, stream->format.channels, VolumeOf(volumePercent));
            if (pa_operation* op = pa_context_set_sink_input_volume(context, pa_stream_get_index(stream->handle),
                                                                    &volume, nullptr, nullptr)) {
                pa_operation_unref(op);
            }
        }
    }

    // --- playing ------------------------------------------------------

    // Copies up to `bytes` of the image, from `offset` on, into the stream.
    // The caller's thread may change the request at any moment: the image
    // is read only under the mutex and only while the request is still the
    // one this thread is playing, so once Stop() or Play() has returned the
    // old image is not read again.
    void Feed(std::size_t bytes) {
        if (!current.ready || !playing) return;
        const std::size_t frame = pa_frame_size(&format);
        while (bytes > 0 && offset < imageBytes) {
            std::size_t size = std::min(bytes, imageBytes - offset);
            void* buffer = nullptr;
            if (pa_stream_begin_write(current.handle, &buffer, &size) < 0 || buffer == nullptr) return;
            size = std::min({size, bytes, imageBytes - offset});
            size -= size % frame;
            {
                std::lock_guard lock(owner->mutex_);
                if (owner->request_.generation != generation) size = 0;
                if (size > 0) std::memcpy(buffer, owner->request_.samples.data() + offset, size);
            }
            if (size == 0) {
                pa_stream_cancel_write(current.handle);
                return;
            }
            if (pa_stream_write(current.handle, buffer, size, nullptr, 0, PA_SEEK_RELATIVE) < 0) return;
            offset += size;
            bytes -= size;
            current.used = true;
        }
        if (offset >= imageBytes && drain == nullptr) {
            // All written: cork once it has sounded, so that neither the
            // server nor this thread does anything until the next group.
            drain = pa_stream_drain(current.handle, &Sound::OnDrained, this);
        }
    }

    static void OnWrite(pa_stream* s, std::size_t bytes, void* userdata) {
        auto* self = static_cast<Sound*>(userdata);
        if (s == self->current.handle) self->Feed(bytes);
    }

    static void OnDrained(pa_stream* s, int success, void* userdata) {
        auto* self = static_cast<Sound*>(userdata);
        if (self->drain != nullptr) {
            pa_operation_unref(self->drain);
            self->drain = nullptr;
        }
        if (success && s == self->current.handle) self->Cork(self->current, true);
    }

    void CancelDrain() {
        if (drain == nullptr) return;
        pa_operation_cancel(drain);
        pa_operation_unref(drain);
        drain = nullptr;
    }

    void Cork(Stream& stream, bool cork) {
        if (stream.corked == cork || !stream.ready) return;
        if (pa_operation* op = pa_stream_cork(stream.handle, cork ? 1 : 0, nullptr, nullptr)) {
            pa_operation_unref(op);
        }
        stream.corked = cork;
    }

    // Starts the image from the sample due now: the first one right after
    // Play, a later one when the stream has only now become ready.
    void Resume() {
        if (!playing || !current.ready || current.used) return;
        if (!pa_sample_spec_equal(&format, &current.format)) return;
        std::chrono::steady_clock::time_point startedAt;
        {
            std::lock_guard lock(owner->mutex_);
            if (owner->request_.generation != generation) return;
            startedAt = owner->request_.startedAt;
        }
        const auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(
            std::chrono::steady_clock::now() - startedAt);
        // Less than a buffer late counts as on time: the image starts whole.
        offset = 0;
        if (elapsed.count() > static_cast<std::int64_t>(kTargetBuffer)) {
            const std::size_t due = pa_usec_to_bytes(static_cast<pa_usec_t>(elapsed.count()), &format);
            if (due >= imageBytes) {
                playing = false;
                return;
            }
            offset = due;
        }
        std::size_t writable = pa_stream_writable_size(current.handle);
        if (writable == static_cast<std::size_t>(-1)) writable = 0;
        Feed(std::max(writable, pa_usec_to_bytes(kTargetBuffer, &format)));
        Cork(current, false);
    }

    // The caller's thread has asked for something: take it over.
    void Update() {
        Request request;
        {
            std::lock_guard lock(owner->mutex_);
            request = owner->request_;
        }
        if (request.volumeGeneration != volumeGeneration) {
            volumeGeneration = request.volumeGeneration;
            volumePercent = request.volumePercent;
            SetVolume();
        }
        if (request.generation == generation) return;
        generation = request.generation;
        CancelDrain();
        // Whatever the stream that played still holds goes with it.
        if (current.used) Drop(current);
        const std::optional<pa_sample_spec> spec =
            request.samples.empty()
                ? std::nullopt
                : FormatOf(request.sampleRateHz, request.channelCount, request.bitsPerSample);
        playing = spec.has_value();
        if (playing) {
            format = *spec;
            imageBytes = request.samples.size();
            offset = 0;
            if (current.handle && !pa_sample_spec_equal(&current.format, &format)) Drop(current);
            if (spare.handle && !pa_sample_spec_equal(&spare.format, &format)) Drop(spare);
        }
        MakeMissingStreams();
    }

    static void OnWake(pa_mainloop_api*, pa_io_event*, int fd, pa_io_event_flags_t, void* userdata) {
        std::uint64_t count = 0;
        if (::read(fd, &count, sizeof count) < 0) return;
        static_cast<Sound*>(userdata)->Update();
    }

    void Shutdown() {
        playing = false;
        DropContext();
        if (wakeEvent) api->io_free(wakeEvent);
        if (retryEvent) api->io_free(retryEvent);
        wakeEvent = retryEvent = nullptr;
        if (retryFd >= 0) ::close(retryFd);
        retryFd = -1;
    }
};

PulseSoundService::PulseSoundService(const char* applicationName) {
    wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    const int retryFd = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    mainloop_ = pa_threaded_mainloop_new();
    if (wakeFd_ < 0 || retryFd < 0 || mainloop_ == nullptr) {
        // No sound at all, and nothing to wait for.
        if (retryFd >= 0) ::close(retryFd);
        if (mainloop_) pa_threaded_mainloop_free(mainloop_);
        mainloop_ = nullptr;
        return;
    }
    sound_ = new Sound;
    sound_->owner = this;
    sound_->name = applicationName;
    sound_->api = pa_threaded_mainloop_get_api(mainloop_);
    sound_->retryFd = retryFd;
    // Set up before the thread runs, so no lock is needed yet.
    sound_->wakeEvent = sound_->api->io_new(sound_->api, wakeFd_, PA_IO_EVENT_INPUT, &Sound::OnWake, sound_);
    sound_->retryEvent = sound_->api->io_new(sound_->api, retryFd, PA_IO_EVENT_INPUT, &Sound::OnRetry, sound_);
    // The first attempt to connect, at once on the sound thread.
    itimerspec now{};
    now.it_value.tv_nsec = 1;
    ::timerfd_settime(retryFd, 0, &now, nullptr);
    pa_threaded_mainloop_set_name(mainloop_, "rivek-sound");
    if (pa_threaded_mainloop_start(mainloop_) < 0) {
        sound_->Shutdown();
        delete sound_;
        sound_ = nullptr;
        pa_threaded_mainloop_free(mainloop_);
        mainloop_ = nullptr;
    }
}

PulseSoundService::~PulseSoundService() {
    Stop();
    if (mainloop_) {
        // Taking the lock waits at most for one dispatch of the sound
        // thread, which never waits for the server.
        pa_threaded_mainloop_lock(mainloop_);
        sound_->Shutdown();
        pa_threaded_mainloop_unlock(mainloop_);
        pa_threaded_mainloop_stop(mainloop_);
        pa_threaded_mainloop_free(mainloop_);
        delete sound_;
    }
    if (wakeFd_ >= 0) ::close(wakeFd_);
}

void PulseSoundService::Wake() {
    if (wakeFd_ < 0) return;
    const std::uint64_t one = 1;
    // An eventfd counter only overflows after 2^64 - 1 wakes unread.
    [[maybe_unused]] const ssize_t written = ::write(wakeFd_, &one, sizeof one);
}

void PulseSoundService::Play(std::span<const std::uint8_t> waveImage) {
    const std::optional<WaveSamples> wave = ReadWaveImage(waveImage);
    {
        std::lock_guard lock(mutex_);
        ++request_.generation;
        request_.samples = {};
        if (wave && !wave->samples.empty()) {
            request_.samples = wave->samples;
            request_.sampleRateHz = wave->sampleRateHz;
            request_.channelCount = wave->channelCount;
            request_.bitsPerSample = wave->bitsPerSample;
            request_.startedAt = std::chrono::steady_clock::now();
        }
    }
    Wake();
}

void PulseSoundService::Stop() {
    {
        std::lock_guard lock(mutex_);
        if (request_.samples.empty()) return;
        ++request_.generation;
        request_.samples = {};
    }
    Wake();
}

void PulseSoundService::SetVolumePercent(int percent) {
    {
        std::lock_guard lock(mutex_);
        request_.volumePercent = std::clamp(percent, 0, 100);
        ++request_.volumeGeneration;
    }
    Wake();
}

bool PulseSoundService::Ready() const {
    std::lock_guard lock(mutex_);
    return ready_;
}

}  // namespace rivek
