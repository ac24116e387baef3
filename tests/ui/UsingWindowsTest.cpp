// The main window as a user works with it: unsaved changes are asked about, a refused file
// leaves the shown set alone, the file dialogs start where the files are, a language switch
// keeps the group, the grid uses its half of the window.
#include "support/DriveModal.h"
#include "support/ScriptedPrompter.h"
#include "params/GridModel.h"
#include "params/ui/ParamGrid.h"
#include "shell/MainController.h"
#include "shell/Texts.h"
#include "shell/ui/FormMain.h"
#include "shell/ui/GuiPrompter.h"
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QToolButton>
#include <QMessageBox>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <array>
#include <memory>

namespace {

const QString kDemo202 = QStringLiteral(MIRELO_SOURCE_DATA_DIR "/samples/demo.202");
using Decision = Prompter::Decision;

class UsingWindows : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(config.isValid());
        qputenv("MIRELO_CONFIG_DIR", config.path().toLocal8Bit());
        QFile f(config.path() + QStringLiteral("/Mirelo.ini"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("[Ini]\r\nAUTOSAVE=0\r\nSPLASH=0\r\nSollwertpfad=") +
                (files.path() + QStringLiteral("/Dokumente/Baldren")).toLocal8Bit() + "\r\n");
    }
    void TearDown() override
    {
        form.reset();
        qunsetenv("MIRELO_CONFIG_DIR");
    }
    void createWithDemo()
    {
        form = std::make_unique<TFormMain>(&prompter);
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        ASSERT_TRUE(form->LoadFromPath(kDemo202)) << prompter.All().join(QLatin1Char('|')).toStdString();
        prompter.Clear();
    }
    MainController &c() { return form->Controller(); }
    // An edit as the editor leaves it: a parameter byte of the image changed.
    void edit() { c().Data.Geraet.Image[0x20] ^= 0x01; }

    QTemporaryDir config;
    QTemporaryDir files;
    ScriptedPrompter prompter;
    std::unique_ptr<TFormMain> form;
};

enum class Action { CloseSet, RedX, CloseWindow, LoadFile, ReadDevice };

struct DiscardCase
{
    Action action;
    bool edited;
    Decision answer;
    bool saveDialogAccepts; // when the answer is Yes
    bool asked;
    bool keptSet;           // the set (and the window) are still there afterwards
    bool saved;
};

TEST_F(UsingWindows, QuestionBeforeUnsavedChangesAreDropped)
{
    const std::vector<DiscardCase> cases = {
        {Action::CloseSet, false, Decision::Cancel, false, false, false, false},
        {Action::CloseSet, true, Decision::Cancel, false, true, true, false},
        {Action::CloseSet, true, Decision::No, false, true, false, false},
        {Action::CloseSet, true, Decision::Yes, true, true, false, true},
        {Action::CloseSet, true, Decision::Yes, false, true, true, false}, // save cancelled
        {Action::RedX, true, Decision::Cancel, false, true, true, false},
        {Action::RedX, true, Decision::No, false, true, false, false},
        {Action::CloseWindow, true, Decision::Cancel, false, true, true, false},
        {Action::CloseWindow, true, Decision::No, false, true, false, false},
        {Action::CloseWindow, false, Decision::Cancel, false, false, false, false},
        {Action::LoadFile, true, Decision::Cancel, false, true, true, false},
        {Action::ReadDevice, true, Decision::Cancel, false, true, true, false},
    };
    int n = 0;
    for (const DiscardCase &k : cases) {
        SCOPED_TRACE(n++);
        createWithDemo();
        if (k.edited)
            edit();
        EXPECT_EQ(c().HasUnsavedChanges(), k.edited);
        prompter.Decisions = {k.answer};
        const QString target = files.path() + QStringLiteral("/gesichert%1").arg(n);
        if (k.answer == Decision::Yes)
            DriveModal([&](QWidget *w) {
                auto *dialog = qobject_cast<QFileDialog *>(w);
                ASSERT_NE(dialog, nullptr);
                if (k.saveDialogAccepts) {
                    dialog->selectFile(target);
                    static_cast<QDialog *>(dialog)->accept(); // through the button's path
                }
            });
        switch (k.action) {
        case Action::CloseSet:
            form->FindAction(QStringLiteral("Menu26"))->trigger();
            break;
        case Action::RedX:
            QTest::mouseClick(form->ParamGridArea()->CloseButton(), Qt::LeftButton);
            break;
        case Action::CloseWindow:
            form->close();
            break;
        case Action::LoadFile:
            form->FindAction(QStringLiteral("Menu21"))->trigger(); // no file dialog after Cancel
            break;
        case Action::ReadDevice:
            form->FindAction(QStringLiteral("Menu22"))->trigger();
            break;
        }
        EXPECT_EQ(prompter.Questions, k.asked ? QStringList{QStringLiteral("Änderungen speichern?")} : QStringList());
        EXPECT_EQ(c().ParamsLoaded, k.keptSet);
        if (k.action == Action::CloseWindow)
            EXPECT_EQ(form->isVisible(), k.keptSet);
        if (k.keptSet) {
            EXPECT_TRUE(c().OfflineFile);
            EXPECT_EQ(c().HasUnsavedChanges(), k.edited);
        }
        EXPECT_EQ(QFileInfo::exists(target + QStringLiteral(".202")), k.saved);
        EXPECT_TRUE(prompter.Errors.isEmpty()) << prompter.Errors.join(QLatin1Char('|')).toStdString();
        form.reset();
        prompter.Clear();
    }
}

