// The actual-value area of the main window offscreen against the simulated device: choosing
// a page fills the grid, a double click opens the large display, "Quittierung" shows only
// for the levels that may acknowledge, "&Fertigungnummer" shows the device information.
#include "support/ScriptedPrompter.h"
#include "SimDevice.h"
#include "SimOptions.h"
#include "SimPort.h"
#include "device/DeviceReader.h"
#include "link/TeleThread.h"
#include "monitor/ValuePoller.h"
#include "monitor/ui/Nachrichten.h"
#include "monitor/ui/ValuesView.h"
#include "shell/MainController.h"
#include "shell/ui/FormMain.h"
#include <QAction>
#include <QFile>
#include <QFontMetrics>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

void RegisterSimPort();

namespace {

class MonitorUi : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(config.isValid());
        qputenv("MIRELO_CONFIG_DIR", config.path().toLocal8Bit());
        QFile f(config.path() + QStringLiteral("/Mirelo.ini"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[Ini]\r\nAUTOSAVE=0\r\nSPLASH=0\r\n[Com]\r\nPort=SIM\r\nBaud=9600\r\nProtokoll=4\r\n");
        f.close();
        RegisterSimPort();
        auto device = std::make_shared<SimDevice>();
        const QString path = QStringLiteral(MIRELO_SOURCE_DATA_DIR "/samples/demo.202");
        int base = 0x0800;
        SimDefinitionBase(path, &base);
        QString error;
        ASSERT_TRUE(device->loadParameterFile(path, base, &error)) << error.toStdString();
        device->setByte(0x09C7, 0x20); // the device offers the remote acknowledge
        SimPort::resetSharedDevice(device);

        form = std::make_unique<TFormMain>(&prompter);
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        form->CreateWindows();
        TTeleThread *thread = form->Controller().Thread();
        ASSERT_NE(thread, nullptr);
        thread->SetReadTimeout(50);
        QTRY_VERIFY_WITH_TIMEOUT(thread->PortOpen(), 5000);
        QSignalSpy finished(form->Reader(), &DeviceReader::Finished);
        form->FindAction(QStringLiteral("Menu22"))->trigger();
        ASSERT_TRUE(finished.count() > 0 || finished.wait(30000));
        ASSERT_TRUE(finished.at(0).at(0).toBool()) << prompter.All().join('|').toStdString();
        form->Poller()->SetInterval(50);
        grid = form->findChild<QTableWidget *>(QStringLiteral("StrG_Int"));
        ASSERT_NE(grid, nullptr);
    }
    void TearDown() override
    {
        form.reset();
        SimPort::resetSharedDevice();
        qunsetenv("MIRELO_CONFIG_DIR");
    }
    // Chooses the page of a menu entry and waits until it has been built (twice: the second
    // build shows that polling goes on).
    bool choose(const char *entry)
    {
        QSignalSpy built(form->Poller(), &ValuePoller::PageBuilt);
        form->FindAction(QString::fromLatin1(entry))->trigger();
        return QTest::qWaitFor([&] { return built.count() >= 2; }, 10000);
    }
    QString cell(int r, int c) const { return grid->item(r, c) ? grid->item(r, c)->text() : QString(); }

    QTemporaryDir config;
    ScriptedPrompter prompter;
    std::unique_ptr<TFormMain> form;
    QTableWidget *grid = nullptr;
};

TEST_F(MonitorUi, ChoosingAPageFillsTheGrid)
{
    QAction *trend = form->FindAction(QStringLiteral("Chart1"));
    struct Case
    {
        const char *entry;
        QString title;
        int columns;
        bool trend;
        int row;
        QString text;
    } cases[] = {
        {"Menu31", QStringLiteral("Istwerte"), 3, true, 1, QStringLiteral("Netzspannung L1-N")},
        {"Menu34", QStringLiteral("Eingänge"), 2, false, 1, QStringLiteral("Eingang 01: Notstop")},
        {"Menu36", QStringLiteral("Sonstiges"), 3, true, 3, QStringLiteral("Anzahl Starts")},
    };
    // A large font, as on a high-resolution screen: the counters no longer fit the base widths.
    QFont large = grid->font();
    large.setPointSize(16);
    grid->setFont(large);
    for (const Case &c : cases) {
        ASSERT_TRUE(choose(c.entry)) << c.entry;
        EXPECT_TRUE(grid->isVisible());
        EXPECT_EQ(form->findChild<QLabel *>(QStringLiteral("L_Istwerte"))->text(), c.title);
        EXPECT_EQ(grid->columnCount(), c.columns);
        EXPECT_EQ(grid->rowCount(), form->Controller().Data.Values.Count());
        // The base width at least, and wide enough that no value or unit is cut.
        EXPECT_GE(grid->columnWidth(0), 50);
        const QFontMetrics metrics(grid->font());
        for (int r = 0; r < grid->rowCount(); ++r)
            for (int col = 0; col < c.columns - 1; ++col)
                if (const QTableWidgetItem *item = grid->item(r, col))
                    // A cell keeps a few pixels of margin on either side of its text.
                    EXPECT_LE(metrics.horizontalAdvance(item->text()) + 6, grid->columnWidth(col))
                        << c.entry << " row " << r << ": " << item->text().toStdString();
        EXPECT_EQ(cell(c.row, c.columns - 1), c.text) << c.entry;
        EXPECT_EQ(trend->isEnabled(), c.trend) << c.entry;
        EXPECT_TRUE(form->findChild<QMenu *>(QStringLiteral("Menu45"))->menuAction()->isVisible());
    }
    form->FindAction(QStringLiteral("Menu37"))->trigger();
    EXPECT_FALSE(form->findChild<QMenu *>(QStringLiteral("Menu45"))->menuAction()->isVisible());
    EXPECT_FALSE(grid->isVisible());
    EXPECT_FALSE(form->findChild<QLabel *>(QStringLiteral("L_Istwerte"))->isVisible());
    EXPECT_FALSE(form->Poller()->PageActive());
    EXPECT_TRUE(prompter.Errors.isEmpty()) << prompter.Errors.join('|').toStdString();
}

TEST_F(MonitorUi, DoubleClickOpensTheLargeDisplay)
{
    ASSERT_TRUE(choose("Menu31"));
    const QRect r = grid->visualItemRect(grid->item(1, 0));
    // A double click is a press, a release and the double-click event on the same cell.
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, r.center());
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, r.center());
    TNachrichten *w = form->ValuesView()->RowWindow(1);
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(w->Following());
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Netzspannung L1-N"));
    EXPECT_EQ(w->Label()->text(), (cell(1, 0) + QLatin1Char(' ') + cell(1, 1)).trimmed());
    // The heading row has no value: its window shows, but follows nothing.
    form->ValuesView()->OpenRow(0);
    ASSERT_NE(form->ValuesView()->RowWindow(0), nullptr);
    EXPECT_TRUE(form->ValuesView()->RowWindow(0)->isVisible());
    EXPECT_FALSE(form->ValuesView()->RowWindow(0)->Following());
    // Another page closes the row windows.
    ASSERT_TRUE(choose("Menu34"));
    EXPECT_EQ(form->ValuesView()->RowWindow(1), nullptr);
}

