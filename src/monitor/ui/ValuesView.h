#pragma once
#include <QObject>
#include <QPointer>
#include <QVector>
#include <functional>

class QLabel;
class QPushButton;
class QTableWidget;
class QToolButton;
class TNachrichten;
class ValuePoller;

// The actual-value area of the main window: binds the grid StrG_Int, its title, the "X"
// button and "Quittierung" to the poller, and owns the large displays of the rows.
class TValuesView : public QObject
{
    Q_OBJECT
public:
    TValuesView(ValuePoller &poller, QTableWidget *grid, QLabel *title, QToolButton *close, QPushButton *acknowledge,
                QObject *parent = nullptr);
    ~TValuesView() override;

    // A page chosen in the menu: caption is the menu entry's caption.
    void Choose(const QString &code, const QString &caption);
    // The double click on a grid row.
    void OpenRow(int row);
    TNachrichten *RowWindow(int row) const;

    // Status panel text (stale values) and the "&Istwerte Drucken" entry.
    std::function<void(const QString &)> ShowStatus;
    std::function<void(bool)> ValuesPresent;

private:
    void Fill();
    void CloseRowWindows();
    void Hide();

    ValuePoller &m_poller;
    QTableWidget *m_grid;
    QLabel *m_title;
    QToolButton *m_close;
    QPushButton *m_ack;
    QVector<QPointer<TNachrichten>> m_rows;
    bool m_freshPage = true;
    static constexpr int kCellPadding = 6;
};
