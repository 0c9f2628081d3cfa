#pragma once

#include "PortalView.h"

class DownLoadWebPage;
class QWebEngineView;

// The module's portal view: a QWebEngineView showing a DownLoadWebPage,
// filling the widget and taking its keyboard focus.
class WebPortalView : public PortalView
{
    Q_OBJECT

public:
    explicit WebPortalView(QWidget *parent = nullptr);

    void load(const QUrl &url) override;
    void reload() override;
    QUrl url() const override;
    void setAcceptLanguage(const QString &languages) override;
    void setCertificateCheck(CertificateCheck check) override;
    void setFloatingBar(bool shown) override;
    void reconnectDesktop(int desktop) override;
    void releaseDesktop(int desktop) override;

protected:
    // A closed view is on its way out: its page opens no more desktops.
    void closeEvent(QCloseEvent *event) override;

private:
    QWebEngineView *view = nullptr;
    DownLoadWebPage *page = nullptr;
};
