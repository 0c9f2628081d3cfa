#include "RememberedPassword.h"

#include "ConfigStore.h"
#include "PasswordRules.h"
#include "PasswordStore.h"

#include <QDebug>

namespace {

bool keepingAllowed()
{
    return passwordMayBeKept(isSettingMandatory(Setting::recordpass), readFlag(Setting::recordpass));
}

} // namespace

RememberedPassword::RememberedPassword(QObject *parent)
    : QObject(parent)
    , passwordStore(new PasswordStore(this))
{
}

void RememberedPassword::load(const QString &server)
{
    const QString user = readSetting(Setting::user);
    const QString inFile = readSetting(Setting::password);
    switch (passwordAtStart(readFlag(Setting::recordpass), keepingAllowed(), !inFile.isEmpty())) {
    case PasswordAtStart::Nothing:
        return;
    case PasswordAtStart::ClearFile:
        writeSetting(Setting::password, QString());
        qInfo() << "A password the settings file held was removed: remembering passwords is off";
        return;
    case PasswordAtStart::MoveToKeyring:
        emit loaded(inFile);
        passwordStore->write(
            keyringKey(server, user), inFile, [this, inFile](const PasswordStore::Result &result) {
                if (result.outcome == PasswordStore::Outcome::Done) {
                    // A login since start may have put a newer one there.
                    if (readSetting(Setting::password) == inFile)
                        writeSetting(Setting::password, QString());
                    qInfo() << "The remembered password moved from the settings file into the keyring";
                } else {
                    // Still in the file, which a login since may have changed.
                    keepInFile(QString(), result.reason);
                }
                emit settled();
            });
        return;
    case PasswordAtStart::ReadKeyring:
        loading = true;
        passwordStore->read(keyringKey(server, user), [this](const PasswordStore::Result &result) {
            if (result.outcome == PasswordStore::Outcome::NoKeyring)
                keepInFile(QString(), result.reason);
            loading = false;
            emit loaded(result.password);
        });
        return;
    }
}

void RememberedPassword::store(
    const QString &server, const QString &user, const QString &password, bool remember)
{
    const QString previousUser = readSetting(Setting::user);
    const bool mayBeKept = keepingAllowed();
    writeSetting(Setting::user, remember ? user : QString());

    if (passwordPlace(remember, mayBeKept, true) == PasswordPlace::Nowhere || password.isEmpty()) {
        writeSetting(Setting::password, QString());
        const auto removed = [this](const PasswordStore::Result &) { emit settled(); };
        if (!previousUser.isEmpty() && previousUser != user)
            passwordStore->remove(keyringKey(server, previousUser), [](const PasswordStore::Result &) {});
        passwordStore->remove(keyringKey(server, user), removed);
        return;
    }
    // The file keeps what it held for this user until the keyring has
    // answered: a run that ends before loses nothing.
    if (previousUser != user)
        writeSetting(Setting::password, QString());
    passwordStore->write(
        keyringKey(server, user), password, [this, password](const PasswordStore::Result &result) {
            if (result.outcome == PasswordStore::Outcome::Done)
                writeSetting(Setting::password, QString());
            else
                keepInFile(password, result.reason);
            emit settled();
        });
}

void RememberedPassword::keepInFile(const QString &password, const QString &reason)
{
    if (!password.isEmpty())
        writeSetting(Setting::password, password);
    if (fileUseLogged)
        return;
    fileUseLogged = true;
    qWarning().noquote() << QStringLiteral("No keyring answered (%1): a remembered password is kept in the "
                                           "owner-only settings file")
                                .arg(reason);
}
