#include "playback/Player.hpp"

#include <SFML/Graphics/Color.hpp>
#include <SFML/System/String.hpp>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
const char* const defaultSong = "granite.mp3";
const char* const fontPath = "./ressources/BKANT.TTF";
const unsigned titleSize = 20; // pixels, at the window's design size
} // namespace

Player::Player()
    : engine(irrklang::createIrrKlangDevice(irrklang::ESOD_AUTO_DETECT,
                                            irrklang::ESEO_DEFAULT_OPTIONS, 0, IRR_KLANG_VERSION)),
      sound(nullptr), playing(false), paused(false), song(defaultSong), songs(0), newSong(true),
      font(), title() {
    font.loadFromFile(fontPath);
    title.setFont(font);
    title.setPosition(5.f, 5.f);
    title.setCharacterSize(titleSize);
    title.setFillColor(sf::Color(0, 63, 76, 150));
}

Player::~Player() {
    // The handle goes back before the engine that made it.
    if (sound != nullptr)
        sound->drop();
    if (engine != nullptr)
        engine->drop();
}

bool Player::isPlaying() const { return playing; }

bool Player::isPaused() const { return paused; }

bool Player::isFinished() { return sound == nullptr || sound->isFinished(); }

std::uint32_t Player::progress() {
    if (sound == nullptr)
        return 0;
    const std::uint64_t position = sound->getPlayPosition();
    const std::uint64_t length = sound->getPlayLength();
    if (length == 0)
        return 0;
    return static_cast<std::uint32_t>(position * 100u / length);
}

void Player::open(const std::string& path) {
    song = path;
    newSong = true;
}

void Player::play() {
    if (sound != nullptr) {
        sound->drop();
        sound = nullptr;
    }
    if (engine != nullptr)
        sound = engine->play2D(song.c_str(), false, false, true, irrklang::ESM_AUTO_DETECT, false);
    if (sound != nullptr) {
        // The file's name alone: a song opened from another folder shows as granite.mp3 does.
        // File names are UTF-8, as the desktop writes them.
        const std::string path = sound->getSoundSource()->getName();
        const std::string name = path.substr(path.find_last_of('/') + 1);
        title.setString(sf::String::fromUtf8(name.begin(), name.end()));
        if (newSong)
            ++songs;
        newSong = false;
    }
    playing = true;
    paused = false;
}

void Player::togglePause() {
    if (sound == nullptr)
        return;
    sound->setIsPaused(!sound->getIsPaused());
    paused = !paused;
}

void Player::stop() {
    if (sound != nullptr)
        sound->stop();
    playing = false;
}

void Player::seek(std::int8_t percent) {
    if (sound == nullptr)
        return;
    // 64-bit arithmetic keeps the target right for songs of any length; a negative percent
    // wraps to a target past the end, as in 32 bits, and so ends the sound.
    const std::uint64_t length = sound->getPlayLength();
    const std::uint64_t target =
        length * static_cast<std::uint64_t>(static_cast<std::int64_t>(percent)) / 100u;
    const std::uint64_t limit = std::numeric_limits<irrklang::ik_u32>::max();
    sound->setPlayPosition(static_cast<irrklang::ik_u32>(target < limit ? target : limit));
}

void Player::seekTo(std::uint32_t milliseconds) {
    if (sound != nullptr)
        sound->setPlayPosition(milliseconds);
}

std::uint32_t Player::position() { return sound == nullptr ? 0 : sound->getPlayPosition(); }

std::uint32_t Player::length() { return sound == nullptr ? 0 : sound->getPlayLength(); }

std::string Player::name() const {
    const std::basic_string<sf::Uint8> text = title.getString().toUtf8();
    return std::string(text.begin(), text.end());
}

std::uint32_t Player::track() const { return songs; }

std::string Player::path() const {
    return sound == nullptr ? std::string() : std::string(sound->getSoundSource()->getName());
}

const sf::String& Player::shownTitle() const { return title.getString(); }

void Player::draw(sf::RenderTarget& target) {
    // In a target drawn larger than its view, the text is laid out at the target's own pixel
    // size and scaled back into the view, so that it shows sharp rather than magnified.
    const float view = target.getView().getSize().y;
    const unsigned scale =
        view > 0 ? std::max(1u, static_cast<unsigned>(
                                    std::lround(static_cast<float>(target.getSize().y) / view)))
                 : 1;
    title.setCharacterSize(titleSize * scale);
    title.setScale(1.f / static_cast<float>(scale), 1.f / static_cast<float>(scale));
    target.draw(title, sf::RenderStates::Default);
}
