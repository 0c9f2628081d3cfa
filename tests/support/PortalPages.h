#pragma once

#include <QList>
#include <QWebEnginePage>

// The portal pages under window. Their class lives in the portal module,
// whose meta-object is not the test program's, so they are recognised by name.
inline QList<QWebEnginePage *> portalPages(const QObject *window)
{
    QList<QWebEnginePage *> found;
    const QList<QWebEnginePage *> all = window->findChildren<QWebEnginePage *>();
    for (QWebEnginePage *page : all)
        if (page->inherits("DownLoadWebPage"))
            found << page;
    return found;
}
