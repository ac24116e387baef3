#include "services/ZuviDezar.h"
#include "link/TeleThread.h"
#include "services/AccessLevels.h"
#include "shell/MainController.h"
#include "shell/Prompter.h"
#include "shell/TextHelpers.h"
#include "shell/Texts.h"

namespace {
constexpr int kEnd = 15;

int NibbleValue(QChar c)
{
    if (c == QLatin1Char(','))
        return 10;
    if (c == QLatin1Char(';'))
        return 11;
    if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
        return c.unicode() - '0';
    return -1;
}

void SetNibble(ZuviDezar::MasterBytes &b, int position, int value)
{
    if (position == 0)
        b[0] = quint8((b[0] & 0xF0) | value);
    else if (position % 2 == 1)
        b[size_t((position + 1) / 2)] = quint8(value << 4);
    else
        b[size_t(position / 2)] = quint8(b[size_t(position / 2)] | value);
}

int Nibble(const ZuviDezar::MasterBytes &b, int position)
{
    if (position == 0)
        return b[0] & 0x0F;
    const quint8 byte = b[size_t((position + 1) / 2)];
    return position % 2 == 1 ? byte >> 4 : byte & 0x0F;
}
} // namespace

QStringList ZuviDezar::KindCaptions()
{
    return {QStringLiteral("Aus"), QStringLiteral("TEL"), QStringLiteral("SMS/TAP"), QStringLiteral("SMS/EMI"),
            QStringLiteral("SMS/GSM")};
}

QString ZuviDezar::DecodeNumber(const MasterBytes &b)
{
    QString number;
    for (int p = 0; p < MaxDigits; ++p) {
        const int v = Nibble(b, p);
        if (v == kEnd)
            break;
        number += v == 10 ? QLatin1Char(',') : v == 11 ? QLatin1Char(';') : QChar(ushort('0' + v));
    }
    return number;
}

ZuviDezar::MasterBytes ZuviDezar::EncodeMaster(int kind, const QString &number)
{
    MasterBytes b{};
    b[0] = quint8((kind & 0x0F) << 4);
    int p = 0;
    for (const QChar c : number) {
        const int v = NibbleValue(c);
        if (v < 0)
            continue;
        if (p >= MaxDigits)
            break;
        SetNibble(b, p++, v);
    }
    // A number that fills all nibbles has no end mark.
    if (p < MaxDigits)
        SetNibble(b, p, kEnd);
    return b;
}

QString ZuviDezar::DecodeOutsideLine(const quint8 *b)
{
    QString text;
    for (int i = 0; i < OutsideLineSize; ++i)
        text += b[i] < 32 || b[i] > 57 ? QLatin1Char(' ') : QLatin1Char(char(b[i]));
    return text;
}

bool ZuviDezar::ParseSmsc(const QString &text, int *digit)
{
    const QString t = text.trimmed();
    if (t.isEmpty() || !t.at(0).isDigit() || t.at(0).unicode() > '9')
        return false;
    *digit = t.at(0).unicode() - '0';
    return true;
}

bool ZuviDezar::Editable(const QString &level)
{
    return level == Level::Cus || level == Level::Fac || level == Level::Ser;
}

QVector<bool> ZuviDezar::ChecksFromBytes(const QByteArray &bytes, int count)
{
    QVector<bool> checks(count, false);
    for (int i = 0; i < count && i / 8 < bytes.size(); ++i)
        checks[i] = (quint8(bytes[i / 8]) >> (i % 8)) & 1;
    return checks;
}

QByteArray ZuviDezar::BytesFromChecks(const QVector<bool> &checks, QByteArray base)
{
    const int needed = (int(checks.size()) + 7) / 8;
    if (base.size() < needed)
        base.append(QByteArray(needed - base.size(), '\0'));
    for (int i = 0; i < checks.size(); ++i) {
        const quint8 bit = quint8(1u << (i % 8));
        quint8 byte = quint8(base[i / 8]);
        byte = checks[i] ? quint8(byte | bit) : quint8(byte & ~bit);
        base[i / 8] = char(byte);
    }
    return base;
}

ZuviDezar::ZuviDezar(MainController &main, QObject *parent) : QObject(parent), m_main(main) {}

ZuviDezar::~ZuviDezar()
{
    if (Busy())
        m_main.LinkBusy = false;
}

QByteArray ZuviDezar::ImageAlarms() const
{
    const auto &d = m_main.Data;
    QByteArray bytes;
    const long long at = d.State.IndexOf(AlarmAddress);
    for (int i = 0; i < AlarmBytes(OldVersion); ++i)
        bytes.append(char(d.Geraet.GetByte(at + i)));
    return bytes;
}

