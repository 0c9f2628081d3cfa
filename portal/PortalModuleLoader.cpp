#include "PortalModuleLoader.h"

#include "LoginStep.h"
#include "PortalModule.h"
#include "SharedGlContext.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFileInfo>
#include <QLibrary>

namespace {

QString &testLocation()
{
    static QString path;
    return path;
}

// The reason the module cannot be used, or an empty text when instance was set.
QString loadFrom(const QString &path, std::unique_ptr<PortalModule> &instance)
{
    // Never unloaded, so the library object may go.
    QLibrary library(path);
    if (!library.load())
        return library.errorString();
    const auto factory = reinterpret_cast<PortalModuleFactory>(library.resolve(portalModuleEntry));
    if (!factory)
        return QStringLiteral("%1 has no entry point %2").arg(path, QLatin1String(portalModuleEntry));
    instance.reset(factory(portalModuleVersion));
    if (!instance)
        return QStringLiteral("%1 does not offer interface version %2").arg(path).arg(portalModuleVersion);
    return QString();
}

} // namespace

PortalModuleLoader::PortalModuleLoader() = default;

PortalModuleLoader::~PortalModuleLoader() = default;

QStringList PortalModuleLoader::locations()
{
    if (!testLocation().isEmpty())
        return {testLocation()};
    const QString programDir = QCoreApplication::applicationDirPath();
    // Plain 8-bit texts, so that the package check can read them in the program.
    const QLatin1String file(VELMO_PORTAL_MODULE_FILE);
    const QLatin1String installed("/" VELMO_PORTAL_MODULE_INSTALL_DIR "/" VELMO_PORTAL_MODULE_FILE);
    return {programDir + QLatin1Char('/') + file, programDir + installed};
}

void PortalModuleLoader::setLocationForTesting(const QString &path)
{
    testLocation() = path;
}

PortalModule *PortalModuleLoader::module()
{
    if (tried)
        return instance.get();
    tried = true;

    // The web engine looks for the shared context as soon as it is loaded.
    prepareSharedGlContext();
    const QStringList candidates = locations();
    for (const QString &path : candidates) {
        if (!QFileInfo::exists(path))
            continue;
        LoginStep step("module load");
        const QString failure = loadFrom(path, instance);
        if (!failure.isEmpty())
            qCritical().noquote() << "Portal module unusable:" << failure;
        return instance.get();
    }
    qCritical().noquote() << "Portal module not found in:" << candidates.join(QStringLiteral(", "));
    return nullptr;
}
