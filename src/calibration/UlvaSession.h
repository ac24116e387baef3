#pragma once
#include "calibration/UlvaCalibration.h"
#include "link/Telegramm.h"
#include <QObject>
#include <QString>
#include <QTimer>
#include <array>

class MainController;

// The channel calibration of the ULVA module, without its window: the channel list, the
// live converter value of the channel on the capture screen, the captures, and the write of
// the four calibration words. One channel's words go out in one telegram, so the module
// holds either its old words or the complete new set; a channel counts as written only
// when the module has answered that telegram.
class UlvaSession : public QObject
{
    Q_OBJECT
public:
    static const QString LiveAction;  // "TimerAD"
    static const QString WriteAction; // "ZumUlva"
    static constexpr int LivePeriodMs = 300;

    enum class Row { Low = 0, High = 1, Zero = 2 };

    explicit UlvaSession(MainController &main, QObject *parent = nullptr);
    ~UlvaSession() override;

    // The channel list: parameter n (1..16) without its first 7 characters, and whether
    // the channel's sensor kind lets it be chosen.
    QString ChannelText(int c) const;
    bool ChannelSelectable(int c) const;
    int SensorKind(int c) const;
    void SetChecked(int c, bool on);
    bool Checked(int c) const { return c >= 0 && c < Ulva::ChannelCount && m_checked[size_t(c)]; }

    // "Abgleichen": the first checked channel gets its capture screen. False when none is.
    bool Next();
    // "Abbruch": back to the list from a capture screen; true when the window is to close.
    bool Cancel();
    // The capture screen's state.
    Ulva::Mode Mode() const { return m_mode; }
    int Channel() const { return m_channel; }
    int Factor() const { return m_factor; }
    bool Active() const { return m_mode != Ulva::Mode::None; }
    // The live value as shown ("?" until the first answer), whether it is being read.
    QString LiveText() const { return m_live; }
    bool LiveRunning() const { return m_timer.isActive() || m_readInFlight; }
    // A live read is on the line; its report still comes (Changed follows it).
    bool ReadInFlight() const { return m_readInFlight; }
    // Something of this session is on the line: a live read or the words.
    bool OnLine() const { return m_readInFlight || m_writing; }
    // "OK" of a row: the live value becomes the row's capture. False without a live value.
    bool Capture(Row row);
    QString CaptureText(Row row) const { return m_captures[size_t(row)]; }
    // The present words A, B, C of the channel, as the image holds them ("Direkt").
    std::array<int, 3> PresentWords() const;

    // What the window's fields hold, taken when "Übertragen" is pressed.
    struct Typed
    {
        QString vLow, vHigh;         // reference values (Vari modes)
        QString channelNumber;       // reference junction (NiCr modes), else "0"
        QString a, b, c;             // "Direkt"
        bool channelNumberShown = false;
    };
    // Whether "Übertragen" may be pressed with these fields.
    bool TransferAllowed(const Typed &typed) const;
    // "Übertragen": computes and writes the words. Bad input or refused words are told to
    // the user, the channel is checked again and nothing is written. False then.
    bool Transfer(const Typed &typed);
    bool Writing() const { return m_writing; }
    // Channels whose words the module has confirmed in this session.
    const QList<int> &Written() const { return m_written; }
    // The words of the last computation.
    std::array<quint16, 4> LastWords() const { return m_words; }

    // Stops the live value (the window closes). Words already asked for still go out and
    // their answer is still taken.
    void Stop();

signals:
    // The capture screen or the list changed (mode set or cleared, captures, live value).
    void Changed();
    // A line for the window: which channel was written or why not.
    void StatusText(const QString &text);
    // The write of channel c ended; ok only after the module's answer.
    void ChannelWritten(int c, bool ok);

private:
    void StartMode();
    void ReadLive();
    void OnLive(const TeleReport &report);
    void SendWords();
    void OnWritten(const TeleReport &report);
    void Refused(const QString &message);

    MainController &m_main;
    QTimer m_timer;
    std::array<bool, Ulva::ChannelCount> m_checked{};
    Ulva::Mode m_mode = Ulva::Mode::None;
    int m_channel = -1;
    int m_factor = 1;
    QString m_live = QStringLiteral("?");
    std::array<QString, 3> m_captures;
    bool m_readInFlight = false;
    bool m_writeWaiting = false; // the words wait for the live read on the line
    bool m_writing = false;
    bool m_stopped = false; // the window has closed: a confirmed write moves on to nothing
    std::array<quint16, 4> m_words{};
    QList<int> m_written;
};