QVector<bool> ZuviDezar::ImageAlarmChecks() const
{
    return ChecksFromBytes(ImageAlarms(), AlarmCount(m_main.Data.Geraet.ProgramVersion));
}

ZuviDezar::MasterBytes ZuviDezar::Master(int master) const
{
    MasterBytes b{};
    if (master >= 0 && master < Masters)
        std::copy_n(m_local.begin() + 4 + master * MasterSize, MasterSize, b.begin());
    return b;
}

QString ZuviDezar::OutsideLine() const
{
    return DecodeOutsideLine(m_local.data() + 4 + int(OutsideLineAddress - MasterAddress));
}

int ZuviDezar::Smsc(int master) const
{
    return master >= 0 && master < Masters ? m_local[size_t(4 + int(SmscAddress - MasterAddress) + master)] : 0;
}

bool ZuviDezar::Allowed()
{
    if (Busy() || !m_main.Thread())
        return false;
    if (!m_main.Online || m_main.OfflineFile) {
        m_main.UserPrompter().error(GetText(614));
        return false;
    }
    if (!Editable(m_main.Access.Level)) {
        m_main.UserPrompter().error(GetText(152));
        return false;
    }
    return true;
}

bool ZuviDezar::PushRead(quint32 address, int count)
{
    m_main.LinkBusy = true;
    const quint8 slave = quint8(m_main.SlaveForRequest());
    return m_main.Thread() && m_main.Thread()->Push(this, TeleDone, slave, m_main.Init.OwnAddress, 5, address,
                                                    quint8(count), m_image.At(TelePos::AddrHigh),
                                                    tyTelegramm::Capacity(TelePos::AddrHigh));
}

bool ZuviDezar::PushWrite(quint32 address, int count)
{
    m_main.LinkBusy = true;
    const quint8 slave = quint8(m_main.SlaveForRequest());
    return m_main.Thread() && m_main.Thread()->Push(this, TeleDone, slave, m_main.Init.OwnAddress, 20, address,
                                                    quint8(count), m_image.At(TelePos::CountOrData),
                                                    tyTelegramm::Capacity(TelePos::CountOrData));
}

bool ZuviDezar::ReadMasters()
{
    if (Busy() || !m_main.Thread() || !m_main.Online)
        return false;
    m_afterWrite = false;
    m_step = Step::ReadMasters;
    if (!PushRead(MasterAddress, BlockSize)) {
        Fail(Step::ReadMasters, GetText(41));
        return false;
    }
    return true;
}

bool ZuviDezar::WriteMaster(int master, int kind, const QString &number)
{
    if (master < 0 || master >= Masters || kind < Aus || kind > SmsGsm || !Allowed())
        return false;
    const MasterBytes b = EncodeMaster(kind, number);
    for (int i = 0; i < MasterSize; ++i)
        m_image[TelePos::CountOrData + i] = b[size_t(i)];
    m_step = Step::Write;
    if (!PushWrite(MasterAddress + quint32(master * MasterSize), MasterSize)) {
        Fail(Step::Write, GetText(41));
        return false;
    }
    return true;
}

bool ZuviDezar::WriteOutsideLine(const QString &text)
{
    if (!Allowed())
        return false;
    const QString padded = text.left(OutsideLineSize).leftJustified(OutsideLineSize, QLatin1Char(' '));
    for (int i = 0; i < OutsideLineSize; ++i) {
        const ushort c = padded.at(i).unicode();
        m_image[TelePos::CountOrData + i] = quint8(c < 256 ? c : '?');
    }
    m_step = Step::Write;
    if (!PushWrite(OutsideLineAddress, OutsideLineSize)) {
        Fail(Step::Write, GetText(41));
        return false;
    }
    return true;
}

bool ZuviDezar::WriteSmsc(const QStringList &fields)
{
    if (Busy())
        return false;
    int digits[Masters] = {};
    for (int m = 0; m < Masters; ++m) {
        const QString field = m < fields.size() ? fields.at(m) : QString();
        // A master that calls without SMS has its field disabled; left empty there it keeps
        // what the device holds instead of blocking the other two.
        if (field.trimmed().isEmpty() && m_haveMasters && !UsesSmsc(KindOf(Master(m)))) {
            digits[m] = Smsc(m);
            continue;
        }
        if (!ParseSmsc(field, &digits[m])) {
            m_main.UserPrompter().error(GetText(763).arg(m + 1));
            return false;
        }
    }
    if (!Allowed())
        return false;
    for (int m = 0; m < Masters; ++m)
        m_image[TelePos::CountOrData + m] = quint8(digits[m]);
    m_step = Step::Write;
    if (!PushWrite(SmscAddress, Masters)) {
        Fail(Step::Write, GetText(41));
        return false;
    }
    return true;
}

