#include "app/WindowScale.hpp"

#include <SFML/Graphics/View.hpp>
#include <X11/Xlib.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

namespace {
const unsigned designWidth = 300;
const unsigned designHeight = 150;

// The number that is the whole of text but for blanks around it; false if there is none.
bool number(const std::string& text, double& value) {
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    value = std::strtod(begin, &end);
    if (end == begin || errno != 0)
        return false;
    while (*end == ' ' || *end == '\t')
        ++end;
    return *end == '\0';
}

// The value of the resource `name` in X resource text, one "name:\tvalue" a line, or false
// if it has none.
bool resource(const std::string& text, const char* name, std::string& value) {
    const std::string key = std::string(name) + ":";
    std::size_t line = 0;
    while (line < text.size()) {
        std::size_t end = text.find('\n', line);
        if (end == std::string::npos)
            end = text.size();
        if (text.compare(line, key.size(), key) == 0) {
            value = text.substr(line + key.size(), end - line - key.size());
            return true;
        }
        line = end + 1;
    }
    return false;
}

// The desktop's X resources as the X server holds them, or empty without an X server.
std::string desktopResources() {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr)
        return "";
    const char* text = XResourceManagerString(display);
    std::string resources = text != nullptr ? text : "";
    XCloseDisplay(display);
    return resources;
}

// The scale a desktop asks for, from its X resources (the RESOURCE_MANAGER property's text)
// and GDK_SCALE (or null): 2 when Xft.dpi is 144 or more or GDK_SCALE 2 or more, else 1. A
// value that is missing, not a number, 0 or out of range says nothing.
unsigned ofDesktop(const std::string& resources, const char* gdkScale) {
    // Xft.dpi is 96 at 100 %; beyond ten times that it is no desktop's.
    std::string text;
    double value = 0;
    if (resource(resources, "Xft.dpi", text) && number(text, value) && value >= 144 && value <= 960)
        return 2;
    // GTK takes whole numbers only, and none beyond ten times.
    if (gdkScale != nullptr && number(gdkScale, value) && value >= 2 && value <= 10 &&
        value == std::floor(value))
        return 2;
    return 1;
}
} // namespace

WindowScale::WindowScale() : scale(1) {
    const char* asked = std::getenv("BRASKO_SCALE");
    if (asked != nullptr && *asked != '\0') {
        if (std::strcmp(asked, "1") == 0 || std::strcmp(asked, "2") == 0)
            scale = static_cast<unsigned>(asked[0] - '0');
        else
            std::cout << "brasko: BRASKO_SCALE=" << asked
                      << " is neither 1 nor 2; the window opens at its normal size" << std::endl;
        return;
    }
    scale = ofDesktop(desktopResources(), std::getenv("GDK_SCALE"));
}

sf::Vector2u WindowScale::size() const {
    return sf::Vector2u(designWidth * scale, designHeight * scale);
}

sf::VideoMode WindowScale::videoMode() const {
    return sf::VideoMode(size().x, size().y, 32);
}

void WindowScale::apply(sf::RenderWindow& window) const {
    // A window that cannot be resized gets its size limits anew with its size.
    window.setSize(size());
    window.setView(sf::View(sf::FloatRect(0.f, 0.f, static_cast<float>(designWidth),
                                          static_cast<float>(designHeight))));
}

void WindowScale::toggle() { scale = scale == 1 ? 2 : 1; }
