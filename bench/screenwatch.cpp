// The X server seen from outside the programs that draw on it: a connection of its own that
// watches the root window's children being mapped and destroyed and, through the DAMAGE
// extension, every change of the screen's contents.

#include "bench.h"

#include <xcb/damage.h>
#include <xcb/xcb.h>

#include <poll.h>
#include <signal.h>

#include <algorithm>
#include <cstdlib>

namespace {

constexpr int kPollMs = 20;  // how often the watching thread looks whether it should stop

}  // namespace

ScreenWatch::ScreenWatch() {
    int screenNumber = 0;
    connection_ = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(connection_)) {
        problem_ = QStringLiteral("no X server at DISPLAY=%1")
                       .arg(QString::fromLocal8Bit(std::getenv("DISPLAY")));
        return;
    }
    const xcb_query_extension_reply_t* damage = xcb_get_extension_data(connection_, &xcb_damage_id);
    if (!damage || !damage->present) {
        problem_ = QStringLiteral("the X server has no DAMAGE extension");
        return;
    }
    drawnEvent_ = damage->first_event + XCB_DAMAGE_NOTIFY;
    free(xcb_damage_query_version_reply(
        connection_, xcb_damage_query_version(connection_, XCB_DAMAGE_MAJOR_VERSION, 0), nullptr));
    auto screens = xcb_setup_roots_iterator(xcb_get_setup(connection_));
    for (int i = 0; i < screenNumber; ++i) xcb_screen_next(&screens);
    const xcb_window_t root = screens.data->root;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection_, root, XCB_CW_EVENT_MASK, &mask);
    // Every window draws into the screen's pixels, so the root's damage is every window's.
    xcb_damage_create(connection_, xcb_generate_id(connection_), root,
                      XCB_DAMAGE_REPORT_LEVEL_RAW_RECTANGLES);
    // The server has set the watch up before anything watched can start.
    free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
    thread_ = std::thread([this] { watch(); });
}

ScreenWatch::~ScreenWatch() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    xcb_disconnect(connection_);
}

void ScreenWatch::watch() {
    pollfd socket{xcb_get_file_descriptor(connection_), POLLIN, 0};
    while (!stop_ && !xcb_connection_has_error(connection_)) {
        poll(&socket, 1, kPollMs);
        while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
            const auto at = BenchClock::now();
            const int type = event->response_type & 0x7f;
            Event seen{ScreenEvent::Drawn, at, 0};
            if (type == XCB_MAP_NOTIFY)
                seen = {ScreenEvent::Mapped, at,
                        reinterpret_cast<xcb_map_notify_event_t*>(event)->window};
            else if (type == XCB_DESTROY_NOTIFY)
                seen = {ScreenEvent::Destroyed, at,
                        reinterpret_cast<xcb_destroy_notify_event_t*>(event)->window};
            free(event);
            if (type != XCB_MAP_NOTIFY && type != XCB_DESTROY_NOTIFY && type != drawnEvent_)
                continue;
            const qint64 toStop = stopAtFirstFrame_;
            if (type == XCB_MAP_NOTIFY && toStop > 0) stopAtFirstFrame_ = -toStop;
            if (type == drawnEvent_ && toStop < 0) {
                ::kill(pid_t(-toStop), SIGSTOP);
                stopAtFirstFrame_ = 0;
            }
            const std::lock_guard<std::mutex> hold(lock_);
            events_.push_back(seen);
            arrived_.notify_all();
        }
    }
}

std::size_t ScreenWatch::mark() const {
    const std::lock_guard<std::mutex> hold(lock_);
    return events_.size();
}

std::optional<std::size_t> ScreenWatch::waitFor(ScreenEvent kind, std::size_t from, int timeoutMs,
                                                quint32 window) const {
    std::unique_lock<std::mutex> hold(lock_);
    std::optional<std::size_t> found;
    arrived_.wait_for(hold, std::chrono::milliseconds(timeoutMs), [&] {
        for (; from < events_.size(); ++from) {
            const Event& event = events_[from];
            if (event.kind == kind && (window == 0 || event.window == window)) {
                found = from;
                return true;
            }
        }
        return false;
    });
    return found;
}

ScreenWatch::Event ScreenWatch::at(std::size_t index) const {
    const std::lock_guard<std::mutex> hold(lock_);
    return events_.at(index);
}

std::optional<BenchClock::time_point> ScreenWatch::firstDrawnAfter(
    BenchClock::time_point moment) const {
    const std::lock_guard<std::mutex> hold(lock_);
    auto event =
        std::lower_bound(events_.begin(), events_.end(), moment,
                         [](const Event& e, BenchClock::time_point t) { return e.at < t; });
    for (; event != events_.end(); ++event)
        if (event->kind == ScreenEvent::Drawn) return event->at;
    return std::nullopt;
}

void ScreenWatch::stopAtFirstFrame(qint64 pid) const {
    stopAtFirstFrame_ = pid;
}
