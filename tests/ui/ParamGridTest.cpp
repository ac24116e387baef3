// The parameter grid window over the main controller, offscreen, with the demo set.
#include "support/DefinitionFixtures.h"
#include "device/ParameterFile.h"
#include "params/ui/ParamGrid.h"
#include "shell/MainController.h"
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QImage>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>
#include <memory>
#include <ostream>

inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }

namespace {

class ParamGridUi : public ::testing::Test
{
protected:
    void SetUp() override
    {
        controller = std::make_unique<MainController>(prompter);
        ASSERT_TRUE(LoadParameterFile(controller->Data, QStringLiteral(MIRELO_SOURCE_DATA_DIR "/samples/demo.202"),
                                      prompter))
            << prompter.texts().join(QLatin1Char('|')).toStdString();
        grid = std::make_unique<TParamGrid>(*controller);
        grid->resize(520, 400);
        grid->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(grid.get()));
    }
    void TearDown() override
    {
        grid.reset();
        controller.reset();
    }
    void showFromFile(bool file)
    {
        controller->ParamsLoaded = true;
        controller->OfflineFile = file;
        controller->Online = !file;
        emit controller->ParametersShown();
    }
    int selectorItem(const QString &name) const { return grid->ComboBox1()->findText(name); }
    QString cell(int row, int column) const
    {
        return grid->StrG_Param()->model()->index(row, column).data().toString();
    }
    QTableView *view() const { return grid->StrG_Param(); }

    RecordingPrompter prompter;
    std::unique_ptr<MainController> controller;
    std::unique_ptr<TParamGrid> grid;
};

TEST_F(ParamGridUi, DesignBeforeAnythingIsShown)
{
    EXPECT_EQ(view()->objectName(), QStringLiteral("StrG_Param"));
    EXPECT_EQ(grid->ComboBox1()->objectName(), QStringLiteral("ComboBox1"));
    EXPECT_EQ(grid->SearchField()->placeholderText(), QStringLiteral("Suchen …"));
    EXPECT_EQ(grid->ComboBox1()->maxVisibleItems(), 30);
    EXPECT_EQ(view()->verticalHeader()->defaultSectionSize(), 18);
    EXPECT_EQ(view()->columnWidth(0), 41);
    EXPECT_EQ(view()->columnWidth(1), 48);
    EXPECT_EQ(view()->columnWidth(2), 322);
    EXPECT_EQ(grid->BackgroundColor(), QColor(166, 202, 240));
    EXPECT_FALSE(view()->isVisibleTo(grid.get()));
    EXPECT_FALSE(grid->ComboBox1()->isVisibleTo(grid.get()));
}

TEST_F(ParamGridUi, FillShowsTheSortedGroupsAndTheFirstGroup)
{
    showFromFile(true);
    QComboBox *combo = grid->ComboBox1();
    EXPECT_TRUE(combo->isVisibleTo(grid.get()));
    EXPECT_TRUE(grid->CloseButton()->isVisibleTo(grid.get()));
    EXPECT_TRUE(view()->isVisibleTo(grid.get()));
    ASSERT_EQ(combo->count(), controller->Data.Def.GroupTable.size());
    for (int k = 1; k < combo->count(); ++k)
        EXPECT_TRUE(Grid::SelectorLess(combo->itemText(k - 1), combo->itemText(k)) ||
                    !Grid::SelectorLess(combo->itemText(k), combo->itemText(k - 1)))
            << combo->itemText(k).toStdString();
    EXPECT_EQ(combo->currentIndex(), 0);
    EXPECT_EQ(combo->currentText(), QStringLiteral("Alarmcodierung"));
    EXPECT_EQ(view()->model()->rowCount(), grid->Model().RowCount());
    EXPECT_GT(grid->Model().RowCount(), 0);
    EXPECT_EQ(grid->BackgroundColor(), TParamGrid::FileColor());
}

