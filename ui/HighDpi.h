#pragma once

#include <QGuiApplication>

// Scales the windows with the screen, in whole steps on both Qt versions:
// Qt 6 always scales but by default by the exact factor, which would draw the
// pictures of the forms at sizes they were never made for (150 % and the like).
// Called before the application object exists.
inline void setHighDpiScaling()
{
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    QGuiApplication::setAttribute(Qt::AA_EnableHighDpiScaling, true);
#endif
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::Round);
}
