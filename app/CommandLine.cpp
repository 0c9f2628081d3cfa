#include "CommandLine.h"

#include "Version.h"

#include <QLatin1String>

namespace {

// The launcher's own options. A switch (Action::Run) lands in
// CommandLine::switches under its long name; a new one is one row here.
struct OwnOption
{
    const char *longName;
    char shortName; // 0: none
    CommandLine::Action action;
    const char *help;
};

const OwnOption ownOptions[] = {
    {"help", 'h', CommandLine::Action::PrintHelp, "print this help and exit"},
    {"version", 0, CommandLine::Action::PrintVersion, "print the version and exit"},
    {"kiosk", 0, CommandLine::Action::Run, "run as the whole session of a shared machine"},
};

// Options Qt reads itself, by the platform plugins included, and those of
// older Qt that session managers and old scripts still pass. Qt takes them
// with one dash or two, and a value either as the next argument or after "=".
struct QtOption
{
    const char *name;
    bool takesValue;
};

const QtOption qtOptions[] = {
    {"platform", true},
    {"platformpluginpath", true},
    {"platformtheme", true},
    {"plugin", true},
    {"qmljsdebugger", true},
    {"qwindowgeometry", true},
    {"qwindowtitle", true},
    {"qwindowicon", true},
    {"reverse", false},
    {"session", true},
    {"display", true},
    {"name", true},
    {"title", true},
    {"geometry", true},
    {"style", true},
    {"stylesheet", true},
    {"widgetcount", false},
    {"graphicssystem", true},
    {"nograb", false},
    {"dograb", false},
    {"sync", false},
    {"visual", true},
    {"ncols", true},
    {"cmap", false},
    {"fn", true},
    {"font", true},
    {"bg", true},
    {"background", true},
    {"fg", true},
    {"foreground", true},
    {"btn", true},
    {"button", true},
    {"im", true},
    {"inputstyle", true},
};

const QtOption *findQtOption(const QString &name)
{
    for (const QtOption &option : qtOptions) {
        if (name == QLatin1String(option.name))
            return &option;
    }
    return nullptr;
}

const OwnOption *findOwnOption(const QString &argument)
{
    for (const OwnOption &option : ownOptions) {
        if (argument == QLatin1String("--") + QLatin1String(option.longName)
            || (option.shortName && argument == QLatin1Char('-') + QLatin1Char(option.shortName)))
            return &option;
    }
    return nullptr;
}

CommandLine usageError(const QString &message)
{
    CommandLine result;
    result.action = CommandLine::Action::UsageError;
    result.error = message;
    return result;
}

} // namespace

CommandLine parseCommandLine(const QStringList &arguments)
{
    CommandLine result;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (const OwnOption *own = findOwnOption(argument)) {
            // The first request to print something wins; the rest is not read,
            // as other programs do with --help.
            if (own->action != CommandLine::Action::Run) {
                result.action = own->action;
                return result;
            }
            result.switches.insert(QLatin1String(own->longName));
            continue;
        }
        if (argument.size() < 2 || !argument.startsWith(QLatin1Char('-')))
            return usageError(QStringLiteral("unexpected argument '%1'").arg(argument));
        const QString name = argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1);
        const int equals = name.indexOf(QLatin1Char('='));
        const QtOption *qt = findQtOption(equals < 0 ? name : name.left(equals));
        // The X input method options of old Qt all begin with "xim".
        if (!qt && !name.startsWith(QLatin1String("xim")))
            return usageError(QStringLiteral("unknown option '%1'").arg(argument));
        if (qt && qt->takesValue && equals < 0)
            ++i; // its value, whatever it looks like
    }
    return result;
}

QString commandLineUsage()
{
    QString text = QStringLiteral("Usage: VelmoClient [option]\n"
                                  "Signs in to the configured virtual-desktop portal and opens its remote "
                                  "desktops.\n\nOptions:\n");
    for (const OwnOption &option : ownOptions) {
        QString names = option.shortName ? QStringLiteral("-%1, ").arg(QLatin1Char(option.shortName))
                                         : QStringLiteral("    ");
        names += QLatin1String("--") + QLatin1String(option.longName);
        text += QStringLiteral("  %1  %2\n").arg(names, -16).arg(QLatin1String(option.help));
    }
    text += QStringLiteral("\nQt's own options, such as -platform and -style, work as in every Qt "
                           "program.\nSee VelmoClient(1) for the settings and files.\n");
    return text;
}

QString commandLineVersion()
{
    return QStringLiteral("VelmoClient %1.%2.%3\n")
        .arg(VELMO_VERSION_MAJOR)
        .arg(VELMO_VERSION_MINOR)
        .arg(VELMO_VERSION_PATCH);
}