TEST_F(ParamGridUi, GroupChangeRefillsWithItsLayout)
{
    showFromFile(true);
    QComboBox *combo = grid->ComboBox1();
    combo->setCurrentIndex(selectorItem(QStringLiteral("Anlagendaten")));
    EXPECT_EQ(view()->model()->columnCount(), 2);
    // At least the designed widths; the long note line of the group widens the text column.
    EXPECT_GE(view()->columnWidth(0), 50);
    EXPECT_LT(view()->columnWidth(0), 80);
    EXPECT_GT(view()->columnWidth(1), 300);
    EXPECT_EQ(cell(0, 1), QStringLiteral("Geräteadresse"));
    const int anlageRows = view()->model()->rowCount();

    combo->setCurrentIndex(selectorItem(QStringLiteral("Nennwerte")));
    EXPECT_EQ(view()->model()->columnCount(), 3);
    // The designed widths; a font that needs more for "U/min" widens the unit column.
    EXPECT_GE(view()->columnWidth(0), 50);
    EXPECT_LT(view()->columnWidth(0), 80);
    EXPECT_GE(view()->columnWidth(1), 40);
    EXPECT_LT(view()->columnWidth(1), 60);
    // The text column takes the rest of the grid's width.
    EXPECT_GE(view()->columnWidth(2), 272);
    EXPECT_EQ(view()->columnWidth(0) + view()->columnWidth(1) + view()->columnWidth(2), view()->viewport()->width());
    EXPECT_EQ(cell(0, 1), QStringLiteral("V    "));
    EXPECT_EQ(cell(0, 2), QStringLiteral("Nennspannung Netz"));
    EXPECT_NE(view()->model()->rowCount(), anlageRows);
    EXPECT_EQ(grid->CurrentRow(), 0);
}

TEST_F(ParamGridUi, DeviceDataOnTheWindowColour)
{
    showFromFile(false);
    EXPECT_EQ(grid->BackgroundColor(), QApplication::palette().color(QPalette::Base));
    showFromFile(true);
    EXPECT_EQ(grid->BackgroundColor(), QColor(166, 202, 240));
}

TEST_F(ParamGridUi, DoubleClickAndEnterAskForTheRowsParameter)
{
    showFromFile(true);
    grid->ComboBox1()->setCurrentIndex(selectorItem(QStringLiteral("Nennwerte")));
    QSignalSpy spy(grid.get(), &TParamGrid::editRequested);
    const int heading = grid->Model().CurrentHeadingIndex();
    const QModelIndex index = view()->model()->index(2, 1);
    const QPoint at = view()->visualRect(index).center();
    QTest::mouseClick(view()->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(view()->viewport(), Qt::LeftButton, {}, at);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toInt(), heading + 3);

    grid->SetCurrentRow(4);
    view()->setFocus();
    QTest::keyClick(view(), Qt::Key_Return);
    ASSERT_EQ(spy.count(), 2);
    EXPECT_EQ(spy.at(1).at(0).toInt(), heading + 5);
    QTest::keyClick(view(), Qt::Key_Enter);
    EXPECT_EQ(spy.count(), 3);
}

TEST_F(ParamGridUi, SearchShowsHitsUnderHeadingsAndClearsBack)
{
    showFromFile(true);
    grid->ComboBox1()->setCurrentIndex(selectorItem(QStringLiteral("Wandler")));
    const int wandlerRows = view()->model()->rowCount();
    QSignalSpy spy(grid.get(), &TParamGrid::editRequested);

    QTest::keyClicks(grid->SearchField(), QStringLiteral("nennstrom"));
    ASSERT_GT(view()->model()->rowCount(), 2);
    EXPECT_EQ(view()->model()->columnCount(), 3);
    EXPECT_EQ(cell(0, 2), QStringLiteral("Nennwerte"));
    EXPECT_TRUE(grid->Model().Rows().at(0).Heading);
    // The cursor waits on the first hit, not on its heading.
    EXPECT_EQ(grid->CurrentRow(), 1);
    // A heading is not edited.
    grid->SetCurrentRow(0);
    QTest::keyClick(view(), Qt::Key_Return);
    EXPECT_EQ(spy.count(), 0);
    grid->SetCurrentRow(1);
    QTest::keyClick(view(), Qt::Key_Return);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_TRUE(controller->Data.Params.ItemText(spy.at(0).at(0).toInt()).contains(QStringLiteral("Nennstrom")));

    grid->SearchField()->clear();
    EXPECT_EQ(view()->model()->rowCount(), wandlerRows);
    EXPECT_EQ(grid->ComboBox1()->currentText(), QStringLiteral("Wandler"));

    // Choosing a group leaves the search.
    QTest::keyClicks(grid->SearchField(), QStringLiteral("spannung"));
    grid->ComboBox1()->setCurrentIndex(selectorItem(QStringLiteral("Anlagendaten")));
    EXPECT_TRUE(grid->SearchField()->text().isEmpty());
    EXPECT_EQ(cell(0, 1), QStringLiteral("Geräteadresse"));
}

