#include "params/ui/ParamGrid.h"
#include "params/FormatValue.h"
#include "shell/MainController.h"
#include "shell/Texts.h"
#include <QApplication>
#include <QComboBox>
#include <QFont>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QStyle>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

// --- table model ----------------------------------------------------------------------

TParamGridTableModel::TParamGridTableModel(TGridModel &grid, QObject *parent) : QAbstractTableModel(parent), m_grid(grid)
{
}

int TParamGridTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_grid.RowCount();
}

int TParamGridTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : Grid::ColumnCount(m_grid.CurrentLayout());
}

QVariant TParamGridTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_grid.RowCount())
        return QVariant();
    const GridRow &row = m_grid.Rows().at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        // A separator spans the row: its whole line stands in the first cell.
        if (row.Separator)
            return index.column() == 0 ? row.Line.trimmed() : QString();
        return row.Cells.value(index.column());
    case Qt::FontRole:
        if (row.Heading || row.Changed) {
            QFont f;
            f.setBold(true);
            return f;
        }
        return QVariant();
    case Qt::ForegroundRole:
        if (row.Separator)
            return QColor(0, 0, 128);
        if (row.Changed)
            return TParamGrid::ChangedColor();
        return QVariant();
    case Qt::ToolTipRole:
        if (row.Changed)
            return TParamGrid::ChangedHint();
        // Texts wider than their column stay readable.
        return row.Cells.value(index.column()).trimmed().size() > 40 ? row.Cells.value(index.column()) : QVariant();
    default:
        return QVariant();
    }
}

Qt::ItemFlags TParamGridTableModel::flags(const QModelIndex &index) const
{
    // Read-only: values change through the editor only.
    return index.isValid() ? (Qt::ItemIsEnabled | Qt::ItemIsSelectable) : Qt::NoItemFlags;
}

void TParamGridTableModel::RowsChanged()
{
    if (rowCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

// --- widget ---------------------------------------------------------------------------

TParamGrid::TParamGrid(MainController &controller, QWidget *parent)
    : QWidget(parent), m_controller(controller),
      m_ownFormatter(std::make_unique<TFormatter>(controller.Data, &controller.UserPrompter())),
      m_formatter(m_ownFormatter.get())
{
    build();
}

TParamGrid::TParamGrid(MainController &controller, TFormatter &formatter, QWidget *parent)
    : QWidget(parent), m_controller(controller), m_formatter(&formatter)
{
    build();
}

TParamGrid::~TParamGrid()
{
    // The view must let go of the table model before the rows it reads are freed.
    if (m_view)
        m_view->setModel(nullptr);
}

void TParamGrid::build()
{
    setObjectName(QStringLiteral("ParamGrid"));
    m_model = std::make_unique<TGridModel>(m_controller.Data, *m_formatter);
    m_table = new TParamGridTableModel(*m_model, this);

    m_combo = new QComboBox(this);
    m_combo->setObjectName(QStringLiteral("ComboBox1"));
    m_combo->setEditable(false);
    m_combo->setMaxVisibleItems(Grid::SelectorLines);
    m_combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);

    m_close = new QToolButton(this);
    m_close->setObjectName(QStringLiteral("Btn_CloseParam"));
    m_close->setText(QStringLiteral("X"));
    m_close->setToolTip(GetText(527));
    QPalette red = m_close->palette();
    red.setColor(QPalette::ButtonText, Qt::red);
    m_close->setPalette(red);
    QFont bold = m_close->font();
    bold.setBold(true);
    m_close->setFont(bold);

    m_search = new QLineEdit(this);
    m_search->setObjectName(QStringLiteral("Ed_Suchen"));
    m_search->setPlaceholderText(GetText(524));
    m_search->setClearButtonEnabled(true);
    m_search->setMaximumWidth(160);

    m_view = new QTableView(this);
    m_view->setObjectName(QStringLiteral("StrG_Param"));
    m_view->setModel(m_table);
    m_view->horizontalHeader()->hide();
    m_view->verticalHeader()->hide();
    m_view->verticalHeader()->setMinimumSectionSize(Grid::RowHeight);
    m_view->verticalHeader()->setDefaultSectionSize(Grid::RowHeight);
    m_view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_view->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    // The text column is the last one: it takes the width the window gives.
    m_view->horizontalHeader()->setStretchLastSection(true);
    m_view->horizontalHeader()->setMinimumSectionSize(10);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setWordWrap(false);
    m_view->setTextElideMode(Qt::ElideNone);
    m_view->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_view->installEventFilter(this);
    QPalette sky = m_view->palette();
    sky.setColor(QPalette::Base, FileColor());
    m_view->setPalette(sky);
    for (int c = 0; c < 3; ++c)
        m_view->setColumnWidth(c, Grid::InitialColumnWidths().at(c));

    auto *top = new QHBoxLayout;
    top->setContentsMargins(0, 0, 0, 0);
    top->setSpacing(2);
    top->addWidget(m_combo, 1);
    top->addWidget(m_close);
    top->addSpacing(6);
    top->addWidget(m_search);
    auto *box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(2);
    box->addLayout(top);
    box->addWidget(m_view, 1);

    // Nothing is loaded yet.
    m_combo->hide();
    m_close->hide();
    m_search->hide();
    m_view->hide();

    connect(m_combo, qOverload<int>(&QComboBox::currentIndexChanged), this, [this](int) {
        // A new group leaves the search.
        QSignalBlocker block(m_search);
        m_search->clear();
        FillGrid();
    });
    connect(m_search, &QLineEdit::textChanged, this, &TParamGrid::applySearch);
    connect(m_view, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex &index) {
        if (index.isValid())
            requestEdit(index.row());
    });
    connect(m_close, &QToolButton::clicked, this, &TParamGrid::closeRequested);
    connect(&m_controller, &MainController::ParametersShown, this, [this] {
        // A new set starts the marking of changes; a conversion of the shown set keeps the
        // reference, so what it changed is marked.
        if (!m_model->HasReference())
            m_model->TakeReference();
        Fill();
    });
    connect(&m_controller, &MainController::ParametersHidden, this, &TParamGrid::Clear);
}

