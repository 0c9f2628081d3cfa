#include "CommandLine.h"

#include <QtTest>

using Action = CommandLine::Action;
Q_DECLARE_METATYPE(CommandLine::Action)

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void usageNamesEveryOption();
};

void TestCommandLine::parse_data()
{
    QTest::addColumn<QStringList>("arguments"); // after the program's name
    QTest::addColumn<Action>("action");
    QTest::addColumn<QString>("named"); // what a usage error names; empty: no error

    const auto row = [](const char *name, const QStringList &arguments, Action action,
                         const QString &named = QString()) {
        QTest::addRow("%s", name) << arguments << action << named;
    };
    row("nothing", {}, Action::Run);
    row("help", {"--help"}, Action::PrintHelp);
    row("help, short", {"-h"}, Action::PrintHelp);
    row("version", {"--version"}, Action::PrintVersion);
    row("first request wins", {"--version", "--help"}, Action::PrintVersion);
    row("help after a Qt option", {"-platform", "offscreen", "--help"}, Action::PrintHelp);
    row("help after an unknown option", {"--nonsense", "--help"}, Action::UsageError, "'--nonsense'");
    row("unknown before version", {"--frobnicate", "--version"}, Action::UsageError, "'--frobnicate'");
    row("unknown long option", {"--kiosks"}, Action::UsageError, "'--kiosks'");
    row("kiosk", {"--kiosk", "-platform", "offscreen"}, Action::Run);
    row("unknown short option", {"-x"}, Action::UsageError, "'-x'");
    row("help with a value", {"--help=all"}, Action::UsageError, "'--help=all'");
    row("version with one dash", {"-version"}, Action::UsageError, "'-version'");
    row("a plain word", {"portal.example"}, Action::UsageError, "'portal.example'");
    row("a lone dash", {"-"}, Action::UsageError, "'-'");
    row("a double dash", {"--"}, Action::UsageError, "'--'");
    row("an empty argument", {""}, Action::UsageError, "''");
    // Qt's options and their values pass, whatever the value looks like.
    row("platform", {"-platform", "offscreen"}, Action::Run);
    row("platform, two dashes", {"--platform", "xcb"}, Action::Run);
    row("platform with =", {"-platform=wayland"}, Action::Run);
    row("value looking like ours", {"-style", "--help"}, Action::Run);
    row("value looking unknown", {"-session", "-1a2b3c"}, Action::Run);
    row("session manager's restart", {"-session", "10abc_123", "-name", "VelmoClient"}, Action::Run);
    row("display and geometry", {"-display", ":1", "-geometry", "800x600+0+0"}, Action::Run);
    row("switches", {"-reverse", "-widgetcount", "-nograb", "-dograb", "-sync", "-cmap"}, Action::Run);
    row("old X11 values",
        {"-fn", "fixed", "-font", "fixed", "-bg", "red", "-background", "red", "-fg", "blue", "-foreground",
            "blue", "-btn", "grey", "-button", "grey", "-visual", "TrueColor", "-ncols", "16"},
        Action::Run);
    row("input method", {"-im", "ibus", "-inputstyle", "onthespot", "-ximstyle", "-xim"}, Action::Run);
    row("style sheet and plugin", {"-stylesheet", "a.qss", "-plugin", "evdevtouch", "-title", "t"},
        Action::Run);
    row("window options", {"-qwindowgeometry", "1x1", "-qwindowtitle", "t", "-qwindowicon", "i.png"},
        Action::Run);
    row("graphics system", {"-graphicssystem", "raster"}, Action::Run);
    row("qml debugger", {"-qmljsdebugger=port:1234,block"}, Action::Run);
    row("value missing at the end", {"-platform"}, Action::Run);
    row("a Qt name's prefix", {"-plat", "offscreen"}, Action::UsageError, "'-plat'");
    row("a Qt switch given a word", {"-reverse", "yes"}, Action::UsageError, "'yes'");
}

void TestCommandLine::parse()
{
    QFETCH(QStringList, arguments);
    QFETCH(Action, action);
    QFETCH(QString, named);
    const CommandLine result
        = parseCommandLine(QStringList {QStringLiteral("/usr/bin/VelmoClient")} + arguments);
    QCOMPARE(result.action, action);
    if (named.isEmpty()) {
        QVERIFY(result.error.isEmpty());
    } else {
        QVERIFY2(result.error.contains(named), qPrintable(result.error));
    }
    // A switch is told only to a run.
    const bool kiosk = action == Action::Run && arguments.contains(QLatin1String("--kiosk"));
    QCOMPARE(result.switches, kiosk ? QSet<QString> {QStringLiteral("kiosk")} : QSet<QString>());
}

void TestCommandLine::usageNamesEveryOption()
{
    const QString usage = commandLineUsage();
    QVERIFY(usage.endsWith(QLatin1Char('\n')));
    for (const char *option : {"-h, --help", "--version", "--kiosk"})
        QVERIFY2(usage.contains(QLatin1String(option)), option);
    QVERIFY(commandLineVersion().contains(
        QRegularExpression(QStringLiteral("^VelmoClient \\d+\\.\\d+\\.\\d+\n$"))));
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "TestCommandLine.moc"
