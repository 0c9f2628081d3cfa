#include "OptionLines.h"
#include "support/TestFiles.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

// A literal with the NUL bytes inside it.
template <int N> QByteArray bytes(const char (&literal)[N])
{
    return QByteArray(literal, N - 1);
}

// The text as a UTF-16LE file with its byte order mark.
QByteArray wide(const char *text)
{
    QByteArray out("\xFF\xFE", 2);
    for (const char *c = text; *c; ++c)
        out.append(*c).append('\0');
    return out;
}

} // namespace

class TestOptionLines : public QObject
{
    Q_OBJECT

private slots:
    void strip_data();
    void strip();
    void fileRewrittenOnlyWhenNeeded_data();
    void fileRewrittenOnlyWhenNeeded();
};

void TestOptionLines::strip_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QByteArray>("kept");
    QTest::addColumn<int>("removed");

    QTest::addRow("CR LF") << QByteArray(
        "full address:s:h\r\n/drive:all,/\r\nuse multimon:i:1\r\n/usb:auto\r\n")
                           << QByteArray("full address:s:h\r\nuse multimon:i:1\r\n") << 2;
    QTest::addRow("lone CR") << QByteArray("a:s:1\r/usb:auto\rb:s:2\r") << QByteArray("a:s:1\rb:s:2\r") << 1;
    QTest::addRow("lone LF") << QByteArray("a:s:1\n/usb:auto\nb:s:2") << QByteArray("a:s:1\nb:s:2") << 1;
    QTest::addRow("LF CR is two ends")
        << QByteArray("a:s:1\n\r/usb:auto\n\rb:s:2") << QByteArray("a:s:1\n\r\rb:s:2") << 1;
    QTest::addRow("first line") << QByteArray("/drive:all,/\r\na:s:1\r\n") << QByteArray("a:s:1\r\n") << 1;
    QTest::addRow("last line without end")
        << QByteArray("a:s:1\r\n/usb:auto") << QByteArray("a:s:1\r\n") << 1;
    QTest::addRow("a lone slash") << QByteArray("/\r\na:s:1") << QByteArray("a:s:1") << 1;
    QTest::addRow("slash not at line start")
        << QByteArray("drivestoredirect:s:/home\r\n /usb:auto\r\n\t/p:x\r\n")
        << QByteArray("drivestoredirect:s:/home\r\n /usb:auto\r\n\t/p:x\r\n") << 0;
    QTest::addRow("empty lines kept")
        << QByteArray("\r\n\r\n/usb:auto\r\n\n") << QByteArray("\r\n\r\n\n") << 1;
    QTest::addRow("only option lines") << QByteArray("/a\r\n/b\r/c\n") << QByteArray() << 3;
    QTest::addRow("no such lines") << QByteArray("a:s:1\r\nb:i:2\r\n") << QByteArray("a:s:1\r\nb:i:2\r\n")
                                   << 0;
    QTest::addRow("empty file") << QByteArray() << QByteArray() << 0;
    QTest::addRow("NUL and high bytes kept") << bytes("a:s:\xE4\xB8\xAD\0x\r\n/usb:auto\r\n\xFF\r\n")
                                             << bytes("a:s:\xE4\xB8\xAD\0x\r\n\xFF\r\n") << 1;
    QTest::addRow("UTF-16LE") << wide("a:s:1\r\n/drive:all,/\r\nb:s:2\r/usb:auto\n")
                              << wide("a:s:1\r\nb:s:2\r") << 2;
    QTest::addRow("UTF-16LE, slash in a wide character")
        << wide("a:s:1\r\n").append("\x2F\x4E\x0D\x00", 4) << wide("a:s:1\r\n").append("\x2F\x4E\x0D\x00", 4)
        << 0;
    QTest::addRow("UTF-16LE, CR in a wide character")
        << wide("a:s:").append("\x0D\x4E", 2).append(wide("/x").mid(2))
        << wide("a:s:").append("\x0D\x4E", 2).append(wide("/x").mid(2)) << 0;
    QTest::addRow("UTF-16LE, odd last byte kept")
        << wide("a\r\n/usb:auto").append('Z') << wide("a\r\n").append('Z') << 1;
    QTest::addRow("UTF-16LE, only the mark") << QByteArray("\xFF\xFE") << QByteArray("\xFF\xFE") << 0;
}

void TestOptionLines::strip()
{
    QFETCH(QByteArray, content);
    QFETCH(QByteArray, kept);
    QFETCH(int, removed);
    int count = -1;
    QCOMPARE(withoutOptionLines(content, &count), kept);
    QCOMPARE(count, removed);
}

void TestOptionLines::fileRewrittenOnlyWhenNeeded_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QByteArray>("kept");
    QTest::addRow("with option lines") << QByteArray("a:s:1\r\n/usb:auto\r\n") << QByteArray("a:s:1\r\n");
    QTest::addRow("without") << QByteArray("a:s:1\r\n") << QByteArray("a:s:1\r\n");
}

void TestOptionLines::fileRewrittenOnlyWhenNeeded()
{
    QFETCH(QByteArray, content);
    QFETCH(QByteArray, kept);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("tmp.rdp"));
    QVERIFY(writeFile(path, content));
    QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    const QDateTime past = QDateTime::currentDateTimeUtc().addDays(-2);
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(past, QFileDevice::FileModificationTime));
    }
    QVERIFY(removeOptionLines(path));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), kept);
    QCOMPARE(modeOf(path), 0600);
    // Untouched, to the second, when there was nothing to take out.
    QCOMPARE(QFileInfo(path).lastModified().toUTC() == past, content == kept);
}

QTEST_GUILESS_MAIN(TestOptionLines)
#include "TestOptionLines.moc"
