// The ULVA windows offscreen on the simulated module: the channel calibration from the main
// window to the written words, the basic calibration wizard and the output simulation.
#include "SimDevice.h"
#include "SimUlva.h"
#include "calibration/ui/AbgleichULVA.h"
#include "calibration/ui/DlgFormUlvaG.h"
#include "calibration/ui/ULVAAusgang.h"
#include "device/DeviceReader.h"
#include "shell/Texts.h"
#include "support/DriveModal.h"
#include "support/SimMainWindow.h"
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>

namespace {
struct UlvaWindow : SimMainWindow
{
    std::shared_ptr<SimUlva> ulva = std::make_shared<SimUlva>();

    void Start(const std::function<void(SimDevice &)> &prepare = nullptr)
    {
        device = std::make_shared<SimDevice>();
        QString error;
        ASSERT_TRUE(device->loadParameterFile(QStringLiteral(MIRELO_SOURCE_DATA_DIR "/samples/demo.ULV"), 0, &error))
            << error.toStdString();
        SimUlva::attach(*device, ulva);
        if (prepare)
            prepare(*device);
        ASSERT_NO_FATAL_FAILURE(StartAndRead());
        ASSERT_EQ(form->Controller().Data.State.DeviceType, 35);
    }
    static QString Hex(int raw) { return QStringLiteral("%1").arg(raw, 4, 16, QLatin1Char('0')).toUpper(); }
};
} // namespace

TEST(UlvaWindowsUi, ChannelCalibrationWritesTheWordsAndReadsThemBack)
{
    UlvaWindow sim;
    ASSERT_NO_FATAL_FAILURE(sim.Start());
    TFormMain *form = sim.form.get();
    MainController &c = form->Controller();

    // Over a modem the window is refused.
    c.ModemOnline = true;
    form->UlvaCalibrate();
    EXPECT_EQ(sim.prompter.Warnings, QStringList{GetText(183)});
    EXPECT_EQ(form->UlvaCalibrationWindow(), nullptr);
    c.ModemOnline = false;

    form->UlvaCalibrate();
    TAbgleichULVA *w = form->UlvaCalibrationWindow();
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    EXPECT_FALSE(w->isModal());
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Abgleich ULVA"));
    QListWidget *list = w->ChannelList();
    ASSERT_EQ(list->count(), 16);
    EXPECT_EQ(list->item(3)->text(), c.Data.Params.ItemText(4).mid(7));
    EXPECT_TRUE(list->item(3)->flags() & Qt::ItemIsEnabled);
    EXPECT_FALSE(list->item(12)->flags() & Qt::ItemIsEnabled) << "sensor kind 0";
    EXPECT_EQ(w->MainButton()->text(), GetText(77));

    // Channel 4 (4..20 mA): capture 4 and 20 mA, then transfer.
    list->item(3)->setCheckState(Qt::Checked);
    QTest::mouseClick(w->MainButton(), Qt::LeftButton);
    EXPECT_FALSE(list->isVisible());
    EXPECT_EQ(w->MainButton()->text(), GetText(75));
    EXPECT_FALSE(w->MainButton()->isEnabled());
    EXPECT_EQ(w->CaptureLabel(0)->text(), QStringLiteral("Kleineres Signal simulieren"));
    EXPECT_EQ(w->CaptureLabel(2)->text(), QStringLiteral("Nullpunkt simulieren"));
    EXPECT_TRUE(w->VariLow()->isVisible());
    EXPECT_EQ(w->VariHigh()->text(), QStringLiteral("100"));
    for (int row = 0; row < 2; ++row) {
        const double signal = row == 0 ? 4 : 20;
        sim.ulva->setSignal(3, signal);
        const QString want = UlvaWindow::Hex(sim.ulva->raw(3));
        QTRY_COMPARE_WITH_TIMEOUT(w->LiveField()->text(), want, 5000);
        QTest::mouseClick(w->OkButton(row), Qt::LeftButton);
        EXPECT_EQ(w->CaptureField(row)->text(), want);
        EXPECT_TRUE(w->CaptureLabel(row)->styleSheet().contains(QStringLiteral("green")));
    }
    w->VariLow()->setText(QStringLiteral("4"));
    w->VariHigh()->clear();
    EXPECT_FALSE(w->MainButton()->isEnabled()) << "an empty reference is never taken as 0";
    w->VariHigh()->setText(QStringLiteral("20"));
    ASSERT_TRUE(w->MainButton()->isEnabled());
    const std::vector<quint8> before = sim.device->bytes(0x0130 + 8 * 3, 8);
    QTest::mouseClick(w->MainButton(), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(w->Status()->text(), GetText(900).arg(4), 5000);
    EXPECT_NE(sim.device->bytes(0x0130 + 8 * 3, 8), before);
    EXPECT_TRUE(list->isVisible());
    EXPECT_EQ(w->MainButton()->text(), GetText(77));

    // Closing reads the parameters again: the image holds the module's new words.
    QSignalSpy read(form->Reader(), &DeviceReader::Finished);
    w->close();
    ASSERT_TRUE(read.wait(30000));
    const long long index = c.Data.State.IndexOf(0x0130 + 8 * 3);
    for (int k = 0; k < 8; ++k)
        EXPECT_EQ(c.Data.Geraet.GetByte(index + k), sim.device->byteAt(0x0130 + 8 * 3 + quint32(k))) << k;
    EXPECT_FALSE(w->Core().LiveRunning());
    EXPECT_TRUE(sim.prompter.All().size() == 1) << sim.prompter.All().join(QLatin1Char('|')).toStdString();
}

TEST(UlvaWindowsUi, WizardWalksThePagesAndSwitchesTheModeOff)
{
    UlvaWindow sim;
    ASSERT_NO_FATAL_FAILURE(sim.Start());
    TFormMain *form = sim.form.get();
    bool driven = false;
    QStringList steps;
    int shownMidway = -1;
    DriveModal([&](QWidget *modal) {
        auto *w = qobject_cast<TDlgForm_UlvaG *>(modal);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->windowTitle(), QStringLiteral("Grundabgleich des ULVA 9611"));
        steps << w->StepLabel()->text();
        EXPECT_FALSE(w->BackButton()->isEnabled());
        QTest::mouseClick(w->PageButton(0), Qt::LeftButton);
        for (int page = 1; page <= 3; ++page) {
            QTRY_VERIFY_WITH_TIMEOUT(w->PageButton(page)->isEnabled(), 5000);
            steps << w->StepLabel()->text();
            if (page == 2)
                shownMidway = (sim.device->byteAt(0x0050) << 8) | sim.device->byteAt(0x0051);
            QTest::mouseClick(w->PageButton(page), Qt::LeftButton);
        }
        QTRY_VERIFY_WITH_TIMEOUT(w->PageButton(4)->isEnabled(), 5000);
        steps << w->StepLabel()->text();
        EXPECT_TRUE(SimUlva::basicMode(*sim.device));
        // "Fertig": the window stays until the module has switched its mode off.
        QTest::mouseClick(w->PageButton(4), Qt::LeftButton);
        EXPECT_EQ(w->BackButton()->text(), QStringLiteral("Abbruch"));
        QTRY_VERIFY_WITH_TIMEOUT(!w->isVisible(), 5000);
        driven = true;
    });
    form->UlvaBasicCalibration();
    EXPECT_TRUE(driven);
    EXPECT_EQ(steps, (QStringList{QStringLiteral("Anfang"), QStringLiteral("Schritt 1/4"),
                                  QStringLiteral("Schritt 2/4"), QStringLiteral("Schritt 3/4"),
                                  QStringLiteral("Schritt 4/4")}));
    EXPECT_EQ(shownMidway, 4000);
    EXPECT_FALSE(SimUlva::basicMode(*sim.device));
    EXPECT_TRUE(form->Controller().PendingAction.isEmpty());
}

