#include "ServerOutput.hpp"

#include "ServerStream.hpp"

#include <pulse/error.h>
#include <pulse/introspect.h>
#include <pulse/proplist.h>
#include <pulse/timeval.h>

#include <algorithm>
#include <iostream>

namespace irrklang {

namespace {

// A connection that failed, or never came, is tried again twice a second.
const pa_usec_t retryPeriod = 500000;

// What the desktop's mixer shows for the player, and finds its icon and launcher by.
const char* const applicationName = "Brasko";
const char* const applicationId = "io.github.brasko.Brasko";
const char* const iconName = "brasko";

// Returns true iff the server will not have the player at all.
bool refusesThePlayer(int error) {
    return error == PA_ERR_ACCESS || error == PA_ERR_AUTHKEY || error == PA_ERR_VERSION;
}

} // namespace

ServerOutput::ServerOutput(bool verbose)
    : loop(pa_threaded_mainloop_new()), context(nullptr), retry(nullptr), where(State::connecting),
      streams(), verbose(verbose) {
    // The first attempt runs on the loop's thread, where a server that libpulse starts for
    // the player is waited for.
    struct timeval now {};
    pa_gettimeofday(&now);
    retry = api()->time_new(api(), &now, attempt, this);
    pa_threaded_mainloop_start(loop);
}

ServerOutput::~ServerOutput() {
    pa_threaded_mainloop_stop(loop);
    letGo();
    api()->time_free(retry);
    pa_threaded_mainloop_free(loop);
}

ServerOutput::State ServerOutput::state() const {
    return where.load();
}

void ServerOutput::lock() {
    pa_threaded_mainloop_lock(loop);
}

void ServerOutput::unlock() {
    pa_threaded_mainloop_unlock(loop);
}

void ServerOutput::add(ServerStream* stream) {
    streams.push_back(stream);
    stream->attach();
}

void ServerOutput::remove(ServerStream* stream) {
    streams.erase(std::remove(streams.begin(), streams.end(), stream), streams.end());
}

pa_context* ServerOutput::connection() {
    return where == State::ready ? context : nullptr;
}

pa_mainloop_api* ServerOutput::api() {
    return pa_threaded_mainloop_get_api(loop);
}

void ServerOutput::refuse(const char* why) {
    if (where == State::refused)
        return;
    where = State::refused;
    letGo();
    say(std::string("the sound server refuses to play: ") + why + "; playing through OpenAL Soft");
}

void ServerOutput::attempt(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* self) {
    static_cast<ServerOutput*>(self)->connect();
}

void ServerOutput::changed(pa_context* context, void* self) {
    ServerOutput& me = *static_cast<ServerOutput*>(self);
    switch (pa_context_get_state(context)) {
    case PA_CONTEXT_READY: {
        const State before = me.where;
        me.where = State::ready;
        for (ServerStream* stream : me.streams)
            stream->attach();
        if (before == State::lost)
            me.say("the sound server is back");
        else if (pa_operation* asking = pa_context_get_server_info(context, identified, self))
            pa_operation_unref(asking);
        break;
    }
    case PA_CONTEXT_FAILED:
    case PA_CONTEXT_TERMINATED:
        me.fail();
        break;
    default:
        break;
    }
}

void ServerOutput::identified(pa_context*, const pa_server_info* info, void* self) {
    if (info != nullptr)
        static_cast<ServerOutput*>(self)->say(std::string("playing through the sound server (") +
                                              info->server_name + " " + info->server_version + ")");
}

void ServerOutput::connect() {
    api()->time_restart(retry, nullptr);
    pa_proplist* properties = pa_proplist_new();
    pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, applicationName);
    pa_proplist_sets(properties, PA_PROP_APPLICATION_ID, applicationId);
    pa_proplist_sets(properties, PA_PROP_APPLICATION_ICON_NAME, iconName);
    context = pa_context_new_with_proplist(api(), applicationName, properties);
    pa_proplist_free(properties);
    if (context == nullptr) {
        fail();
        return;
    }
    pa_context_set_state_callback(context, changed, this);
    // Only the first attempt may have libpulse start a server, as its settings say.
    const pa_context_flags_t flags =
        where == State::connecting ? PA_CONTEXT_NOFLAGS : PA_CONTEXT_NOAUTOSPAWN;
    if (pa_context_connect(context, nullptr, flags, nullptr) < 0)
        fail();
}

void ServerOutput::fail() {
    const int error = context != nullptr ? pa_context_errno(context) : PA_ERR_INTERNAL;
    letGo();
    if (refusesThePlayer(error)) {
        where = State::refused;
        say(std::string("the sound server refuses to play: ") + pa_strerror(error) +
            "; playing through OpenAL Soft");
        return;
    }
    if (where == State::ready) {
        where = State::lost;
        say("the sound server is gone; the sound holds until it is back");
    } else if (where == State::connecting) {
        where = State::absent;
        say("no sound server answers; playing through OpenAL Soft");
    }
    struct timeval when {};
    pa_gettimeofday(&when);
    pa_timeval_add(&when, retryPeriod);
    api()->time_restart(retry, &when);
}

void ServerOutput::letGo() {
    for (ServerStream* stream : streams)
        stream->detach();
    if (context == nullptr)
        return;
    pa_context_set_state_callback(context, nullptr, nullptr);
    pa_context_disconnect(context);
    pa_context_unref(context);
    context = nullptr;
}

void ServerOutput::say(const std::string& line) const {
    if (verbose)
        std::cout << "brasko sound: " + line + "\n" << std::flush;
}

} // namespace irrklang
