// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/qt/qt_engine.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <cstdlib>
#include <sstream>

#include <QDir>
#include <QLibraryInfo>

namespace ruvuvuri::ui::qt {
namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// Connects to the X server the way Qt's xcb platform would, through libxcb
// loaded on demand so the module does not link it.
bool XServerReachable(std::string* reason) {
    if (Env("DISPLAY").empty()) {
        *reason = "DISPLAY is not set";
        return false;
    }
    void* xcb = dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
    if (xcb == nullptr) {
        *reason = "libxcb.so.1 cannot be loaded";
        return false;
    }
    auto connect = reinterpret_cast<void* (*)(const char*, int*)>(dlsym(xcb, "xcb_connect"));
    auto has_error = reinterpret_cast<int (*)(void*)>(dlsym(xcb, "xcb_connection_has_error"));
    auto disconnect = reinterpret_cast<void (*)(void*)>(dlsym(xcb, "xcb_disconnect"));
    bool reachable = false;
    if (connect != nullptr && has_error != nullptr && disconnect != nullptr) {
        void* connection = connect(nullptr, nullptr);
        reachable = connection != nullptr && has_error(connection) == 0;
        if (connection != nullptr) {
            disconnect(connection);
        }
    }
    dlclose(xcb);
    if (!reachable) {
        *reason = "cannot connect to the X server on DISPLAY=" + Env("DISPLAY");
    }
    return reachable;
}

bool WaylandSocketPresent(std::string* reason) {
    // Qt falls back to the next platform when its Wayland plugin is missing.
    const QDir platforms(QLibraryInfo::path(QLibraryInfo::PluginsPath) +
                         QStringLiteral("/platforms"));
    if (platforms.entryList({QStringLiteral("libqwayland*")}, QDir::Files).isEmpty()) {
        *reason = "Qt's Wayland platform plugin is not installed";
        return false;
    }
    std::string socket = Env("WAYLAND_DISPLAY");
    if (socket.empty()) {
        *reason = "WAYLAND_DISPLAY is not set";
        return false;
    }
    if (socket.front() != '/') {
        socket = Env("XDG_RUNTIME_DIR") + "/" + socket;
    }
    struct stat info {};
    if (stat(socket.c_str(), &info) != 0 || !S_ISSOCK(info.st_mode)) {
        *reason = "no Wayland compositor at " + socket;
        return false;
    }
    return true;
}

}  // namespace

bool DisplayAvailable(std::string* reason) {
    // The platforms Qt will try, in its order: QT_QPA_PLATFORM when set, else
    // Wayland first in a Wayland session, then X11.
    std::string list = Env("QT_QPA_PLATFORM");
    if (list.empty()) {
        list = Env("XDG_SESSION_TYPE").find("wayland") != std::string::npos ? "wayland;xcb" : "xcb";
    }
    std::istringstream entries(list);
    std::string why;
    for (std::string platform; std::getline(entries, platform, ';');) {
        platform = platform.substr(0, platform.find(':'));  // "xcb:option=..." names xcb
        const bool wayland = platform == "wayland" || platform.rfind("wayland-", 0) == 0;
        // Any other (offscreen, minimal, vnc, eglfs ...) is chosen on purpose
        // and needs no display.
        if (!platform.empty() &&
            (platform == "xcb" ? XServerReachable(&why) : !wayland || WaylandSocketPresent(&why))) {
            return true;
        }
    }
    *reason = "no display for the Qt panel (" + why + "); use --ui=console or set DISPLAY";
    return false;
}

}  // namespace ruvuvuri::ui::qt
