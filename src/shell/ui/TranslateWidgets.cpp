#include "shell/ui/TranslateWidgets.h"
#include "shell/Translate.h"
#include <QAbstractItemView>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTableWidget>
#include <QTreeWidget>

namespace Translation {
namespace {

QString columnKey(int i) { return QStringLiteral("Columns_") + QString::number(i) + QStringLiteral(".Caption"); }

void addTabs(QTabWidget *tabs, QVector<TextSlot> &found)
{
    for (int i = 0; i < tabs->count(); ++i)
        found.append(TextSlot{QStringLiteral("Tabs_") + QString::number(i), [tabs, i] { return tabs->tabText(i); },
                              [tabs, i](const QString &t) { tabs->setTabText(i, t); }});
}

// A page of a tab widget is a tab sheet; its caption is the tab's text.
QTabWidget *tabWidgetOfPage(QWidget *page)
{
    auto *stack = qobject_cast<QStackedWidget *>(page->parentWidget());
    if (!stack)
        return nullptr;
    auto *tabs = qobject_cast<QTabWidget *>(stack->parentWidget());
    return (tabs && tabs->indexOf(page) >= 0) ? tabs : nullptr;
}

void addColumns(QAbstractItemView *view, QVector<TextSlot> &found)
{
    if (auto *table = qobject_cast<QTableWidget *>(view)) {
        for (int i = 0; i < table->columnCount(); ++i)
            found.append(TextSlot{columnKey(i),
                                  [table, i] {
                                      QTableWidgetItem *item = table->horizontalHeaderItem(i);
                                      return item ? item->text() : QString();
                                  },
                                  [table, i](const QString &t) {
                                      if (QTableWidgetItem *item = table->horizontalHeaderItem(i))
                                          item->setText(t);
                                      else
                                          table->setHorizontalHeaderItem(i, new QTableWidgetItem(t));
                                  }});
        return;
    }
    if (auto *tree = qobject_cast<QTreeWidget *>(view)) {
        for (int i = 0; i < tree->columnCount(); ++i)
            found.append(TextSlot{columnKey(i), [tree, i] { return tree->headerItem()->text(i); },
                                  [tree, i](const QString &t) { tree->headerItem()->setText(i, t); }});
        return;
    }
    QAbstractItemModel *model = view->model();
    if (!model)
        return;
    for (int i = 0; i < model->columnCount(); ++i)
        found.append(TextSlot{columnKey(i), [model, i] { return model->headerData(i, Qt::Horizontal).toString(); },
                              [model, i](const QString &t) { model->setHeaderData(i, Qt::Horizontal, t); }});
}

bool widgetSlots(QObject *component, QVector<TextSlot> &found)
{
    if (auto *tabs = qobject_cast<QTabWidget *>(component)) {
        addTabs(tabs, found);
        return true;
    }
    if (auto *view = qobject_cast<QAbstractItemView *>(component)) {
        addColumns(view, found);
        return true;
    }
    if (auto *page = qobject_cast<QWidget *>(component)) {
        if (QTabWidget *tabs = tabWidgetOfPage(page)) {
            found.append(TextSlot{QStringLiteral("Caption"), [tabs, page] { return tabs->tabText(tabs->indexOf(page)); },
                                  [tabs, page](const QString &t) {
                                      const int i = tabs->indexOf(page);
                                      if (i >= 0)
                                          tabs->setTabText(i, t);
                                  }});
            return true;
        }
    }
    return false;
}

} // namespace

void InstallWidgetTextSlots() { RegisterTextSlots(QStringLiteral("widgets"), widgetSlots); }

} // namespace Translation
