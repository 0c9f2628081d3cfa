#pragma once

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtGlobal>

// Points the per-user configuration and temporary locations at a fresh folder,
// so no test ever touches a real user's settings; the system configuration
// folders too, so a machine's own system-wide file changes no result.
class TestHome
{
public:
    TestHome()
    {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome()));
        qputenv("TMPDIR", QFile::encodeName(tempDir()));
        qputenv("XDG_CONFIG_DIRS", QFile::encodeName(systemConfigHome()));
        QDir().mkpath(tempDir());
    }

    bool isValid() const { return m_dir.isValid(); }
    QString root() const { return m_dir.path(); }
    QString configHome() const { return m_dir.path() + QStringLiteral("/config"); }
    QString tempDir() const { return m_dir.path() + QStringLiteral("/tmp"); }
    QString appConfigDir() const
    {
        return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    }
    QString configFile() const { return appConfigDir() + QStringLiteral("/ClientConfig.ini"); }
    // The first system configuration folder, and where the administrator's file goes in it.
    QString systemConfigHome() const { return m_dir.path() + QStringLiteral("/system"); }
    QString systemConfigFile() const
    {
        return systemConfigHome() + QLatin1Char('/') + QFileInfo(appConfigDir()).fileName()
            + QStringLiteral("/ClientConfig.ini");
    }
    // Writes the administrator's file as given, INI groups and all.
    bool writeSystemConfig(const QByteArray &text) const
    {
        QDir().mkpath(QFileInfo(systemConfigFile()).absolutePath());
        QFile file(systemConfigFile());
        return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
    }
    bool makeAppConfigDir() const { return QDir().mkpath(appConfigDir()); }

private:
    QTemporaryDir m_dir;
};
