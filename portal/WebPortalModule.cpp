#include "WebPortalModule.h"

#include "DownLoadWebPage.h"

#include <QWebEngineProfile>
#include <QWebEngineView>

// Views and pages come back from the caller as plain objects; one of another
// kind is ignored rather than trusted.

QWidget *WebPortalModule::createView(QWidget *parent)
{
    return new QWebEngineView(parent);
}

QObject *WebPortalModule::createPage(QObject *parent)
{
    return new DownLoadWebPage(parent);
}

void WebPortalModule::setPage(QWidget *view, QObject *page)
{
    auto *webView = qobject_cast<QWebEngineView *>(view);
    auto *webPage = qobject_cast<QWebEnginePage *>(page);
    if (webView && webPage)
        webView->setPage(webPage);
}

void WebPortalModule::setAcceptLanguage(QObject *page, const QString &languages)
{
    if (auto *webPage = qobject_cast<QWebEnginePage *>(page))
        webPage->profile()->setHttpAcceptLanguage(languages);
}

void WebPortalModule::load(QWidget *view, const QUrl &url)
{
    auto *webView = qobject_cast<QWebEngineView *>(view);
    if (!webView)
        return;
    if (auto *page = qobject_cast<DownLoadWebPage *>(webView->page()))
        page->setPortalAddress(url);
    webView->load(url);
}

QUrl WebPortalModule::url(QWidget *view)
{
    auto *webView = qobject_cast<QWebEngineView *>(view);
    if (!webView)
        return QUrl();
    // A load that fails before anything arrives may leave the view without one.
    const QUrl shown = webView->url();
    return shown.isEmpty() ? webView->page()->requestedUrl() : shown;
}

void WebPortalModule::detachPage(QObject *page)
{
    if (auto *webPage = qobject_cast<QWebEnginePage *>(page))
        webPage->profile()->disconnect(webPage);
}

void WebPortalModule::setCertificateCheck(QObject *page, CertificateCheck check)
{
    if (auto *portalPage = qobject_cast<DownLoadWebPage *>(page))
        portalPage->setCertificateCheck(std::move(check));
}

extern "C" Q_DECL_EXPORT PortalModule *velmoCreatePortalModule(int version)
{
    if (version != portalModuleVersion)
        return nullptr;
    return new WebPortalModule;
}
