// The CPU memory transfers against the simulated controller's 24-bit memory: files checked
// with srec_cat both ways, repetitions on a dead line, refusals, aborts, bad files.
#include "../device/ChainRig.h"
#include "SimMem68k.h"
#include "services/Mem68k.h"
#include "shell/Texts.h"
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <mutex>

namespace {

struct MemRig : ChainRig
{
    std::shared_ptr<SimMem68k> mem;
    std::unique_ptr<Mem68kTransfer> transfer;
    QStringList notes;
    int finished = 0;
    bool lastOk = false;
    QTemporaryDir dir;

    // refuse36From: writes at or above this address are refused by the device (0xF4).
    bool Setup(quint32 refuse36From = 0xFFFFFFFF)
    {
        device = std::make_shared<SimDevice>();
        device->setDemoIdentification();
        if (refuse36From != 0xFFFFFFFF)
            device->addRequestHook([refuse36From](SimDevice &, const SimRequest &r, SimAnswer &a) {
                if (r.code != 36 || r.address < refuse36From)
                    return false;
                a.code = 0xF4;
                return true;
            });
        mem = SimMem68k::attach(*device);
        if (!Start())
            return false;
        transfer = std::make_unique<Mem68kTransfer>(*main);
        transfer->SetRepeatPause(5);
        QObject::connect(transfer.get(), &Mem68kTransfer::Note, [this](const QString &t) { notes << t; });
        QObject::connect(transfer.get(), &Mem68kTransfer::Finished, [this](bool ok) {
            ++finished;
            lastOk = ok;
        });
        return true;
    }
    bool AwaitEnd() { return WaitUntil([this] { return finished > 0; }, 60000); }
    QString Path(const char *name) const { return dir.path() + QLatin1Char('/') + QLatin1String(name); }
    std::vector<quint8> Memory(quint32 address, int count)
    {
        std::lock_guard<std::mutex> lock(SimPort::sharedDeviceMutex());
        return mem->bytes(address, count);
    }
    quint64 Requests()
    {
        std::lock_guard<std::mutex> lock(SimPort::sharedDeviceMutex());
        return device->counters().requests;
    }
};

QString SrecCat()
{
    return QStandardPaths::findExecutable(QStringLiteral("srec_cat"));
}

// srec_cat's view of the file: the bytes from start to start + length.
QByteArray Binary(const QString &file, quint32 start, quint32 length)
{
    QProcess p;
    p.start(SrecCat(), {file, QStringLiteral("-motorola"), QStringLiteral("-crop"), QString::number(start),
                        QString::number(start + length), QStringLiteral("-offset"), QStringLiteral("-%1").arg(start),
                        QStringLiteral("-o"), QStringLiteral("-"), QStringLiteral("-binary")});
    if (!p.waitForFinished(20000) || p.exitCode() != 0)
        return QByteArray("srec_cat failed: ") + p.readAllStandardError();
    return p.readAllStandardOutput();
}

QByteArray AsBytes(const std::vector<quint8> &v) { return QByteArray(reinterpret_cast<const char *>(v.data()), int(v.size())); }

QByteArray ReadFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

TEST(Mem68kChain, ReadAreasGiveTheDeviceBytesAsSrecCatSeesThem)
{
    ASSERT_FALSE(SrecCat().isEmpty()) << "srec_cat (package srecord) is needed";
    MemRig rig;
    ASSERT_TRUE(rig.Setup());
    // Something the device wrote itself, so that the file is more than the fill pattern.
    {
        std::lock_guard<std::mutex> lock(SimPort::sharedDeviceMutex());
        rig.mem->setBytes(0x1010, {0xDE, 0xAD, 0xBE, 0xEF});
    }
    const QVector<Mem68kArea> areas = {{"A", 0x1000, 100}, {"B", 0xFFFF00, 0x100}, {"C", 0x20000, 1}};
    const QString file = rig.Path("out.S2");
    ASSERT_TRUE(rig.transfer->StartRead(areas, file));
    ASSERT_TRUE(rig.AwaitEnd());
    ASSERT_TRUE(rig.lastOk) << rig.notes.join('|').toStdString();
    EXPECT_TRUE(rig.prompter.All().isEmpty()) << rig.prompter.All().join('|').toStdString();
    for (const Mem68kArea &a : areas)
        EXPECT_EQ(Binary(file, a.Start, a.Length), AsBytes(rig.Memory(a.Start, int(a.Length)))) << a.Name.toStdString();

    const QStringList lines = QString::fromLatin1(ReadFile(file)).split(QStringLiteral("\r\n"));
    ASSERT_GE(lines.size(), 4);
    EXPECT_EQ(lines.first(), Srec::HeaderLine());
    EXPECT_EQ(lines[lines.size() - 2], Srec::EndLine());
    EXPECT_TRUE(lines.last().isEmpty()) << "every line ends with CR LF";
    // 100 bytes at 0x1000 are two blocks, 64 and 36 bytes.
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("S244001000"))) << lines[1].toStdString();
    EXPECT_TRUE(lines[2].startsWith(QStringLiteral("S228001040"))) << lines[2].toStdString();
    EXPECT_EQ(lines.size(), 1 + 2 + 4 + 1 + 1 + 1);
    EXPECT_EQ(rig.notes.first(), GetText(845) + QStringLiteral(" A"));
    EXPECT_EQ(rig.notes.last(), GetText(848));
}