TEST_F(UsingWindows, ARefusedFileSaysOnceWhyAndKeepsTheShownSet)
{
    QByteArray demo;
    {
        QFile f(kDemo202);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        demo = f.readAll();
    }
    QByteArray noIdent = demo;
    noIdent.replace(noIdent.size() - 48, 48, QByteArray(48, '\0'));
    const std::vector<std::pair<QString, QByteArray>> files_ = {
        {QStringLiteral("kaputt.202"), QByteArray("garbage")},
        {QStringLiteral("halb.202"), demo.left(demo.size() / 2)},
        {QStringLiteral("ohne.999"), noIdent},
        {QStringLiteral("fehlt.202"), QByteArray()}, // not written: does not exist
    };
    createWithDemo();
    const QString status = form->StatusPanelText(0);
    const int rows = form->ParamGridArea()->Model().RowCount();
    for (const auto &file : files_) {
        const QString path = files.path() + QLatin1Char('/') + file.first;
        if (!file.second.isEmpty()) {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(file.second);
        }
        prompter.Clear();
        EXPECT_FALSE(form->LoadFromPath(path));
        ASSERT_EQ(prompter.All().size(), 1) << prompter.All().join(QLatin1Char('|')).toStdString();
        ASSERT_EQ(prompter.Errors.size(), 1) << file.first.toStdString();
        EXPECT_TRUE(prompter.Errors[0].startsWith(GetText(510) + QLatin1Char('\r') + QDir::toNativeSeparators(path) +
                                                  QLatin1Char('\r')))
            << prompter.Errors[0].toStdString();
        EXPECT_TRUE(c().ParamsLoaded) << file.first.toStdString();
        EXPECT_TRUE(c().OfflineFile);
        EXPECT_EQ(form->StatusPanelText(0), status);
        EXPECT_EQ(form->StatusPanelText(4), GetText(510) + QLatin1Char(' ') + file.first);
        EXPECT_EQ(form->ParamGridArea()->Model().RowCount(), rows);
        EXPECT_TRUE(form->ParamGridArea()->StrG_Param()->isVisible());
        EXPECT_EQ(c().Data.FileName, QStringLiteral("demo.202"));
    }
}

TEST_F(UsingWindows, FileDialogsStartInTheParameterFolderAndProposeTheDevice)
{
    createWithDemo();
    const QString folder = files.path() + QStringLiteral("/Dokumente/Baldren");
    ASSERT_FALSE(QFileInfo::exists(folder));
    const QString proposed = MainController::ProposedFileName(c().Data.Geraet);
    ASSERT_FALSE(proposed.isEmpty());
    QString startedIn, name;
    DriveModal([&](QWidget *w) {
        auto *dialog = qobject_cast<QFileDialog *>(w);
        ASSERT_NE(dialog, nullptr);
        startedIn = dialog->directory().absolutePath();
        name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->text();
        dialog->selectFile(files.path() + QStringLiteral("/anderswo/") + proposed);
        static_cast<QDialog *>(dialog)->accept(); // through the button's path
    });
    QDir().mkpath(files.path() + QStringLiteral("/anderswo"));
    form->FindAction(QStringLiteral("Menu43"))->trigger();
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_EQ(startedIn, QDir(folder).absolutePath());
    EXPECT_EQ(name, proposed);
    const QString written = files.path() + QStringLiteral("/anderswo/") + proposed + QStringLiteral(".202");
    EXPECT_TRUE(QFileInfo::exists(written));
    EXPECT_EQ(form->StatusPanelText(4), GetText(512) + QLatin1Char(' ') + QDir::toNativeSeparators(written));

    // The folder used last is where the next dialog starts, for the session.
    DriveModal([&](QWidget *w) { startedIn = qobject_cast<QFileDialog *>(w)->directory().absolutePath(); });
    form->FindAction(QStringLiteral("Menu21"))->trigger();
    EXPECT_EQ(startedIn, QDir(files.path() + QStringLiteral("/anderswo")).absolutePath());
}

TEST_F(UsingWindows, ConversionSaysWhatItDidAndCountsAsAChange)
{
    struct Case
    {
        const char *file;
        bool converts;
    };
    for (const Case &k : {Case{"demo.202", false}, Case{"demo_v13.202", true}}) {
        createWithDemo();
        ASSERT_TRUE(form->LoadFromPath(QStringLiteral(MIRELO_SOURCE_DATA_DIR "/samples/") + QLatin1String(k.file)));
        form->FindAction(QStringLiteral("MI_ConvertConfig"))->trigger();
        EXPECT_EQ(form->StatusPanelText(4), k.converts ? GetText(514) + QStringLiteral(" 14") : GetText(513)) << k.file;
        EXPECT_EQ(c().HasUnsavedChanges(), k.converts) << k.file;
        EXPECT_TRUE(prompter.Errors.isEmpty()) << prompter.Errors.join(QLatin1Char('|')).toStdString();
        form.reset();
        prompter.Clear();
    }
}

