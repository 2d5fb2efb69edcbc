// Says something to the user through the desktop's notification service
// (org.freedesktop.Notifications on the session bus), for what someone who started the player
// from a file manager would otherwise never see, as a song that cannot be played. It connects
// to the bus at its first notice only, sends each notice without waiting for an answer, and
// writes what is queued and reads the answers in update(), called every turn of the loop.
// Without a session bus, or without a notification service on it, a notice is lost silently:
// the same words also go to standard output. Made by the song opener, which owns it.
#ifndef BRASKO_NOTIFIER_HPP
#define BRASKO_NOTIFIER_HPP

#include <string>

struct sd_bus;

class Notifier {
public:
    Notifier();
    // Leaves the bus; what is still queued is lost.
    ~Notifier();
    Notifier(const Notifier&) = delete;
    Notifier& operator=(const Notifier&) = delete;

    // Queues one notification with the summary and the body.
    void notify(const std::string& summary, const std::string& body);

    // Sends what is queued and handles what has arrived, without waiting.
    void update();

private:
    // Closes the connection; notices are lost from then on.
    void leaveBus();

    sd_bus* bus; // null before the first notice and without a bus
    bool tried;  // whether the bus was asked for
};

#endif
