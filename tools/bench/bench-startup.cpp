// Times a program from its start to the mapping of its 636 x 331 window on
// the X display, then reports its web-engine helpers and peak memory.
// Usage: bench-startup [--cold|--cold=fadvise] <program> [arguments...]
//   --cold          empty the file cache first: /proc/sys/vm/drop_caches where
//                   it is writable, else as --cold=fadvise
//   --cold=fadvise  start the program once to learn which files it maps, then
//                   evict those files with posix_fadvise(POSIX_FADV_DONTNEED)
// Prints: map_ms=<ms> helpers=<n> peak_kib=<KiB> [cold=drop_caches|fadvise files=<n>]

#include "ProcessProbe.h"

#include <xcb/xcb.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <set>
#include <string>

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

// Regular files mapped into the process: the program, its libraries and
// plugins, and data files such as fonts.
std::set<std::string> mappedFiles(pid_t pid)
{
    std::set<std::string> files;
    std::ifstream maps("/proc/" + std::to_string(pid) + "/maps");
    std::string line;
    while (std::getline(maps, line)) {
        const size_t slash = line.find(" /");
        if (slash != std::string::npos && line.find(" (deleted)") == std::string::npos)
            files.insert(line.substr(slash + 1));
    }
    return files;
}

// Drops clean pages of each file from the cache; pages another running
// process has mapped stay, as they do with drop_caches.
int evict(const std::set<std::string> &files)
{
    int evicted = 0;
    for (const std::string &file : files) {
        const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue;
        if (posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED) == 0)
            ++evicted;
        ::close(fd);
    }
    return evicted;
}

bool dropCaches()
{
    sync();
    const int fd = ::open("/proc/sys/vm/drop_caches", O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool written = ::write(fd, "3", 1) == 1;
    ::close(fd);
    return written;
}

struct Run
{
    double mapped = -1;
    int helpers = 0;
    long peak = -1;
    std::set<std::string> files;
};

// Starts the program, waits for its login-sized window, lets it settle and
// ends it.
bool runOnce(xcb_connection_t *connection, char **command, Run *run)
{
    const double started = nowMs();
    pid_t pid = 0;
    if (posix_spawn(&pid, command[0], nullptr, nullptr, command, environ) != 0) {
        std::perror("bench-startup: spawn");
        return false;
    }
    pollfd watch {xcb_get_file_descriptor(connection), POLLIN, 0};
    while (run->mapped < 0 && nowMs() - started < 30000) {
        xcb_generic_event_t *event = xcb_poll_for_event(connection);
        if (!event) {
            poll(&watch, 1, 100);
            continue;
        }
        if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY) {
            const auto *map = reinterpret_cast<xcb_map_notify_event_t *>(event);
            if (isLoginSized(connection, map->window))
                run->mapped = nowMs() - started;
        }
        std::free(event);
    }

    // Let anything started lazily after the first frame show up.
    usleep(1000 * 1000);
    run->helpers = ProcessProbe::webEngineHelpers(pid);
    run->peak = ProcessProbe::peakResidentKiB(pid);
    run->files = mappedFiles(pid);
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    return run->mapped >= 0;
}

} // namespace

int main(int argc, char *argv[])
{
    int first = 1;
    enum { Warm, ColdAuto, ColdFadvise } mode = Warm;
    if (argc > 1 && std::strcmp(argv[1], "--cold") == 0) {
        mode = ColdAuto;
        ++first;
    } else if (argc > 1 && std::strcmp(argv[1], "--cold=fadvise") == 0) {
        mode = ColdFadvise;
        ++first;
    }
    if (argc <= first) {
        std::fprintf(stderr, "usage: bench-startup [--cold|--cold=fadvise] <program> [arguments...]\n");
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

    std::string cold;
    if (mode == ColdAuto && dropCaches()) {
        cold = " cold=drop_caches";
    } else if (mode != Warm) {
        Run learn;
        if (!runOnce(connection, argv + first, &learn)) {
            std::fprintf(stderr, "bench-startup: no 636 x 331 window within 30 s\n");
            return 1;
        }
        // The window of the learning run is gone; forget its events.
        free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
        while (xcb_generic_event_t *event = xcb_poll_for_event(connection))
            std::free(event);
        learn.files.insert(argv[first]);
        cold = " cold=fadvise files=" + std::to_string(evict(learn.files));
    }

    Run run;
    const bool mapped = runOnce(connection, argv + first, &run);
    xcb_disconnect(connection);
    if (!mapped) {
        std::fprintf(stderr, "bench-startup: no 636 x 331 window within 30 s\n");
        return 1;
    }
    std::printf("map_ms=%.1f helpers=%d peak_kib=%ld%s\n", run.mapped, run.helpers, run.peak, cold.c_str());
    return 0;
}
