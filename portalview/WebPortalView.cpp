#include "WebPortalView.h"

#include "DownLoadWebPage.h"
#include "LoginStep.h"

#include <QCloseEvent>
#include <QVBoxLayout>
#include <QWebEngineProfile>
#include <QWebEngineView>

namespace {

QWebEngineView *newView(QWidget *parent)
{
    LoginStep step("view");
    return new QWebEngineView(parent);
}

DownLoadWebPage *newPage(QWidget *view)
{
    LoginStep step("page");
    return new DownLoadWebPage(view);
}

} // namespace

WebPortalView::WebPortalView(QWidget *parent)
    : PortalView(parent)
    , view(newView(this))
    , page(newPage(view))
{
    view->setPage(page);
    // The portal offers its own menus; the engine's would offer Back and Reload.
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    setFocusProxy(view);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view);

    connect(view, &QWebEngineView::loadStarted, this, &PortalView::loadStarted);
    connect(view, &QWebEngineView::loadFinished, this, &PortalView::loadFinished);
    connect(page, &DownLoadWebPage::exitFromPage, this, &PortalView::exitFromPage);
    connect(page, &DownLoadWebPage::secretInUse, this, &PortalView::secretInUse);
    connect(page, &DownLoadWebPage::clientEnded, this, &PortalView::clientEnded);
    connect(page, &DownLoadWebPage::clientStarted, this, &PortalView::clientStarted);
}

void WebPortalView::closeEvent(QCloseEvent *event)
{
    page->profile()->disconnect(page);
    PortalView::closeEvent(event);
}

void WebPortalView::load(const QUrl &url)
{
    page->setPortalAddress(url);
    view->load(url);
}

void WebPortalView::reload()
{
    view->reload();
}

QUrl WebPortalView::url() const
{
    // A load that fails before anything arrives may leave the view without one.
    const QUrl shown = view->url();
    return shown.isEmpty() ? page->requestedUrl() : shown;
}

void WebPortalView::setAcceptLanguage(const QString &languages)
{
    page->profile()->setHttpAcceptLanguage(languages);
}

void WebPortalView::setFloatingBar(bool shown)
{
    page->setFloatingBar(shown);
}

void WebPortalView::setCertificateCheck(CertificateCheck check)
{
    page->setCertificateCheck(std::move(check));
}

void WebPortalView::reconnectDesktop(int desktop)
{
    page->reconnectDesktop(desktop);
}

void WebPortalView::releaseDesktop(int desktop)
{
    page->releaseDesktop(desktop);
}
