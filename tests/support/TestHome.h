#pragma once

#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtGlobal>

// Points the per-user configuration and temporary locations at a fresh folder,
// so no test ever touches a real user's settings.
class TestHome
{
public:
    TestHome()
    {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome()));
        qputenv("TMPDIR", QFile::encodeName(tempDir()));
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
    bool makeAppConfigDir() const { return QDir().mkpath(appConfigDir()); }

private:
    QTemporaryDir m_dir;
};
