// Watches the X display for the first frame of a remote desktop.
// Usage: bench-frame-watch <remote display> [timeout ms]
// Takes patches of the remote display's picture as the reference, then grabs
// the same patches of $DISPLAY (where the client's full-screen window appears)
// every 20 ms. Prints "ready" after the first grab that does not show the
// remote picture, then "frame_ms=<CLOCK_MONOTONIC ms>" for the first grab that
// does. Both displays must have the same size.

#include "FramePatches.h"

#include <xcb/xcb.h>

#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

double nowMs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000.0 + ts.tv_nsec / 1.0e6;
}

struct Display
{
    xcb_connection_t *connection = nullptr;
    xcb_screen_t *screen = nullptr;
};

bool open(const char *name, Display *display)
{
    display->connection = xcb_connect(name, nullptr);
    if (xcb_connection_has_error(display->connection))
        return false;
    display->screen = xcb_setup_roots_iterator(xcb_get_setup(display->connection)).data;
    return display->screen->root_depth == 24;
}

// One request per patch, all sent before the first answer is read.
bool grab(const Display &display, const std::vector<PatchRect> &rects, std::vector<Patch> *patches)
{
    std::vector<xcb_get_image_cookie_t> cookies;
    for (const PatchRect &rect : rects) {
        cookies.push_back(xcb_get_image(display.connection, XCB_IMAGE_FORMAT_Z_PIXMAP, display.screen->root,
            int16_t(rect.x), int16_t(rect.y), uint16_t(patchSize), uint16_t(patchSize), ~0u));
    }
    patches->assign(rects.size(), Patch());
    bool complete = true;
    for (size_t i = 0; i < cookies.size(); ++i) {
        std::unique_ptr<xcb_get_image_reply_t, decltype(&std::free)> reply(
            xcb_get_image_reply(display.connection, cookies[i], nullptr), &std::free);
        const int expected = patchSize * patchSize * 4;
        if (!reply || xcb_get_image_data_length(reply.get()) < expected) {
            complete = false;
            continue;
        }
        (*patches)[i] = patchFromBgrx(xcb_get_image_data(reply.get()));
    }
    return complete;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench-frame-watch <remote display> [timeout ms]\n");
        return 2;
    }
    const double timeout = argc > 2 ? std::atof(argv[2]) : 60000;
    Display remote;
    Display local;
    if (!open(argv[1], &remote) || !open(nullptr, &local)) {
        std::fprintf(stderr, "bench-frame-watch: cannot open both displays at depth 24\n");
        return 2;
    }
    if (remote.screen->width_in_pixels != local.screen->width_in_pixels
        || remote.screen->height_in_pixels != local.screen->height_in_pixels) {
        std::fprintf(stderr, "bench-frame-watch: the displays differ in size\n");
        return 2;
    }
    const std::vector<PatchRect> rects
        = patchGrid(local.screen->width_in_pixels, local.screen->height_in_pixels);
    std::vector<Patch> reference;
    if (!grab(remote, rects, &reference)) {
        std::fprintf(stderr, "bench-frame-watch: cannot read the remote display\n");
        return 2;
    }
    xcb_disconnect(remote.connection);
    if (!isDistinctive(reference)) {
        std::fprintf(stderr, "bench-frame-watch: the remote display shows no recognisable picture\n");
        return 2;
    }

    const double started = nowMs();
    bool ready = false;
    timespec next;
    clock_gettime(CLOCK_MONOTONIC, &next);
    std::vector<Patch> seen;
    while (nowMs() - started < timeout) {
        const double grabbed = nowMs();
        if (grab(local, rects, &seen)) {
            const bool shown = showsPicture(reference, seen);
            if (!ready && !shown) {
                ready = true;
                std::printf("ready\n");
                std::fflush(stdout);
            } else if (ready && shown) {
                // The grab's start: the frame was on screen by then at the latest.
                std::printf("frame_ms=%.1f\n", grabbed);
                std::fflush(stdout);
                xcb_disconnect(local.connection);
                return 0;
            }
        }
        next.tv_nsec += 20 * 1000 * 1000;
        if (next.tv_nsec >= 1000 * 1000 * 1000) {
            next.tv_nsec -= 1000 * 1000 * 1000;
            ++next.tv_sec;
        }
        clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
    }
    std::fprintf(stderr, "bench-frame-watch: %s within %.0f ms\n",
        ready ? "no remote picture" : "the remote picture was there before the start", timeout);
    xcb_disconnect(local.connection);
    return 1;
}
