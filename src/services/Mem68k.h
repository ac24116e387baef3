#pragma once
#include "link/Telegramm.h"
#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>

class MainController;
class QTimer;

// Motorola S-records with 24-bit addresses (S2), as the CPU memory window writes and reads them.
namespace Srec {
constexpr quint32 AddressSpace = 0x1000000;
constexpr int MaxBlock = 64; // bytes per read or write telegram

QString HeaderLine(); // S0 record of the files we write
QString EndLine();    // S8 record, start address 0
// One S2 record: count, 24-bit address, data and checksum, upper-case hex.
QString S2Line(quint32 address, const QByteArray &data);
// The file: lines ended by CR LF.
QByteArray FileBytes(const QStringList &lines);

// A run of bytes for the device, and the line of the file it came from (1-based).
struct Chunk
{
    quint32 Address = 0;
    QByteArray Data;
    int Line = 0;
};
// Every S2 line of the file is checked before anything is taken: hex digits only, the
// count byte matching the line, the checksum right, the bytes inside the 24-bit space.
// Other lines (S0, S8, S1, S3, S5, blank) are not ours and are skipped. False with the
// line number and what was wrong; out is then left empty.
bool ParseS2(const QByteArray &content, QVector<Chunk> *out, QString *why);
// Records longer than max bytes are written in pieces of at most max bytes.
QVector<Chunk> Split(const QVector<Chunk> &records, int max = MaxBlock);
} // namespace Srec

// One memory area of the area file: section "MEMORY", key = name, value = start;length.
struct Mem68kArea
{
    QString Name;
    quint32 Start = 0;
    quint32 Length = 0;
};

// The area file "ZPA/68000.ZPX": the areas ("MEMORY") and the CPU types ("DEVICES"),
// each of which names the areas that belong to it.
class Mem68kAreaFile
{
public:
    static QString FileName() { return QStringLiteral("68000.ZPX"); }
    static QString DefaultPath(); // in the definitions folder of the data folder

    // False when the file is missing or unreadable. An area whose value is not a start and a
    // length inside the 24-bit space is left out and named in Problems(); the rest is kept.
    bool Load(const QString &path);
    // "start;length", each decimal or hexadecimal after "$"; the length 1..0x1000000 - start.
    static bool ParseArea(const QString &name, const QString &value, Mem68kArea *area, QString *why);

    const QVector<Mem68kArea> &Areas() const { return m_areas; }
    const QStringList &CpuTypes() const { return m_cpuTypes; }
    const QStringList &Problems() const { return m_problems; }
    // The areas whose names occur in the CPU type's value, as whole words.
    QStringList AreasOf(const QString &cpuType) const;
    const Mem68kArea *Find(const QString &name) const;

private:
    QVector<Mem68kArea> m_areas;
    QStringList m_cpuTypes;
    QStringList m_cpuValues;
    QStringList m_problems;
};

// Copies areas of the CPU memory into an S2 file (code 37, at most 64 bytes a telegram) and
// writes S2 records back (code 36), one request on the line at a time. An exchange that
// fails on the line is sent again up to the "Wiederholungen" setting; then the transfer
// stops with a message: a read leaves the target file unwritten, a write names the last
// line that went in whole.
class Mem68kTransfer : public QObject
{
    Q_OBJECT
public:
    enum State { Idle = 0, Reading = 1, Writing = 11, AbortRequested = 99 };

    explicit Mem68kTransfer(MainController &main, QObject *parent = nullptr);
    ~Mem68kTransfer() override;

    // Both false (with the reason told) when nothing was started.
    bool StartRead(const QVector<Mem68kArea> &areas, const QString &targetFile);
    bool StartWrite(const QVector<Srec::Chunk> &records);
    // Loads and checks the whole file first; nothing is sent when it is refused.
    bool StartWriteFile(const QString &path);
    // The transfer ends at its next answer.
    void RequestAbort();

    int CurrentState() const { return m_state; }
    bool Running() const { return m_state != Idle; }
    const QStringList &Records() const { return m_records; }
    // Line of the file last written whole (0: none yet).
    int LastLineWritten() const { return m_lastLine; }
    // Tests shorten the pause before a repetition.
    void SetRepeatPause(int ms) { m_repeatPauseMs = ms; }

    Q_INVOKABLE void TeleMessage(quint16 replyIndex, quint32 wParam, quint32 lParam);

signals:
    // A line for the memo.
    void Note(const QString &text);
    // An exchange is sent again (also a Note).
    void Repeated(const QString &text);
    // Reading: areas done of areas, blocks done of blocks in the current area.
    // Writing: pieces done of pieces (areas = 0).
    void Progress(int areasDone, int areas, int blocksDone, int blocks);
    void Finished(bool ok);

private:
    bool SendCurrent();
    void StartArea();
    void OnAnswer(const TeleReport &report);
    void Fail(const QString &why);
    void EndAborted();
    QString ReportText(const TeleReport &report) const;

    MainController &m_main;
    tyTelegramm m_image;
    int m_state = Idle;
    int m_running = Idle; // what an abort interrupts
    // Reading.
    quint32 m_address = 0;
    quint32 m_left = 0;
    int m_block = 0;
    QVector<Mem68kArea> m_areas;
    int m_areaIndex = 0;
    int m_blocksDone = 0;
    QString m_target;
    QStringList m_records;
    // Writing.
    QVector<Srec::Chunk> m_chunks;
    int m_chunkIndex = 0;
    int m_lastLine = 0;
    // Repetitions of the request on the line.
    int m_repeats = 0;
    int m_repeatPauseMs;
    QTimer *m_repeatTimer = nullptr;
};
