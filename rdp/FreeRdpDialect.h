#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The translated options are written for the Windows client. The upstream
// clients on other platforms reject some of them, and FreeRDP 3 changed the
// syntax again; these functions adapt the list to the client that will run.
// Where a client cannot express a restriction the result is stricter, never looser.

enum class FreeRdpDialect {
    Unknown, // treated as FreeRDP 2
    FreeRdp2,
    FreeRdp3,
};

// The dialect a program file's name reveals ("xfreerdp3", "sdl-freerdp3",
// "wfreerdp2.exe"), or Unknown for a name without a version ("xfreerdp").
FreeRdpDialect dialectFromProgramName(const QString &fileName);

// The dialect from what "<client> --version" printed, or Unknown.
FreeRdpDialect dialectFromVersionOutput(const QByteArray &output);

// FreeRDP 2: the gstreamer decoder dropped, a one-way clipboard switch turns the
// clipboard off, "/usb:" keeps its allow list ("auto" only when nothing restricts it).
QStringList adaptForFreeRdp2(const QStringList &options);

// The same under its earlier name, still used by the benchmark.
inline QStringList adaptForUpstreamFreeRdp(const QStringList &options)
{
    return adaptForFreeRdp2(options);
}

struct FreeRdp3Adaptation
{
    QStringList options;
    // Set when an option holds a value the FreeRDP 3 syntax cannot carry: the
    // name of that field (never its value). No client may be started then.
    QString refusedField;
};

// FreeRDP 3: the gateway options folded into one "/gateway:", the cache switches
// into one "/cache:", gstreamer dropped, one-way clipboard as "direction-to", USB
// as for FreeRDP 2. Without a password in the connection FreeRDP 3 asks for one
// on its standard input, which nobody answers: an empty "/p:" goes first then.
FreeRdp3Adaptation adaptForFreeRdp3(const QStringList &options, bool connectionHasPassword);

// True when the connection file's text (as the translation reads it) gives the
// client a password of its own: a "password 51:b:" blob or a clear-text password.
bool connectionFileHasPassword(const QByteArray &text);
