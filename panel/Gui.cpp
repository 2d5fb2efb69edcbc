#include "panel/Gui.hpp"

#include "panel/WindowOrder.hpp"

#include <SFML/Graphics/BlendMode.hpp>
#include <SFML/Graphics/Image.hpp>

#include <algorithm>
#include <cstdint>

namespace {
// How far Right and Left jump, in microseconds.
const std::int64_t jump = 5000000;
// The panel's extent, in the coordinates it is laid out in.
const unsigned panelWidth = 300;
const unsigned panelHeight = 150;

// The part of the world a view shows.
sf::FloatRect areaOf(const sf::View& view) {
    return sf::FloatRect(view.getCenter() - view.getSize() / 2.f, view.getSize());
}
} // namespace

Gui::Gui(sf::Texture* textures)
    : background(), backgroundStates(), backgroundShader(), playButton(nullptr),
      pauseButton(nullptr), stopButton(nullptr), spareButton(nullptr), progressBar(nullptr),
      player(nullptr), controls(nullptr), barSought(false), barTarget(0),
      picture(), pictureSprite(), usesPicture(false), pictureDrawn(false), pictureSize(), pictureArea(),
      pictureAreas(), pictureTitle() {
    const sf::Image backgroundImage = textures[0].copyToImage();
    storeInWindowOrder(textures[0], backgroundImage);
    storeInWindowOrder(textures[1], textures[1].copyToImage());
    storeInWindowOrder(textures[2], textures[2].copyToImage());
    background.setTexture(textures[0], false);
    backgroundStates = statesForBackground(backgroundImage, backgroundShader);
    playButton = new Button(textures[1], 2, 100, 0, 8, 1);
    pauseButton = new Button(textures[1], 30, 100, 2, 8, 1);
    stopButton = new Button(textures[1], 65, 100, 4, 8, 1);
    spareButton = new Button(textures[1], 105, 100, 6, 8, 1);
    progressBar = new Widget(textures[2], 0, 143);
    player = new Player();
    controls = new Controls(*player, *playButton, *pauseButton, *stopButton);

    // Only an opaque background as large as the panel hides the last frame wholly, so that
    // the panel drawn into a picture of its own is the same as the panel drawn into the window.
    const sf::Vector2u size = textures[0].getSize();
    usesPicture = backgroundStates.blendMode == sf::BlendNone && size.x >= panelWidth &&
                  size.y >= panelHeight;
}

Gui::~Gui() {
    delete controls;
    delete playButton;
    delete pauseButton;
    delete stopButton;
    delete spareButton;
    delete progressBar;
    delete player;
}

void Gui::draw(sf::RenderTarget& target) {
    target.draw(background, backgroundStates);
}

bool Gui::update(sf::RenderWindow& window, InputState& input, Sight sight) {
    // The cursor is read once for the whole turn: each reading is a round trip to the X
    // server, which costs both processes more than anything in a turn but its drawing.
    const sf::Vector2i cursor = input.mousePosition(window);
    // A key acts before the buttons are drawn, as a click does: the button it switches shows
    // in this frame, and the rules below act on it.
    const sf::Keyboard::Key key = input.key();
    input.setKey(sf::Keyboard::Unknown);
    if (key == sf::Keyboard::Space)
        controls->ask(Controls::Request::playPause);
    else if (key == sf::Keyboard::S)
        controls->ask(Controls::Request::stop);
    else if ((key == sf::Keyboard::Right || key == sf::Keyboard::Left) &&
             controls->seekBy(key == sf::Keyboard::Right ? jump : -jump))
        controls->markJump();

    playButton->update(input, cursor);
    pauseButton->update(input, cursor);
    stopButton->update(input, cursor);
    spareButton->update(input, cursor);
    progressBar->setProgress(static_cast<std::int8_t>(player->progress() & 0xFFu));
    // A window nobody sees gets nothing; what changed meanwhile is drawn once it is seen
    // again, as its pixels are lost by then.
    const bool drawn =
        sight == Sight::lost || (sight == Sight::kept && changedSinceDrawn(window));
    if (drawn)
        drawInto(window);
    // The latch is left set: a press held on the bar seeks again every frame until the
    // next event arrives. Only a seek that lands somewhere else than the last frame's is
    // announced, so that a held press tells the desktop once.
    const bool seeking = progressBar->contains(cursor.x, cursor.y) && input.isClicked();
    if (seeking) {
        const auto target = static_cast<std::int8_t>((cursor.x / 2) & 0xFF);
        player->seek(target);
        if (!barSought || target != barTarget)
            controls->markJump();
        barTarget = target;
    }
    barSought = seeking;

    if (player->isPlaying()) {
        if (pauseButton->isActive() && !player->isPaused())
            player->togglePause();
        if (!pauseButton->isActive() && player->isPaused())
            player->togglePause();
        if (stopButton->isActive() || player->isFinished()) {
            player->stop();
            playButton->setActive(false);
            pauseButton->setActive(false);
        }
    } else if (playButton->isActive()) {
        player->play();
        pauseButton->setActive(false);
        stopButton->setActive(false);
    }
    return drawn;
}

Controls& Gui::remote() { return *controls; }

void Gui::drawPanel(sf::RenderTarget& target) {
    draw(target);
    player->draw(target);
    playButton->draw(target);
    pauseButton->draw(target);
    stopButton->draw(target);
    spareButton->draw(target);
    progressBar->drawCropped(target);
}

void Gui::shownAreas(sf::IntRect (&areas)[5]) const {
    areas[0] = playButton->shownArea();
    areas[1] = pauseButton->shownArea();
    areas[2] = stopButton->shownArea();
    areas[3] = spareButton->shownArea();
    areas[4] = progressBar->shownArea();
}

bool Gui::changedSinceDrawn(const sf::RenderWindow& window) const {
    sf::IntRect areas[5];
    shownAreas(areas);
    return !pictureDrawn || pictureSize != window.getSize() ||
           areaOf(window.getView()) != pictureArea || !std::equal(areas, areas + 5, pictureAreas) ||
           player->shownTitle() != pictureTitle;
}

void Gui::rememberDrawn(const sf::RenderWindow& window) {
    pictureDrawn = true;
    pictureSize = window.getSize();
    pictureArea = areaOf(window.getView());
    shownAreas(pictureAreas);
    pictureTitle = player->shownTitle();
}

void Gui::redrawPicture(const sf::RenderWindow& window) {
    // As large as the window, and drawn through its view: the same pixels as the window
    // would get, at any size the window is shown at.
    const sf::Vector2u size = window.getSize();
    if (picture.getSize() != size) {
        if (!picture.create(size.x, size.y)) {
            usesPicture = false;
            return;
        }
        sf::Image blank;
        blank.create(size.x, size.y);
        storeInWindowOrder(picture.getTexture(), blank);
        pictureSprite.setTexture(picture.getTexture(), true);
    }
    picture.setView(window.getView());
    drawPanel(picture);
    picture.display();
}

void Gui::drawInto(sf::RenderWindow& window) {
    if (usesPicture && changedSinceDrawn(window))
        redrawPicture(window);
    if (usesPicture) {
        // The picture holds the window's pixels: it goes back into the window one texel to a
        // pixel through whatever view the window shows.
        const sf::FloatRect area = areaOf(window.getView());
        sf::RenderStates states = backgroundStates;
        states.transform.translate(area.left, area.top)
            .scale(area.width / static_cast<float>(picture.getSize().x),
                   area.height / static_cast<float>(picture.getSize().y));
        window.draw(pictureSprite, states);
    } else {
        drawPanel(window);
    }
    rememberDrawn(window);
}
