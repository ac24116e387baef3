#pragma once
#include "shell/Prompter.h"
#include <QStringList>
#include <deque>

// Records every message and answers questions and inputs from a script.
class ScriptedPrompter : public Prompter
{
public:
    QStringList Errors, Warnings, Infos, Questions;
    std::deque<bool> Answers;        // for question(); No when exhausted
    std::deque<QString> Inputs;      // for inputText(); cancel when exhausted
    std::deque<int> Choices;         // for choose(); cancel when exhausted
    std::deque<Decision> Decisions;  // for questionYesNoCancel(); Cancel when exhausted

    void error(const QString &t) override { Errors << t; }
    void warning(const QString &t) override { Warnings << t; }
    void information(const QString &t) override { Infos << t; }
    bool question(const QString &t) override
    {
        Questions << t;
        if (Answers.empty())
            return false;
        const bool a = Answers.front();
        Answers.pop_front();
        return a;
    }
    Decision questionYesNoCancel(const QString &t) override
    {
        Questions << t;
        if (Decisions.empty())
            return Decision::Cancel;
        const Decision d = Decisions.front();
        Decisions.pop_front();
        return d;
    }
    bool inputText(const QString &, QString &value) override
    {
        if (Inputs.empty())
            return false;
        value = Inputs.front();
        Inputs.pop_front();
        return true;
    }
    bool choose(const QString &, const QStringList &, int &index) override
    {
        if (Choices.empty())
            return false;
        index = Choices.front();
        Choices.pop_front();
        return true;
    }
    QStringList All() const { return Errors + Warnings + Infos; }
    void Clear()
    {
        Errors.clear();
        Warnings.clear();
        Infos.clear();
        Questions.clear();
    }
};
