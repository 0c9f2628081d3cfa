#include "LoginStep.h"

Q_LOGGING_CATEGORY(loginSteps, "velmo.login.steps", QtInfoMsg)