bool ZuviDezar::WriteAlarms(const QVector<bool> &checks)
{
    if (!Allowed())
        return false;
    const int version = m_main.Data.Geraet.ProgramVersion;
    const int n = AlarmBytes(version);
    const QByteArray bytes = BytesFromChecks(checks.mid(0, AlarmCount(version)), ImageAlarms());
    for (int i = 0; i < n; ++i)
        m_image[TelePos::CountOrData + i] = quint8(bytes[i]);
    m_step = Step::WriteAlarms;
    if (!PushWrite(AlarmAddress, n)) {
        Fail(Step::WriteAlarms, GetText(41));
        return false;
    }
    return true;
}

void ZuviDezar::Fail(Step step, const QString &why)
{
    m_step = Step::Idle;
    m_main.LinkBusy = false;
    // The window shows no box for a link failure: the yellow fields say the value was not
    // confirmed. The log keeps the reason.
    emit m_main.LogLine(QStringLiteral("D"), QStringLiteral("ZuviDezar: ") + why);
    switch (step) {
    case Step::ReadMasters:
        if (m_afterWrite)
            emit Written(false);
        emit MastersRead(false);
        break;
    case Step::Write:
        emit Written(false);
        break;
    case Step::WriteAlarms:
    case Step::ReadAlarms:
        emit AlarmsDone(false);
        break;
    case Step::Idle:
        break;
    }
    m_afterWrite = false;
}

void ZuviDezar::TeleMessage(quint16, quint32 wParam, quint32 lParam)
{
    const TeleReport report{wParam, lParam};
    m_main.LinkBusy = false;
    emit m_main.LogLine(QStringLiteral("D"), QStringLiteral("DV E1:") + Text::ToHex(wParam, 8));
    if (report.Ok())
        emit m_main.LogLine(QStringLiteral("D"), QStringLiteral("DV E2:") + Text::ToHex(wParam, 8));
    const Step step = m_step;
    if (step == Step::Idle)
        return;
    if (!report.Ok())
        return Fail(step, m_main.FailureText(report));
    const int count = int(report.Byte(3)) - 4;
    switch (step) {
    case Step::ReadMasters: {
        // Fewer bytes than asked for would show bytes of an earlier exchange as settings.
        if (report.Byte(4) != 0x85 || count < BlockSize)
            return Fail(step, GetText(765));
        for (int i = 0; i < BlockSize; ++i)
            m_local[size_t(4 + i)] = m_image[TelePos::AddrHigh + i];
        m_haveMasters = true;
        m_step = Step::Idle;
        const bool confirmsWrite = m_afterWrite;
        m_afterWrite = false;
        emit MastersRead(true);
        if (confirmsWrite)
            emit Written(true);
        return;
    }
    case Step::Write:
        // Any answer code passes a protected write on the link; a refusal byte means the
        // device kept its value.
        if (report.Byte(4) >= 0xF0)
            return Fail(step, report.Byte(4) == 0xF4 ? GetText(42) : GetText(129));
        m_step = Step::ReadMasters;
        m_afterWrite = true;
        if (!PushRead(MasterAddress, BlockSize))
            Fail(Step::ReadMasters, GetText(41));
        return;
    case Step::WriteAlarms:
        if (report.Byte(4) >= 0xF0)
            return Fail(step, report.Byte(4) == 0xF4 ? GetText(42) : GetText(129));
        m_step = Step::ReadAlarms;
        if (!PushRead(AlarmAddress, AlarmBytes(m_main.Data.Geraet.ProgramVersion)))
            Fail(step, GetText(41));
        return;
    case Step::ReadAlarms: {
        const int n = AlarmBytes(m_main.Data.Geraet.ProgramVersion);
        if (report.Byte(4) != 0x85 || count < n)
            return Fail(step, GetText(765));
        auto &d = m_main.Data;
        const long long at = d.State.IndexOf(AlarmAddress);
        for (int i = 0; i < n; ++i)
            d.Geraet.SetByte(at + i, m_image[TelePos::AddrHigh + i]);
        m_step = Step::Idle;
        emit AlarmsDone(true);
        return;
    }
    case Step::Idle:
        return;
    }
}
