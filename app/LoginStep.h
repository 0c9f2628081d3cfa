#pragma once

#include <QLoggingCategory>

// The steps from the login press to the portal, as "begin <step>" and
// "end <step>" debug lines in this category. It is off unless a program
// turns it on (the benchmark's trace does), and costs a flag test then.
Q_DECLARE_LOGGING_CATEGORY(loginSteps)

// Marks a step that runs within one scope.
class LoginStep
{
public:
    explicit LoginStep(const char *name)
        : name(name)
    {
        qCDebug(loginSteps, "begin %s", name);
    }
    ~LoginStep() { qCDebug(loginSteps, "end %s", name); }

    LoginStep(const LoginStep &) = delete;
    LoginStep &operator=(const LoginStep &) = delete;

private:
    const char *name;
};
