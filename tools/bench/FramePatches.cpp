#include "FramePatches.h"

#include <algorithm>
#include <cstdlib>

namespace {

constexpr int columns = 7;
constexpr int rows = 5;
// Lossy coding moves a channel by a few steps; a different picture by far more.
constexpr double meanColourTolerance = 16;
constexpr double pixelTolerance = 24;
constexpr int mismatchesAllowed = 1;

void meanColour(const Patch &patch, double mean[3])
{
    mean[0] = mean[1] = mean[2] = 0;
    const size_t pixels = patch.rgb.size() / 3;
    if (pixels == 0)
        return;
    for (size_t i = 0; i < patch.rgb.size(); ++i)
        mean[i % 3] += patch.rgb[i];
    for (int c = 0; c < 3; ++c)
        mean[c] /= double(pixels);
}

bool matches(const Patch &reference, const Patch &seen)
{
    if (reference.rgb.empty() || reference.rgb.size() != seen.rgb.size())
        return false;
    double a[3];
    double b[3];
    meanColour(reference, a);
    meanColour(seen, b);
    for (int c = 0; c < 3; ++c) {
        if (std::abs(a[c] - b[c]) > meanColourTolerance)
            return false;
    }
    double difference = 0;
    for (size_t i = 0; i < seen.rgb.size(); ++i)
        difference += std::abs(int(reference.rgb[i]) - int(seen.rgb[i]));
    return difference / double(seen.rgb.size()) <= pixelTolerance;
}

} // namespace

std::vector<PatchRect> patchGrid(int width, int height)
{
    std::vector<PatchRect> rects;
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < columns; ++column) {
            if (row == rows / 2 && column == columns / 2)
                continue;
            const int x = (2 * column + 1) * width / (2 * columns) - patchSize / 2;
            const int y = (2 * row + 1) * height / (2 * rows) - patchSize / 2;
            rects.push_back({std::clamp(x, 0, std::max(0, width - patchSize)),
                std::clamp(y, 0, std::max(0, height - patchSize))});
        }
    }
    return rects;
}

Patch patchFromBgrx(const uint8_t *pixels)
{
    Patch patch;
    patch.rgb.reserve(patchSize * patchSize * 3);
    for (int i = 0; i < patchSize * patchSize; ++i) {
        patch.rgb.push_back(pixels[4 * i + 2]);
        patch.rgb.push_back(pixels[4 * i + 1]);
        patch.rgb.push_back(pixels[4 * i]);
    }
    return patch;
}

bool showsPicture(const std::vector<Patch> &reference, const std::vector<Patch> &seen)
{
    if (reference.empty() || reference.size() != seen.size())
        return false;
    int mismatches = 0;
    for (size_t i = 0; i < reference.size(); ++i) {
        if (!matches(reference[i], seen[i]))
            ++mismatches;
    }
    return mismatches <= mismatchesAllowed;
}

bool isDistinctive(const std::vector<Patch> &reference)
{
    if (reference.empty())
        return false;
    double low[3] = {255, 255, 255};
    double high[3] = {0, 0, 0};
    for (const Patch &patch : reference) {
        double mean[3];
        meanColour(patch, mean);
        for (int c = 0; c < 3; ++c) {
            low[c] = std::min(low[c], mean[c]);
            high[c] = std::max(high[c], mean[c]);
        }
    }
    // Patches must differ from one another by more than the match tolerance,
    // or a uniform screen of a similar colour could pass for the picture.
    for (int c = 0; c < 3; ++c) {
        if (high[c] - low[c] > 4 * meanColourTolerance)
            return true;
    }
    return false;
}
