#pragma once
#include "calibration/CalibrationMath.h"
#include "calibration/SetPointTable.h"
#include "link/Telegramm.h"
#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>
#include <array>
#include <functional>

class MainController;

// One calibration of a controller's converter channels, item by item from the table of its
// definition: the engineer applies a first and a second signal, the raw converter values are
// read and checked, and on confirmation the calibration words are written. The 101-112
// controllers average three reads per point; the 9x controllers read once and keep bytes for
// their one- and three-channel kinds.
//
// Writes are all or nothing per item: the words held before are read first, every pair is
// confirmed by reading it back, and a failure or a cancel part-way writes the old words back.
class CalibrationRun : public QObject
{
    Q_OBJECT
public:
    enum class Family { Zev101, Zev9x };
    // Pending actions of the chain.
    static const QString ReadAveragedAction; // the three reads of a point
    static const QString ReadAction;         // one read (phase angles, 9x points)
    static const QString PeriodAction;       // the period word of the phase measurement
    static const QString WriteAction;        // one pair of calibration bytes
    static const QString OldWordsAction;     // the words held before a write
    static const QString ReadBackAction;     // confirming a written pair
    static const QString RestoreAction;      // writing the old words back

    CalibrationRun(MainController &main, Family family, QObject *parent = nullptr);
    ~CalibrationRun() override;

    // Reads the table and shows the first item; false (messages shown) when the dialog is to
    // close at once.
    bool Open();
    // "OK": the signal is applied; measures the shown point (only while waiting for it).
    void Ok();
    // "Abbruch": to the next pair's first point; during a write, the words written so far are
    // put back first.
    void Cancel();
    // The window is closing: a chain on the line is finished (a write rolled back) first.
    void Close();

    Family GetFamily() const { return m_family; }
    QString Caption() const;
    QString Title() const { return m_title; }
    QString Instruction() const { return m_instruction; }
    // What was written last (or why not), for the window's status line.
    QString Report() const { return m_report; }
    int Index() const { return m_index; }
    int Step() const { return m_step; }
    int Attempts() const { return m_attempts; }
    bool Busy() const { return m_op != Op::None; }
    bool Finished() const { return m_finished; }
    const QVector<SetPointItem> &Items() const { return m_items; }
    // Items whose words were written completely, by index.
    const QVector<int> &WrittenItems() const { return m_written; }
    // Raw values of the current pair, as measured (and averaged).
    const QVector<int> &FirstPoint() const { return m_first; }
    const QVector<int> &SecondPoint() const { return m_second; }
    // Whether closing runs the factory-setting transfer of the main window (levels that set
    // up devices at the factory).
    bool FactorySettingAfterClose() const;

signals:
    void Changed();
    void Closed();
    // An item's words were written, or a write ended without them (text says which).
    void Reported(const QString &text);

private:
    enum class Op { None, Read, Write };
    enum class WriteStage { OldWords, Writing, ReadingBack, Restoring };
    using ReadDone = std::function<void(bool ok, const QByteArray &bytes)>;
    using WriteDone = std::function<void(bool ok)>;

    const SetPointItem &Item() const { return m_items[m_index]; }
    bool Even() const { return m_index % 2 == 0; }
    int ImageIndex(int address) const;
    int NominalWord(int address) const;
    void ShowItem();
    void NextItem();
    void NextPair();
    void Finish();

    // 101-112 steps.
    void Ok101();
    void First101(bool ok, const QByteArray &bytes);
    void MeasureSecond101();
    void Second101(bool ok, const QByteArray &bytes);
    void Period101(bool ok, const QByteArray &bytes);
    void Check101();
    // 9x steps.
    void Ok9x();
    void First9x(bool ok, const QByteArray &bytes);
    void MeasureSecond9x();
    void Second9x(bool ok, const QByteArray &bytes);
    QVector<int> Values9x(const QByteArray &bytes) const;

    void Confirm(const QString &kept);
    QByteArray WriteData() const;
    int TargetAddress() const;
    QString LimitMessage(Calib::Limit limit, const QVector<int> &values) const;
    void LinkWarning(bool closeAfter);

    // The chain.
    void Read(int address, int count, bool averaged, const QString &action, ReadDone done);
    bool SendRead(int address, int count, const QString &action);
    void OnRead(const TeleReport &report);
    void OnPeriod(const TeleReport &report) { OnRead(report); }
    void Write(int address, const QByteArray &data, WriteDone done);
    bool SendPair(int pair, const QByteArray &data, const QString &action);
    void OnOldWords(const TeleReport &report);
    void OnWritten(const TeleReport &report);
    void OnReadBack(const TeleReport &report);
    void OnRestored(const TeleReport &report);
    void WriteFailed(int pair, const QString &reason, bool pairMayBeWritten);
    void EndWrite(bool ok, const QString &message, bool isError);
    bool AnswerHolds(const TeleReport &report, int count) const;
    bool Abandoned();

    MainController &m_main;
    Family m_family;
    QVector<SetPointItem> m_items;
    int m_index = 0;
    int m_step = 0;
    int m_attempts = 0;
    bool m_finished = false;
    bool m_cancelRequested = false;
    bool m_closeRequested = false;
    QString m_title, m_instruction, m_report;
    // Nominal value of the 2260/2290 items is one whose phases lie 120 degrees apart;
    // 2266/2296 items were shown (their own phase inputs are measured).
    std::array<bool, 4> m_flags{};
    QVector<int> m_first, m_second, m_phase, m_differences;
    QVector<int> m_written;

    Op m_op = Op::None;
    // Read under way.
    int m_readAddress = 0, m_readCount = 0, m_readRound = 0;
    bool m_averaged = false;
    QVector<QVector<int>> m_readings;
    ReadDone m_readDone;
    // Write under way.
    WriteStage m_stage = WriteStage::OldWords;
    int m_writeAddress = 0, m_pair = 0, m_restoreEnd = -1;
    QByteArray m_data, m_old;
    QString m_failReason;
    WriteDone m_writeDone;
};
