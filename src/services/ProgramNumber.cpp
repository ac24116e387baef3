#include "services/ProgramNumber.h"
#include "shell/MainController.h"
#include "shell/Prompter.h"
#include "shell/Texts.h"

const QString ProgramNumber::Action = QStringLiteral("Programmnummer");

namespace {
constexpr quint8 kSlave = 0x70;
constexpr quint8 kOwn = 0x74;
constexpr int kOptionIndex = 0x6F;

bool Family123(const QString &id)
{
    return id == QLatin1String("001") || id == QLatin1String("002") || id == QLatin1String("003");
}
} // namespace

ProgramNumber::ProgramNumber(MainController &main, QObject *parent) : QObject(parent), m_main(main)
{
    m_main.RegisterAction(Action, [this](const TeleReport &r) { OnAnswer(r); });
}

ProgramNumber::~ProgramNumber()
{
    m_main.RegisterAction(Action, nullptr);
    if (m_main.PendingAction == Action)
        m_main.SetPendingAction(QString());
}

bool ProgramNumber::Switchable(const QString &id)
{
    return Family123(id) || id == QLatin1String("005") || id == QLatin1String("009");
}

QVector<int> ProgramNumber::ProgramTexts(const QString &id)
{
    if (Family123(id))
        return {11, 12, 13};
    if (Switchable(id))
        return {14, 15};
    return {};
}

bool ProgramNumber::HasOptions(const QString &id)
{
    return id == QLatin1String("002") || id == QLatin1String("003") || id == QLatin1String("005");
}

bool ProgramNumber::Validate(const QString &id, const QString &text, int *program, QString *error)
{
    bool ok = false;
    const int n = text.trimmed().toInt(&ok, 10);
    const bool valid = ok && (Family123(id) ? n >= 1 && n <= 3 : (n == 5 || n == 9));
    if (!valid) {
        if (error)
            *error = Family123(id) ? GetText(46) : GetText(47);
        return false;
    }
    *program = n;
    return true;
}

std::array<ProgramNumber::Write, 3> ProgramNumber::Writes(int program, bool withOptions, quint8 optionByte)
{
    quint8 variant = quint8(program);
    switch (program) {
    case 1:
    case 9:
        variant = 0;
        break;
    case 2:
        variant = 0x3B;
        break;
    case 3:
        variant = 0x11;
        break;
    case 5:
        variant = 0x33;
        break;
    }
    const bool options = withOptions && program != 1 && program != 9;
    const quint8 option = options ? quint8(optionByte | 0x03) : quint8(optionByte & ~0x03);
    return {Write{0x01A0, quint8(program)}, Write{0x01A5, variant}, Write{0x016F, option}};
}

quint8 ProgramNumber::OptionByte() const
{
    return quint8(m_main.Data.Geraet.GetByte(kOptionIndex));
}

bool ProgramNumber::Start(const QString &text, bool withOptions)
{
    if (Busy())
        return false;
    m_accepted = false;
    int program = 0;
    QString why;
    if (!Validate(m_main.Data.Geraet.ProgramId, text, &program, &why)) {
        m_main.UserPrompter().information(why);
        return false;
    }
    m_writes = Writes(program, withOptions, OptionByte());
    m_step = 1;
    if (!SendStep()) {
        m_step = 0;
        m_main.UserPrompter().error(GetText(41));
        return false;
    }
    return true;
}

bool ProgramNumber::SendStep()
{
    const Write &w = m_writes[size_t(m_step - 1)];
    m_main.WorkImage[TelePos::CountOrData] = w.value;
    m_main.SetPendingAction(Action);
    m_main.LinkBusy = true;
    if (!m_main.Push(20, quint32(w.address), 1, TeleDone, kSlave, kOwn)) {
        m_main.SetPendingAction(QString());
        m_main.LinkBusy = false;
        return false;
    }
    return true;
}

void ProgramNumber::Fail(const QString &why)
{
    const int done = m_step - 1;
    m_step = 0;
    if (m_main.PendingAction == Action)
        m_main.SetPendingAction(QString());
    m_main.LinkBusy = false;
    QString text = why;
    // Some bytes of the switch are already in the device: it holds a selection that is
    // neither the old program nor the new one.
    if (done > 0)
        text += (text.isEmpty() ? QString() : QStringLiteral("\n")) + GetText(664).arg(done);
    if (!text.isEmpty())
        m_main.UserPrompter().warning(text);
    emit Finished(false);
}

void ProgramNumber::OnAnswer(const TeleReport &report)
{
    if (m_step == 0)
        return;
    // The link takes any answer code to a protected write as done; 0xF0 and above is a refusal.
    const bool refused = (report.Ok() || report.State() == 22) && report.Byte(4) >= 0xF0;
    if (refused) {
        Fail(report.Byte(4) == 0xF4 ? GetText(42) : GetText(129));
        return;
    }
    if (!report.Ok()) {
        // The dispatch has shown the link warning already.
        Fail(QString());
        return;
    }
    if (m_step < 3) {
        ++m_step;
        if (!SendStep())
            Fail(GetText(41));
        return;
    }
    m_step = 0;
    m_main.SetPendingAction(QString());
    m_main.LinkBusy = false;
    m_accepted = true;
    emit Finished(true);
}
