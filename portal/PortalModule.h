#pragma once

class PortalView;
class QWidget;

// The web-engine half of the portal, built as a module of its own and loaded
// on the first login press, so that the login form starts without the web
// engine in memory. The module has one entry point, a C function named by
// portalModuleEntry; everything else goes through this interface.
class PortalModule
{
public:
    virtual ~PortalModule() = default;

    // A new view with a fresh portal page in it, owned by parent, or by the
    // caller when parent is null.
    virtual PortalView *createView(QWidget *parent) = 0;
};

// Changes with every change of the classes above and of PortalView; a module
// built for another version returns no interface.
constexpr int portalModuleVersion = 7;

// extern "C" PortalModule *velmoCreatePortalModule(int version): a new
// interface owned by the caller, or null when version is not the module's.
using PortalModuleFactory = PortalModule *(*)(int version);
constexpr char portalModuleEntry[] = "velmoCreatePortalModule";
