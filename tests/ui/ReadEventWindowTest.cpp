// "ReadEvent" offscreen against the simulated controller: opened from "Ereignisse" by level,
// a read in colours, a failure and an edit midway, saving and loading through the dialogs,
// a refused file, clearing after the question.
#include "support/DriveModal.h"
#include "support/EventWait.h"
#include "support/SimMainWindow.h"
#include "SimDevice.h"
#include "SimEvents.h"
#include "monitor/ValuePoller.h"
#include "params/EditSession.h"
#include "services/AccessLevels.h"
#include "services/ui/ReadEvent.h"
#include "shell/Texts.h"
#include <QFileDialog>
#include <QImage>
#include <QPrinterInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QLabel>
#include <QPushButton>
#include <QTextBlock>
#include <QTextEdit>
#include <map>
#include <mutex>
#include <set>

namespace {

struct EventWindowRig : SimMainWindow
{
    std::mutex mutex;
    std::vector<SimRequest> writes; // code-20 requests the device saw

    void Start(const QString &level)
    {
        ASSERT_NO_FATAL_FAILURE(StartAndRead());
        MainController &m = form->Controller();
        m.Access.Level = level;
        form->UpdateMenus();
        std::lock_guard<std::mutex> lock(SimPort::sharedDeviceMutex());
        SimPort::sharedDevice()->addRequestHook([this](SimDevice &, const SimRequest &r, SimAnswer &) {
            if (r.code == 20) {
                std::lock_guard<std::mutex> l(mutex);
                writes.push_back(r);
            }
            return false;
        });
    }
    // Opens the window from its menu and runs `drive` on it.
    void Open(std::function<void(TReadEvent *)> drive)
    {
        bool driven = false;
        DriveModal([&](QWidget *modal) {
            driven = true;
            auto *w = qobject_cast<TReadEvent *>(modal);
            ASSERT_NE(w, nullptr);
            drive(w);
        });
        form->FindAction(QStringLiteral("Menu514"))->trigger();
        EXPECT_TRUE(driven);
    }
    static bool ReadAll(TReadEvent *w)
    {
        w->UnitButton()->click();
        return WaitUntil([w] { return !w->Core().Busy(); }, 120000);
    }
    size_t Writes()
    {
        std::lock_guard<std::mutex> l(mutex);
        return writes.size();
    }
};

// Answers the event file dialog with a path.
void ChooseFile(const QString &path)
{
    DriveModal([path](QWidget *w) {
        auto *d = qobject_cast<QFileDialog *>(w);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->objectName(), QStringLiteral("EventFileDialog"));
        d->selectFile(path);
        static_cast<QDialog *>(d)->accept();
    });
}

// The colour each line of the list is drawn in.
QVector<QColor> ListColours(QTextEdit *list)
{
    QVector<QColor> out;
    if (list->toPlainText().isEmpty())
        return out;
    for (QTextBlock b = list->document()->begin(); b.isValid(); b = b.next())
        out << b.begin().fragment().charFormat().foreground().color();
    return out;
}

} // namespace

TEST(ReadEventWindow, OfferedByLevelWithItsControlsAndClearingOnlyAboveCus)
{
    const struct
    {
        QString level;
        bool menu, clear;
    } cases[] = {{QString(), false, false}, {Level::Cus, true, false}, {Level::Ser, true, true}};
    EventWindowRig rig;
    ASSERT_NO_FATAL_FAILURE(rig.Start(QString()));
    QAction *menu = rig.form->FindAction(QStringLiteral("Menu514"));
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->text(), QStringLiteral("Ereignisse"));
    for (const auto &c : cases) {
        rig.form->Controller().Access.Level = c.level;
        rig.form->UpdateMenus();
        EXPECT_EQ(menu->isVisible(), c.menu) << c.level.toStdString();
        EXPECT_EQ(menu->isEnabled(), c.menu) << c.level.toStdString();
        if (!c.menu)
            continue;
        rig.Open([&](TReadEvent *w) {
            EXPECT_EQ(w->windowTitle(), QStringLiteral("ReadEvent"));
            const struct
            {
                QPushButton *button;
                const char *name, *caption;
            } buttons[] = {{w->BackButton(), "Btn_Back", "Zurück"},       {w->SaveButton(), "Btn_Save", "Speichern"},
                           {w->PrintButton(), "Btn_Print", "Drucken"},    {w->FileButton(), "Btn_File", "Aus Datei"},
                           {w->UnitButton(), "Btn_Unit", "Aus Gerät"},    {w->ClearButton(), "B_Loeschen", "Löschen"}};
            for (const auto &b : buttons) {
                EXPECT_EQ(b.button->objectName(), QLatin1String(b.name));
                EXPECT_EQ(b.button->text(), QString::fromUtf8(b.caption));
            }
            EXPECT_TRUE(w->UnitButton()->isEnabled() && w->SaveButton()->isEnabled()) << "a device is connected";
            EXPECT_EQ(w->ClearButton()->isVisible(), c.clear) << c.level.toStdString();
            EXPECT_EQ(w->HeaderLabel()->text(), EventMemory::HeaderText(w->Core().Identification()));
            EXPECT_TRUE(w->HeaderLabel()->text().startsWith(GetText(7) + QStringLiteral(": ")));
            EXPECT_TRUE(w->CountLabel()->text().isEmpty());
            EXPECT_FALSE(w->ProgressLabel()->isVisible());
            w->BackButton()->click();
        });
    }
}

