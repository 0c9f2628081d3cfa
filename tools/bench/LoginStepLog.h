#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QVector>

class QMessageLogContext;

// Collects the launcher's login steps ("begin <step>", "end <step>" in its
// step category) with their times since a mark, usually the login press.
class LoginStepLog
{
public:
    struct Step
    {
        QString name;
        double begin = 0; // ms since the mark; below 0 before it
        double end = 0;
    };

    // Turns the step category on and routes its lines here; every other
    // message goes to next. With trace, every message is also written to the
    // standard error with its time since the mark.
    static void install(bool trace);
    // From now on times count from here.
    static void mark();
    static double sinceMark();
    // The steps that have ended, in the order they began.
    static QVector<Step> steps();

    // Each step's own time: its span less the steps within it. Steps that
    // ended before the mark are left out; a step under way at the mark counts
    // from it. As "name:ms,name:ms", names with '_' for spaces, or "-".
    static QString ownTimesAfter(const QVector<Step> &steps);
    // The steps that ended before the mark, from the first begin to the last
    // end: "ms" of that span, or "-".
    static QString spanBefore(const QVector<Step> &steps);
};
