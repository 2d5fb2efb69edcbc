#include "session/Mpris.hpp"

#include "session/FileUri.hpp"

#include <TagReader.hpp>

#include <systemd/sd-bus.h>

#include <cstring>
#include <filesystem>
#include <iostream>
#include <system_error>
#include <unistd.h>

namespace {

const char* const objectPath = "/org/mpris/MediaPlayer2";
const char* const rootInterface = "org.mpris.MediaPlayer2";
const char* const playerInterface = "org.mpris.MediaPlayer2.Player";
const char* const busName = "org.mpris.MediaPlayer2.brasko";
// The installed desktop entry's file name without ".desktop" (cmake/Install.cmake).
const char* const desktopEntry = "io.github.brasko.Brasko";
// Where the songs' track ids are, a number after it for each; and MPRIS's own id for "no
// track".
const char* const trackFolder = "/io/github/brasko/Brasko/Track/";
const char* const noTrack = "/org/mpris/MediaPlayer2/TrackList/NoTrack";
// The answer of RequestName when another connection owns the name.
const unsigned nameExists = 3;
// The kinds of file the engine plays, by their MIME types and the older names still in use.
const char* const mimeTypes[] = {"audio/mpeg", "audio/ogg",    "audio/x-vorbis+ogg", "audio/vorbis",
                                 "audio/flac", "audio/x-flac", "audio/wav",          "audio/x-wav"};

// The working folder, where the song is; empty if it cannot be told.
std::string workingFolder() {
    std::error_code failed;
    return std::filesystem::current_path(failed).string();
}

} // namespace

// The bus calls these from sd_bus_process, that is from Mpris::update(), with the Mpris as
// userdata. They return what sd-bus expects: a negative errno makes it answer with an error.
struct Mpris::Calls {
    static int request(sd_bus_message* call, void* data, sd_bus_error* error);
    static int seek(sd_bus_message* call, void* data, sd_bus_error* error);
    static int setPosition(sd_bus_message* call, void* data, sd_bus_error* error);
    static int accept(sd_bus_message* call, void* data, sd_bus_error* error);
    static int openUri(sd_bus_message* call, void* data, sd_bus_error* error);
    static int raise(sd_bus_message* call, void* data, sd_bus_error* error);
    static int nameReply(sd_bus_message* reply, void* data, sd_bus_error* error);

    static int status(sd_bus* bus, const char* path, const char* interface, const char* property,
                      sd_bus_message* reply, void* data, sd_bus_error* error);
    static int metadata(sd_bus* bus, const char* path, const char* interface, const char* property,
                        sd_bus_message* reply, void* data, sd_bus_error* error);
    static int position(sd_bus* bus, const char* path, const char* interface, const char* property,
                        sd_bus_message* reply, void* data, sd_bus_error* error);
    static int yes(sd_bus* bus, const char* path, const char* interface, const char* property,
                   sd_bus_message* reply, void* data, sd_bus_error* error);
    static int no(sd_bus* bus, const char* path, const char* interface, const char* property,
                  sd_bus_message* reply, void* data, sd_bus_error* error);
    static int one(sd_bus* bus, const char* path, const char* interface, const char* property,
                   sd_bus_message* reply, void* data, sd_bus_error* error);
    static int text(sd_bus* bus, const char* path, const char* interface, const char* property,
                    sd_bus_message* reply, void* data, sd_bus_error* error);
    static int ignore(sd_bus* bus, const char* path, const char* interface, const char* property,
                      sd_bus_message* value, void* data, sd_bus_error* error);

    static const sd_bus_vtable root[];
    static const sd_bus_vtable player[];
};

