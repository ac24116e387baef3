// "Abgleich" offscreen on the simulated controller: the entry opens the dialog of the device
// type, the dialog measures and writes with its buttons, and the refusals open nothing.
#include "SimConverter.h"
#include "SimDevice.h"
#include "SimPort.h"
#include "calibration/ui/Abgleich91.h"
#include "calibration/ui/AbgleichULVA.h"
#include "services/ui/FormIdentNummer.h"
#include "shell/MainController.h"
#include "shell/Texts.h"
#include "shell/ui/FormMain.h"
#include "support/SimMainWindow.h"
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {
struct AbgleichUi : ::testing::Test
{
    SimMainWindow sim;
    std::shared_ptr<SimConverter> conv;

    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(sim.StartAndRead());
        // The built-in controller's converters: the test applies the signals.
        conv = SimConverter::of(*SimPort::sharedDevice());
        ASSERT_NE(conv, nullptr);
    }
    void TearDown() override
    {
        sim.form.reset();
        SimPort::resetSharedDevice();
        qunsetenv("MIRELO_CONFIG_DIR");
    }
    TFormMain *Form() { return sim.form.get(); }
    QAction *Entry() { return Form()->FindAction(QStringLiteral("Menu59")); }
    void LogIn(const char *password)
    {
        ASSERT_TRUE(Form()->IdentWindow()->Prepare(QStringLiteral("Ident")));
        Form()->IdentWindow()->Accept(QString::fromLatin1(password));
    }
    std::string Messages() const { return sim.prompter.All().join(QLatin1Char('|')).toStdString(); }
};
} // namespace