TEST_F(ParamGridUi, RefreshKeepsGroupAndTopRow)
{
    showFromFile(true);
    grid->ComboBox1()->setCurrentIndex(selectorItem(QStringLiteral("Freigaben")));
    const int rows = view()->model()->rowCount();
    ASSERT_GT(rows, 30);
    grid->SetCurrentRow(14);
    view()->scrollTo(view()->model()->index(12, 0), QAbstractItemView::PositionAtTop);
    ASSERT_EQ(grid->TopRow(), 12);
    grid->RefreshGrid();
    EXPECT_EQ(grid->ComboBox1()->currentText(), QStringLiteral("Freigaben"));
    EXPECT_EQ(grid->TopRow(), 12);
    EXPECT_EQ(grid->CurrentRow(), 14) << "the edited row stays current";
    EXPECT_EQ(grid->Model().TopRowMemory, 0);
    // A group change starts at the top.
    grid->ComboBox1()->setCurrentIndex(selectorItem(QStringLiteral("Alarmfreigaben")));
    EXPECT_EQ(grid->TopRow(), 0);
}

TEST_F(ParamGridUi, HiddenAndClosed)
{
    showFromFile(true);
    emit controller->ParametersHidden();
    EXPECT_FALSE(view()->isVisibleTo(grid.get()));
    EXPECT_FALSE(grid->ComboBox1()->isVisibleTo(grid.get()));
    EXPECT_EQ(view()->model()->rowCount(), 0);

    showFromFile(true);
    // The red X asks the window to close the set (which asks about unsaved changes first).
    QSignalSpy closing(grid.get(), &TParamGrid::closeRequested);
    QTest::mouseClick(grid->CloseButton(), Qt::LeftButton);
    EXPECT_EQ(closing.count(), 1);
    EXPECT_TRUE(controller->ParamsLoaded);
    controller->CloseParameters();
    EXPECT_FALSE(controller->ParamsLoaded);
    EXPECT_FALSE(view()->isVisibleTo(grid.get()));
    // A refresh after closing does nothing.
    grid->RefreshGrid();
    EXPECT_FALSE(view()->isVisibleTo(grid.get()));
}

TEST_F(ParamGridUi, TextsFitTheirColumns)
{
    showFromFile(true);
    const QFontMetrics fm(view()->font());
    const int pad = grid->TextPadding();
    // A value too wide for the designed 50 pixels in any font.
    controller->Data.Geraet.SetByte(controller->Data.State.IndexOf(0x0810), 0xAB);
    for (const QString &name : {QStringLiteral("Anlagendaten"), QStringLiteral("Nennwerte"), QStringLiteral("Netzschutz"),
                                QStringLiteral("Relaisfunktionen")}) {
        grid->ComboBox1()->setCurrentIndex(selectorItem(name));
        const int columns = view()->model()->columnCount();
        const QVector<int> design = Grid::ColumnWidths(grid->Model().CurrentLayout());
        for (int c = 0; c < columns; ++c)
            EXPECT_GE(view()->columnWidth(c), design.at(c)) << name.toStdString() << " col " << c;
        int rowWidth = 0;
        for (int c = 0; c < columns; ++c)
            rowWidth += view()->columnWidth(c);
        for (int r = 0; r < view()->model()->rowCount(); ++r)
            for (int c = 0; c < columns; ++c)
                // A separator spans the whole row.
                EXPECT_LE(fm.horizontalAdvance(cell(r, c)) + pad,
                          view()->columnSpan(r, 0) > 1 ? rowWidth : view()->columnWidth(c))
                    << name.toStdString() << " row " << r << " col " << c << " " << cell(r, c).toStdString();
        // A picture per group for looking at the layout: MIRELO_GRID_SNAPSHOT=/tmp/grid.png.
        const QByteArray snapshot = qgetenv("MIRELO_GRID_SNAPSHOT");
        if (!snapshot.isEmpty())
            grid->grab().toImage().save(QString::fromLocal8Bit(snapshot).replace(
                QStringLiteral(".png"), QLatin1Char('-') + QString::number(selectorItem(name)) + QStringLiteral(".png")));
    }
    EXPECT_FALSE(grid->grab().toImage().isNull());
}

} // namespace
