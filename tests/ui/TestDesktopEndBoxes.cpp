#include "DesktopEndBoxes.h"
#include "PortalView.h"

#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

namespace {

// A portal that records what the boxes ask of it.
class RecordingView : public PortalView
{
public:
    using PortalView::PortalView;
    void load(const QUrl &) override { }
    void reload() override { }
    QUrl url() const override { return QUrl(); }
    void setAcceptLanguage(const QString &) override { }
    void setCertificateCheck(CertificateCheck) override { }
    void setFloatingBar(bool) override { }
    void reconnectDesktop(int desktop) override { calls << QStringLiteral("reconnect %1").arg(desktop); }
    void releaseDesktop(int desktop) override { calls << QStringLiteral("release %1").arg(desktop); }

    QStringList calls;
};

ClientEnd endOf(int desktop, int status, const QString &lastWords = QString())
{
    ClientEnd end;
    end.desktop = desktop;
    end.exitCode = status;
    end.lastWords = lastWords;
    return end;
}

} // namespace

// The boxes a desktop's end brings, their buttons, their order and what an
// answer asks of the portal.
class TestDesktopEndBoxes : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void answers_data();
    void answers();
    void oneAtATime();
    void portalGoneWhileShown();

private:
    QList<QMessageBox *> shownBoxes() const;
    static QStringList buttonsOf(QMessageBox *box);

    QWidget *window = nullptr;
    RecordingView *view = nullptr;
    DesktopEndBoxes *boxes = nullptr;
};

void TestDesktopEndBoxes::init()
{
    window = new QWidget;
    window->resize(636, 331);
    window->show();
    view = new RecordingView(window);
    boxes = new DesktopEndBoxes(window);
}

void TestDesktopEndBoxes::cleanup()
{
    delete window;
}

QList<QMessageBox *> TestDesktopEndBoxes::shownBoxes() const
{
    QList<QMessageBox *> shown;
    for (QMessageBox *box : window->findChildren<QMessageBox *>())
        if (box->isVisible())
            shown << box;
    return shown;
}

QStringList TestDesktopEndBoxes::buttonsOf(QMessageBox *box)
{
    QStringList texts;
    for (QAbstractButton *button : box->buttons())
        texts << (button == box->defaultButton() ? QStringLiteral("*") : QString()) + button->text();
    texts.sort();
    return texts;
}

void TestDesktopEndBoxes::answers_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("lastWords");
    QTest::addColumn<QString>("text"); // empty: no box
    QTest::addColumn<QStringList>("buttons"); // sorted, the default marked *
    QTest::addColumn<int>("key");
    QTest::addColumn<QStringList>("calls");

    const QString drop = QStringLiteral("[1] [2] [INFO][x] - Network disconnect!");
    QTest::addRow("clean end") << 0 << QString() << QString() << QStringList() << 0 << QStringList();
    QTest::addRow("user disconnect") << 12 << QString() << QString() << QStringList() << 0 << QStringList();
    QTest::addRow("broke, Enter reconnects")
        << 147 << drop << QString::fromUtf8(u8"与桌面的连接已断开。\nNetwork disconnect!")
        << QStringList {QString::fromUtf8(u8"*重新连接"), QString::fromUtf8(u8"关闭")} << int(Qt::Key_Return)
        << QStringList {"reconnect 4"};
    QTest::addRow("unreachable, Escape closes")
        << 147 << QString() << QString::fromUtf8(u8"无法连接到桌面。")
        << QStringList {QString::fromUtf8(u8"*重新连接"), QString::fromUtf8(u8"关闭")} << int(Qt::Key_Escape)
        << QStringList {"release 4"};
    QTest::addRow("wrong password, OK only")
        << 154 << QStringLiteral("a | b") << QString::fromUtf8(u8"桌面拒绝了登录。\nb")
        << QStringList {QString::fromUtf8(u8"*确定")} << int(Qt::Key_Return) << QStringList();
    QTest::addRow("unknown status by number")
        << 255 << QString() << QString::fromUtf8(u8"桌面因未知原因结束（状态 255）。")
        << QStringList {QString::fromUtf8(u8"*确定")} << int(Qt::Key_Escape) << QStringList();
}

void TestDesktopEndBoxes::answers()
{
    QFETCH(int, status);
    QFETCH(QString, lastWords);
    QFETCH(QString, text);
    QFETCH(QStringList, buttons);
    QFETCH(int, key);
    QFETCH(QStringList, calls);

    boxes->report(view, endOf(4, status, lastWords));
    if (text.isEmpty()) {
        // A box would be shown within report(): nothing later to wait for.
        QVERIFY(window->findChildren<QMessageBox *>().isEmpty());
        return;
    }
    QCOMPARE(shownBoxes().size(), 1);
    QMessageBox *box = shownBoxes().first();
    QCOMPARE(box->parentWidget(), window);
    QCOMPARE(box->text(), text);
    QCOMPARE(buttonsOf(box), buttons);
    QTest::keyClick(box, Qt::Key(key));
    QTRY_VERIFY(shownBoxes().isEmpty());
    QCOMPARE(view->calls, calls);
}

void TestDesktopEndBoxes::oneAtATime()
{
    boxes->report(view, endOf(1, 147));
    boxes->report(view, endOf(2, 5));
    // A second end of a desktop whose box is shown or waiting brings none.
    boxes->report(view, endOf(1, 3));
    boxes->report(view, endOf(2, 3));
    QCOMPARE(shownBoxes().size(), 1);
    QCOMPARE(shownBoxes().first()->text(), QString::fromUtf8(u8"无法连接到桌面。"));

    QTest::keyClick(shownBoxes().first(), Qt::Key_Return);
    QTRY_COMPARE(shownBoxes().size(), 1);
    QTRY_COMPARE(shownBoxes().first()->text(), QString::fromUtf8(u8"连接已被另一个会话接管。"));
    QCOMPARE(view->calls, QStringList {"reconnect 1"});

    QTest::keyClick(shownBoxes().first(), Qt::Key_Escape);
    QCOMPARE(view->calls, (QStringList {"reconnect 1", "release 2"}));
    // The desktop reconnected may fail again, and says so again; nothing of
    // the repeated ends above comes before it.
    boxes->report(view, endOf(1, 154));
    QTRY_COMPARE(shownBoxes().size(), 1);
    QCOMPARE(shownBoxes().first()->text(), QString::fromUtf8(u8"桌面拒绝了登录。"));
}

void TestDesktopEndBoxes::portalGoneWhileShown()
{
    boxes->report(view, endOf(1, 3));
    boxes->report(view, endOf(2, 147));
    QCOMPARE(buttonsOf(shownBoxes().first()),
        (QStringList {QString::fromUtf8(u8"*重新连接"), QString::fromUtf8(u8"关闭")}));
    delete view;
    QCOMPARE(buttonsOf(shownBoxes().first()), QStringList {QString::fromUtf8(u8"*关闭")});
    QTest::keyClick(shownBoxes().first(), Qt::Key_Return);
    // The one that waited comes with Close only as well.
    QTRY_COMPARE(shownBoxes().size(), 1);
    QTRY_COMPARE(shownBoxes().first()->text(), QString::fromUtf8(u8"无法连接到桌面。"));
    QCOMPARE(buttonsOf(shownBoxes().first()), QStringList {QString::fromUtf8(u8"*关闭")});
}

QTEST_MAIN(TestDesktopEndBoxes)
#include "TestDesktopEndBoxes.moc"
