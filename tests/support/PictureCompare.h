#pragma once

#include <QImage>
#include <QString>

#include <algorithm>
#include <cstdlib>

// Qt's raster engine takes processor-specific paths, so the same drawing
// differs in a few anti-aliased edge pixels from one machine to another.
// Two pictures count as the same when they have the same size, at most 16
// pixels and at most 0.1 % of them differ, and no channel of those is more
// than 48 apart. A shape moved by one pixel or a changed colour touches far
// more pixels than that.
inline bool nearlySamePicture(const QImage &actual, const QImage &expected, QString *why = nullptr)
{
    const auto fail = [why](const QString &reason) {
        if (why)
            *why = reason;
        return false;
    };
    if (actual.isNull() || expected.isNull())
        return fail(QStringLiteral("no picture"));
    if (actual.size() != expected.size()) {
        return fail(QStringLiteral("size %1x%2, expected %3x%4")
                        .arg(actual.width())
                        .arg(actual.height())
                        .arg(expected.width())
                        .arg(expected.height()));
    }
    const QImage a = actual.convertToFormat(QImage::Format_ARGB32);
    const QImage b = expected.convertToFormat(QImage::Format_ARGB32);
    const qint64 pixels = qint64(a.width()) * a.height();
    const qint64 allowed = std::min<qint64>(16, pixels / 1000);
    qint64 differing = 0;
    int worst = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto *lineA = reinterpret_cast<const QRgb *>(a.constScanLine(y));
        const auto *lineB = reinterpret_cast<const QRgb *>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            if (lineA[x] == lineB[x])
                continue;
            ++differing;
            worst = std::max({worst, std::abs(qRed(lineA[x]) - qRed(lineB[x])),
                std::abs(qGreen(lineA[x]) - qGreen(lineB[x])), std::abs(qBlue(lineA[x]) - qBlue(lineB[x])),
                std::abs(qAlpha(lineA[x]) - qAlpha(lineB[x]))});
        }
    }
    if (differing > allowed || worst > 48) {
        return fail(
            QStringLiteral("%1 pixels differ (at most %2 allowed), channels up to %3 apart (at most 48)")
                .arg(differing)
                .arg(allowed)
                .arg(worst));
    }
    return true;
}

// Whether two drawings of the same picture by different Qt versions agree.
// Another Qt blends gradients differently: Qt 5.15.15 moves most pixels of
// the wave picture drawn by Qt 5.15.8, single pixels by up to 41 levels,
// cells below by up to 28, 4.5 on average. So the pictures are compared in
// cells of about a 64th of their longer side, premultiplied so that the
// colour under full transparency does not count. At most 0.5 % of the cells
// may be more than 32 levels off in a channel, and the mean distance stays
// under 8. A shape moved by one pixel, a 100-pixel patch painted over, or a
// colour changed by a tenth of its range fails.
inline bool sameDrawing(const QImage &actual, const QImage &expected, QString *why = nullptr)
{
    const auto fail = [why](const QString &reason) {
        if (why)
            *why = reason;
        return false;
    };
    if (actual.isNull() || expected.isNull())
        return fail(QStringLiteral("no picture"));
    if (actual.size() != expected.size())
        return fail(QStringLiteral("size %1x%2, expected %3x%4")
                        .arg(actual.width())
                        .arg(actual.height())
                        .arg(expected.width())
                        .arg(expected.height()));
    const int cell = std::max(1, (std::max(actual.width(), actual.height()) + 63) / 64);
    const QSize cells((actual.width() + cell - 1) / cell, (actual.height() + cell - 1) / cell);
    const auto reduce = [cells](const QImage &picture) {
        return picture.convertToFormat(QImage::Format_ARGB32_Premultiplied)
            .scaled(cells, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    };
    const QImage a = reduce(actual);
    const QImage b = reduce(expected);
    int off = 0;
    qint64 total = 0;
    for (int y = 0; y < cells.height(); ++y) {
        for (int x = 0; x < cells.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            const int distance = std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q))});
            total += distance;
            off += distance > 32;
        }
    }
    const int count = cells.width() * cells.height();
    const double mean = double(total) / count;
    if (off * 200 > count || mean >= 8) {
        return fail(QStringLiteral("%1 of %2 cells of %3 pixels off by more than 32, mean distance %4")
                        .arg(off)
                        .arg(count)
                        .arg(cell)
                        .arg(mean, 0, 'f', 2));
    }
    return true;
}

// Whether a grab of a screen shows the picture filling it. A remote desktop
// reaches the screen scaled or coded lossily, so both are reduced to coarse
// cells of averaged colour first; a black, half-drawn or different screen
// leaves far more cells off than the allowance.
inline bool screenShowsPicture(const QImage &screen, const QImage &picture, QString *why = nullptr)
{
    const auto fail = [why](const QString &reason) {
        if (why)
            *why = reason;
        return false;
    };
    if (screen.isNull() || picture.isNull())
        return fail(QStringLiteral("no picture"));
    const QSize cells(64, 36);
    const QImage a = screen.convertToFormat(QImage::Format_RGB32)
                         .scaled(cells, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const QImage b = picture.convertToFormat(QImage::Format_RGB32)
                         .scaled(cells, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    int off = 0;
    qint64 total = 0;
    for (int y = 0; y < cells.height(); ++y) {
        for (int x = 0; x < cells.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            const int distance = std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                std::abs(qBlue(p) - qBlue(q))});
            total += distance;
            off += distance > 32;
        }
    }
    const int count = cells.width() * cells.height();
    const double mean = double(total) / count;
    if (off * 20 > count || mean > 10) {
        return fail(QStringLiteral("%1 of %2 cells off by more than 32, mean distance %3")
                        .arg(off)
                        .arg(count)
                        .arg(mean, 0, 'f', 1));
    }
    return true;
}