const sd_bus_vtable Mpris::Calls::root[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Raise", "", "", raise, 0),
    SD_BUS_METHOD("Quit", "", "", accept, 0),
    SD_BUS_PROPERTY("CanQuit", "b", no, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("CanRaise", "b", yes, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("HasTrackList", "b", no, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Identity", "s", text, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("DesktopEntry", "s", text, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("SupportedUriSchemes", "as", text, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("SupportedMimeTypes", "as", text, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_VTABLE_END,
};

const sd_bus_vtable Mpris::Calls::player[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Next", "", "", accept, 0),
    SD_BUS_METHOD("Previous", "", "", accept, 0),
    SD_BUS_METHOD("Pause", "", "", request, 0),
    SD_BUS_METHOD("PlayPause", "", "", request, 0),
    SD_BUS_METHOD("Stop", "", "", request, 0),
    SD_BUS_METHOD("Play", "", "", request, 0),
    SD_BUS_METHOD("Seek", "x", "", seek, 0),
    SD_BUS_METHOD("SetPosition", "ox", "", setPosition, 0),
    SD_BUS_METHOD("OpenUri", "s", "", openUri, 0),
    SD_BUS_SIGNAL("Seeked", "x", 0),
    SD_BUS_PROPERTY("PlaybackStatus", "s", status, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
    SD_BUS_PROPERTY("Metadata", "a{sv}", metadata, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
    // Read live from the sound, never announced (no flag): clients work it out from Rate and
    // the last Seeked.
    SD_BUS_PROPERTY("Position", "x", position, 0, 0),
    // Rate and Volume may be set, to no effect: the player has neither.
    SD_BUS_WRITABLE_PROPERTY("Rate", "d", one, ignore, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
    SD_BUS_WRITABLE_PROPERTY("Volume", "d", one, ignore, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
    SD_BUS_PROPERTY("MinimumRate", "d", one, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("MaximumRate", "d", one, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("CanGoNext", "b", no, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("CanGoPrevious", "b", no, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("CanPlay", "b", yes, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("CanPause", "b", yes, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("CanSeek", "b", yes, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("CanControl", "b", yes, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_VTABLE_END,
};

int Mpris::Calls::request(sd_bus_message* call, void* data, sd_bus_error*) {
    Mpris& self = *static_cast<Mpris*>(data);
    const std::string member = sd_bus_message_get_member(call);
    const Controls::Request request = member == "Play"        ? Controls::Request::play
                                      : member == "Pause"     ? Controls::Request::pause
                                      : member == "PlayPause" ? Controls::Request::playPause
                                                              : Controls::Request::stop;
    if (self.controls.ask(request))
        self.buttonSwitched = true;
    return sd_bus_reply_method_return(call, "");
}

int Mpris::Calls::seek(sd_bus_message* call, void* data, sd_bus_error*) {
    Mpris& self = *static_cast<Mpris*>(data);
    std::int64_t offset = 0;
    const int read = sd_bus_message_read(call, "x", &offset);
    if (read < 0)
        return read;
    if (self.controls.seekBy(offset))
        self.seeked();
    return sd_bus_reply_method_return(call, "");
}

int Mpris::Calls::setPosition(sd_bus_message* call, void* data, sd_bus_error*) {
    Mpris& self = *static_cast<Mpris*>(data);
    const char* track = nullptr;
    std::int64_t target = 0;
    const int read = sd_bus_message_read(call, "ox", &track, &target);
    if (read < 0)
        return read;
    // A request for another track, or one before the start, is stale: MPRIS says to ignore it.
    if (track == self.trackPath() && self.controls.seekTo(target))
        self.seeked();
    return sd_bus_reply_method_return(call, "");
}

int Mpris::Calls::accept(sd_bus_message* call, void*, sd_bus_error*) {
    return sd_bus_reply_method_return(call, "");
}

int Mpris::Calls::openUri(sd_bus_message* call, void* data, sd_bus_error* error) {
    Mpris& self = *static_cast<Mpris*>(data);
    const char* uri = nullptr;
    const int read = sd_bus_message_read(call, "s", &uri);
    if (read < 0)
        return read;
    // The error names the URI, which is valid UTF-8 as every D-Bus string is; the path it
    // decodes to need not be.
    const FileUri file(uri);
    if (!file.isLocalFile())
        return sd_bus_error_setf(error, SD_BUS_ERROR_INVALID_ARGS, "not a local file: %s", uri);
    if (!self.opener.open(file.path()))
        return sd_bus_error_setf(error, SD_BUS_ERROR_INVALID_ARGS, "cannot play %s", uri);
    // The song starts in the panel's next update, before any other request is taken.
    self.buttonSwitched = true;
    return sd_bus_reply_method_return(call, "");
}

int Mpris::Calls::raise(sd_bus_message* call, void* data, sd_bus_error*) {
    static_cast<Mpris*>(data)->raiseAsked = true;
    return sd_bus_reply_method_return(call, "");
}

int Mpris::Calls::nameReply(sd_bus_message* reply, void* data, sd_bus_error*) {
    Mpris& self = *static_cast<Mpris*>(data);
    unsigned answer = 0;
    if (sd_bus_message_is_method_error(reply, nullptr) ||
        sd_bus_message_read(reply, "u", &answer) < 0 || answer != nameExists)
        return 0;
    const std::string instance = std::string(busName) + ".instance" + std::to_string(getpid());
    sd_bus_request_name_async(
        self.bus, nullptr, instance.c_str(), 0,
        [](sd_bus_message*, void*, sd_bus_error*) { return 0; }, nullptr);
    return 0;
}

int Mpris::Calls::status(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply,
                         void* data, sd_bus_error*) {
    return sd_bus_message_append(reply, "s", static_cast<Mpris*>(data)->status());
}

int Mpris::Calls::metadata(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply,
                           void* data, sd_bus_error*) {
    Mpris& self = *static_cast<Mpris*>(data);
    const std::int64_t length = self.controls.length();
    if (length == 0)
        return sd_bus_message_append(reply, "a{sv}", 1, "mpris:trackid", "o", noTrack);
    // The sound's path is the file name as the player opened it, maybe relative to the folder.
    const std::string path = self.controls.path();
    const std::string file = !path.empty() && path[0] == '/' ? path : self.folder + "/" + path;
    const std::string track = self.trackPath();
    int done = sd_bus_message_open_container(reply, 'a', "{sv}");
    if (done >= 0)
        done =
            sd_bus_message_append(reply, "{sv}{sv}{sv}{sv}", "mpris:trackid", "o", track.c_str(),
                                  "mpris:length", "x", length, "xesam:title", "s",
                                  self.title.c_str(), "xesam:url", "s", FileUri::of(file).c_str());
    if (done >= 0 && !self.artist.empty())
        done = sd_bus_message_append(reply, "{sv}", "xesam:artist", "as", 1, self.artist.c_str());
    if (done >= 0 && !self.album.empty())
        done = sd_bus_message_append(reply, "{sv}", "xesam:album", "s", self.album.c_str());
    return done < 0 ? done : sd_bus_message_close_container(reply);
}

int Mpris::Calls::position(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply,
                           void* data, sd_bus_error*) {
    return sd_bus_message_append(reply, "x", static_cast<Mpris*>(data)->controls.position());
}

int Mpris::Calls::yes(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
                      sd_bus_error*) {
    return sd_bus_message_append(reply, "b", 1);
}

int Mpris::Calls::no(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
                     sd_bus_error*) {
    return sd_bus_message_append(reply, "b", 0);
}

int Mpris::Calls::one(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
                      sd_bus_error*) {
    return sd_bus_message_append(reply, "d", 1.0);
}

int Mpris::Calls::text(sd_bus*, const char*, const char*, const char* property,
                       sd_bus_message* reply, void*, sd_bus_error*) {
    const std::string name = property;
    if (name == "Identity")
        return sd_bus_message_append(reply, "s", "Brasko");
    if (name == "DesktopEntry")
        return sd_bus_message_append(reply, "s", desktopEntry);
    if (name == "SupportedUriSchemes")
        return sd_bus_message_append(reply, "as", 1, "file");
    int done = sd_bus_message_open_container(reply, 'a', "s");
    for (const char* type : mimeTypes)
        if (done >= 0)
            done = sd_bus_message_append(reply, "s", type);
    return done < 0 ? done : sd_bus_message_close_container(reply);
}

int Mpris::Calls::ignore(sd_bus*, const char*, const char*, const char*, sd_bus_message* value,
                         void*, sd_bus_error*) {
    double unused = 0;
    return sd_bus_message_read(value, "d", &unused);
}

Mpris::Mpris(Controls& controls, SongOpener& opener)
    : controls(controls), opener(opener), bus(nullptr), folder(workingFolder()),
      lastStatus(status()), lastLength(0), lastTrack(0), title(), artist(), album(),
      buttonSwitched(false), raiseAsked(false) {
    // Connecting does not wait: the handshake and the name's answer are handled by update().
    if (sd_bus_open_user(&bus) < 0 ||
        sd_bus_add_object_vtable(bus, nullptr, objectPath, rootInterface, Calls::root, this) < 0 ||
        sd_bus_add_object_vtable(bus, nullptr, objectPath, playerInterface, Calls::player, this) <
            0 ||
        sd_bus_request_name_async(bus, nullptr, busName, 0, Calls::nameReply, this) < 0)
        leaveBus("no session bus");
}

Mpris::~Mpris() {
    if (bus != nullptr)
        sd_bus_close_unref(bus);
}

void Mpris::update() {
    if (bus == nullptr)
        return;
    const char* changed[3] = {nullptr, nullptr, nullptr};
    int count = 0;
    if (std::strcmp(status(), lastStatus) != 0) {
        lastStatus = status();
        changed[count++] = "PlaybackStatus";
    }
    const std::int64_t length = controls.length();
    if (controls.track() != lastTrack) {
        // A new song: its tags are read once, here, for every reading of the metadata.
        lastTrack = controls.track();
        const std::string path = controls.path();
        const irrklang::TagReader tags(path);
        // Without a title tag, the file's name from the path, made valid UTF-8 as every D-Bus
        // string must be: a file name may hold any bytes.
        title = !tags.title().empty() ? tags.title()
                                      : irrklang::TagReader::utf8(path.substr(path.rfind('/') + 1));
        artist = tags.artist();
        album = tags.album();
        lastLength = -1;
    }
    if (length != lastLength) {
        lastLength = length;
        changed[count++] = "Metadata";
    }
    if (controls.takeJump())
        seeked();
    if (count > 0)
        sd_bus_emit_properties_changed_strv(bus, objectPath, playerInterface,
                                            const_cast<char**>(changed));

    buttonSwitched = false;
    while (!buttonSwitched) {
        const int handled = sd_bus_process(bus, nullptr);
        if (handled < 0) {
            leaveBus("lost the session bus");
            return;
        }
        if (handled == 0)
            break;
    }
}

void Mpris::seeked() {
    if (bus != nullptr && controls.isPlaying())
        sd_bus_emit_signal(bus, objectPath, playerInterface, "Seeked", "x", controls.position());
}

bool Mpris::takeRaise() {
    const bool asked = raiseAsked;
    raiseAsked = false;
    return asked;
}

std::string Mpris::trackPath() const {
    return trackFolder + std::to_string(controls.track());
}

const char* Mpris::status() const {
    if (!controls.isPlaying())
        return "Stopped";
    return controls.isPaused() ? "Paused" : "Playing";
}

void Mpris::leaveBus(const char* why) {
    std::cout << "brasko: " << why << "; the desktop's media controls are off" << std::endl;
    if (bus != nullptr)
        sd_bus_close_unref(bus);
    bus = nullptr;
}