TEST(ReadEventWindow, ReadsTheRingInColoursAndShowsNothingOfAFailedOrAbandonedRead)
{
    EventWindowRig rig;
    ASSERT_NO_FATAL_FAILURE(rig.Start(Level::Ser));
    ValuePoller *poller = rig.form->Poller();
    rig.Open([&](TReadEvent *w) {
        w->UnitButton()->click();
        EXPECT_TRUE(poller->Paused()) << "no actual values while the ring is read";
        EXPECT_FALSE(w->UnitButton()->isEnabled());
        ASSERT_TRUE(WaitUntil([w] { return !w->Core().Busy(); }, 120000));
        EXPECT_TRUE(w->ProgressLabel()->text().startsWith(GetText(67) + QStringLiteral(" 1")));
        EXPECT_FALSE(poller->Paused());
        EXPECT_FALSE(w->ProgressLabel()->isVisible());
        ASSERT_EQ(w->Lines().size(), EventMemory::MaxRecords) << "a full ring";
        EXPECT_EQ(w->CountLabel()->text(), GetText(151) + QStringLiteral(" 127"));
        EXPECT_EQ(w->List()->document()->blockCount(), 127);
        EXPECT_EQ(w->List()->document()->firstBlock().text(), w->Lines().first().Text);
        const QVector<int> drawn = Evn::DrawnColours(w->Lines());
        const QVector<QColor> shown = ListColours(w->List());
        ASSERT_EQ(shown.size(), drawn.size());
        std::set<QRgb> distinct;
        for (int i = 0; i < shown.size(); ++i) {
            EXPECT_EQ(shown[i], TReadEvent::ColourOf(drawn[i])) << i;
            distinct.insert(shown[i].rgb());
        }
        EXPECT_EQ(distinct.size(), 5u) << "every colour class occurs in the simulated ring";
        const QColor classes[] = {Qt::black, QColor(0, 128, 0), QColor(255, 128, 0), Qt::blue, Qt::red};
        for (int c = 0; c < 5; ++c)
            EXPECT_EQ(TReadEvent::ColourOf(c), classes[c]) << c;
        EXPECT_TRUE(rig.prompter.Warnings.isEmpty()) << rig.prompter.All().join('|').toStdString();

        // An edit confirmed meanwhile abandons the read without a message.
        int requested = 0;
        const auto edit = QObject::connect(&w->Core(), &EventMemory::Progress, [&](quint16, int count) {
            ++requested;
            if (count == 2)
                emit rig.form->Edits()->EditEnded();
        });
        ASSERT_TRUE(EventWindowRig::ReadAll(w));
        QObject::disconnect(edit);
        EXPECT_EQ(requested, 3) << "the record asked for when the edit came is the last";
        EXPECT_TRUE(w->Lines().isEmpty());
        EXPECT_TRUE(w->List()->toPlainText().isEmpty());
        EXPECT_EQ(w->CountLabel()->text(), GetText(151) + QStringLiteral(" 0"));
        EXPECT_TRUE(rig.prompter.Warnings.isEmpty());

        // A refused record midway: the warning, and none of the records before it shown.
        {
            std::lock_guard<std::mutex> lock(SimPort::sharedDeviceMutex());
            auto device = SimPort::sharedDevice();
            device->clearRequestHooks();
            device->addRequestHook([](SimDevice &, const SimRequest &r, SimAnswer &a) {
                if (r.code != 53 || r.address != 0x1000 + 10 * 8)
                    return false;
                a.code = 0xF5;
                return true;
            });
            SimEvents::attach(*device);
        }
        w->UnitButton()->click();
        ASSERT_TRUE(WaitUntil([w] { return !w->Core().Busy(); }, 120000));
        EXPECT_EQ(rig.prompter.Warnings, QStringList{GetText(122)});
        EXPECT_TRUE(w->Lines().isEmpty());
        EXPECT_TRUE(w->List()->toPlainText().isEmpty());
        EXPECT_EQ(w->CountLabel()->text(), GetText(151) + QStringLiteral(" 0"));
        EXPECT_FALSE(poller->Paused());
        w->BackButton()->click();
    });
}