QColor TParamGrid::BackgroundColor() const { return m_view->palette().color(QPalette::Base); }

int TParamGrid::CurrentRow() const
{
    const QModelIndex current = m_view->currentIndex();
    return current.isValid() ? current.row() : -1;
}

int TParamGrid::CurrentParameterIndex() const { return m_model->ParameterIndexOfRow(CurrentRow()); }

int TParamGrid::TopRow() const
{
    const int row = m_view->rowAt(0);
    return row < 0 ? 0 : row;
}

void TParamGrid::SetCurrentRow(int row)
{
    if (row < 0 || row >= m_table->rowCount())
        return;
    m_view->setCurrentIndex(m_table->index(row, 0));
}

int TParamGrid::TextPadding() const
{
    // What the item delegate keeps free on both sides of a cell's text.
    return 2 * (m_view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_view) + 1) + 2;
}

void TParamGrid::applyColumns()
{
    // The designed widths, widened where the font in use needs more: a value or unit must
    // never be cut off.
    QVector<int> widths = Grid::ColumnWidths(m_model->CurrentLayout());
    const QFontMetrics plain(m_view->font());
    QFont boldFont = m_view->font();
    boldFont.setBold(true);
    const QFontMetrics bold(boldFont);
    const int pad = TextPadding();
    for (const GridRow &row : m_model->Rows()) {
        if (row.Separator)
            continue; // spans the row
        const QFontMetrics &fm = row.Heading || row.Changed ? bold : plain;
        for (int c = 0; c < widths.size() && c < row.Cells.size(); ++c) {
            const int need = fm.horizontalAdvance(row.Cells.at(c)) + pad;
            if (need > widths[c])
                widths[c] = need;
        }
    }
    for (int c = 0; c < widths.size(); ++c)
        m_view->setColumnWidth(c, widths.at(c));
    m_view->clearSpans();
    const int columns = int(widths.size());
    for (int r = 0; r < m_model->RowCount(); ++r)
        if (m_model->Rows().at(r).Separator && columns > 1)
            m_view->setSpan(r, 0, 1, columns);
}

void TParamGrid::Retranslate()
{
    m_search->setPlaceholderText(GetText(524));
    m_close->setToolTip(GetText(527));
}

