#include "PasswordStore.h"

#include <QTimer>

#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
#include <qt6keychain/keychain.h>
#else
#include <qt5keychain/keychain.h>
#endif

#include <memory>

namespace {

const QString serviceName = QStringLiteral("VelmoClient");

PasswordStore::Result resultOf(QKeychain::Job *job)
{
    switch (job->error()) {
    case QKeychain::NoError:
        if (auto *read = qobject_cast<QKeychain::ReadPasswordJob *>(job))
            return {PasswordStore::Outcome::Done, read->textData(), {}};
        return {PasswordStore::Outcome::Done, {}, {}};
    case QKeychain::EntryNotFound:
        return {PasswordStore::Outcome::NotFound, {}, {}};
    default:
        // No service on the bus, a keyring the user left locked or refused:
        // all mean the keyring cannot keep the password now.
        return {PasswordStore::Outcome::NoKeyring, {}, job->errorString()};
    }
}

} // namespace

PasswordStore::PasswordStore(QObject *parent)
    : QObject(parent)
{
}

void PasswordStore::setTimeout(int milliseconds)
{
    timeoutMs = milliseconds;
}

void PasswordStore::read(const QString &key, Answer answer)
{
    run(new QKeychain::ReadPasswordJob(serviceName), key, std::move(answer));
}

void PasswordStore::write(const QString &key, const QString &password, Answer answer)
{
    auto *job = new QKeychain::WritePasswordJob(serviceName);
    job->setTextData(password);
    run(job, key, std::move(answer));
}

void PasswordStore::remove(const QString &key, Answer answer)
{
    run(new QKeychain::DeletePasswordJob(serviceName), key, [answer = std::move(answer)](Result result) {
        if (result.outcome == Outcome::NotFound)
            result.outcome = Outcome::Done;
        answer(result);
    });
}

void PasswordStore::run(QKeychain::Job *job, const QString &key, Answer answer)
{
    // The job has no parent: the keyring's reply refers to it, so it must
    // outlive this store until the reply comes, and deletes itself then.
    job->setAutoDelete(true);
    job->setKey(key);
    auto answered = std::make_shared<bool>(false);
    auto *timer = new QTimer(this);
    timer->setSingleShot(true);
    const auto finish = [answered, timer, answer = std::move(answer)](const Result &result) {
        if (*answered)
            return;
        *answered = true;
        timer->stop();
        timer->deleteLater();
        answer(result);
    };
    connect(job, &QKeychain::Job::finished, this, [finish](QKeychain::Job *done) { finish(resultOf(done)); });
    connect(timer, &QTimer::timeout, this, [finish, seconds = timeoutMs / 1000.0] {
        finish({Outcome::NoKeyring, {}, QStringLiteral("no answer within %1 s").arg(seconds)});
    });
    timer->start(timeoutMs);
    job->start();
}