TEST(ReadEventWindow, SavesAndLoadsFilesKeepingTheLoadedSetsIdentity)
{
    EventWindowRig rig;
    ASSERT_NO_FATAL_FAILURE(rig.Start(Level::Ser));
    QTemporaryDir dir;
    const QString saved = dir.filePath(QStringLiteral("ring.EVN"));
    const QString other = dir.filePath(QStringLiteral("other.EVN"));
    const QString bad = dir.filePath(QStringLiteral("bad.EVN"));
    auto &ident = rig.form->Controller().Data.Geraet.IdentBlock;
    const auto identBefore = ident;
    rig.Open([&](TReadEvent *w) {
        ASSERT_TRUE(EventWindowRig::ReadAll(w));
        const QVector<EventLine> read = w->Lines();
        ASSERT_EQ(read.size(), EventMemory::MaxRecords);
        ChooseFile(saved);
        w->SaveButton()->click();
        ASSERT_TRUE(QFileInfo::exists(saved));

        // The same ring under another order number, as another controller would save it.
        QFile in(saved);
        ASSERT_TRUE(in.open(QIODevice::ReadOnly));
        QByteArray bytes = in.readAll();
        in.close();
        const int firstEnd = bytes.indexOf("\r\n");
        const int order = (bytes.left(firstEnd).toInt() + 7) % 256;
        bytes.replace(0, firstEnd, QByteArray::number(order));
        QFile out(other);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(bytes);
        out.close();

        ChooseFile(other);
        w->FileButton()->click();
        EXPECT_TRUE(w->FromFile());
        EXPECT_EQ(w->Lines(), read) << "the lines come back as saved";
        EXPECT_EQ(ListColours(w->List()).size(), read.size());
        EXPECT_EQ(ListColours(w->List()).last(), TReadEvent::ColourOf(Evn::DrawnColours(read).last()));
        EXPECT_EQ(w->List()->palette().color(QPalette::Base), TReadEvent::FileBackground());
        Evn::Header fileIdent{};
        for (int i = 0; i < 16; ++i)
            fileIdent[size_t(i)] = identBefore[size_t(16 + i)];
        fileIdent[0] = quint8(order);
        EXPECT_EQ(w->HeaderLabel()->text(), GetText(180) + QLatin1Char(' ') + EventMemory::HeaderText(fileIdent));
        EXPECT_NE(EventMemory::HeaderText(fileIdent), EventMemory::HeaderText(w->Core().Identification()));
        EXPECT_EQ(ident, identBefore) << "the loaded set keeps its identification";

        // A file that is no event file: refused by name and reason, nothing shown changes.
        QFile b(bad);
        ASSERT_TRUE(b.open(QIODevice::WriteOnly));
        b.write("1\r\n2\r\n3\r\n");
        b.close();
        const QString header = w->HeaderLabel()->text();
        ChooseFile(bad);
        w->FileButton()->click();
        ASSERT_EQ(rig.prompter.Errors.size(), 1);
        EXPECT_TRUE(rig.prompter.Errors[0].contains(bad) && rig.prompter.Errors[0].contains(GetText(640)))
            << rig.prompter.Errors[0].toStdString();
        EXPECT_EQ(w->Lines(), read);
        EXPECT_EQ(w->HeaderLabel()->text(), header);
        EXPECT_EQ(ListColours(w->List()).size(), read.size());

        // A save that cannot be written names the file and leaves the old one.
        const QString blocked = dir.filePath(QStringLiteral("missing/x.EVN"));
        EXPECT_FALSE(w->SaveFile(blocked));
        ASSERT_EQ(rig.prompter.Warnings.size(), 1);
        EXPECT_TRUE(rig.prompter.Warnings[0].contains(blocked));
        w->BackButton()->click();
    });
}

