#pragma once

class QWidget;
class QString;

// Watching the launcher's window on its way to the portal, through what the
// window shows rather than through the web engine, so that a program using
// it links nothing the launcher itself does not.
namespace PortalProbe {

extern const QString user;
extern const QString password;

// Shows the launcher's window as main.cpp does (the shared GL context comes
// once it is up) and fills the form with the benchmark's user and the given
// password, without typing.
void showWithCredentials(QWidget *window, const QString &password);

// Runs the event loop until the window's busy indicator has come and gone
// again, which is the window's own sign of the portal's first page load;
// false after timeoutMs.
bool waitForFirstLoad(QWidget *window, int timeoutMs);

} // namespace PortalProbe
