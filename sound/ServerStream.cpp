#include "ServerStream.hpp"

#include "ServerOutput.hpp"

#include <pulse/channelmap.h>
#include <pulse/error.h>
#include <pulse/proplist.h>
#include <pulse/timeval.h>

#include <algorithm>
#include <mutex>

namespace irrklang {

namespace {

using namespace std::chrono_literals;

// The server keeps two seconds of the sound and asks for more once a little over one second
// is left, so that it and the player wake about once a second for the stream. What it asks of
// its output in return is the rest: two seconds less twice what it asks for at a time, here
// 30 ms. That is what still sounds after a pause, a seek or a stop on an output that cannot
// take back what it was given (PulseAudio's null sink, PipeWire's graph).
const pa_usec_t bufferTime = 2000000;
const pa_usec_t outputTime = 30000;
// The stream starts playing, and plays on after running dry, once this much is there: what
// the server did not get in time waits for the player rather than being skipped.
const pa_usec_t startTime = 50000;
// Written at a time, so that the first sound is not held up by decoding the whole buffer.
const pa_usec_t writeTime = 250000;
// While playing, the server is asked for the stream's time four times a second; between its
// reports the time moves on with the clock, but not much longer than until the next is due.
const auto reportPeriod = 250ms;
const auto reportReach = 300ms;
// A stream the server has no output for is asked for again twice a second.
const auto retryPeriod = 500ms;

// Returns true iff the server will never take the stream as it is: its format, or the player.
bool isRefusal(int error) {
    switch (error) {
    case PA_ERR_ACCESS:
    case PA_ERR_INVALID:
    case PA_ERR_NOTSUPPORTED:
    case PA_ERR_NOTIMPLEMENTED:
    case PA_ERR_TOOLARGE:
    case PA_ERR_VERSION:
        return true;
    default:
        return false;
    }
}

void drop(pa_operation* operation) {
    if (operation != nullptr)
        pa_operation_unref(operation);
}

sf::Uint64 framesIn(pa_usec_t usec, unsigned int rate) {
    return usec * rate / PA_USEC_PER_SEC;
}

} // namespace

ServerStream::ServerStream(ServerOutput* output, SoundFile& file, const std::string& name,
                           bool looping)
    : output(output), file(file), name(name), loop(looping), stream(nullptr), draining(nullptr),
      more(nullptr), timer(nullptr), format(), runs(), base(0), baseKnown(true), written(0),
      nextFrame(0), heard(0), reported(0), reportedAt(), timeKnown(false), playing(false),
      corked(true), everReady(false), ended(false), finished(false) {
    format.format = PA_SAMPLE_S16NE;
    format.rate = file.sampleRate();
    format.channels = static_cast<std::uint8_t>(file.channelCount());
}

ServerStream::~ServerStream() {
    stop();
}

void ServerStream::join(sf::Uint64 from) {
    std::lock_guard<ServerOutput> guard(*output);
    pa_mainloop_api* const api = output->api();
    more = api->defer_new(api, continued, this);
    api->defer_enable(more, 0);
    timer = api->time_new(api, nullptr, ticked, this);
    heard = from;
    output->add(this);
}

void ServerStream::play() {
    if (output == nullptr)
        return;
    std::lock_guard<ServerOutput> guard(*output);
    if (playing || finished)
        return;
    playing = true;
    if (isReady()) {
        cork(false);
        wake(reportPeriod);
    }
}

void ServerStream::pause() {
    if (output == nullptr)
        return;
    std::lock_guard<ServerOutput> guard(*output);
    if (!playing)
        return;
    heard = positionLocked();
    playing = false;
    if (isReady())
        cork(true);
}

void ServerStream::stop() {
    if (output == nullptr)
        return;
    {
        std::lock_guard<ServerOutput> guard(*output);
        release();
        pa_mainloop_api* const api = output->api();
        api->defer_free(more);
        api->time_free(timer);
        output->remove(this);
    }
    output = nullptr;
}

bool ServerStream::isFinished() {
    if (output == nullptr)
        return true;
    std::lock_guard<ServerOutput> guard(*output);
    return finished;
}

sf::Uint64 ServerStream::position() {
    if (output == nullptr)
        return 0;
    std::lock_guard<ServerOutput> guard(*output);
    return positionLocked();
}

void ServerStream::seek(sf::Uint64 frame) {
    if (output == nullptr)
        return;
    std::lock_guard<ServerOutput> guard(*output);
    heard = frame;
    nextFrame = frame;
    file.seek(frame);
    ended = false;
    finished = false;
    runs.assign(1, Run{0, frame});
    written = 0;
    if (draining != nullptr) {
        pa_operation_cancel(draining);
        pa_operation_unref(draining);
        draining = nullptr;
    }
    if (stream == nullptr) {
        // Made again (attach or a retry), it starts from where the sound holds.
        return;
    }
    if (!isReady()) {
        // Nothing was written yet: the stream starts with the new frame.
        base = 0;
        return;
    }
    // What the server holds goes; what is written next starts where the stream is read now,
    // which only the server knows: its next report tells.
    drop(pa_stream_flush(stream, nullptr, nullptr));
    baseKnown = false;
    fill(framesIn(startTime * 2, format.rate));
    askTime();
}

void ServerStream::attach() {
    pa_context* const context = output->connection();
    if (stream != nullptr || context == nullptr)
        return;
    pa_channel_map layout;
    pa_channel_map_init_extend(&layout, format.channels, PA_CHANNEL_MAP_WAVEEX);
    pa_proplist* properties = pa_proplist_new();
    pa_proplist_sets(properties, PA_PROP_MEDIA_NAME, name.c_str());
    pa_proplist_sets(properties, PA_PROP_MEDIA_ROLE, "music");
    stream = pa_stream_new_with_proplist(context, name.c_str(), &format, &layout, properties);
    pa_proplist_free(properties);
    if (stream == nullptr) {
        output->refuse(pa_strerror(pa_context_errno(context)));
        return;
    }
    pa_stream_set_state_callback(stream, changed, this);
    pa_stream_set_write_callback(stream, asked, this);
    pa_stream_set_latency_update_callback(stream, timed, this);

    // A new stream starts with the frame where the sound holds.
    file.seek(std::min(heard, file.frameCount()));
    nextFrame = heard;
    runs.assign(1, Run{0, heard});
    base = 0;
    baseKnown = true;
    written = 0;
    timeKnown = false;
    everReady = false;
    ended = !loop && heard >= file.frameCount();
    corked = !playing;

    pa_buffer_attr buffer;
    buffer.maxlength = static_cast<std::uint32_t>(-1);
    buffer.tlength = static_cast<std::uint32_t>(pa_usec_to_bytes(bufferTime, &format));
    buffer.minreq =
        static_cast<std::uint32_t>(pa_usec_to_bytes((bufferTime - outputTime) / 2, &format));
    buffer.prebuf = static_cast<std::uint32_t>(pa_usec_to_bytes(startTime, &format));
    buffer.fragsize = static_cast<std::uint32_t>(-1);
    // No device named and no PA_STREAM_DONT_MOVE: the server routes the stream, and moves it.
    const int flags = PA_STREAM_INTERPOLATE_TIMING | (corked ? PA_STREAM_START_CORKED : 0);
    if (pa_stream_connect_playback(stream, nullptr, &buffer, static_cast<pa_stream_flags_t>(flags),
                                   nullptr, nullptr) < 0)
        failed();
}

void ServerStream::detach() {
    if (stream == nullptr)
        return;
    heard = positionLocked();
    release();
}

void ServerStream::changed(pa_stream* stream, void* self) {
    switch (pa_stream_get_state(stream)) {
    case PA_STREAM_READY:
        static_cast<ServerStream*>(self)->ready();
        break;
    case PA_STREAM_FAILED:
        static_cast<ServerStream*>(self)->failed();
        break;
    default:
        break;
    }
}

void ServerStream::asked(pa_stream*, std::size_t, void* self) {
    static_cast<ServerStream*>(self)->fill();
}

void ServerStream::timed(pa_stream*, void* self) {
    ServerStream& me = *static_cast<ServerStream*>(self);
    const pa_timing_info* const timing = pa_stream_get_timing_info(me.stream);
    if (timing == nullptr)
        return;
    // The server's write index counts everything written since the flush, ours included.
    if (!me.baseKnown && !timing->write_index_corrupt) {
        me.base = timing->write_index / static_cast<sf::Int64>(pa_frame_size(&me.format)) -
                  static_cast<sf::Int64>(me.written);
        me.baseKnown = true;
    }
    pa_usec_t time = 0;
    if (pa_stream_get_time(me.stream, &time) == 0) {
        me.reported = time;
        me.reportedAt = std::chrono::steady_clock::now();
        me.timeKnown = true;
    }
}

void ServerStream::drained(pa_stream*, int success, void* self) {
    ServerStream& me = *static_cast<ServerStream*>(self);
    drop(me.draining);
    me.draining = nullptr;
    if (!success)
        return;
    me.finished = true;
    me.heard = me.file.frameCount();
    // Gone at once, so that nothing keeps the server's output from resting.
    me.release();
}

void ServerStream::continued(pa_mainloop_api* api, pa_defer_event* event, void* self) {
    api->defer_enable(event, 0);
    static_cast<ServerStream*>(self)->fill();
}

void ServerStream::ticked(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* self) {
    ServerStream& me = *static_cast<ServerStream*>(self);
    if (me.stream == nullptr) {
        me.attach();
    } else if (me.playing && me.isReady()) {
        me.askTime();
        me.wake(reportPeriod);
    }
}

void ServerStream::ready() {
    everReady = true;
    if (corked != !playing)
        cork(!playing);
    fill();
    askTime();
    if (playing)
        wake(reportPeriod);
}

void ServerStream::failed() {
    pa_context* const context = output->connection();
    // A connection that fails takes its streams along; the output sees to them.
    if (context == nullptr)
        return;
    const int error = pa_context_errno(context);
    const bool refused = !everReady && isRefusal(error);
    detach();
    if (refused)
        output->refuse(pa_strerror(error));
    else
        wake(retryPeriod); // no output at the server for it now (all gone, or being changed)
}

void ServerStream::fill(std::size_t least) {
    if (!isReady() || ended)
        return;
    const std::size_t frameBytes = pa_frame_size(&format);
    std::size_t room = pa_stream_writable_size(stream);
    if (room == static_cast<std::size_t>(-1))
        return;
    std::size_t frames = std::min(std::max(room / frameBytes, least),
                                  static_cast<std::size_t>(framesIn(writeTime, format.rate)));
    if (frames == 0)
        return;
    void* data = nullptr;
    std::size_t bytes = frames * frameBytes;
    if (pa_stream_begin_write(stream, &data, &bytes) < 0 || data == nullptr)
        return;
    frames = std::min(frames, bytes / frameBytes);
    auto* const samples = static_cast<sf::Int16*>(data);
    sf::Uint64 count = file.read(samples, frames);
    if (count == 0 && loop && nextFrame > 0) {
        file.seek(0);
        nextFrame = 0;
        runs.push_back(Run{written, 0});
        count = file.read(samples, frames);
    }
    if (count > 0) {
        pa_stream_write(stream, data, count * frameBytes, nullptr, 0, PA_SEEK_RELATIVE);
        nextFrame += count;
        written += count;
    } else {
        pa_stream_cancel_write(stream);
    }
    // The end of the file, or of its data (a file cut short while it plays): the server plays
    // out what it has, and says when.
    if (!loop && (count == 0 || nextFrame >= file.frameCount())) {
        ended = true;
        draining = pa_stream_drain(stream, drained, this);
        return;
    }
    room = pa_stream_writable_size(stream);
    if (room != static_cast<std::size_t>(-1) && room >= frameBytes)
        output->api()->defer_enable(more, 1);
}

void ServerStream::askTime() {
    drop(pa_stream_update_timing_info(stream, nullptr, nullptr));
}

void ServerStream::cork(bool cork) {
    corked = cork;
    drop(pa_stream_cork(stream, cork ? 1 : 0, nullptr, nullptr));
    askTime();
}

void ServerStream::wake(std::chrono::milliseconds after) {
    struct timeval when {};
    pa_gettimeofday(&when);
    pa_timeval_add(&when, static_cast<pa_usec_t>(after.count()) * PA_USEC_PER_MSEC);
    output->api()->time_restart(timer, &when);
}

void ServerStream::release() {
    if (draining != nullptr) {
        pa_operation_cancel(draining);
        pa_operation_unref(draining);
        draining = nullptr;
    }
    if (more != nullptr)
        output->api()->defer_enable(more, 0);
    if (stream == nullptr)
        return;
    pa_stream_set_state_callback(stream, nullptr, nullptr);
    pa_stream_set_write_callback(stream, nullptr, nullptr);
    pa_stream_set_latency_update_callback(stream, nullptr, nullptr);
    pa_stream_disconnect(stream);
    pa_stream_unref(stream);
    stream = nullptr;
}

sf::Uint64 ServerStream::positionLocked() {
    if (finished || stream == nullptr || !playing || !timeKnown || !baseKnown)
        return heard;
    pa_usec_t time = 0;
    if (pa_stream_get_time(stream, &time) < 0)
        return heard;
    // Moved on with the clock no further than until the report after next: a server that has
    // stopped answering has stopped playing too.
    const std::chrono::steady_clock::duration since = std::min<std::chrono::steady_clock::duration>(
        std::chrono::steady_clock::now() - reportedAt, reportReach);
    const auto reach = std::chrono::duration_cast<std::chrono::microseconds>(since).count();
    time = std::min(time, reported + static_cast<pa_usec_t>(reach));
    const sf::Int64 played = static_cast<sf::Int64>(framesIn(time, format.rate)) - base;
    // Still what was written before the last seek: the sound holds at its target until then.
    if (played < 0)
        return heard = runs.front().frame;
    const auto now = static_cast<sf::Uint64>(played);
    while (runs.size() > 1 && runs[1].offset <= now)
        runs.erase(runs.begin());
    const sf::Uint64 runEnd = runs.size() > 1 ? runs[1].offset : written;
    heard = runs.front().frame + (std::min(now, runEnd) - runs.front().offset);
    return heard;
}

bool ServerStream::isReady() const {
    return stream != nullptr && pa_stream_get_state(stream) == PA_STREAM_READY;
}

} // namespace irrklang