TEST(ReadEventWindow, ClearingAsksFirstAndWritesOnlyOnYes)
{
    EventWindowRig rig;
    ASSERT_NO_FATAL_FAILURE(rig.Start(Level::Ser));
    rig.Open([&](TReadEvent *w) {
        ASSERT_TRUE(w->ClearButton()->isVisible() && w->ClearButton()->isEnabled());
        rig.prompter.Answers = {false};
        w->ClearButton()->click();
        EXPECT_EQ(rig.prompter.Questions, QStringList{GetText(646)});
        EXPECT_FALSE(w->Core().Busy());
        QTest::qWait(200);
        EXPECT_EQ(rig.Writes(), 0u) << "No writes nothing";

        rig.prompter.Answers = {true};
        w->ClearButton()->click();
        ASSERT_TRUE(WaitUntil([w] { return !w->Core().Busy(); }, 10000));
        EXPECT_EQ(rig.prompter.Infos, QStringList{GetText(647)});
        ASSERT_EQ(rig.Writes(), 2u);
        EXPECT_EQ(rig.writes[0].address, quint32(EventMemory::PointerAddress));
        EXPECT_EQ(rig.writes[1].address, quint32(EventMemory::SecondPointers));
        ASSERT_TRUE(EventWindowRig::ReadAll(w));
        EXPECT_TRUE(w->Lines().isEmpty()) << "the ring is empty after clearing";
        EXPECT_EQ(w->CountLabel()->text(), GetText(151) + QStringLiteral(" 0"));
        w->BackButton()->click();
    });
}

TEST(ReadEventWindow, PrintsPagesOf56EventsInTheirColoursWithTheFooter)
{
    if (!QPrinterInfo::availablePrinters().isEmpty())
        GTEST_SKIP() << "a printer is installed here";
    for (const char *tool : {"pdfinfo", "pdftotext", "pdftoppm"})
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
            GTEST_SKIP() << "poppler-utils missing (scripts/deps.sh installs them)";
    EventWindowRig rig;
    ASSERT_NO_FATAL_FAILURE(rig.Start(Level::Ser));
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("events.pdf"));
    QVector<EventLine> read;
    QString header;
    rig.Open([&](TReadEvent *w) {
        ASSERT_TRUE(EventWindowRig::ReadAll(w));
        read = w->Lines();
        header = w->HeaderLabel()->text();
        rig.prompter.Answers = {true}; // no printer: keep the pages as a PDF
        DriveModal([pdf](QWidget *m) {
            auto *d = qobject_cast<QFileDialog *>(m);
            ASSERT_NE(d, nullptr);
            d->selectFile(pdf);
            static_cast<QDialog *>(d)->accept();
        });
        w->PrintButton()->click();
        w->BackButton()->click();
    });
    ASSERT_EQ(read.size(), EventMemory::MaxRecords);
    ASSERT_TRUE(QFileInfo::exists(pdf)) << rig.prompter.All().join('|').toStdString();
    auto run = [](const QString &program, const QStringList &args) {
        QProcess p;
        p.start(program, args);
        p.waitForFinished(30000);
        return QString::fromUtf8(p.readAllStandardOutput());
    };
    const QString info = run(QStringLiteral("pdfinfo"), {pdf});
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+3\\n")))) << info.toStdString();
    // The text tool spaces the columns its own way: compared with blanks collapsed.
    QStringList sheets =
        run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")}).split(QLatin1Char('\f'));
    ASSERT_GE(sheets.size(), 3);
    for (QString &s : sheets)
        s = s.simplified();
    for (int p = 0; p < 3; ++p) {
        EXPECT_TRUE(sheets[p].endsWith((header + QLatin1Char(' ') + GetText(9) + QStringLiteral(": ") +
                                        QString::number(p + 1)).simplified()))
            << p;
        EXPECT_TRUE(sheets[p].startsWith(read[p * 56].Text.simplified())) << p;
    }
    EXPECT_FALSE(sheets[0].contains(read[56].Text.simplified())) << "the 57th event starts page 2";

    // Every colour class of the first page's events shows in its drawing.
    const QString png = dir.filePath(QStringLiteral("page"));
    run(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("150"), QStringLiteral("-f"),
                                     QStringLiteral("1"), QStringLiteral("-l"), QStringLiteral("1"),
                                     QStringLiteral("-png"), pdf, png});
    const QImage page = QImage(png + QStringLiteral("-1.png")).convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(page.isNull());
    const QVector<int> drawn = Evn::DrawnColours(read.mid(0, 56));
    const std::set<int> classes(drawn.begin(), drawn.end());
    std::map<int, int> near;
    std::map<int, QRgb> wanted;
    for (int c : classes)
        wanted[c] = TReadEvent::ColourOf(c).rgb();
    for (int y = 0; y < page.height(); ++y) {
        const auto *row = reinterpret_cast<const QRgb *>(page.constScanLine(y));
        for (int x = 0; x < page.width(); ++x)
            for (const auto &[c, want] : wanted)
                near[c] += std::abs(qRed(row[x]) - qRed(want)) + std::abs(qGreen(row[x]) - qGreen(want)) +
                               std::abs(qBlue(row[x]) - qBlue(want)) <
                           40;
    }
    for (int c : classes)
        EXPECT_GT(near[c], 20) << "colour class " << c;
}
