#pragma once
#include "link/Telegramm.h"
#include <QObject>
#include <QString>

class MainController;

// The basic calibration of the ULVA module's analog output, without its window: four pages,
// each entered by a write (the calibration mode byte, then the output word), and the
// switching off of the mode when the wizard closes. Only an answered write moves it on.
class UlvaWizard : public QObject
{
    Q_OBJECT
public:
    static const QString Action; // "ULVA Grundabgleich"
    // Step numbers: a resting wizard, the switching off, and the two ways of having closed.
    static constexpr int Resting = 240;
    static constexpr int SwitchingOff = 171;
    static constexpr int SwitchedOff = 241;
    static constexpr int Abandoned = 242;

    explicit UlvaWizard(MainController &main, QObject *parent = nullptr);
    ~UlvaWizard() override;

    // Showing the window: the start page, resting.
    void Show();
    // "Start >": page 1, the mode byte 0x34 and the output word 0 are written.
    void Start();
    // "Weiter >" of page 1..3.
    void Next();
    // "Fertig" or the window's close button: true when the window may close now. Otherwise
    // the mode byte 0x00 is written and the window closes when the module has answered.
    bool CloseRequested();
    // "zurück zum Start", which reads "Abbruch" while the mode is being switched off. True
    // when the window is to close; with the mode possibly still on the user is asked first.
    bool BackOrAbort();

    int Step() const { return m_step; }
    int Page() const { return m_page; } // 0 start page, 1..4
    bool NextEnabled() const { return m_nextEnabled; }
    bool FinishEnabled() const { return m_finishEnabled; }
    bool BackEnabled() const { return m_backEnabled; }
    bool BackIsAbort() const { return m_step == SwitchingOff; }
    // The module may still be in its calibration mode (switched on, not confirmed off).
    bool ModeMayBeOn() const { return m_modeOn; }
    bool Busy() const { return m_busy; }

    // Output words of pages 1..4.
    static int OutputWord(int page);

signals:
    void Changed();
    // The module confirmed the mode off: the window closes.
    void CloseNow();

private:
    bool Write(quint32 address, int count, int value);
    void OnReport(const TeleReport &report);

    MainController &m_main;
    int m_step = Resting;
    int m_sentStep = 0; // step of the write on the line
    int m_page = 0;
    bool m_nextEnabled = false;
    bool m_finishEnabled = false;
    bool m_backEnabled = false;
    bool m_modeOn = false;
    bool m_busy = false;
    bool m_switchOffFailed = false;
};