QString TParamGrid::ChangedHint() { return GetText(526); }

void TParamGrid::Fill()
{
    if (m_controller.Online || m_controller.OfflineFile)
        m_controller.UpdateMenus();
    m_model->RememberTopRow(TopRow());

    // Data from a file are shown on light blue, data of the device on the window colour.
    QPalette pal = m_view->palette();
    pal.setColor(QPalette::Base,
                 m_controller.OfflineFile ? FileColor() : QApplication::palette().color(QPalette::Base));
    m_view->setPalette(pal);
    QPalette comboPal = m_combo->palette();
    comboPal.setColor(QPalette::Base, pal.color(QPalette::Base));
    comboPal.setColor(QPalette::Button, pal.color(QPalette::Base));
    m_combo->setPalette(comboPal);

    m_view->show();
    m_search->show();
    const bool grouped = m_model->GroupCount() > 0;
    m_combo->setVisible(grouped);
    m_close->setVisible(grouped);

    {
        QSignalBlocker block(m_combo);
        const int previous = m_combo->currentIndex();
        const QVariant previousGroup = m_combo->currentData();
        m_combo->clear();
        for (const GridSelectorEntry &e : m_model->SelectorEntries())
            m_combo->addItem(e.Name, e.Group);
        // The group itself is chosen again, not the place it had: the names of another
        // language sort differently.
        const int sameGroup = previousGroup.isValid() ? m_combo->findData(previousGroup) : -1;
        m_combo->setCurrentIndex(sameGroup >= 0 ? sameGroup
                                                : Grid::SelectorItemAfterRefresh(previous, m_combo->count()));
    }
    if (m_search->text().isEmpty())
        FillGrid();
    else
        applySearch(m_search->text());
    m_model->TopRowMemory = 0;
}

void TParamGrid::RefreshGrid()
{
    if (!m_controller.ParamsLoaded)
        return;
    // After an edit the cursor stays on the edited row, so the next edit starts there.
    const int current = CurrentRow();
    const QVariant group = m_combo->currentData();
    Fill();
    if (current > 0 && m_combo->currentData() == group && current < m_model->RowCount())
        SetCurrentRow(current);
}

void TParamGrid::FillGrid()
{
    const int group = m_combo->count() > 0 ? m_combo->currentData().toInt() : -1;
    m_table->Begin();
    m_model->FillGroup(group);
    m_table->End();
    applyColumns();
    m_view->scrollToTop();
    const int top = m_model->TopRowToRestore();
    if (top > 0) {
        m_view->scrollTo(m_table->index(top, 0), QAbstractItemView::PositionAtTop);
        SetCurrentRow(top);
    } else {
        SetCurrentRow(0);
    }
}

void TParamGrid::applySearch(const QString &text)
{
    m_table->Begin();
    if (text.trimmed().isEmpty()) {
        m_model->FillFiltered(QString());
    } else {
        m_model->FillFiltered(text.trimmed());
    }
    m_table->End();
    applyColumns();
    m_view->scrollToTop();
    // The first hit, not its heading, is where an Enter edits.
    int first = 0;
    while (first < m_model->RowCount() && m_model->Rows().at(first).Heading)
        ++first;
    SetCurrentRow(first < m_model->RowCount() ? first : 0);
}

void TParamGrid::RefreshValues()
{
    const int top = TopRow();
    const int current = CurrentRow();
    m_table->Begin();
    m_model->Refill();
    m_table->End();
    applyColumns();
    if (top > 0 && top < m_model->RowCount())
        m_view->scrollTo(m_table->index(top, 0), QAbstractItemView::PositionAtTop);
    SetCurrentRow(current);
}

void TParamGrid::Clear()
{
    m_table->Begin();
    m_model->Clear();
    m_model->ClearReference();
    m_table->End();
    m_view->hide();
    m_search->hide();
    m_combo->hide();
    m_close->hide();
}

void TParamGrid::requestEdit(int row)
{
    const int index = m_model->ParameterIndexOfRow(row);
    if (index >= 0)
        emit editRequested(index);
}

bool TParamGrid::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_view && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            requestEdit(CurrentRow());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
