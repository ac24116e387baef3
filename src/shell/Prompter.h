#pragma once
#include <QString>
#include <QStringList>

// The one way core code talks to the user. The GUI answers with dialogs, tests with
// scripted answers, the command-line program with stderr and its options.
class Prompter
{
public:
    virtual ~Prompter() = default;
    virtual void error(const QString &text) = 0;
    virtual void warning(const QString &text) = 0;
    virtual void information(const QString &text) = 0;
    // Yes/No confirmation; true for Yes.
    virtual bool question(const QString &text) = 0;
    // Yes/No/Cancel, for the question before something unsaved is dropped. Where no one can
    // cancel (the command line, silent paths) it is the Yes/No question.
    enum class Decision { Yes, No, Cancel };
    virtual Decision questionYesNoCancel(const QString &text) { return question(text) ? Decision::Yes : Decision::No; }
    // Text input; false when cancelled.
    virtual bool inputText(const QString &prompt, QString &value)
    {
        Q_UNUSED(prompt);
        Q_UNUSED(value);
        return false;
    }
    // Choice from a list; false when cancelled. index is in/out.
    virtual bool choose(const QString &prompt, const QStringList &items, int &index)
    {
        Q_UNUSED(prompt);
        Q_UNUSED(items);
        Q_UNUSED(index);
        return false;
    }
};

// Swallows everything and answers No: for headless code paths that must not block.
class SilentPrompter : public Prompter
{
public:
    void error(const QString &) override {}
    void warning(const QString &) override {}
    void information(const QString &) override {}
    bool question(const QString &) override { return false; }
};
