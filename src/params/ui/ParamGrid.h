#pragma once
#include "params/GridModel.h"
#include <QAbstractTableModel>
#include <QColor>
#include <QWidget>
#include <memory>

class MainController;
class TFormatter;
class QComboBox;
class QLineEdit;
class QTableView;
class QToolButton;

// The rows of TGridModel as the table view reads them.
class TParamGridTableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit TParamGridTableModel(TGridModel &grid, QObject *parent = nullptr);
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // Wraps a change of the grid's rows or columns.
    void Begin() { beginResetModel(); }
    void End() { endResetModel(); }
    // The rows were formatted again with the same shape.
    void RowsChanged();

private:
    TGridModel &m_grid;
};

// The left half of the main window: the group selector ComboBox1 with its close button,
// a search field, and the read-only parameter grid StrG_Param. Filled when the main
// controller shows parameters, cleared when it hides them; a double click or Enter on a
// row asks for the edit of its parameter.
class TParamGrid : public QWidget
{
    Q_OBJECT
public:
    // With its own formatter (answering conversion errors through the controller's prompter).
    explicit TParamGrid(MainController &controller, QWidget *parent = nullptr);
    // With the formatter the editor shares.
    TParamGrid(MainController &controller, TFormatter &formatter, QWidget *parent = nullptr);
    ~TParamGrid() override;

    // Background of data from a file; the design colour of the grid as well.
    static QColor FileColor() { return QColor(166, 202, 240); }
    // Values changed since the set was loaded or read are shown bold in this colour.
    static QColor ChangedColor() { return QColor(176, 0, 0); }
    static QString ChangedHint();

    TGridModel &Model() { return *m_model; }
    TFormatter &Formatter() { return *m_formatter; }
    QComboBox *ComboBox1() const { return m_combo; }
    QToolButton *CloseButton() const { return m_close; }
    QLineEdit *SearchField() const { return m_search; }
    QTableView *StrG_Param() const { return m_view; }
    TParamGridTableModel *TableModel() const { return m_table; }

    QColor BackgroundColor() const;
    int CurrentRow() const;
    // Parameter index of the current row; -1 on a heading row or an empty grid.
    int CurrentParameterIndex() const;
    int TopRow() const;
    // Selects a row (and scrolls it into view).
    void SetCurrentRow(int row);
    // Room a cell needs beside its text, in pixels.
    int TextPadding() const;

public slots:
    // Rebuild after a load or an edit: selector refilled, the previous group chosen again,
    // the grid refilled, the top row kept.
    void Fill();
    // The same, only while a parameter set is loaded (after an edit).
    void RefreshGrid();
    // Fills the grid with the group chosen in the selector.
    void FillGrid();
    // Formats the rows on show again (same group, same rows).
    void RefreshValues();
    void Clear();
    // Texts of its own (the search field's hint) in the language now chosen.
    void Retranslate();

signals:
    void editRequested(int parameterIndex);
    // The red "X": the window asks about unsaved changes before it closes the set.
    void closeRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void build();
    void applyColumns();
    void applySearch(const QString &text);
    void requestEdit(int row);

    MainController &m_controller;
    std::unique_ptr<TFormatter> m_ownFormatter;
    TFormatter *m_formatter;
    std::unique_ptr<TGridModel> m_model;
    TParamGridTableModel *m_table = nullptr;
    QComboBox *m_combo = nullptr;
    QToolButton *m_close = nullptr;
    QLineEdit *m_search = nullptr;
    QTableView *m_view = nullptr;
};
