#include "MessageBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

// The real question box: what a person's keys and clicks answer.
class TestMessageBox : public QObject
{
    Q_OBJECT

private slots:
    void questionAnswers_data();
    void questionAnswers();
};

void TestMessageBox::questionAnswers_data()
{
    QTest::addColumn<int>("key"); // 0: a click on the accepting button
    QTest::addColumn<bool>("accepted");
    QTest::addRow("Escape cancels") << int(Qt::Key_Escape) << false;
    QTest::addRow("Enter takes the default, Cancel") << int(Qt::Key_Return) << false;
    QTest::addRow("a click trusts") << 0 << true;
}

void TestMessageBox::questionAnswers()
{
    QFETCH(int, key);
    QFETCH(bool, accepted);
    QString seenTitle;
    QString seenDefault;
    QStringList seenButtons;
    bool answered = false;
    // The box blocks; the answer comes from the event loop it runs.
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || answered)
            return;
        answered = true;
        seenTitle = box->windowTitle();
        seenDefault = box->defaultButton() ? box->defaultButton()->text() : QString();
        for (QAbstractButton *button : box->buttons())
            seenButtons << button->text();
        if (key)
            QTest::keyClick(box, Qt::Key(key));
        else
            for (QAbstractButton *button : box->buttons())
                if (button->text() == QLatin1String("Trust"))
                    button->click();
    });
    poll.start(20);
    const bool result = MessageBox::question(QStringLiteral("Changed"), QStringLiteral("host:443"),
        QStringLiteral("Trust"), QStringLiteral("Cancel"));
    QVERIFY(answered);
    QCOMPARE(result, accepted);
    QCOMPARE(seenTitle, QStringLiteral("Changed"));
    QCOMPARE(seenDefault, QStringLiteral("Cancel"));
    seenButtons.sort();
    QCOMPARE(seenButtons, QStringList({QStringLiteral("Cancel"), QStringLiteral("Trust")}));
}

QTEST_MAIN(TestMessageBox)
#include "TestMessageBox.moc"
