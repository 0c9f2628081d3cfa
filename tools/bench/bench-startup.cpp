// Times a program from its start to the mapping of its 636 x 331 window on
// the X display, then reports its web-engine helpers and peak memory.
// Usage: bench-startup <program> [arguments...]
// Prints: map_ms=<ms> helpers=<n> peak_kib=<KiB>

#include "ProcessProbe.h"

#include <xcb/xcb.h>

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

extern char **environ;

namespace {

double nowMs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000.0 + ts.tv_nsec / 1.0e6;
}

bool isLoginSized(xcb_connection_t *connection, xcb_window_t window)
{
    std::unique_ptr<xcb_get_geometry_reply_t, decltype(&std::free)> geometry(
        xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), nullptr), &std::free);
    return geometry && geometry->width == 636 && geometry->height == 331;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench-startup <program> [arguments...]\n");
        return 2;
    }
    xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        std::fprintf(stderr, "bench-startup: no X display\n");
        return 2;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection, root, XCB_CW_EVENT_MASK, &mask);
    free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));

    const double started = nowMs();
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[1], nullptr, nullptr, argv + 1, environ) != 0) {
        std::perror("bench-startup: spawn");
        return 2;
    }

    double mapped = -1;
    pollfd watch {xcb_get_file_descriptor(connection), POLLIN, 0};
    while (mapped < 0 && nowMs() - started < 30000) {
        xcb_generic_event_t *event = xcb_poll_for_event(connection);
        if (!event) {
            poll(&watch, 1, 100);
            continue;
        }
        if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY) {
            const auto *map = reinterpret_cast<xcb_map_notify_event_t *>(event);
            if (isLoginSized(connection, map->window))
                mapped = nowMs() - started;
        }
        std::free(event);
    }

    // Let anything started lazily after the first frame show up.
    usleep(1500 * 1000);
    const int helpers = ProcessProbe::webEngineHelpers(pid);
    const long peak = ProcessProbe::peakResidentKiB(pid);
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    xcb_disconnect(connection);

    if (mapped < 0) {
        std::fprintf(stderr, "bench-startup: no 636 x 331 window within 30 s\n");
        return 1;
    }
    std::printf("map_ms=%.1f helpers=%d peak_kib=%ld\n", mapped, helpers, peak);
    return 0;
}
