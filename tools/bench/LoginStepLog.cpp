#include "LoginStepLog.h"

#include <QLoggingCategory>
#include <QMutex>

#include <algorithm>
#include <cstdio>

namespace {

QElapsedTimer stepClock;
qint64 markNs = 0;
bool tracing = false;
QtMessageHandler next = nullptr;
QMutex lock;
QVector<LoginStepLog::Step> ended;
QVector<LoginStepLog::Step> open;

double msSinceMark()
{
    return (stepClock.nsecsElapsed() - markNs) / 1e6;
}

// Times are kept from the clock's start and told from the mark.
void take(const QString &message, double at)
{
    QMutexLocker locked(&lock);
    if (message.startsWith(QLatin1String("begin "))) {
        open.append({message.mid(6), at, at});
    } else if (message.startsWith(QLatin1String("end "))) {
        const QString name = message.mid(4);
        for (int i = open.size() - 1; i >= 0; --i) {
            if (open.at(i).name == name) {
                LoginStepLog::Step step = open.takeAt(i);
                step.end = at;
                ended.append(step);
                break;
            }
        }
    }
}

void handler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (tracing)
        std::fprintf(stderr, "%+8.1f ms %s\n", msSinceMark(), qPrintable(message.left(100)));
    if (context.category && qstrcmp(context.category, "velmo.login.steps") == 0) {
        take(message, stepClock.nsecsElapsed() / 1e6);
        return;
    }
    if (next)
        next(type, context, message);
}

QString key(QString name)
{
    return name.replace(QLatin1Char(' '), QLatin1Char('_'));
}

} // namespace

void LoginStepLog::install(bool trace)
{
    stepClock.start();
    tracing = trace;
    QLoggingCategory::setFilterRules(QStringLiteral("velmo.login.steps.debug=true"));
    next = qInstallMessageHandler(handler);
}

void LoginStepLog::mark()
{
    markNs = stepClock.nsecsElapsed();
}

double LoginStepLog::sinceMark()
{
    return msSinceMark();
}

QVector<LoginStepLog::Step> LoginStepLog::steps()
{
    QMutexLocker locked(&lock);
    QVector<Step> all = ended;
    for (Step &step : all) {
        step.begin -= markNs / 1e6;
        step.end -= markNs / 1e6;
    }
    std::sort(all.begin(), all.end(), [](const Step &a, const Step &b) { return a.begin < b.begin; });
    return all;
}

QString LoginStepLog::ownTimesAfter(const QVector<Step> &steps)
{
    QVector<Step> after;
    for (Step step : steps) {
        if (step.end < 0)
            continue;
        step.begin = std::max(step.begin, 0.0);
        after << step;
    }
    const auto within = [](const Step &inner, const Step &outer) {
        return &inner != &outer && inner.begin >= outer.begin && inner.end <= outer.end;
    };
    QStringList parts;
    for (const Step &step : after) {
        double own = step.end - step.begin;
        for (const Step &inner : after) {
            if (!within(inner, step))
                continue;
            // Only the steps directly within: those within another inner one
            // are in its time already.
            const bool direct = std::none_of(after.begin(), after.end(),
                [&](const Step &middle) { return within(inner, middle) && within(middle, step); });
            if (direct)
                own -= inner.end - inner.begin;
        }
        parts << QStringLiteral("%1:%2").arg(key(step.name)).arg(own, 0, 'f', 1);
    }
    return parts.isEmpty() ? QStringLiteral("-") : parts.join(QLatin1Char(','));
}

QString LoginStepLog::spanBefore(const QVector<Step> &steps)
{
    double first = 0;
    double last = 0;
    bool any = false;
    for (const Step &step : steps) {
        if (step.end >= 0)
            continue;
        first = any ? std::min(first, step.begin) : step.begin;
        last = any ? std::max(last, step.end) : step.end;
        any = true;
    }
    return any ? QString::number(last - first, 'f', 1) : QStringLiteral("-");
}
