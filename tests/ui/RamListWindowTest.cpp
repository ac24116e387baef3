// "RAM 2E2C - 2E99" offscreen: opened from its menu at level "Ser" on the simulated 202,
// every field filled by "Daten holen", the diagnosis cleared by "Reset".
#include "SimDevice.h"
#include "SimPort.h"
#include "device/DeviceReader.h"
#include "link/TeleThread.h"
#include "services/ui/FormIdentNummer.h"
#include "services/ui/RamList.h"
#include "shell/MainController.h"
#include "shell/Texts.h"
#include "shell/ui/FormMain.h"
#include "support/DriveModal.h"
#include "support/ScriptedPrompter.h"
#include "support/SimMainWindow.h"
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

TEST(RamListUi, OpenedAtLevelSerShowsEveryFieldAndResets)
{
    SimMainWindow sim;
    ASSERT_NO_FATAL_FAILURE(sim.StartAndRead());
    TFormMain *form = sim.form.get();
    ScriptedPrompter &prompter = sim.prompter;
    MainController &c = form->Controller();

    QAction *entry = form->FindAction(QStringLiteral("Menu310"));
    ASSERT_NE(entry, nullptr);
    EXPECT_FALSE(entry->isVisible()) << "only the service level is offered the RAM list";
    ASSERT_TRUE(form->IdentWindow()->Prepare(QStringLiteral("Ident")));
    form->IdentWindow()->Accept(QStringLiteral("service-3187"));
    ASSERT_TRUE(entry->isVisible() && entry->isEnabled());

    std::shared_ptr<SimDevice> device = SimPort::sharedDevice();
    bool driven = false;
    DriveModal([&](QWidget *w) {
        auto *dlg = qobject_cast<TRAM_Liste *>(w);
        ASSERT_NE(dlg, nullptr);
        driven = true;
        EXPECT_EQ(dlg->windowTitle(), QStringLiteral("RAM 2E2C - 2E99"));
        EXPECT_EQ(dlg->ReadButton()->text(), QStringLiteral("Daten holen"));
        EXPECT_EQ(dlg->ResetButton()->text(), QStringLiteral("Reset"));
        EXPECT_EQ(dlg->CloseButton()->text(), QStringLiteral("Beenden"));
        ASSERT_NE(dlg->FieldEdit(QStringLiteral("Edit1")), nullptr);
        EXPECT_EQ(dlg->FieldEdit(QStringLiteral("Edit3")), nullptr);
        EXPECT_TRUE(dlg->FieldEdit(QStringLiteral("Edit1"))->text().isEmpty()) << "nothing is read on opening";

        QTest::mouseClick(dlg->ReadButton(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(dlg->FieldEdit(QStringLiteral("Edit56"))->text(), QStringLiteral("1000"), 5000);
        const struct
        {
            const char *name;
            const char *text;
        } shown[] = {{"Edit1", "412"}, {"Edit2", "17"},  {"Edit4", "2301"}, {"Edit35", "1"},
                     {"Edit36", "0"},  {"Edit41", "1"},  {"Edit46", "1"},   {"Edit55", "248"}};
        for (const auto &s : shown)
            EXPECT_EQ(dlg->FieldEdit(QString::fromLatin1(s.name))->text(), QString::fromLatin1(s.text)) << s.name;
        EXPECT_EQ(dlg->CycleMemo()->toPlainText().split(QLatin1Char('\n')).size(), 4);
        EXPECT_TRUE(dlg->FieldEdit(QStringLiteral("Edit4"))->isReadOnly());

        QTest::mouseClick(dlg->ResetButton(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(int(device->byteAt(0x2855)), 0x01, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!dlg->Core().Busy(), 5000);
        QTest::mouseClick(dlg->ReadButton(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(dlg->FieldEdit(QStringLiteral("Edit4"))->text(), QStringLiteral("0"), 5000);
        QTest::mouseClick(dlg->CloseButton(), Qt::LeftButton);
        EXPECT_FALSE(dlg->isVisible());
    });
    entry->trigger();
    EXPECT_TRUE(driven);
    EXPECT_TRUE(c.PendingAction.isEmpty());
    EXPECT_EQ(prompter.All(), QStringList{GetText(622)});
    sim.form.reset();
    SimPort::resetSharedDevice();
    qunsetenv("MIRELO_CONFIG_DIR");
}
