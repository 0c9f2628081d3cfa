#pragma once

#include <QString>

// What the portal view hands to the sign-in.
struct ControlData
{
    QString userName; // Latin-1, percent-encoded
    QString userPassword; // Latin-1, percent-encoded
    QString serverAddress; // as the user configured it
    QString serialId; // "N/A" until the terminal identity is filled in
};