TEST(Mem68kChain, AFileMadeBySrecCatIsWrittenByteForByteInPiecesOf64)
{
    ASSERT_FALSE(SrecCat().isEmpty()) << "srec_cat (package srecord) is needed";
    MemRig rig;
    ASSERT_TRUE(rig.Setup());
    QByteArray data(1000, 0);
    QRandomGenerator gen(68);
    for (char &c : data)
        c = char(gen.bounded(256));
    const QString bin = rig.Path("data.bin");
    {
        QFile f(bin);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(data);
    }
    // Records of 200 bytes: longer than one telegram may carry.
    const QString file = rig.Path("in.S2");
    QProcess p;
    p.start(SrecCat(), {bin, QStringLiteral("-binary"), QStringLiteral("-offset"), QStringLiteral("0x123456"),
                        QStringLiteral("-o"), file, QStringLiteral("-motorola"), QStringLiteral("-address-length=3"),
                        QStringLiteral("-obs=200")});
    ASSERT_TRUE(p.waitForFinished(20000) && p.exitCode() == 0) << p.readAllStandardError().toStdString();
    const quint64 before = rig.Requests();
    ASSERT_TRUE(rig.transfer->StartWriteFile(file));
    ASSERT_TRUE(rig.AwaitEnd());
    ASSERT_TRUE(rig.lastOk) << rig.notes.join('|').toStdString();
    EXPECT_EQ(AsBytes(rig.Memory(0x123456, data.size())), data);
    // One request per piece of at most 64 bytes of each record srec_cat wrote.
    QVector<Srec::Chunk> records;
    QString why;
    ASSERT_TRUE(Srec::ParseS2(ReadFile(file), &records, &why)) << why.toStdString();
    quint64 pieces = 0;
    int longest = 0;
    for (const Srec::Chunk &r : records) {
        pieces += quint64((r.Data.size() + 63) / 64);
        longest = qMax(longest, int(r.Data.size()));
    }
    EXPECT_GT(longest, 64);
    EXPECT_EQ(rig.Requests() - before, pieces);
    EXPECT_EQ(rig.notes.last(), GetText(849));
    // The neighbours stay as they were.
    EXPECT_EQ(rig.Memory(0x123455, 1)[0], SimMem68k::pattern(0x123455));
    EXPECT_EQ(rig.Memory(0x123456 + 1000, 1)[0], SimMem68k::pattern(0x123456 + 1000));
}

