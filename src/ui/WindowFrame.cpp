// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowFrame.h"

#include <QGuiApplication>
#include <QWidget>

#include <xcb/xcb.h>

#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string_view>

namespace marovane {

namespace {

// The window manager answers in a few milliseconds; one that has not after
// this long is taken to say nothing.
constexpr std::chrono::milliseconds answerTime{500};

template <typename T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

template <typename T>
Reply<T> reply(T* answer) {
    return Reply<T>(answer, &std::free);
}

xcb_atom_t atom(xcb_connection_t* x, std::string_view name) {
    const auto answer = reply(xcb_intern_atom_reply(x, xcb_intern_atom(x, false, name.size(), name.data()), nullptr));
    return answer ? answer->atom : xcb_atom_t{XCB_ATOM_NONE};
}

Reply<xcb_get_property_reply_t> property(xcb_connection_t* x, xcb_window_t window, xcb_atom_t name, xcb_atom_t type) {
    return reply(xcb_get_property_reply(x, xcb_get_property(x, false, window, name, type, 0, 1024), nullptr));
}

bool supported(xcb_connection_t* x, xcb_window_t root, xcb_atom_t hint) {
    const auto list = property(x, root, atom(x, "_NET_SUPPORTED"), XCB_ATOM_ATOM);
    if (!list || list->format != 32) return false;
    const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(list.get()));
    const int count = xcb_get_property_value_length(list.get()) / 4;
    return std::find(atoms, atoms + count, hint) != atoms + count;
}

// The frame extents the window manager has set on the window: left, right,
// top and bottom.
std::optional<QMargins> frameExtents(xcb_connection_t* x, xcb_window_t window, xcb_atom_t extents) {
    const auto value = property(x, window, extents, XCB_ATOM_CARDINAL);
    if (!value || value->format != 32 || xcb_get_property_value_length(value.get()) != 16) return std::nullopt;
    const auto* sides = static_cast<const std::uint32_t*>(xcb_get_property_value(value.get()));
    return QMargins(int(sides[0]), int(sides[2]), int(sides[1]), int(sides[3]));
}

// Waits for the next event, until the deadline; false when none came.
bool awaitEvent(xcb_connection_t* x, std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        if (auto* event = xcb_poll_for_event(x)) {
            std::free(event);
            return true;
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || xcb_connection_has_error(x)) return false;
        pollfd socket{xcb_get_file_descriptor(x), POLLIN, 0};
        poll(&socket, 1, int(left.count()));
    }
}

// Asks the window manager, on a connection of our own so that none of Qt's
// events is taken, which frame it will give the window once mapped.
QMargins askedFrame(xcb_window_t window) {
    int screenNumber = 0;
    const std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> connection(xcb_connect(nullptr, &screenNumber),
                                                                                  &xcb_disconnect);
    xcb_connection_t* x = connection.get();
    if (xcb_connection_has_error(x)) return {};
    auto screens = xcb_setup_roots_iterator(xcb_get_setup(x));
    for (int skipped = 0; skipped < screenNumber && screens.rem; ++skipped) xcb_screen_next(&screens);
    if (!screens.rem) return {};
    const xcb_window_t root = screens.data->root;
    const xcb_atom_t request = atom(x, "_NET_REQUEST_FRAME_EXTENTS");
    const xcb_atom_t extents = atom(x, "_NET_FRAME_EXTENTS");
    if (!supported(x, root, request)) return {};

    // Heard before asking, so that the answer cannot slip by.
    const std::uint32_t heard = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(x, window, XCB_CW_EVENT_MASK, &heard);
    xcb_client_message_event_t ask{};
    ask.response_type = XCB_CLIENT_MESSAGE;
    ask.format = 32;
    ask.window = window;
    ask.type = request;
    xcb_send_event(x, false, root, XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&ask));
    xcb_flush(x);

    const auto deadline = std::chrono::steady_clock::now() + answerTime;
    do {
        if (const auto frame = frameExtents(x, window, extents)) return *frame;
    } while (awaitEvent(x, deadline));
    return {};
}

}  // namespace

QMargins windowFrame(QWidget& window) {
    // Qt's offscreen platform answers as X11 too, without a connection.
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* qt = x11 ? x11->connection() : nullptr;
    if (QGuiApplication::platformName() != "xcb" || !qt) return {};
    const auto id = static_cast<xcb_window_t>(window.winId());
    // The window is to exist on the server before another connection names it.
    std::free(xcb_get_input_focus_reply(qt, xcb_get_input_focus(qt), nullptr));
    return askedFrame(id);
}

}  // namespace marovane
