#include "shell/ui/GuiPrompter.h"
#include "shell/Texts.h"
#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>

namespace {
// Runs f in the GUI thread and waits for it; directly when already there.
template <typename F> void InGuiThread(F &&f)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread())
        f();
    else
        QMetaObject::invokeMethod(app, std::forward<F>(f), Qt::BlockingQueuedConnection);
}

QString Title() { return QGuiApplication::applicationDisplayName(); }

void ShowBox(QWidget *parent, QMessageBox::Icon icon, const QString &caption, const QString &text)
{
    QMessageBox box(icon, caption, GuiPrompter::ForDisplay(text), QMessageBox::Ok, parent);
    box.exec();
}
} // namespace

QString GuiPrompter::ForDisplay(const QString &text)
{
    QString t = text;
    t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return t;
}

void GuiPrompter::error(const QString &text)
{
    InGuiThread([&] { ShowBox(m_parent, QMessageBox::Critical, GetText(517), text); });
}

void GuiPrompter::warning(const QString &text)
{
    InGuiThread([&] { ShowBox(m_parent, QMessageBox::Warning, GetText(518), text); });
}

void GuiPrompter::information(const QString &text)
{
    InGuiThread([&] { ShowBox(m_parent, QMessageBox::Information, GetText(519), text); });
}

bool GuiPrompter::question(const QString &text)
{
    bool yes = false;
    InGuiThread([&] {
        QMessageBox box(QMessageBox::Question, GetText(520), ForDisplay(text), QMessageBox::Yes | QMessageBox::No,
                        m_parent);
        box.button(QMessageBox::Yes)->setText(GetText(521));
        box.button(QMessageBox::No)->setText(GetText(522));
        box.setDefaultButton(QMessageBox::Yes);
        yes = box.exec() == QMessageBox::Yes;
    });
    return yes;
}

Prompter::Decision GuiPrompter::questionYesNoCancel(const QString &text)
{
    Decision decision = Decision::Cancel;
    InGuiThread([&] {
        QMessageBox box(QMessageBox::Question, GetText(520), ForDisplay(text),
                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, m_parent);
        box.button(QMessageBox::Yes)->setText(GetText(521));
        box.button(QMessageBox::No)->setText(GetText(522));
        box.button(QMessageBox::Cancel)->setText(GetText(523));
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::Cancel);
        const int answer = box.exec();
        decision = answer == QMessageBox::Yes ? Decision::Yes : answer == QMessageBox::No ? Decision::No : Decision::Cancel;
    });
    return decision;
}

bool GuiPrompter::inputText(const QString &prompt, QString &value)
{
    bool ok = false;
    InGuiThread([&] {
        const QString entered =
            QInputDialog::getText(m_parent, Title(), ForDisplay(prompt), QLineEdit::Normal, value, &ok);
        if (ok)
            value = entered;
    });
    return ok;
}

bool GuiPrompter::choose(const QString &prompt, const QStringList &items, int &index)
{
    if (items.isEmpty())
        return false;
    bool ok = false;
    InGuiThread([&] {
        const int current = (index >= 0 && index < items.size()) ? index : 0;
        const QString chosen =
            QInputDialog::getItem(m_parent, Title(), ForDisplay(prompt), items, current, false, &ok);
        if (ok) {
            // Lines may repeat: prefer the preselected one when its text was chosen.
            index = items.value(current) == chosen ? current : int(items.indexOf(chosen));
            ok = index >= 0;
        }
    });
    return ok;
}
