#pragma once
// The modem connection as the whole program sees it, whether or not the modem window is
// shown: the modem lines followed through the telegram thread's hooks, "modem online" as
// the carrier (DCD) says, the remote-control identification (FBED), plain-text modem
// commands, dialling, hanging up and the modem test.
#include "link/ModemText.h"
#include "link/Telegramm.h"
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

class MainController;
class TTeleThread;

class ModemSession : public QObject
{
    Q_OBJECT
public:
    // The six line indicators.
    enum Line { DCD, DSR, RI, CTS, RTS, DTR, LineCount };

    explicit ModemSession(MainController &main, QObject *parent = nullptr);
    ~ModemSession() override;

    // Follows the thread's modem lines from now on (installs its line hooks).
    void Attach(TTeleThread *thread);
    bool LineOn(Line line) const { return m_lines[line]; }

    // The carrier decides "the link runs over a modem" for the whole program. FBED accepted
    // goes with it when it drops; an order number of the settings grants FBED for a device
    // read over this connection.
    void SetCarrier(bool on);

    // Plain text to the modem, byte by byte, only while the telegram thread is idle with an
    // empty queue and no chain runs: a "+++" inside a telegram would spoil it. Otherwise the
    // user is told and nothing is sent. An "AT" command then waits for the modem's answer.
    bool SendCommand(ModemText::Mode mode, const QString &line);
    // The modem strings as they were when the window was shown: a value typed that differs
    // from them is offered for saving.
    void RememberShown();
    // What "Init Befehl" offers for the current baud rate (empty: no string for that speed).
    QString InitOffer() const;
    // Enter in the command line: dial (the number becomes the one in use), an initialisation
    // string for the current speed (becomes the one in use; at any speed without its own
    // string nothing is sent), or a command as typed. A value differing from the one at
    // showing is saved when the user says so.
    bool Enter(ModemText::Mode mode, const QString &line);
    // Dials the number; DialEnded follows (CONNECT, a refusing answer, or none in time).
    bool Dial(const QString &number);
    // "+++", the guard time, "ATH": then the carrier must drop, else DTR is dropped for a
    // moment; HungUp(true) once the carrier is gone. Only while online.
    bool HangUp();
    bool HangingUp() const { return m_hangStep != 0; }
    // A new speed for the line to the modem, only while the line is idle.
    bool ChangeBaud(const QString &baud);
    // Whether modem text may go on the line now (no message).
    bool LineIdle() const;

    // The modem test: always from its first step; the modem bit of the image is written
    // only for a device that was read and is in the image. Nothing while a test runs.
    void ModemTest();
    bool ModemTestRunning() const { return m_step != 0; }
    // Sends the FBED number (a whole number 0..65535, else a message) while online.
    bool IdentFbed(const QString &entered);

    // The window reads the modem's answers while it shows; dialling and hanging up read
    // them too. Otherwise the received text is left to others (the coupler windows).
    void SetWatching(bool on);
    void PollAnswers();

    // Times (tests shorten them).
    void SetGuardMs(int ms) { m_guardMs = ms; }
    void SetEscapeWaitMs(int ms) { m_escapeWaitMs = ms; }
    void SetDialTimeoutMs(int ms) { m_dialTimeoutMs = ms; }
    void SetAnswerTimeoutMs(int ms) { m_answerTimeoutMs = ms; }
    void SetCarrierDropMs(int ms) { m_dropWaitMs = ms; }

    Q_INVOKABLE void TeleMessage(quint16 replyIndex, quint32 wParam, quint32 lParam);

signals:
    void LineChanged(int line, bool on);
    void OnlineChanged(bool online);
    void FbedChanged(bool accepted);
    // The controller's answer to the FBED number (false also when the exchange failed).
    void FbedAnswered(bool accepted);
    // Received modem text as it arrived, for the answers memo.
    void AnswerText(const QString &text);
    void DialEnded(bool connected, const QString &answer);
    // An "AT" command other than dialling was answered ("OK", "ERROR") or not in time.
    void CommandEnded(bool ok, const QString &answer);
    void HungUp(bool carrierGone);
    void ModemTestFinished(bool present);

private:
    void OnLine(Line line, bool on);
    void OnAnswerLine(const QString &line);
    void EndAwait(bool ok, const QString &answer, bool timedOut);
    void CheckOrderNumber();
    void HangStep();
    void EndHangUp(bool gone);
    void StepModemTest(const TeleReport &report);
    bool PushOwn(quint8 code, quint32 address, quint8 count, int pos);
    void SetFbed(bool on);
    void Log(const QString &text);

    MainController &m_main;
    QPointer<TTeleThread> m_thread;
    ModemStrings m_shown;
    bool m_lines[LineCount] = {};
    tyTelegramm m_image;

    bool m_watching = false;
    QTimer m_poll;
    ModemText::LineSplitter m_splitter;

    enum class Await { None, Dial, Command };
    Await m_await = Await::None;
    QTimer m_awaitTimer;

    int m_hangStep = 0;
    QTimer m_hangTimer;
    bool m_hangBusy = false; // LinkBusy was set by the hang-up

    int m_step = 0;        // modem test
    QString m_stepName;    // "ModemTest", "IdentFBED"
    bool m_readOverLink = false; // the device shown was read while the carrier was on
    bool m_wasOnline = false;

    int m_guardMs = 1100;
    int m_escapeWaitMs = 1500;
    int m_dialTimeoutMs = 60000;
    int m_answerTimeoutMs = 3000;
    int m_dropWaitMs = 3000;
};
