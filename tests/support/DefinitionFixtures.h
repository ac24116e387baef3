#pragma once
// Helpers for tests that read definition files: a prompter that records every message,
// and a scratch data folder whose ZPA files the test writes itself.
#include "shell/AnsiCodec.h"
#include "shell/DataDir.h"
#include "shell/Prompter.h"
#include "shell/Texts.h"
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <utility>

class RecordingPrompter : public Prompter
{
public:
    struct Message
    {
        QString kind; // "error", "warning", "information", "question"
        QString text;
    };
    QList<Message> messages;
    bool answer = false;

    void error(const QString &t) override { messages.append({QStringLiteral("error"), t}); }
    void warning(const QString &t) override { messages.append({QStringLiteral("warning"), t}); }
    void information(const QString &t) override { messages.append({QStringLiteral("information"), t}); }
    bool question(const QString &t) override
    {
        messages.append({QStringLiteral("question"), t});
        return answer;
    }

    QStringList texts() const
    {
        QStringList r;
        for (const Message &m : messages)
            r.append(m.text);
        return r;
    }
    bool has(const QString &kind, const QString &text) const
    {
        for (const Message &m : messages)
            if (m.kind == kind && m.text == text)
                return true;
        return false;
    }
    void clear() { messages.clear(); }
};

// A data folder with a ZPA subfolder; DataDir points at it while the object lives, and
// the alarm text table is restored afterwards (the readers write into it).
class ScratchDataDir
{
public:
    ScratchDataDir() : m_savedZlt(CL_ZLT().Consts)
    {
        QDir(m_dir.path()).mkpath(QStringLiteral("ZPA"));
        DataDir::setOverride(m_dir.path());
    }
    ~ScratchDataDir()
    {
        DataDir::setOverride(QString());
        CL_ZLT().Consts = m_savedZlt;
    }
    QString zpa() const { return m_dir.path() + QStringLiteral("/ZPA"); }
    // Writes the text as Windows-1252 with CR LF line ends; returns the full path.
    QString write(const QString &name, const QString &text, bool crlf = true) const
    {
        QString t = text;
        if (crlf)
            t.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
        return writeBytes(name, Ansi::encode(t));
    }
    QString writeBytes(const QString &name, const QByteArray &bytes) const
    {
        const QString path = zpa() + QLatin1Char('/') + name;
        QFile f(path);
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            f.write(bytes);
        return path;
    }

private:
    QTemporaryDir m_dir;
    QStringList m_savedZlt;
};