TEST_F(MonitorUi, AcknowledgeShowsOnlyForAllowedLevels)
{
    ASSERT_TRUE(choose("Menu32"));
    auto *ack = form->findChild<QPushButton *>(QStringLiteral("Btn_Quittierung"));
    ASSERT_NE(ack, nullptr);
    struct Case
    {
        QString level;
        bool visible;
    } cases[] = {{QStringLiteral("Ser"), true}, {QString(), false}, {QStringLiteral("Mas"), false},
                 {QStringLiteral("Cus"), true}, {QStringLiteral("IDS"), false}};
    for (const Case &c : cases) {
        form->Controller().Access.Level = c.level;
        QSignalSpy built(form->Poller(), &ValuePoller::PageBuilt);
        ASSERT_TRUE(built.wait(5000));
        ASSERT_TRUE(built.count() > 0 || built.wait(5000));
        QTest::qWait(120);
        EXPECT_EQ(ack->isVisible(), c.visible) << c.level.toStdString();
    }
    // Another page hides it.
    form->Controller().Access.Level = QStringLiteral("Ser");
    ASSERT_TRUE(choose("Menu31"));
    EXPECT_FALSE(ack->isVisible());
}

TEST_F(MonitorUi, FertigungnummerShowsTheDeviceInformation)
{
    form->FindAction(QStringLiteral("Menu12"))->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->InfoWindow() && form->InfoWindow()->isVisible(); }, 10000))
        << prompter.All().join('|').toStdString();
    TNachrichten *w = form->InfoWindow();
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Fertigungnummer"));
    const QString text = w->Label()->text();
    EXPECT_TRUE(text.contains(QStringLiteral("F-Number ") + form->Controller().Data.Geraet.FNumber)) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("PrgType Z202 PA004"))) << text.toStdString();
    EXPECT_FALSE(form->Controller().LinkBusy);
}

} // namespace
