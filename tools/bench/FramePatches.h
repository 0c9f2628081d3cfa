#pragma once

#include <cstdint>
#include <vector>

// Recognises a known picture in screen grabs: small patches spread over the
// screen, compared with a tolerance, since the remote side reaches the client
// through a lossy codec and nothing drawn is pixel-identical across machines.

constexpr int patchSize = 16;

struct PatchRect
{
    int x = 0;
    int y = 0;
};

struct Patch
{
    // Red, green, blue of each pixel, row by row.
    std::vector<uint8_t> rgb;
};

// Patches on a 7 x 5 grid over a width x height screen, without the one at the
// centre, where a pointer starts out.
std::vector<PatchRect> patchGrid(int width, int height);

// A patch from 32-bit pixels in blue, green, red, unused byte order (an X
// Z-pixmap of depth 24), patchSize x patchSize, rows packed.
Patch patchFromBgrx(const uint8_t *pixels);

// Whether seen shows the reference picture: every patch but at most one close
// to its reference in mean colour and in mean pixel difference.
bool showsPicture(const std::vector<Patch> &reference, const std::vector<Patch> &seen);

// Whether the reference is a picture at all rather than one flat colour: a
// blank screen would be "found" on any blank display.
bool isDistinctive(const std::vector<Patch> &reference);
