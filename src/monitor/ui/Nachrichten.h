#pragma once
#include <QPointer>
#include <QStringList>
#include <QWidget>

class QLabel;
class QTableWidget;
class QTimer;

// The messages window: the device information, or one row of the actual-value grid in
// very large print, following the row live.
class TNachrichten : public QWidget
{
    Q_OBJECT
public:
    explicit TNachrichten(QWidget *parent = nullptr);

    // The device information; caption is the menu entry's caption.
    void ShowFnummer(const QString &caption, const QStringList &lines);
    // Follows row `row` of grid. Call after show().
    void ShowIstWert(QTableWidget *grid, int row);

    QLabel *Label() const { return m_label; }
    bool Following() const;
    int Row() const { return m_row; }

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QString RowText() const;
    void Tick();

    QLabel *m_label = nullptr;
    QTimer *m_timer = nullptr;
    QPointer<QTableWidget> m_grid;
    int m_row = -1;
};
