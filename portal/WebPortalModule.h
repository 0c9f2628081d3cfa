#pragma once

#include "PortalModule.h"

// The portal module's side of the interface: a QWebEngineView showing a
// DownLoadWebPage.
class WebPortalModule : public PortalModule
{
public:
    QWidget *createView(QWidget *parent) override;
    QObject *createPage(QObject *parent) override;
    void setPage(QWidget *view, QObject *page) override;
    void setAcceptLanguage(QObject *page, const QString &languages) override;
    void load(QWidget *view, const QUrl &url) override;
    QUrl url(QWidget *view) override;
    void detachPage(QObject *page) override;
    void setCertificateCheck(QObject *page, CertificateCheck check) override;
};