TEST(Mem68kChain, ADeadLineIsRepeatedAsSetThenTheReadStopsWithoutWritingTheFile)
{
    for (int retries : {0, 2}) {
        MemRig rig;
        ASSERT_TRUE(rig.Setup());
        rig.main->Settings.Retries = retries;
        const QString file = rig.Path("old.S2");
        {
            QFile f(file);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write("older file\r\n");
        }
        ASSERT_TRUE(rig.device->addFault(QStringLiteral("silence:1")));
        ASSERT_TRUE(rig.transfer->StartRead({{"A", 0x4000, 300}}, file));
        ASSERT_TRUE(rig.AwaitEnd());
        EXPECT_FALSE(rig.lastOk);
        EXPECT_EQ(rig.Requests(), quint64(1 + retries)) << retries;
        EXPECT_EQ(ReadFile(file), QByteArray("older file\r\n")) << "a failed read leaves the file as it was";
        ASSERT_EQ(rig.prompter.Errors.size(), 1);
        EXPECT_TRUE(rig.prompter.Errors[0].startsWith(GetText(831).left(GetText(831).indexOf('%'))))
            << rig.prompter.Errors[0].toStdString();
        EXPECT_TRUE(rig.prompter.Errors[0].contains(QStringLiteral("004000")));
        EXPECT_FALSE(rig.transfer->Running());
        EXPECT_FALSE(rig.notes.contains(GetText(848)));
    }
}

TEST(Mem68kChain, ARefusedWriteStopsAtOnceNamingTheLastLineWrittenWhole)
{
    // Line 2: 0x2000, line 3: 0x2040, line 4: 128 bytes at 0x2080, written as two pieces.
    const QStringList lines = {Srec::HeaderLine(), Srec::S2Line(0x2000, QByteArray(64, '\x11')),
                               Srec::S2Line(0x2040, QByteArray(64, '\x22')), Srec::S2Line(0x2080, QByteArray(128, '\x33')),
                               Srec::EndLine()};
    const struct
    {
        quint32 refuseFrom;
        int lastLine; // 0: none
    } cases[] = {{0x20C0, 3}, {0x2000, 0}, {0x2040, 2}, {0x2080, 3}};
    for (const auto &c : cases) {
        MemRig rig;
        ASSERT_TRUE(rig.Setup(c.refuseFrom));
        const QString file = rig.Path("w.S2");
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(Srec::FileBytes(lines));
        f.close();
        rig.main->Settings.Retries = 3;
        ASSERT_TRUE(rig.transfer->StartWriteFile(file));
        ASSERT_TRUE(rig.AwaitEnd());
        EXPECT_FALSE(rig.lastOk);
        EXPECT_EQ(rig.transfer->LastLineWritten(), c.lastLine) << c.refuseFrom;
        ASSERT_EQ(rig.prompter.Errors.size(), 1) << "a refusal is not repeated";
        const QString at = QStringLiteral("%1").arg(c.refuseFrom, 6, 16, QLatin1Char('0')).toUpper();
        const QString why = GetText(837).arg(QStringLiteral("F4"));
        const QString expected = c.lastLine ? GetText(832).arg(at, why).arg(c.lastLine) : GetText(833).arg(at, why);
        EXPECT_EQ(rig.prompter.Errors[0], expected);
        EXPECT_EQ(rig.Memory(c.refuseFrom, 1)[0], SimMem68k::pattern(c.refuseFrom));
        if (c.refuseFrom > 0x2000)
            EXPECT_EQ(rig.Memory(c.refuseFrom - 1, 1)[0], c.refuseFrom > 0x2080 ? 0x33 : c.refuseFrom > 0x2040 ? 0x22 : 0x11);
    }
}

