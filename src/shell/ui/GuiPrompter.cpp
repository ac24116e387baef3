#include "shell/ui/GuiPrompter.h"
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
    InGuiThread([&] { ShowBox(m_parent, QMessageBox::Critical, QStringLiteral("Fehler"), text); });
}

void GuiPrompter::warning(const QString &text)
{
    InGuiThread([&] { ShowBox(m_parent, QMessageBox::Warning, QStringLiteral("Warnung"), text); });
}

void GuiPrompter::information(const QString &text)
{
    InGuiThread([&] { ShowBox(m_parent, QMessageBox::Information, QStringLiteral("Information"), text); });
}

bool GuiPrompter::question(const QString &text)
{
    bool yes = false;
    InGuiThread([&] {
        QMessageBox box(QMessageBox::Question, QStringLiteral("Bestätigen"), ForDisplay(text),
                        QMessageBox::Yes | QMessageBox::No, m_parent);
        box.button(QMessageBox::Yes)->setText(QStringLiteral("&Ja"));
        box.button(QMessageBox::No)->setText(QStringLiteral("&Nein"));
        box.setDefaultButton(QMessageBox::Yes);
        yes = box.exec() == QMessageBox::Yes;
    });
    return yes;
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
