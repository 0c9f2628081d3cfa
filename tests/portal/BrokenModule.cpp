// Stand-ins for a damaged portal module: a library without the entry point,
// or one whose entry point serves another interface version.

#include "PortalModule.h"

#include <QtGlobal>

#ifdef WITH_ENTRY
extern "C" Q_DECL_EXPORT PortalModule *velmoCreatePortalModule(int version)
{
    Q_UNUSED(version)
    return nullptr;
}
#else
extern "C" Q_DECL_EXPORT int velmoSomethingElse()
{
    return 1;
}
#endif
