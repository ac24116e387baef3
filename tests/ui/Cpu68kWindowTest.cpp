// "68K CPU" offscreen: opened from its menu on the simulated controller, CPU types and
// areas from the area file, a read into a file and the file written back, the write
// button as an abort while a read runs; a missing area file leaves "Individuell".
#include "SimMem68k.h"
#include "SimPort.h"
#include "services/ui/Cpu68k.h"
#include "shell/MainController.h"
#include "shell/Texts.h"
#include "shell/ui/FormMain.h"
#include "support/DriveModal.h"
#include "support/ScriptedPrompter.h"
#include "support/SimMainWindow.h"
#include <QComboBox>
#include <QFile>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {
QStringList Checked(QTreeWidget *list)
{
    QStringList names;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        if (list->topLevelItem(i)->checkState(0) == Qt::Checked)
            names << list->topLevelItem(i)->text(0);
    return names;
}

void Check(QTreeWidget *list, const QStringList &names)
{
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        list->topLevelItem(i)->setCheckState(0, names.contains(list->topLevelItem(i)->text(0)) ? Qt::Checked
                                                                                               : Qt::Unchecked);
}
} // namespace

TEST(Cpu68kUi, ReadsChosenAreasWritesThemBackAndTheWriteButtonAborts)
{
    SimMainWindow sim;
    ASSERT_NO_FATAL_FAILURE(sim.StartAndRead());
    TFormMain *form = sim.form.get();
    QAction *entry = form->FindAction(QStringLiteral("Menu516"));
    ASSERT_NE(entry, nullptr);
    ASSERT_TRUE(entry->isVisible() && entry->isEnabled());
    QTemporaryDir dir;
    const QString file = dir.path() + QStringLiteral("/cpu.S2");
    const QString aborted = dir.path() + QStringLiteral("/aborted.S2");
    bool driven = false;
    DriveModal([&](QWidget *w) {
        auto *dlg = qobject_cast<TForm68K *>(w);
        ASSERT_NE(dlg, nullptr);
        driven = true;
        EXPECT_EQ(dlg->windowTitle(), QStringLiteral("68K CPU"));
        EXPECT_EQ(dlg->ReadButton()->text(), QStringLiteral("Daten aus der CPU holen"));
        EXPECT_EQ(dlg->WriteButton()->text(), QStringLiteral("Daten in die CPU schreiben"));
        QComboBox *cpu = dlg->CpuBox();
        QStringList types;
        for (int i = 0; i < cpu->count(); ++i)
            types << cpu->itemText(i);
        EXPECT_EQ(types, dlg->AreaFile().CpuTypes() + QStringList{GetText(843)});
        ASSERT_GE(cpu->count(), 2);
        EXPECT_EQ(cpu->currentIndex(), 0);
        EXPECT_EQ(Checked(dlg->AreaList()), dlg->AreaFile().AreasOf(cpu->itemText(0)));
        EXPECT_FALSE(Checked(dlg->AreaList()).isEmpty());
        EXPECT_FALSE(dlg->AreaList()->isEnabled()) << "areas are chosen by hand only for Individuell";
        cpu->setCurrentIndex(cpu->count() - 1);
        EXPECT_TRUE(dlg->AreaList()->isEnabled());
        Check(dlg->AreaList(), {QStringLiteral("Vektoren"), QStringLiteral("Stack")});

        int asked = 0;
        QString answer = file;
        dlg->AskFile = [&](bool) {
            ++asked;
            return answer;
        };
        QTest::mouseClick(dlg->ReadButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!dlg->Transfer().Running(), 20000);
        const QString memo = dlg->Memo()->toPlainText();
        EXPECT_TRUE(memo.contains(GetText(845) + QStringLiteral(" Vektoren"))) << memo.toStdString();
        EXPECT_TRUE(memo.endsWith(GetText(848))) << memo.toStdString();
        EXPECT_EQ(dlg->AreasBar()->value(), dlg->AreasBar()->maximum());
        EXPECT_EQ(dlg->BlocksBar()->value(), dlg->BlocksBar()->maximum());
        ASSERT_TRUE(QFile::exists(file));

        // The file goes back in; what the device holds afterwards is what was read.
        std::shared_ptr<SimDevice> device = SimPort::sharedDevice();
        QTest::mouseClick(dlg->WriteButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!dlg->Transfer().Running(), 20000);
        EXPECT_TRUE(dlg->Memo()->toPlainText().endsWith(GetText(849))) << dlg->Memo()->toPlainText().toStdString();
        EXPECT_EQ(dlg->AreasBar()->value(), dlg->AreasBar()->maximum());

        // A double click clears the memo.
        QTest::mouseDClick(dlg->Memo()->viewport(), Qt::LeftButton);
        EXPECT_TRUE(dlg->Memo()->toPlainText().isEmpty());

        // While a long read runs, the write button only asks it to stop.
        Check(dlg->AreaList(), {QStringLiteral("Programm")});
        answer = aborted;
        asked = 0;
        QTest::mouseClick(dlg->ReadButton(), Qt::LeftButton);
        ASSERT_TRUE(dlg->Transfer().Running());
        QTRY_VERIFY_WITH_TIMEOUT(dlg->BlocksBar()->value() >= 2, 10000);
        QTest::mouseClick(dlg->WriteButton(), Qt::LeftButton);
        EXPECT_EQ(asked, 1) << "no file is asked for while the read runs";
        QTRY_VERIFY_WITH_TIMEOUT(!dlg->Transfer().Running(), 10000);
        EXPECT_TRUE(dlg->Memo()->toPlainText().endsWith(GetText(835)));
        EXPECT_FALSE(QFile::exists(aborted));
        dlg->reject();
    });
    entry->trigger();
    EXPECT_TRUE(driven);
    EXPECT_NE(form->Cpu68kWindow(), nullptr);
    EXPECT_TRUE(sim.prompter.Errors.isEmpty()) << sim.prompter.Errors.join('|').toStdString();
}

