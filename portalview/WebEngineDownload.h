#pragma once

// The web engine's download: an item on Qt 5, a request on Qt 6, with the
// same members under other signal names. Kept to this header so the page and
// its tests name one type.

#include <QtGlobal>

#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
#include <QWebEngineDownloadRequest>
using WebEngineDownload = QWebEngineDownloadRequest;
// Emitted once, when the download ends in any state.
constexpr auto downloadFinishedSignal = &QWebEngineDownloadRequest::isFinishedChanged;
constexpr auto downloadProgressSignal = &QWebEngineDownloadRequest::receivedBytesChanged;
#else
#include <QWebEngineDownloadItem>
using WebEngineDownload = QWebEngineDownloadItem;
constexpr auto downloadFinishedSignal = &QWebEngineDownloadItem::finished;
constexpr auto downloadProgressSignal = &QWebEngineDownloadItem::downloadProgress;
#endif
