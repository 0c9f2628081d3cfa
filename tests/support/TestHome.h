#pragma once

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtGlobal>

#include <iterator>

// Points the per-user configuration and temporary locations at a fresh folder,
// so no test ever touches a real user's settings; the system configuration
// folders too, so a machine's own system-wide file changes no result.
class TestHome
{
public:
    TestHome()
    {
        for (const char *name : variables)
            m_before << qgetenv(name);
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome()));
        qputenv("TMPDIR", QFile::encodeName(tempDir()));
        qputenv("XDG_CONFIG_DIRS", QFile::encodeName(systemConfigHome()));
        QDir().mkpath(tempDir());
        // The running launcher's rendezvous is there: launchers of other tests
        // and of the machine's own session must not answer this test's.
        QDir().mkpath(runtimeDir());
        QFile::setPermissions(
            runtimeDir(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeDir()));
    }

    // The folders go with it: a variable left pointing at one would make the
    // next temporary folder "/" instead of one in the system's.
    ~TestHome()
    {
        for (int i = 0; i < int(std::size(variables)); ++i) {
            if (m_before.at(i).isNull())
                qunsetenv(variables[i]);
            else
                qputenv(variables[i], m_before.at(i));
        }
    }
    TestHome(const TestHome &) = delete;
    TestHome &operator=(const TestHome &) = delete;

    bool isValid() const { return m_dir.isValid(); }
    QString root() const { return m_dir.path(); }
    QString configHome() const { return m_dir.path() + QStringLiteral("/config"); }
    QString tempDir() const { return m_dir.path() + QStringLiteral("/tmp"); }
    QString runtimeDir() const { return m_dir.path() + QStringLiteral("/run"); }
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
    static constexpr const char *variables[]
        = {"XDG_CONFIG_HOME", "TMPDIR", "XDG_CONFIG_DIRS", "XDG_RUNTIME_DIR"};
    QList<QByteArray> m_before;
    QTemporaryDir m_dir;
};
