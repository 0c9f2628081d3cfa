#pragma once

#include <QStringList>

#include <memory>

class PortalModule;

// Finds and loads the portal module once, on first need. The library stays
// loaded for the rest of the process: the web engine does not survive being
// unloaded.
class PortalModuleLoader
{
public:
    PortalModuleLoader();
    ~PortalModuleLoader();

    // The module's interface, loaded on the first call. Null when the module
    // is missing or broken; that is written to the log once, as a critical
    // message, and not tried again.
    PortalModule *module();
    // True once module() has been asked, whatever it found.
    bool isLoaded() const { return tried; }

    // Where the module is looked for, in this order: beside the program, then
    // where the package installs it.
    static QStringList locations();

    // Tests point the loader at a file of their choice; an empty path brings
    // back the usual places.
    static void setLocationForTesting(const QString &path);

private:
    bool tried = false;
    std::unique_ptr<PortalModule> instance;
};