TEST(Cpu68kUi, AMissingOrBrokenAreaFileLeavesIndividuell)
{
    QTemporaryDir dir;
    const struct
    {
        const char *name;
        QByteArray content; // empty: no file
        QStringList areas;
        QString error;
    } cases[] = {
        {"missing", {}, {}, QStringLiteral("68000.ZPX ") + GetText(842)},
        {"broken area", "[MEMORY]\r\nGut=$100;$10\r\nSchlecht=$100;0\r\n[DEVICES]\r\nX=Gut\r\n", {"Gut"}, "Schlecht"},
    };
    for (const auto &c : cases) {
        ScriptedPrompter prompter;
        MainController main(prompter);
        const QString path = dir.path() + QStringLiteral("/%1.ZPX").arg(QString::fromLatin1(c.name).replace(' ', '_'));
        if (!c.content.isEmpty()) {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(c.content);
        }
        TForm68K dlg(main, path);
        EXPECT_TRUE(prompter.Errors.isEmpty()) << "told on opening, not at the start of the program";
        dlg.show();
        ASSERT_EQ(prompter.Errors.size(), 1) << c.name;
        EXPECT_TRUE(prompter.Errors[0].contains(c.error)) << c.name << prompter.Errors[0].toStdString();
        EXPECT_EQ(dlg.AreaList()->topLevelItemCount(), c.areas.size()) << c.name;
        EXPECT_EQ(dlg.CpuBox()->itemText(dlg.CpuBox()->count() - 1), GetText(843));
        if (c.areas.isEmpty()) {
            EXPECT_EQ(dlg.CpuBox()->count(), 1) << c.name;
            EXPECT_TRUE(dlg.AreaList()->isEnabled()) << c.name;
        }
        // Still usable: a read with nothing chosen says so, after the file was asked for.
        prompter.Clear();
        Check(dlg.AreaList(), {});
        dlg.CpuBox()->setCurrentIndex(dlg.CpuBox()->count() - 1);
        int asked = 0;
        dlg.AskFile = [&](bool save) {
            ++asked;
            EXPECT_TRUE(save);
            return dir.path() + QStringLiteral("/never.S2");
        };
        dlg.B_ReadClick();
        EXPECT_EQ(asked, 1);
        EXPECT_EQ(prompter.Errors, QStringList{GetText(844)}) << c.name;
        EXPECT_FALSE(QFile::exists(dir.path() + QStringLiteral("/never.S2")));
        dlg.hide();
        dlg.show();
        EXPECT_EQ(prompter.Errors.size(), 1) << "told once";
        dlg.hide();
    }
}
