#pragma once

#include <QString>

// Where a remembered password is kept. The desktop's keyring comes first; the
// owner-only settings file only where no keyring answers; nothing at all
// where the administrator forbids remembering. Plain rules: asking the
// keyring and reading the settings is someone else's business.

enum class PasswordPlace {
    Keyring,
    File,
    Nowhere,
};

// What start-up does with the password line of the settings file.
enum class PasswordAtStart {
    Nothing, // no password is remembered
    ReadKeyring, // remembered, and the keyring holds it
    MoveToKeyring, // an older version left it in the file: show it, then move it
    ClearFile, // the file holds one that must not be kept
};

// False when no password may be kept anywhere: the administrator fixed
// recordpass at "0". The one place a further such reason joins.
bool passwordMayBeKept(bool rememberFixed, bool rememberFixedValue);

// Where the password of a login goes. keyringAnswered: the keyring took it
// (or is still being asked); false once it failed or did not answer in time.
PasswordPlace passwordPlace(bool remember, bool mayBeKept, bool keyringAnswered);

PasswordAtStart passwordAtStart(bool remember, bool mayBeKept, bool fileHoldsPassword);

// The keyring entry of a server and user. The user name is percent-encoded,
// so the first '@' always separates it from the server: "a@b" on "c" and "a"
// on "b@c" are two entries.
QString keyringKey(const QString &server, const QString &user);
