#pragma once

#include <QObject>
#include <QString>

class PasswordStore;

// The remembered user name and password of the login form, kept in the
// keyring where one answers and in the owner-only settings file where none
// does. The settings say whether anything is remembered (recordpass) and may
// forbid it (a fixed "0"); the keyring entry belongs to the server address
// and the user name.
class RememberedPassword : public QObject
{
    Q_OBJECT

public:
    explicit RememberedPassword(QObject *parent = nullptr);

    // At start: the remembered password for server comes through loaded(), at
    // once when the settings file holds it (an older version's, which is then
    // moved into the keyring), else once the keyring has answered or its time
    // is up. Nothing comes when nothing is remembered.
    void load(const QString &server);
    // True from load() until loaded() has been sent.
    bool isLoading() const { return loading; }

    // The login press: remember user and password for server, or forget them
    // everywhere. The file holds the password only when the keyring did not
    // take it.
    void store(const QString &server, const QString &user, const QString &password, bool remember);

    PasswordStore *keyring() const { return passwordStore; }

signals:
    void loaded(const QString &password);
    // A store, move or removal has reached where it goes; for whoever must
    // know that the keyring has finished.
    void settled();

private:
    // One line per run says that the file takes the keyring's place.
    void keepInFile(const QString &password, const QString &reason);

    PasswordStore *passwordStore = nullptr;
    bool loading = false;
    bool fileUseLogged = false;
};
