#pragma once
#include "link/Telegramm.h"
#include <QObject>
#include <QString>
#include <array>

class MainController;

// The data coupler's serial settings, reached at its own slave address: the speed towards
// the controller is read and set ("Baudrate zum Gerät"), and "PC Connect" finds the speed
// the coupler talks to the PC at by trying eight settings in turn, then moves it to 9600
// baud without handshake, the only setting the program works with.
// The chains keep their own step and requester: they never touch the main window's pending
// action, so a link warning of the main window or another chain cannot break in.
class Coupler : public QObject
{
    Q_OBJECT
public:
    static constexpr quint8 SlaveAddress = 0xFE;
    static constexpr quint32 ConfigAddress = 0x0110;
    static constexpr quint32 TakeOverAddress = 0x0120;
    static constexpr int ConfigSize = 6;
    static constexpr quint8 PcCode = 192; // 9600 baud towards the PC
    static constexpr int Tries = 8;
    static constexpr int DefaultPauseMs = 1000;

    struct Speed
    {
        int code;
        int baud;
    };
    static constexpr int SpeedCount = 6;
    static const std::array<Speed, SpeedCount> &Speeds();
    // Index into Speeds() of a code or a speed; -1 when it is none of them.
    static int IndexOfCode(int code);
    static int IndexOfBaud(int baud);
    // "2400 BPS".
    static QString Caption(int index);
    // The six configuration bytes that set the speed to the controller.
    static std::array<quint8, ConfigSize> Configuration(int deviceCode);

    // Setting number 0..7 of "PC Connect": 1200, 2400, 4800, 9600 baud without handshake,
    // then the same with handshake.
    struct PcSetting
    {
        QString baud;
        bool handshake;
    };
    static PcSetting PcTry(int index);
    // "PC 4800 BPS", "PC 4800 BPS +HS".
    static QString PcLabel(int index);

    explicit Coupler(MainController &main, QObject *parent = nullptr);
    ~Coupler() override;

    // Reads the configuration; BaudRead follows.
    bool ReadBaud();
    // Writes the configuration with the controller-side code, has the coupler take it over
    // and reads it back; SetFinished follows. A code that is not in the table (no speed
    // chosen) is refused with a message and nothing is written.
    bool SetDeviceBaud(int deviceCode);
    // Tries the eight PC-side settings; PcConnectFinished follows. On success the program
    // runs at 9600 baud without handshake; after the last failed try it is back on the
    // settings it had before.
    bool PcConnect();

    bool Busy() const { return m_step != Step::Idle; }
    // The setting being tried (0..7) while "PC Connect" runs.
    int TryIndex() const { return m_try; }
    // The controller-side code of the last good read.
    int DeviceCode() const { return m_deviceCode; }

    void SetPauseMs(int ms) { m_pauseMs = ms; }

    Q_INVOKABLE void TeleMessage(quint16 replyIndex, quint32 wParam, quint32 lParam);

signals:
    void LabelText(const QString &text);
    // ok false: the read failed (the user was told). code: the controller-side code read.
    void BaudRead(bool ok, int code);
    void SetFinished(bool ok);
    void PcConnectFinished(bool ok);

private:
    enum class Step { Idle, Reading, WriteConfig, TakeOver, PcWrite, PcTakeOver, PcPause };
    enum class After { Nothing, Set, PcConnect };
    bool PushWrite(quint32 address, int count);
    bool StartRead();
    void FinishRead(bool ok);
    void Failed(const QString &text);
    void TryNext();
    void RestorePort();
    void Log(const QString &text);

    MainController &m_main;
    tyTelegramm m_image;
    Step m_step = Step::Idle;
    After m_after = After::Nothing; // what the closing read-back completes
    bool m_failed = false;          // the chain already told the user of a failure
    int m_wanted = 0;
    int m_deviceCode = -1;
    int m_try = 0;
    int m_generation = 0;
    int m_pauseMs = DefaultPauseMs;
    QString m_previousBaud;
    bool m_previousHandshake = false;
};