TEST_F(AbgleichUi, MeasuresAndWritesWithItsButtons)
{
    EXPECT_FALSE(Entry()->isVisible());
    ASSERT_NO_FATAL_FAILURE(LogIn("KUNDE-2958"));
    ASSERT_TRUE(Entry()->isVisible() && Entry()->isEnabled());
    QSignalSpy valuesClosed(&Form()->Controller(), &MainController::ValuesClosed);
    Entry()->trigger();
    EXPECT_EQ(valuesClosed.count(), 1);
    TAbgleichDialog *w = Form()->CalibrationWindow(false);
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    EXPECT_FALSE(w->isModal());
    EXPECT_TRUE(w->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Abgleich ZEV 101 - Z112"));
    EXPECT_EQ(w->Title()->text(), QStringLiteral("Abgleich AD-Wandler"));
    // The mains nominal word 22 of the demo set, shown in tenths.
    EXPECT_EQ(w->Instruction()->text(), QStringLiteral("2 V an Netzeingang L1, L2, L3 anlegen (Punkt 1)"));

    for (quint32 a : {0x2260u, 0x2262u, 0x2264u})
        conv->setSignal(a, 22);
    QTest::mouseClick(w->OkButton(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!w->Run()->Busy() && w->Run()->Index() == 1, 10000);
    EXPECT_EQ(w->Instruction()->text(), QStringLiteral("987 V an Netzeingang L1, L2, L3 anlegen (Punkt 2)"));
    EXPECT_TRUE(w->OkButton()->isEnabled());

    for (quint32 a : {0x2260u, 0x2262u, 0x2264u})
        conv->setSignal(a, 9872);
    sim.prompter.Answers = {true};
    QTest::mouseClick(w->OkButton(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!w->Run()->Busy() && w->Run()->Index() == 2, 10000);
    ASSERT_EQ(sim.prompter.Questions.size(), 1) << Messages();
    EXPECT_TRUE(sim.prompter.Questions[0].startsWith(GetText(80) + QStringLiteral("\r  1 = ")));
    EXPECT_EQ(w->Written()->text(), GetText(858)
                                        .arg(QStringLiteral("V an Netzeingang L1, L2, L3 anlegen (Punkt 2)"))
                                        .arg(12)
                                        .arg(QStringLiteral("$1800")));
    EXPECT_EQ(w->Run()->WrittenItems(), QVector<int>{1});

    // "Abbruch" skips the generator pair; closing ends the run and hides the dialog.
    QTest::mouseClick(w->CancelButton(), Qt::LeftButton);
    EXPECT_EQ(w->Run()->Index(), 4);
    w->close();
    QTRY_VERIFY_WITH_TIMEOUT(!w->isVisible(), 5000);
    EXPECT_TRUE(sim.prompter.Errors.isEmpty() && sim.prompter.Warnings.isEmpty()) << Messages();
    EXPECT_TRUE(Form()->Controller().PendingAction.isEmpty());
}

TEST_F(AbgleichUi, OpensTheDialogOfTheDeviceTypeOrRefuses)
{
    ASSERT_NO_FATAL_FAILURE(LogIn("WERK-7431"));
    MainController &c = Form()->Controller();
    const QStringList demoLines = c.Data.Def.DefinitionLines;
    const QStringList nineXTable = {QStringLiteral("SPWStart:"), QStringLiteral("A 1*0200;1;0100;0120;0122;30;250;100"),
                                    QStringLiteral("A 2*0200;1;0100;0120;0122;30;250;100"), QStringLiteral("SPWEnd:")};
    const struct
    {
        const char *name;
        int type;
        bool modem;
        QStringList lines;
        int window;     // 0 none, 101, 91, 35 the ULVA channel calibration
        QStringList errors;
        QString info;
        QString warning;
    } rows[] = {
        {"controller", 20, false, demoLines, 101, {}, {}, {}},
        {"transfer switch", 53, false, demoLines, 101, {}, {}, {}},
        {"9x", 32, false, nineXTable, 91, {}, {}, {}},
        {"modem link", 20, true, demoLines, 0, {}, {}, GetText(183)},
        {"ULVA module", 35, false, demoLines, 35, {}, {}, {}},
        {"table without points", 20, false, {QStringLiteral("SPWStart:"), QStringLiteral("SPWEnd:")}, 0, {},
         GetText(859), {}},
        {"no table", 20, false, {QStringLiteral("ParaStart:")}, 0,
         {QStringLiteral("Error 04 ") + c.Data.Geraet.ProgramId, GetText(850)}, {}, {}},
        {"9x table line broken", 33, false,
         {QStringLiteral("SPWStart:"), QStringLiteral("A 1*0200;1;0100;01X0;0122;30;250;100"), QStringLiteral("SPWEnd:")},
         0, {GetText(853).arg(1).arg(3).arg(QStringLiteral("01X0"))}, {}, QStringLiteral("Error 5 SPWEnd:")},
    };
    for (const auto &r : rows) {
        sim.prompter.Clear();
        c.Data.State.DeviceType = r.type;
        c.Data.Def.DefinitionLines = r.lines;
        // The menu offers the entry; a modem link that came up since is the handler's to refuse.
        c.ModemOnline = false;
        c.UpdateMenus();
        ASSERT_TRUE(Entry()->isEnabled()) << r.name;
        c.ModemOnline = r.modem;
        for (bool nineX : {false, true})
            if (TAbgleichDialog *w = Form()->CalibrationWindow(nineX))
                w->hide();
        Entry()->trigger();
        TAbgleichDialog *w101 = Form()->CalibrationWindow(false);
        TAbgleichDialog *w91 = Form()->CalibrationWindow(true);
        EXPECT_EQ(w101 && w101->isVisible(), r.window == 101) << r.name;
        EXPECT_EQ(w91 && w91->isVisible(), r.window == 91) << r.name;
        TAbgleichULVA *ulva = Form()->UlvaCalibrationWindow();
        EXPECT_EQ(ulva && ulva->isVisible(), r.window == 35) << r.name;
        if (ulva)
            ulva->close();
        if (r.window == 91)
            EXPECT_EQ(w91->windowTitle(), QStringLiteral("Abgleich ZEV 9x"));
        EXPECT_EQ(sim.prompter.Errors, r.errors) << r.name << ": " << Messages();
        EXPECT_EQ(sim.prompter.Infos, r.info.isEmpty() ? QStringList() : QStringList{r.info}) << r.name;
        EXPECT_EQ(sim.prompter.Warnings, r.warning.isEmpty() ? QStringList() : QStringList{r.warning}) << r.name;
        for (bool nineX : {false, true})
            if (TAbgleichDialog *w = Form()->CalibrationWindow(nineX))
                w->close();
    }
    c.ModemOnline = false;
}
