#include "calibration/UlvaWizard.h"
#include "calibration/UlvaCalibration.h"
#include "shell/MainController.h"
#include "shell/Prompter.h"
#include "shell/Texts.h"

const QString UlvaWizard::Action = QStringLiteral("ULVA Grundabgleich");

UlvaWizard::UlvaWizard(MainController &main, QObject *parent) : QObject(parent), m_main(main)
{
    m_main.RegisterAction(Action, [this](const TeleReport &r) { OnReport(r); });
    // Every write of the wizard sets a value outright: sending it twice does no harm.
    m_main.SetRepeatable(Action);
}

UlvaWizard::~UlvaWizard()
{
    m_main.RegisterAction(Action, nullptr);
    m_main.SetRepeatable(Action, false);
    if (m_main.PendingAction == Action)
        m_main.SetPendingAction(QString());
}

int UlvaWizard::OutputWord(int page)
{
    switch (page) {
    case 2: return 4000;
    case 3: return 2000;
    default: return 0;
    }
}

void UlvaWizard::Show()
{
    m_step = Resting;
    m_page = 0;
    m_nextEnabled = m_finishEnabled = m_backEnabled = false;
    m_switchOffFailed = false;
    emit Changed();
}

bool UlvaWizard::Write(quint32 address, int count, int value)
{
    tyTelegramm &img = m_main.WorkImage;
    if (count == 1) {
        img[TelePos::CountOrData] = quint8(value);
    } else {
        img[TelePos::CountOrData] = quint8(value >> 8);
        img[TelePos::CountOrData + 1] = quint8(value);
    }
    m_main.SetPendingAction(Action);
    m_main.LinkBusy = true;
    m_busy = true;
    m_sentStep = m_step;
    if (!m_main.Push(4, address, quint8(count))) {
        m_main.SetPendingAction(QString());
        m_main.LinkBusy = false;
        m_busy = false;
        m_main.UserPrompter().warning(GetText(41));
        return false;
    }
    return true;
}

void UlvaWizard::Start()
{
    if (m_busy)
        return;
    m_backEnabled = true;
    m_page = 1;
    m_nextEnabled = false;
    m_finishEnabled = false;
    m_step = 1;
    // From here on the module may be in its calibration mode: closing switches it off.
    m_modeOn = true;
    Write(Ulva::BasicModeAddress, 1, Ulva::BasicModeOn);
    emit Changed();
}

void UlvaWizard::Next()
{
    if (m_busy || !m_nextEnabled || m_page < 1 || m_page > 3)
        return;
    m_nextEnabled = false;
    ++m_page;
    m_step = m_page + 1; // pages 2, 3, 4 are steps 3, 4, 5
    Write(Ulva::OutputValueAddress, 2, OutputWord(m_page));
    emit Changed();
}

bool UlvaWizard::CloseRequested()
{
    if (m_step >= Resting || !m_modeOn)
        return true;
    if (m_busy && m_step == SwitchingOff)
        return false;
    m_step = SwitchingOff;
    m_switchOffFailed = false;
    m_finishEnabled = false;
    m_nextEnabled = false;
    m_backEnabled = true;
    if (!m_busy)
        Write(Ulva::BasicModeAddress, 1, 0);
    emit Changed();
    return false;
}

bool UlvaWizard::BackOrAbort()
{
    if (m_step == SwitchingOff) {
        // Leaving with the mode not confirmed off would leave the module's output in its
        // calibration state: the user decides knowingly.
        if (m_modeOn && !m_main.UserPrompter().question(GetText(904)))
            return false;
        m_step = Abandoned;
        emit Changed();
        return true;
    }
    m_page = 0;
    m_backEnabled = false;
    m_nextEnabled = false;
    m_finishEnabled = false;
    if (m_step != Resting)
        m_step = 0;
    emit Changed();
    return false;
}

void UlvaWizard::OnReport(const TeleReport &report)
{
    m_busy = false;
    m_main.SetPendingAction(QString());
    m_main.LinkBusy = false;
    if (m_step == SwitchingOff && m_sentStep != SwitchingOff) {
        // Closing was asked while another write was on the line: the switching off follows it.
        Write(Ulva::BasicModeAddress, 1, 0);
        emit Changed();
        return;
    }
    if (m_sentStep != m_step) {
        // The answer to a write the user has walked away from (back to the start page).
        emit Changed();
        return;
    }
    if (!report.Ok()) {
        // The dispatch has shown the link's warning; the next button stays off.
        if (m_step == SwitchingOff) {
            m_switchOffFailed = true;
            m_finishEnabled = true; // "Fertig" tries the switching off again
        }
        emit Changed();
        return;
    }
    switch (m_step) {
    case 1:
        m_step = 2;
        Write(Ulva::OutputValueAddress, 2, OutputWord(1));
        break;
    case 2:
    case 3:
    case 4:
        m_nextEnabled = true;
        break;
    case 5:
        m_finishEnabled = true;
        break;
    case SwitchingOff:
        m_modeOn = false;
        m_step = SwitchedOff;
        emit Changed();
        emit CloseNow();
        return;
    default:
        break;
    }
    emit Changed();
}