TEST(UlvaWindowsUi, OutputWindowWritesOnEnterAndReleasesOnClose)
{
    UlvaWindow sim;
    ASSERT_NO_FATAL_FAILURE(sim.Start([](SimDevice &d) { d.setByte(0x0020 + 9, 60); }));
    TFormMain *form = sim.form.get();
    form->UlvaOutputs();
    TULVAAusgang *w = form->UlvaOutputsWindow();
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Mirelo ULVA Ausgänge"));
    EXPECT_EQ(w->Label(10)->text(), QStringLiteral("Kanal10"));
    EXPECT_EQ(w->Edit(1)->text(), QStringLiteral("n.a."));
    EXPECT_FALSE(w->Edit(1)->isEnabled());
    EXPECT_EQ(w->Edit(10)->text(), QStringLiteral("?"));
    ASSERT_TRUE(w->Edit(10)->isEnabled());

    auto word = [&] { return (sim.device->byteAt(0x02C2) << 8) | sim.device->byteAt(0x02C3); };
    w->Edit(10)->setText(QStringLiteral("2,5"));
    QTest::keyClick(w->Edit(10), Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(word(), 1000, 5000);
    EXPECT_TRUE(sim.ulva->outputSimulated(10));
    w->Edit(10)->setText(QStringLiteral("12"));
    QTest::keyClick(w->Edit(10), Qt::Key_Return);
    EXPECT_EQ(w->Edit(10)->text(), QStringLiteral("0"));
    QTRY_VERIFY_WITH_TIMEOUT(!w->Core().Busy(), 5000);
    EXPECT_EQ(word(), 1000);

    w->close();
    QTRY_VERIFY_WITH_TIMEOUT(!sim.ulva->outputSimulated(10), 5000);
    EXPECT_EQ(word(), 0xFFFF);
    QTRY_VERIFY_WITH_TIMEOUT(form->Controller().PendingAction.isEmpty(), 5000);
}
