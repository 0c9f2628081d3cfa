#include "WebPortalModule.h"

#include "WebPortalView.h"

PortalView *WebPortalModule::createView(QWidget *parent)
{
    return new WebPortalView(parent);
}

extern "C" Q_DECL_EXPORT PortalModule *velmoCreatePortalModule(int version)
{
    if (version != portalModuleVersion)
        return nullptr;
    return new WebPortalModule;
}
