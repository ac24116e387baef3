#pragma once
#include "link/Telegramm.h"
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>
#include <array>

class MainController;
class ParameterSender;

// The controller's protection diagnosis in working memory (0x2E2C..0x2E9B): trip values,
// trip bits, vector-shift values and counters, each decoded into its own field, and the
// reset of the diagnosis flag at 0x2855.
class RamList : public QObject
{
    Q_OBJECT
public:
    static constexpr int FirstAddress = 0x2E2C;
    static constexpr int FirstCount = 36;
    static constexpr int SecondAddress = 0x2E50;
    static constexpr int SecondCount = 76;
    static constexpr int BlockSize = FirstCount + SecondCount; // 0x2E2C..0x2E9B
    static constexpr int CycleOffset = 4;                      // 0x2E30..0x2E4F
    static constexpr int CycleCount = 32;
    static constexpr int DiagnosisAddress = 0x2855;
    static constexpr quint8 DiagnosisBit = 0x20;

    // Pending actions: the two reads, the read of the diagnosis byte before the reset, and
    // the reset write, which continues under a name of its own so that a confirmed reset
    // never runs another window's service step.
    static const QString ReadAction;
    static const QString ReadMoreAction;
    static const QString ResetReadAction;
    static const QString ResetWriteAction;

    struct Field
    {
        QString Name;  // "Edit1".."Edit56"
        int Address;   // device address of the word or byte
        int Bit;       // -1: a big-endian word; 0..7: this bit of the byte
        QString Label;
    };
    // The 55 fields in the order of the window.
    static const QVector<Field> &Fields();
    // The text of a field from the whole block read at FirstAddress (BlockSize bytes).
    static QString Value(const Field &f, const quint8 *block);
    // Eight bytes a line, each as two upper-case hex digits and two blanks.
    static QStringList CycleLines(const quint8 *cycles, int count = CycleCount);

    RamList(MainController &main, ParameterSender &sender, QObject *parent = nullptr);
    ~RamList() override;

    // Offered to a connected controller at level "Ser" only; false with the reason.
    bool Available(QString *why = nullptr) const;

    // Reads both blocks; ReadFinished follows. False when nothing was sent.
    bool Read();
    // Clears the diagnosis bit at 0x2855 (read, then write back without bit 5);
    // ResetFinished follows. False when nothing was sent.
    bool Reset();

    bool Busy() const { return m_readStep != 0 || m_resetStep != 0; }
    bool HasData() const { return m_hasData; }
    // Field texts in the order of Fields(), and the cycle-time lines; empty before a read.
    const QStringList &Values() const { return m_values; }
    const QStringList &CycleTimes() const { return m_cycles; }
    // The diagnosis byte as read and as written by the last reset.
    int DiagnosisRead() const { return m_diagnosisRead; }
    // The last reset failed because the device refused the write (mode not OFF, locked).
    bool Refused() const { return m_refused; }
    // The heading of the bit fields of a byte ("NausBit ..." or "GausBit ..."); empty for words.
    static QString GroupLabel(const Field &f);

signals:
    void ReadFinished(bool ok);
    void ResetFinished(bool ok);

private:
    bool SendRead(const QString &action, int address, int count);
    bool AnswerComplete(const TeleReport &report, int count) const;
    void OnFirst(const TeleReport &report);
    void OnSecond(const TeleReport &report);
    void OnDiagnosis(const TeleReport &report);
    void OnResetWritten();
    void FailRead();
    void FailReset();

    MainController &m_main;
    ParameterSender &m_sender;
    int m_readStep = 0;
    int m_resetStep = 0;
    std::array<quint8, BlockSize> m_block{};
    bool m_hasData = false;
    QStringList m_values;
    QStringList m_cycles;
    int m_diagnosisRead = -1;
    bool m_refused = false;
};