TEST(Mem68kChain, ABadFileOrBadAreaSendsNothing)
{
    MemRig rig;
    ASSERT_TRUE(rig.Setup());
    const QString file = rig.Path("bad.S2");
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    QString broken = Srec::S2Line(0x3000, QByteArray(8, '\x22'));
    broken.chop(2);
    f.write(Srec::FileBytes({Srec::HeaderLine(), Srec::S2Line(0x2000, QByteArray(8, '\x11')), broken + "00"}));
    f.close();
    const quint64 before = rig.Requests();
    EXPECT_FALSE(rig.transfer->StartWriteFile(file));
    EXPECT_FALSE(rig.transfer->StartWriteFile(rig.Path("missing.S2")));
    EXPECT_FALSE(rig.transfer->StartRead({}, rig.Path("x.S2")));
    EXPECT_FALSE(rig.transfer->StartRead({{"Null", 0x1000, 0}}, rig.Path("x.S2")));
    EXPECT_FALSE(rig.transfer->StartRead({{"Zu lang", 0xFFFFF0, 0x11}}, rig.Path("x.S2")));
    ASSERT_TRUE(QFile::remove(file));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("S1130000285F245F2212226A000424290008237C2A\r\n");
    f.close();
    EXPECT_FALSE(rig.transfer->StartWriteFile(file));
    EXPECT_EQ(rig.notes.last(), GetText(847));
    QCoreApplication::processEvents();
    EXPECT_EQ(rig.Requests(), before);
    EXPECT_EQ(rig.Memory(0x2000, 1)[0], SimMem68k::pattern(0x2000));
    ASSERT_EQ(rig.prompter.Errors.size(), 5);
    EXPECT_TRUE(rig.prompter.Errors[0].contains(GetText(820).arg(3).arg(QString()))) << rig.prompter.Errors[0].toStdString();
    EXPECT_EQ(rig.prompter.Errors[2], GetText(844));
    EXPECT_FALSE(QFile::exists(rig.Path("x.S2")));
    EXPECT_EQ(rig.finished, 0);
}

TEST(Mem68kChain, AnAbortEndsAtTheNextAnswerAndWritesNoFile)
{
    MemRig rig;
    ASSERT_TRUE(rig.Setup());
    const QString file = rig.Path("abort.S2");
    int blocks = 0;
    QObject::connect(rig.transfer.get(), &Mem68kTransfer::Progress, [&](int, int, int done, int) {
        blocks = done;
        if (done == 3)
            rig.transfer->RequestAbort();
    });
    ASSERT_TRUE(rig.transfer->StartRead({{"Gross", 0x40000, 0x10000}}, file));
    ASSERT_TRUE(rig.AwaitEnd());
    EXPECT_FALSE(rig.lastOk);
    EXPECT_EQ(blocks, 3) << "the request under way was the last one";
    EXPECT_EQ(rig.notes.last(), GetText(835));
    EXPECT_FALSE(QFile::exists(file));
    EXPECT_TRUE(rig.prompter.Errors.isEmpty());

    // Aborting while a repetition waits ends at once, with nothing sent any more.
    rig.finished = 0;
    rig.transfer->SetRepeatPause(60000);
    rig.main->Settings.Retries = 5;
    ASSERT_TRUE(rig.device->addFault(QStringLiteral("silence:1")));
    const QString w = rig.Path("w.S2");
    QFile f(w);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(Srec::FileBytes({Srec::S2Line(0x100, QByteArray(4, 'x'))}));
    f.close();
    ASSERT_TRUE(rig.transfer->StartWriteFile(w));
    ASSERT_TRUE(rig.WaitUntil([&] { return rig.notes.last().startsWith(GetText(450).left(11)); }, 10000));
    const quint64 sent = rig.Requests();
    rig.transfer->RequestAbort();
    EXPECT_EQ(rig.finished, 1);
    EXPECT_FALSE(rig.transfer->Running());
    EXPECT_EQ(rig.Requests(), sent);
}

TEST(Mem68kChain, AFailedSaveIsToldAndNeverCalledSaved)
{
    MemRig rig;
    ASSERT_TRUE(rig.Setup());
    const QString file = rig.Path("no-such-folder/out.S2");
    ASSERT_TRUE(rig.transfer->StartRead({{"A", 0x1000, 10}}, file));
    ASSERT_TRUE(rig.AwaitEnd());
    EXPECT_FALSE(rig.lastOk);
    ASSERT_EQ(rig.prompter.Errors.size(), 1);
    EXPECT_TRUE(rig.prompter.Errors[0].startsWith(GetText(834).arg(file, QString()))) << rig.prompter.Errors[0].toStdString();
    EXPECT_FALSE(rig.notes.contains(GetText(848)));
    EXPECT_FALSE(QFile::exists(file));
}
