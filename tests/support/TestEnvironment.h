#pragma once
// Scoped changes of the process environment for tests.
#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <csignal>
#include <sys/resource.h>

// Points the settings folder somewhere else for one test and restores it afterwards.
class ConfigDirGuard
{
public:
    explicit ConfigDirGuard(const QString &dir)
        : m_had(qEnvironmentVariableIsSet("MIRELO_CONFIG_DIR")), m_old(qgetenv("MIRELO_CONFIG_DIR"))
    {
        qputenv("MIRELO_CONFIG_DIR", dir.toLocal8Bit());
    }
    ~ConfigDirGuard()
    {
        if (m_had)
            qputenv("MIRELO_CONFIG_DIR", m_old);
        else
            qunsetenv("MIRELO_CONFIG_DIR");
    }

private:
    bool m_had;
    QByteArray m_old;
};

// Makes every file write beyond `bytes` fail with EFBIG, even for root, for the lifetime
// of the object: the one dependable way to break a save halfway through in a test.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit r = m_old;
        r.rlim_cur = bytes;
        m_ok = setrlimit(RLIMIT_FSIZE, &r) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    bool ok() const { return m_ok; }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
    bool m_ok = false;
};
