// "&Datenausgabe" offscreen: pages drawn into a PDF, the project name, the save dialog,
// saving as PDF without a printer.
#include "support/DriveModal.h"
#include "support/ScriptedPrompter.h"
#include "monitor/ui/PrintOutput.h"
#include "params/ui/ValueDialogs.h"
#include "shell/MainController.h"
#include "shell/Texts.h"
#include "shell/ui/FormMain.h"
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QPrinterInfo>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace {

const QString kDemo202 = QStringLiteral(MIRELO_SOURCE_DATA_DIR "/samples/demo.202");

bool HavePoppler()
{
    return !QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty() &&
           !QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty();
}

QString RunTool(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

int PdfPages(const QString &path)
{
    const QString info = RunTool(QStringLiteral("pdfinfo"), {path});
    const int at = info.indexOf(QStringLiteral("Pages:"));
    return at < 0 ? -1 : info.mid(at + 6).section(QLatin1Char('\n'), 0, 0).trimmed().toInt();
}

// Answers the project-name dialog, then hands the file dialog to `file`.
void AnswerName(const QString &name, std::function<void(QFileDialog *)> file)
{
    DriveModal([name, file](QWidget *w) {
        auto *d = qobject_cast<TFormAbfrageText *>(w);
        ASSERT_NE(d, nullptr);
        d->Ed_Text()->setText(name);
        if (file)
            DriveModal([file](QWidget *f) {
                auto *dialog = qobject_cast<QFileDialog *>(f);
                ASSERT_NE(dialog, nullptr);
                file(dialog);
            });
        d->OkButton()->click();
    });
}

class PrintOutputUi : public ::testing::Test
{
protected:
    void SetUp() override
    {
        qputenv("MIRELO_CONFIG_DIR", config.path().toLocal8Bit());
        QFile ini(config.path() + QStringLiteral("/Mirelo.ini"));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write("[Ini]\r\nZeile1=Baldren Service\r\nZeile2=Musterstadt\r\n");
        ini.close();
        form = std::make_unique<TFormMain>(&prompter);
        ASSERT_TRUE(form->LoadFromPath(kDemo202));
        output = std::make_unique<TPrintOutput>(form.get(), form->Controller(), prompter, *form->Dialogs());
        output->PauseValues = [this] { ++paused; };
        output->ResumeValues = [this] { ++resumed; };
    }
    void TearDown() override
    {
        output.reset();
        form.reset();
        qunsetenv("MIRELO_CONFIG_DIR");
    }
    QTemporaryDir config, files;
    ScriptedPrompter prompter;
    std::unique_ptr<TFormMain> form;
    std::unique_ptr<TPrintOutput> output;
    int paused = 0, resumed = 0;
};

TEST_F(PrintOutputUi, SavingTheParameterListProposesTheNameAndWritesTheFile)
{
    QString proposed;
    const QString target = files.path() + QStringLiteral("/liste");
    AnswerName(QStringLiteral("Anlage 1"), [&](QFileDialog *dialog) {
        proposed = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->text();
        dialog->selectFile(target);
        static_cast<QDialog *>(dialog)->accept();
    });
    EXPECT_TRUE(output->Run(Print::Kind::Parameters, Print::Target::File));
    EXPECT_EQ(proposed, QStringLiteral("Anlage 1.TXT"));
    EXPECT_EQ(output->LastFile(), target + QStringLiteral(".TXT"));
    QFile f(target + QStringLiteral(".TXT"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
    ASSERT_GT(lines.size(), 120);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("Projekt: Anlage 1 ")));
    EXPECT_EQ(lines[59].trimmed(), QStringLiteral("Seite 1"));
    EXPECT_EQ(lines.filter(QStringLiteral("      Datei ist gespeichert am ")).size(), 1); // a set from a file
    EXPECT_EQ(lines.filter(QStringLiteral("      Baldren Service")).size(), 1);
    EXPECT_EQ(paused, 1);
    EXPECT_EQ(resumed, 1);
    EXPECT_TRUE(prompter.Errors.isEmpty()) << prompter.Errors.join(QLatin1Char('|')).toStdString();
}

TEST_F(PrintOutputUi, CancellingWritesNothingAndResumesTheValues)
{
    // Cancelled at the name, then at the file dialog.
    DriveModal([](QWidget *w) { qobject_cast<QDialog *>(w)->reject(); });
    EXPECT_FALSE(output->Run(Print::Kind::Connections, Print::Target::File));
    AnswerName(QStringLiteral("Anlage 1"), [](QFileDialog *dialog) { dialog->reject(); });
    EXPECT_FALSE(output->Run(Print::Kind::Connections, Print::Target::File));
    EXPECT_EQ(paused, 2);
    EXPECT_EQ(resumed, 2);
    EXPECT_TRUE(output->LastFile().isEmpty());
    EXPECT_TRUE(QDir(files.path()).isEmpty());
    // Without a page that hands over its lines there is nothing to print and nothing is asked.
    EXPECT_FALSE(output->Run(Print::Kind::ActualValues, Print::Target::File));
    EXPECT_TRUE(prompter.Infos.isEmpty());
    EXPECT_EQ(resumed, 3);

    // Once the page hands over its lines they are laid out like any other list; without a
    // page shown nothing is asked.
    QStringList captured;
    output->ActualValueLines = [&captured] { return captured; };
    EXPECT_FALSE(output->Run(Print::Kind::ActualValues, Print::Target::File));
    captured = {QStringLiteral("  230.0 V    Spannung L1"), QStringLiteral("   50.0 Hz   Frequenz")};
    const QString target = files.path() + QStringLiteral("/istwerte");
    AnswerName(QStringLiteral("Anlage 1"), [&](QFileDialog *dialog) {
        dialog->selectFile(target);
        static_cast<QDialog *>(dialog)->accept();
    });
    ASSERT_TRUE(output->Run(Print::Kind::ActualValues, Print::Target::File));
    QFile f(target + QStringLiteral(".TXT"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
    EXPECT_EQ(lines.mid(3, 2), captured);
    EXPECT_EQ(lines[59].trimmed(), QStringLiteral("Seite 1"));
}

TEST_F(PrintOutputUi, WithoutAPrinterThePagesCanBeSavedAsPdf)
{
    if (!QPrinterInfo::availablePrinters().isEmpty())
        GTEST_SKIP() << "a printer is installed here";
    if (!HavePoppler())
        GTEST_SKIP() << "poppler-utils missing (scripts/deps.sh installs them)";
    // Declined: nothing printed.
    DriveModal([](QWidget *w) {
        auto *d = qobject_cast<TFormAbfrageText *>(w);
        d->Ed_Text()->setText(QStringLiteral("Anlage 1"));
        d->OkButton()->click();
    });
    EXPECT_FALSE(output->Run(Print::Kind::Parameters, Print::Target::Printer));
    ASSERT_EQ(prompter.Questions.size(), 1);
    EXPECT_EQ(prompter.Questions[0], GetText(583));

    prompter.Answers.push_back(true);
    const QString target = files.path() + QStringLiteral("/liste");
    AnswerName(QStringLiteral("Anlage 1"), [&](QFileDialog *dialog) {
        dialog->selectFile(target);
        static_cast<QDialog *>(dialog)->accept();
    });
    EXPECT_TRUE(output->Run(Print::Kind::Parameters, Print::Target::Printer));
    // The demo set fills six pages of 60 lines, each on its own sheet with its text.
    const QString pdf = target + QStringLiteral(".pdf");
    EXPECT_EQ(PdfPages(pdf), 6);
    const QStringList sheets =
        RunTool(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")}).split(QLatin1Char('\f'));
    ASSERT_GE(sheets.size(), 6);
    for (int p = 0; p < 6; ++p) {
        EXPECT_TRUE(sheets[p].contains(QStringLiteral("Projekt: Anlage 1"))) << p;
        EXPECT_TRUE(sheets[p].contains(QStringLiteral("Seite %1").arg(p + 1))) << p;
    }
    EXPECT_TRUE(sheets[0].contains(QStringLiteral("+++ Anlagendaten +++")));
}

} // namespace
