// "ReadEvent" offscreen against the simulated controller: opened from "Ereignisse" by level,
// a read in colours, an edit and a failure midway, files through the dialogs, clearing
// after the question, printing in colours.
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
#include <QLabel>
#include <QPrinterInfo>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTextBlock>
#include <QTextEdit>
#include <map>
#include <mutex>
#include <set>

namespace {

struct EventWindowRig : SimMainWindow
{
    std::mutex mutex;
    std::vector<quint32> writes; // addresses of the code-20 requests the device saw

    void Start(const QString &level)
    {
        ASSERT_NO_FATAL_FAILURE(StartAndRead());
        form->Controller().Access.Level = level;
        form->UpdateMenus();
        std::lock_guard<std::mutex> lock(SimPort::sharedDeviceMutex());
        SimPort::sharedDevice()->addRequestHook([this](SimDevice &, const SimRequest &r, SimAnswer &) {
            std::lock_guard<std::mutex> l(mutex);
            if (r.code == 20)
                writes.push_back(r.address);
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
    static bool Click(TReadEvent *w, QPushButton *b)
    {
        b->click();
        return WaitUntil([w] { return !w->Core().Busy(); }, 120000);
    }
};

// Answers the next file dialog with a path.
void ChooseFile(const QString &path)
{
    DriveModal([path](QWidget *w) {
        auto *d = qobject_cast<QFileDialog *>(w);
        ASSERT_NE(d, nullptr);
        d->selectFile(path);
        static_cast<QDialog *>(d)->accept();
    });
}

// The colour each line of the list is drawn in.
QVector<QColor> ListColours(QTextEdit *list)
{
    QVector<QColor> out;
    for (QTextBlock b = list->document()->begin(); b.isValid() && !list->toPlainText().isEmpty(); b = b.next())
        out << b.begin().fragment().charFormat().foreground().color();
    return out;
}

QString Count(int n) { return GetText(151) + QLatin1Char(' ') + QString::number(n); }

} // namespace

TEST(ReadEventWindow, OfferedByLevelWithItsControlsAndClearingOnlyAboveCus)
{
    EventWindowRig rig;
    ASSERT_NO_FATAL_FAILURE(rig.Start(QString()));
    QAction *menu = rig.form->FindAction(QStringLiteral("Menu514"));
    ASSERT_NE(menu, nullptr);
    const struct
    {
        QString level;
        bool menu, clear;
    } cases[] = {{QString(), false, false}, {Level::Cus, true, false}, {Level::Ser, true, true}};
    for (const auto &c : cases) {
        rig.form->Controller().Access.Level = c.level;
        rig.form->UpdateMenus();
        EXPECT_EQ(menu->isVisible() && menu->isEnabled(), c.menu) << c.level.toStdString();
        if (!c.menu)
            continue;
        rig.Open([&](TReadEvent *w) {
            EXPECT_EQ(w->windowTitle(), QStringLiteral("ReadEvent"));
            const char *buttons[][2] = {{"Btn_Back", "Zurück"},    {"Btn_Save", "Speichern"}, {"Btn_Print", "Drucken"},
                                        {"Btn_File", "Aus Datei"}, {"Btn_Unit", "Aus Gerät"}, {"B_Loeschen", "Löschen"}};
            for (const auto &b : buttons) {
                auto *button = w->findChild<QPushButton *>(QLatin1String(b[0]));
                ASSERT_NE(button, nullptr) << b[0];
                EXPECT_EQ(button->text(), QString::fromUtf8(b[1]));
            }
            EXPECT_TRUE(w->UnitButton()->isEnabled() && w->SaveButton()->isEnabled()) << "a device is connected";
            EXPECT_EQ(w->ClearButton()->isVisible(), c.clear) << c.level.toStdString();
            EXPECT_EQ(w->HeaderLabel()->text(), EventMemory::HeaderText(w->Core().Identification()));
            EXPECT_TRUE(w->CountLabel()->text().isEmpty());
            w->BackButton()->click();
        });
    }
}

TEST(ReadEventWindow, ReadsTheRingInColoursAndShowsNothingOfAnAbandonedOrFailedRead)
{
    EventWindowRig rig;
    ASSERT_NO_FATAL_FAILURE(rig.Start(Level::Ser));
    ValuePoller *poller = rig.form->Poller();
    rig.Open([&](TReadEvent *w) {
        bool pausedWhileReading = false;
        const auto watch = QObject::connect(&w->Core(), &EventMemory::Progress, [&] { pausedWhileReading = poller->Paused(); });
        ASSERT_TRUE(EventWindowRig::Click(w, w->UnitButton()));
        QObject::disconnect(watch);
        EXPECT_TRUE(pausedWhileReading);
        EXPECT_FALSE(poller->Paused());
        ASSERT_EQ(w->Lines().size(), EventMemory::MaxRecords) << "a full ring";
        EXPECT_EQ(w->CountLabel()->text(), Count(127));
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

        // An edit confirmed meanwhile ends the read at the next record, without a message.
        int requested = 0;
        const auto edit = QObject::connect(&w->Core(), &EventMemory::Progress, [&](quint16, int count) {
            if (++requested, count == 2)
                emit rig.form->Edits()->EditEnded();
        });
        ASSERT_TRUE(EventWindowRig::Click(w, w->UnitButton()));
        QObject::disconnect(edit);
        EXPECT_EQ(requested, 3);
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
        for (int pass = 0; pass < 2; ++pass) {
            EXPECT_TRUE(w->Lines().isEmpty() && w->List()->toPlainText().isEmpty()) << pass;
            EXPECT_EQ(w->CountLabel()->text(), Count(0)) << pass;
            EXPECT_EQ(rig.prompter.Warnings.size(), pass) << "only the failure is told";
            if (pass == 0)
                ASSERT_TRUE(EventWindowRig::Click(w, w->UnitButton()));
        }
        EXPECT_EQ(rig.prompter.Warnings, QStringList{GetText(122)});
        EXPECT_FALSE(poller->Paused());
        w->BackButton()->click();
    });
}

TEST(ReadEventWindow, SavesAndLoadsFilesKeepingTheLoadedSetsIdentity)
{
    EventWindowRig rig;
    ASSERT_NO_FATAL_FAILURE(rig.Start(Level::Ser));
    QTemporaryDir dir;
    const QString saved = dir.filePath(QStringLiteral("ring.EVN")), other = dir.filePath(QStringLiteral("other.EVN"));
    const QString bad = dir.filePath(QStringLiteral("bad.EVN"));
    const auto identBefore = rig.form->Controller().Data.Geraet.IdentBlock;
    rig.Open([&](TReadEvent *w) {
        ASSERT_TRUE(EventWindowRig::Click(w, w->UnitButton()));
        const QVector<EventLine> read = w->Lines();
        ChooseFile(saved);
        w->SaveButton()->click();
        // The same ring under another order number, as another controller would save it.
        QFile in(saved);
        ASSERT_TRUE(in.open(QIODevice::ReadOnly));
        QByteArray bytes = in.readAll();
        const int firstEnd = bytes.indexOf("\r\n");
        const int order = (bytes.left(firstEnd).toInt() + 7) % 256;
        bytes.replace(0, firstEnd, QByteArray::number(order));
        QFile out(other), b(bad);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly) && out.write(bytes) > 0 && b.open(QIODevice::WriteOnly));
        out.close();
        b.write("1\r\n2\r\n3\r\n");
        b.close();

        ChooseFile(other);
        w->FileButton()->click();
        EXPECT_TRUE(w->FromFile());
        EXPECT_EQ(w->Lines(), read) << "the lines come back as saved";
        EXPECT_EQ(ListColours(w->List()).last(), TReadEvent::ColourOf(Evn::DrawnColours(read).last()));
        EXPECT_EQ(w->List()->palette().color(QPalette::Base), TReadEvent::FileBackground());
        Evn::Header fileIdent{};
        std::copy_n(identBefore.begin() + 16, 16, fileIdent.begin());
        fileIdent[0] = quint8(order);
        EXPECT_EQ(w->HeaderLabel()->text(), GetText(180) + QLatin1Char(' ') + EventMemory::HeaderText(fileIdent));
        EXPECT_EQ(rig.form->Controller().Data.Geraet.IdentBlock, identBefore) << "the loaded set keeps its identity";

        // No event file: refused by name and reason, nothing shown changes.
        const QString header = w->HeaderLabel()->text();
        ChooseFile(bad);
        w->FileButton()->click();
        ASSERT_EQ(rig.prompter.Errors.size(), 1);
        EXPECT_TRUE(rig.prompter.Errors[0].contains(bad) && rig.prompter.Errors[0].contains(GetText(640)));
        EXPECT_EQ(w->Lines(), read);
        EXPECT_EQ(w->HeaderLabel()->text(), header);
        EXPECT_EQ(ListColours(w->List()).size(), read.size());
        w->BackButton()->click();
    });
}

TEST(ReadEventWindow, ClearingAsksFirstAndWritesOnlyOnYes)
{
    EventWindowRig rig;
    ASSERT_NO_FATAL_FAILURE(rig.Start(Level::Ser));
    rig.Open([&](TReadEvent *w) {
        ASSERT_TRUE(w->ClearButton()->isVisible() && w->ClearButton()->isEnabled());
        rig.prompter.Answers = {false, true};
        w->ClearButton()->click();
        EXPECT_EQ(rig.prompter.Questions, QStringList{GetText(646)});
        EXPECT_FALSE(w->Core().Busy());
        ASSERT_TRUE(EventWindowRig::Click(w, w->ClearButton()));
        EXPECT_EQ(rig.prompter.Infos, QStringList{GetText(647)});
        EXPECT_EQ(rig.writes, (std::vector<quint32>{EventMemory::PointerAddress, EventMemory::SecondPointers}))
            << "nothing written on No, both blocks on Yes";
        ASSERT_TRUE(EventWindowRig::Click(w, w->UnitButton()));
        EXPECT_TRUE(w->Lines().isEmpty()) << "the ring is empty after clearing";
        EXPECT_EQ(w->CountLabel()->text(), Count(0));
        w->BackButton()->click();
    });
}

TEST(ReadEventWindow, PrintsPagesOf56EventsInTheirColoursWithTheFooter)
{
    if (!QPrinterInfo::availablePrinters().isEmpty())
        GTEST_SKIP() << "a printer is installed here";
    for (const char *tool : {"pdftotext", "pdftoppm"})
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
            GTEST_SKIP() << "poppler-utils missing (scripts/deps.sh installs them)";
    EventWindowRig rig;
    ASSERT_NO_FATAL_FAILURE(rig.Start(Level::Ser));
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("events.pdf"));
    QVector<EventLine> read;
    QString header;
    rig.Open([&](TReadEvent *w) {
        ASSERT_TRUE(EventWindowRig::Click(w, w->UnitButton()));
        read = w->Lines();
        header = w->HeaderLabel()->text();
        rig.prompter.Answers = {true}; // no printer: keep the pages as a PDF
        ChooseFile(pdf);
        w->PrintButton()->click();
        w->BackButton()->click();
    });
    ASSERT_EQ(read.size(), EventMemory::MaxRecords);
    auto run = [](const QString &program, const QStringList &args) {
        QProcess p;
        p.start(program, args);
        p.waitForFinished(30000);
        return QString::fromUtf8(p.readAllStandardOutput());
    };
    // The text tool spaces the columns its own way: compared with blanks collapsed.
    QStringList sheets = run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")})
                             .split(QLatin1Char('\f'), Qt::SkipEmptyParts);
    ASSERT_EQ(sheets.size(), 3) << "56 + 56 + 15 events";
    for (int p = 0; p < 3; ++p) {
        const QString s = sheets[p].simplified();
        EXPECT_TRUE(s.startsWith(read[p * 56].Text.simplified())) << p;
        EXPECT_TRUE(s.endsWith((header + QLatin1Char(' ') + GetText(9) + QStringLiteral(": %1").arg(p + 1)).simplified()));
    }

    // Every colour class of the first page's events shows in its drawing.
    run(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("150"), QStringLiteral("-l"),
                                     QStringLiteral("1"), QStringLiteral("-png"), pdf, dir.filePath(QStringLiteral("p"))});
    const QImage page = QImage(dir.filePath(QStringLiteral("p-1.png"))).convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(page.isNull());
    const QVector<int> drawn = Evn::DrawnColours(read.mid(0, 56));
    std::map<int, std::pair<QRgb, int>> near; // class -> its colour, pixels near it
    for (int c : drawn)
        near[c] = {TReadEvent::ColourOf(c).rgb(), 0};
    for (int y = 0; y < page.height(); ++y) {
        const auto *row = reinterpret_cast<const QRgb *>(page.constScanLine(y));
        for (int x = 0; x < page.width(); ++x)
            for (auto &[c, n] : near)
                n.second += std::abs(qRed(row[x]) - qRed(n.first)) + std::abs(qGreen(row[x]) - qGreen(n.first)) +
                                std::abs(qBlue(row[x]) - qBlue(n.first)) < 40;
    }
    for (const auto &[c, n] : near)
        EXPECT_GT(n.second, 20) << "colour class " << c;
}