TEST(ProposedFileName, FromProgramIdAndFNumber)
{
    const std::vector<std::array<const char *, 3>> cases = {
        {"PA004 202", "01234", "PA004202_01234"},
        {"PA004", "", "PA004"},
        {"", "01234", "01234"},
        {"A/B:C", " 7 ", "ABC_7"},
    };
    for (const auto &k : cases) {
        TGeraet g;
        g.ProgramId = QString::fromLatin1(k[0]);
        g.FNumber = QString::fromLatin1(k[1]);
        EXPECT_EQ(MainController::ProposedFileName(g), QString::fromLatin1(k[2])) << k[0];
    }
}

TEST_F(UsingWindows, EnglishReachesEveryTextAndTheGroupStays)
{
    createWithDemo();
    QComboBox *groups = form->ParamGridArea()->ComboBox1();
    ASSERT_GT(groups->count(), 3);
    groups->setCurrentIndex(3);
    const QVariant group = groups->currentData();
    form->ApplyLanguage(1);
    EXPECT_EQ(groups->currentData(), group);
    EXPECT_EQ(form->ParamGridArea()->SearchField()->placeholderText(), QStringLiteral("Search …"));
    EXPECT_EQ(form->ParamGridArea()->CloseButton()->toolTip(), QStringLiteral("Close"));
    EXPECT_TRUE(form->StatusPanelText(0).startsWith(QStringLiteral("Offline file: "))) << form->StatusPanelText(0).toStdString();
    QWidget parent;
    GuiPrompter gui(&parent);
    QString title;
    DriveModal([&](QWidget *w) { title = w->windowTitle(); });
    gui.warning(QStringLiteral("x"));
    EXPECT_EQ(title, QStringLiteral("Warning"));
    form->ApplyLanguage(0);
    EXPECT_EQ(groups->currentData(), group);
    EXPECT_EQ(form->ParamGridArea()->SearchField()->placeholderText(), QStringLiteral("Suchen …"));
    DriveModal([&](QWidget *w) { title = w->windowTitle(); });
    gui.warning(QStringLiteral("x"));
    EXPECT_EQ(title, QStringLiteral("Warnung"));
}

TEST_F(UsingWindows, GridTextColumnTakesTheWindowAndSeparatorsStayWhole)
{
    createWithDemo();
    TParamGrid *area = form->ParamGridArea();
    QTableView *view = area->StrG_Param();
    const Grid::Layout layout = area->Model().CurrentLayout();
    const QVector<int> minimum = Grid::ColumnWidths(layout);
    const int last = int(minimum.size()) - 1;
    int previousText = 0;
    for (int width : {1000, 1400}) {
        form->resize(width, 700);
        QApplication::processEvents();
        int sum = 0;
        for (int col = 0; col <= last; ++col) {
            EXPECT_GE(view->columnWidth(col), minimum.at(col)) << width << " " << col;
            sum += view->columnWidth(col);
        }
        // The columns fill the grid's half, and no more: the right half stays free.
        EXPECT_EQ(sum, view->viewport()->width()) << width;
        EXPECT_LE(area->geometry().right(), form->centralWidget()->width() / 2);
        EXPECT_GT(view->columnWidth(last), previousText) << width;
        previousText = view->columnWidth(last);
    }
    // Every separator row of every group is one cell over the row, with its whole text.
    QComboBox *groups = area->ComboBox1();
    int separators = 0;
    for (int g = 0; g < groups->count(); ++g) {
        groups->setCurrentIndex(g);
        const TGridModel &model = area->Model();
        for (int r = 0; r < model.RowCount(); ++r) {
            if (!model.Rows().at(r).Separator)
                continue;
            ++separators;
            EXPECT_EQ(view->columnSpan(r, 0), Grid::ColumnCount(model.CurrentLayout()));
            EXPECT_EQ(view->model()->index(r, 0).data().toString(), model.Rows().at(r).Line.trimmed());
        }
    }
    EXPECT_GT(separators, 0);
}

TEST(InterfaceWindowPlace, BesideBelowOrClearOfTheMenu)
{
    const QRect screen(0, 0, 1920, 1080);
    const QSize size(400, 300);
    struct Case
    {
        QRect main;
        QPoint expected;
    };
    const std::vector<Case> cases = {
        {QRect(0, 0, 1000, 680), QPoint(1000, 0)},     // room on the right
        {QRect(900, 0, 1000, 680), QPoint(900, 680)},  // room below
        {QRect(0, 0, 1920, 1000), QPoint(1520, 80)},   // neither: right edge, below the menu
        {QRect(0, 200, 1920, 880), QPoint(1520, 280)},
    };
    for (const Case &k : cases)
        EXPECT_EQ(TFormMain::InterfaceWindowPlace(k.main, size, screen), k.expected) << k.main.x();
}

} // namespace
