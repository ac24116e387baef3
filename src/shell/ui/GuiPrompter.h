#pragma once
#include "shell/Prompter.h"
#include <QPointer>
#include <QWidget>

// Message boxes and simple input dialogs for the core's messages. Callable from any
// thread: calls from outside the GUI thread are carried over and wait for the answer.
class GuiPrompter : public Prompter
{
public:
    explicit GuiPrompter(QWidget *parentWindow = nullptr) : m_parent(parentWindow) {}

    void SetParentWindow(QWidget *parentWindow) { m_parent = parentWindow; }
    QWidget *ParentWindow() const { return m_parent; }

    void error(const QString &text) override;
    void warning(const QString &text) override;
    void information(const QString &text) override;
    bool question(const QString &text) override;
    Decision questionYesNoCancel(const QString &text) override;
    bool inputText(const QString &prompt, QString &value) override;
    bool choose(const QString &prompt, const QStringList &items, int &index) override;

    // The texts carry carriage returns as line breaks; widgets want "\n".
    static QString ForDisplay(const QString &text);

private:
    QPointer<QWidget> m_parent;
};
