#pragma once
#include "link/Telegramm.h"
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>
#include <array>

class MainController;

// The controller's alarm notification set-up: up to three recipients ("masters"), each
// with a kind of call and a telephone number, the SMS service centre of each, the prefix
// for an outside line, and which alarms are reported. Read and written directly in the
// device with telegrams of its own (protected writes), one at a time.
class ZuviDezar : public QObject
{
    Q_OBJECT
public:
    static constexpr quint32 AlarmAddress = 0x0E04;
    static constexpr quint32 MasterAddress = 0x0F70; // masters 1..3 at +0, +10, +20
    static constexpr quint32 OutsideLineAddress = 0x0F94;
    static constexpr quint32 SmscAddress = 0x0F98;
    static constexpr int Masters = 3;
    static constexpr int MasterSize = 10;
    static constexpr int MaxDigits = 19;
    static constexpr int BlockSize = 47; // 0x0F70 .. 0x0F9E
    static constexpr int OutsideLineSize = 4;
    static constexpr int AlarmTexts = 88;
    static constexpr int OldVersion = 30; // below it the device knows 16 alarms fewer

    enum Kind { Aus = 0, Tel = 1, SmsTap = 2, SmsEmi = 3, SmsGsm = 4 };
    static QStringList KindCaptions();

    using MasterBytes = std::array<quint8, MasterSize>;
    // The kind in the high nibble of the first byte.
    static int KindOf(const MasterBytes &b) { return b[0] >> 4; }
    // The number in nibbles: low nibble of byte 0, then high and low of bytes 1..9, up to
    // the end nibble 15.
    static QString DecodeNumber(const MasterBytes &b);
    // The ten bytes written for a master: kind, then the number; "," and ";" are 10 and
    // 11, other characters than digits are left out, at most 19 nibbles.
    static MasterBytes EncodeMaster(int kind, const QString &number);
    // The prefix as shown: characters outside 32..57 are blanks.
    static QString DecodeOutsideLine(const quint8 *b);
    // The SMS service centre of a field: its first character, which must be a digit.
    static bool ParseSmsc(const QString &text, int *digit);
    // The SMS service centre matters for these kinds only.
    static bool UsesSmsc(int kind) { return kind == SmsTap || kind == SmsEmi; }
    // Levels at which the settings may be changed.
    static bool Editable(const QString &level);

    // Alarm list: entries 0..87 of the alarm texts, without 48..63 on older firmware.
    static int AlarmCount(int programVersion) { return programVersion < OldVersion ? AlarmTexts - 16 : AlarmTexts; }
    static int AlarmBytes(int programVersion) { return programVersion < OldVersion ? 10 : 11; }
    // Index into the alarm texts of list entry i.
    static int AlarmTextIndex(int programVersion, int i)
    {
        return programVersion < OldVersion && i >= 48 ? i + 16 : i;
    }
    // Check marks of the list from the selection bytes (bit 0 of the first byte first).
    static QVector<bool> ChecksFromBytes(const QByteArray &bytes, int count);
    // The selection bytes for the check marks; bytes beyond the marks keep what base holds.
    static QByteArray BytesFromChecks(const QVector<bool> &checks, QByteArray base);

    explicit ZuviDezar(MainController &main, QObject *parent = nullptr);
    ~ZuviDezar() override;

    // What the device image holds of the alarm selection (what the device confirmed last,
    // or what the loaded file says).
    QByteArray ImageAlarms() const;
    QVector<bool> ImageAlarmChecks() const;

    bool ReadMasters();
    bool WriteMaster(int master, int kind, const QString &number); // master 0..2
    bool WriteOutsideLine(const QString &text);
    bool WriteSmsc(const QStringList &fields);
    // Writes the selection of the check marks and reads it back into the image.
    bool WriteAlarms(const QVector<bool> &checks);

    bool Busy() const { return m_step != Step::Idle; }
    bool HaveMasters() const { return m_haveMasters; }
    MasterBytes Master(int master) const;
    QString OutsideLine() const;
    int Smsc(int master) const;

    Q_INVOKABLE void TeleMessage(quint16 replyIndex, quint32 wParam, quint32 lParam);

signals:
    // The master block was read (ok) or the read failed.
    void MastersRead(bool ok);
    // A setting was written and confirmed by the read-back (ok), or not.
    void Written(bool ok);
    // The alarm selection was written and read back (ok), or not: the list shows the
    // image's selection again either way.
    void AlarmsDone(bool ok);

private:
    enum class Step { Idle, ReadMasters, Write, WriteAlarms, ReadAlarms };
    bool Allowed();
    bool PushRead(quint32 address, int count);
    bool PushWrite(quint32 address, int count);
    void Fail(Step step, const QString &why);

    MainController &m_main;
    tyTelegramm m_image;
    std::array<quint8, BlockSize + 4> m_local{}; // index k = device address 0x0F6C + k
    bool m_haveMasters = false;
    bool m_afterWrite = false; // the master read confirms a write
    Step m_step = Step::Idle;
};
