#pragma once
#include "link/Telegramm.h"
#include <QObject>
#include <QString>

class MainController;

// The protocol choice (menu "Protokoll auswählen") and the search for a working protocol
// ("Protokoll suchen"): protocols 1 to 5 are probed in turn with a short identification
// read until one answers. A chain on the main controller's pending action "ProtokollSuchen".
class ProtocolSearch : public QObject
{
    Q_OBJECT
public:
    // The probe of one protocol of the search.
    struct Probe
    {
        QString Baud;
        bool Handshake;
        quint8 SlaveAddress;
        quint8 Count; // bytes read at 0x0030
    };
    static constexpr int FirstProtocol = 1;
    static constexpr int LastProtocol = 5;
    static constexpr int DefaultPauseMs = 1000;
    static constexpr int DefaultProtocol4WaitMs = 100;
    // Probe of protocol 1..5; nullptr outside.
    static const Probe *ProbeOf(int protocol);

    // Registers the "ProtokollSuchen" continuation with main.
    explicit ProtocolSearch(MainController &main, QObject *parent = nullptr);
    ~ProtocolSearch() override;

    // Applies entry 1..7 of the protocol table: baud, port re-opened, handshake, working
    // image byte 18 and the stored protocol number. False (nothing changed) outside 1..7.
    static bool ChooseProtocol(MainController &main, int entry);

    // Protocol number := 1, then the probe of protocol 1.
    void Start();
    // One call of the search procedure for the current protocol: step 1 sends its probe,
    // step 2 evaluates the report of the probe.
    void Step(int step, const TeleReport &report = TeleReport());
    // Stops a running search: a probe on the line ends at once, nothing stays pending, and
    // Finished(protocol, false) follows.
    void Cancel();

    bool Running() const { return m_running; }
    int CurrentProtocol() const { return m_protocol; }

    // The pause between two protocols and the wait after opening the port for protocol 4.
    void SetPauseMs(int ms) { m_pauseMs = ms; }
    void SetProtocol4WaitMs(int ms) { m_protocol4WaitMs = ms; }

    // The coupler's identification from the working image: a carriage return, image bytes
    // 22..31 as characters, "Version ", byte 33, " / ", byte 35, ".", byte 36.
    static QString CouplerText(const tyTelegramm &image);

signals:
    // The search has ended: found is whether a protocol answered; protocol is the protocol
    // number it ended with (5 when none answered).
    void Finished(int protocol, bool found);

private:
    void SendProbe(int generation);
    void Finish(bool found, bool cancelled);
    void NextProtocol();
    void End(bool found);
    void LogStep(int step);

    MainController &m_main;
    int m_protocol = FirstProtocol;
    bool m_running = false;
    int m_generation = 0; // timers of an earlier search do nothing
    bool m_probeOut = false;  // a probe waits for its report
    bool m_cancelled = false; // cancelled; the probe's report ends the search
    int m_pauseMs = DefaultPauseMs;
    int m_protocol4WaitMs = DefaultProtocol4WaitMs;
};
