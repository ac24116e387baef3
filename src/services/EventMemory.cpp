#include "services/EventMemory.h"
#include "device/Catalogue.h"
#include "link/TeleThread.h"
#include "services/AccessLevels.h"
#include "services/DeviceClock.h"
#include "shell/MainController.h"
#include "shell/Prompter.h"
#include "shell/Texts.h"
#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>
#include <algorithm>

namespace Evn {

QString Fit(const QString &text)
{
    QString out = text.left(TextWidth);
    for (QChar &c : out)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = QLatin1Char(' ');
    return out.leftJustified(TextWidth, QLatin1Char(' '));
}

QByteArray Write(const Header &ident, const QVector<EventLine> &lines)
{
    QString text;
    for (quint8 b : ident)
        text += QString::number(b) + QLatin1String("\r\n");
    for (const EventLine &l : lines)
        text += Fit(l.Text) + QString::number(l.Colour) + QLatin1String("\r\n");
    QStringEncoder enc("windows-1252");
    if (!enc.isValid())
        return text.toLatin1();
    return enc.encode(text);
}

bool Read(const QByteArray &content, Header *ident, QVector<EventLine> *lines, QString *why)
{
    QStringDecoder dec("windows-1252");
    const QString text = dec.isValid() ? QString(dec.decode(content)) : QString::fromLatin1(content);
    QStringList all = text.split(QLatin1Char('\n'));
    for (QString &l : all)
        if (l.endsWith(QLatin1Char('\r')))
            l.chop(1);
    while (!all.isEmpty() && all.last().isEmpty())
        all.removeLast();
    // Header lines carry no time, event lines always do.
    int headers = 0;
    while (headers < all.size() && !all[headers].contains(QLatin1Char(':')))
        ++headers;
    if (headers != 16 && headers != 32) {
        *why = GetText(640); // wrong number of header lines
        return false;
    }
    const int skip = headers - 16;
    Header h{};
    for (int i = 0; i < 16; ++i) {
        bool ok = false;
        const int v = all[skip + i].trimmed().toInt(&ok);
        if (!ok || v < 0 || v > 255) {
            *why = GetText(641).arg(skip + i + 1).arg(all[skip + i]);
            return false;
        }
        h[size_t(i)] = quint8(v);
    }
    QVector<EventLine> events;
    for (int i = headers; i < all.size(); ++i) {
        const QString &l = all[i];
        bool ok = false;
        const int colour = l.mid(TextWidth).trimmed().toInt(&ok);
        if (l.size() <= TextWidth || !ok) {
            *why = GetText(642).arg(i + 1);
            return false;
        }
        events.push_back({l.left(TextWidth), colour});
    }
    if (events.size() > MaxLines) {
        *why = GetText(643).arg(events.size()).arg(MaxLines);
        return false;
    }
    *ident = h;
    *lines = events;
    return true;
}

bool Save(const QString &path, const Header &ident, const QVector<EventLine> &lines, QString *why)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(Write(ident, lines)) < 0 || !f.commit()) {
        *why = GetText(580).arg(path, f.errorString());
        return false;
    }
    return true;
}

bool Load(const QString &path, Header *ident, QVector<EventLine> *lines, QString *why)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *why = GetText(2) + QLatin1String(": ") + path + QLatin1String(" (") + f.errorString() + QLatin1Char(')');
        return false;
    }
    if (!Read(f.readAll(), ident, lines, why)) {
        *why = path + QLatin1String(": ") + *why;
        return false;
    }
    return true;
}

QVector<int> DrawnColours(const QVector<EventLine> &lines)
{
    QVector<int> out;
    out.reserve(lines.size());
    int colour = 0;
    for (const EventLine &l : lines) {
        if (l.Colour >= 0 && l.Colour <= 4)
            colour = l.Colour;
        out.push_back(colour);
    }
    return out;
}

QVector<QVector<EventLine>> PrintPages(const QVector<EventLine> &lines, const QString &header)
{
    const QVector<int> colours = DrawnColours(lines);
    QVector<QVector<EventLine>> pages;
    for (int from = 0; from < lines.size(); from += PrintLinesPerPage) {
        QVector<EventLine> page;
        for (int i = from; i < std::min<int>(from + PrintLinesPerPage, lines.size()); ++i)
            page.push_back({lines[i].Text, colours[i]});
        while (page.size() < PrintPageLines - 1)
            page.push_back({QString(), 0});
        page.push_back({header + QString(8, QLatin1Char(' ')) + GetText(9) + QLatin1String(": ") +
                            QString::number(pages.size() + 1),
                        0});
        pages.push_back(page);
    }
    return pages;
}

} // namespace Evn

bool EventMemory::RecordAddresses(quint16 end, quint16 wrap, QVector<quint16> *out)
{
    out->clear();
    // A pointer the device never writes (0xFFFF of an erased memory, a value below the
    // ring) would walk through foreign memory.
    if (end < RingStart || end > PointerAddress || (end - RingStart) % RecordSize != 0)
        return false;
    if (wrap != 0 && end <= RingLast)
        for (int a = end; a <= RingLast; a += RecordSize)
            out->push_back(quint16(a));
    for (int a = RingStart; a < end && out->size() < MaxRecords; a += RecordSize)
        out->push_back(quint16(a));
    return true;
}

QString EventMemory::AdjustNumber(const QString &text, int reference)
{
    if (text.size() < 2 || !text[0].isDigit() || !text[1].isDigit())
        return text; // nothing to correct in a text without the leading number
    const int number = text.left(2).toInt();
    const int lag = reference - number;
    if (lag < 16 || lag > 31 || number + 16 > 99)
        return text;
    return QStringLiteral("%1").arg(number + 16, 2, 10, QLatin1Char('0')) + text.mid(2);
}

EventLine EventMemory::Decode(const quint8 *answer, int reference)
{
    QByteArray raw(reinterpret_cast<const char *>(answer), Evn::TextWidth);
    QStringDecoder dec("windows-1252");
    const QString text = dec.isValid() ? QString(dec.decode(raw)) : QString::fromLatin1(raw);
    return {Evn::Fit(AdjustNumber(text, reference)), answer[Evn::TextWidth]};
}

QVector<EventLine> EventMemory::ForDisplay(const QVector<EventLine> &lines, int deviceType)
{
    if (deviceType < 52 || deviceType > 54)
        return lines;
    const auto cs = Qt::CaseInsensitive;
    QVector<EventLine> out;
    for (EventLine l : lines) {
        QString &t = l.Text;
        if (t.contains(QLatin1String("Betriebsart Manual"), cs))
            t.replace(QLatin1String(" Manual "), QLatin1String(" Auto   "), cs);
        else if (t.contains(QLatin1String("Betriebsart Off"), cs))
            t.replace(QLatin1String(" Off    "), QLatin1String(" Manual "), cs);
        else if (t.contains(QLatin1String(" Generatorspannung ist gut "), cs))
            t.replace(QLatin1String(" Generatorspannung ist gut "), QLatin1String(" Spannung Line 2 ist gut   "), cs);
        else if (t.contains(QLatin1String("Gen. Schalter ist ein"), cs))
            t.replace(QLatin1String(" Gen. Schalter ist ein   "), QLatin1String(" Schalter Line 2 ist ein "), cs);
        else if (t.contains(QLatin1String("Netzschalter ist ein"), cs))
            t.replace(QLatin1String(" Netzschalter ist ein    "), QLatin1String(" Schalter Line 1 ist ein "), cs);
        else if (t.contains(QLatin1String("Netzausfall"), cs) && t.contains(QLatin1String("kommt"), cs))
            t = t.left(18) + QLatin1String("Spannung Line 1 ist gut          geht");
        else if (t.contains(QLatin1String("Netzausfall"), cs) && t.contains(QLatin1String("geht"), cs))
            t = t.left(18) + QLatin1String("Spannung Line 1 ist gut          kommt");
        if (t.contains(QLatin1String("Sammelstoerung Warnung"), cs) ||
            t.contains(QLatin1String("Eingang externer Schnellstop"), cs) || t.contains(QLatin1String("Fernstart"), cs))
            continue;
        // Kept at the width of the file so that a saved line reloads with its colour.
        t = Evn::Fit(t);
        out.push_back(l);
    }
    return out;
}

QString EventMemory::HeaderText(const Evn::Header &id)
{
    // Identification bytes 16..31: order number 23,16,17 and F-number 18/19, as everywhere else.
    const int order = id[7] * 65536 + id[0] * 256 + id[1];
    const QString fnr = QString::number(id[2] * 256 + id[3]).rightJustified(5, QLatin1Char('0'));
    return GetText(7) + QLatin1String(": ") + QString::number(order) + QLatin1String(", ") + GetText(8) +
           QLatin1String(": ") + fnr;
}

EventMemory::EventMemory(MainController &main, QObject *parent) : QObject(parent), m_main(main) {}

EventMemory::~EventMemory() = default;

Evn::Header EventMemory::Identification() const
{
    Evn::Header h{};
    for (int i = 0; i < 16; ++i)
        h[size_t(i)] = m_main.Data.Geraet.IdentBlock[size_t(16 + i)];
    return h;
}

bool EventMemory::Available(QString *why) const
{
    const auto &d = m_main.Data;
    const bool ok = m_main.Online && IsControllerType(d.State.DeviceType) &&
                    (d.Geraet.GetByte(d.State.IndexOf(FeatureAddress)) & FeatureBit);
    if (why)
        *why = ok ? QString() : GetText(147);
    return ok;
}

bool EventMemory::ClearAllowed(QString *why) const
{
    if (!Available(why))
        return false;
    // An erased memory cannot be read back: a user who has not identified at all is
    // treated like the customer level.
    if (m_main.Access.Level.isEmpty() || m_main.Access.Level == Level::Cus) {
        if (why)
            *why = GetText(644);
        return false;
    }
    return true;
}

bool EventMemory::Send(quint8 code, quint16 address, int count, const quint8 *data)
{
    TTeleThread *thread = m_main.Thread();
    if (!thread)
        return false;
    if (data)
        std::copy_n(data, count, m_buffer.begin());
    return thread->Push(this, TeleDone, quint8(m_main.SlaveForRequest()), m_main.Init.OwnAddress, code, address,
                        quint8(count), m_buffer.data(), int(m_buffer.size()));
}

bool EventMemory::Read()
{
    if (Busy())
        return false;
    QString why;
    if (!Available(&why)) {
        m_main.UserPrompter().warning(why);
        return false;
    }
    m_lines.clear();
    m_addresses.clear();
    m_next = 0;
    m_step = 1;
    if (!Send(5, PointerAddress, 4)) {
        m_step = 0;
        return false;
    }
    return true;
}

bool EventMemory::NextRecord()
{
    if (m_next >= m_addresses.size()) {
        m_step = 0;
        emit Finished(true, QString());
        return true;
    }
    m_step = 3;
    emit Progress(m_addresses[m_next], m_lines.size());
    return Send(53, m_addresses[m_next], AnswerSize);
}

void EventMemory::Fail(const QString &why)
{
    m_step = 0;
    m_lines.clear(); // nothing read so far passes for the whole memory
    if (!why.isEmpty())
        m_main.UserPrompter().warning(why);
    emit Finished(false, why);
}

QString EventMemory::Refusal(const TeleReport &report) const
{
    if ((report.Ok() || report.State() == 22) && report.Byte(4) >= 0xF0)
        return report.Byte(4) == 0xF4 ? GetText(42) : GetText(129);
    return m_main.FailureText(report);
}

void EventMemory::FailClear(const QString &why)
{
    m_step = 0;
    m_main.UserPrompter().error(why);
    emit Cleared(false, why);
}

bool EventMemory::Clear()
{
    if (Busy())
        return false;
    QString why;
    if (!ClearAllowed(&why)) {
        m_main.UserPrompter().error(why);
        return false;
    }
    const quint8 data[8] = {0x10, 0, 0, 0, 0, 0, 0, 0};
    m_step = 10;
    if (!Send(20, PointerAddress, 8, data)) {
        m_step = 0;
        return false;
    }
    return true;
}

void EventMemory::TeleMessage(quint16, quint32 wParam, quint32 lParam)
{
    const TeleReport report{wParam, lParam};
    // Every answer is checked as it arrives; a short one would leave stale bytes as data.
    auto complete = [&](int count) { return report.Ok() && report.Byte(4) < 0xF0 && int(report.Byte(3)) - 4 >= count; };
    switch (m_step) {
    case 1: { // pointers
        if (!complete(4))
            return Fail(GetText(122));
        const quint16 end = quint16(m_buffer[0] << 8 | m_buffer[1]);
        const quint16 wrap = quint16(m_buffer[2] << 8 | m_buffer[3]);
        if (!RecordAddresses(end, wrap, &m_addresses))
            return Fail(GetText(645).arg(end, 4, 16, QLatin1Char('0')).toUpper());
        m_step = 2;
        // The year byte sits five bytes into the clock block, wherever the clock kind puts it.
        if (!Send(5, quint16(DeviceClock::ClockAddress(m_main.Data.Def.ClockKind) + 5), 1))
            return Fail(GetText(122));
        return;
    }
    case 2:
        if (!complete(1))
            return Fail(GetText(122));
        m_reference = m_buffer[0];
        if (!NextRecord())
            Fail(GetText(122));
        return;
    case 3:
        if (!complete(AnswerSize))
            return Fail(GetText(122));
        m_lines.push_back(Decode(m_buffer.data(), m_reference));
        ++m_next;
        if (Abandoned && Abandoned())
            return Fail(QString());
        if (!NextRecord())
            Fail(GetText(122));
        return;
    case 10: {
        if (!report.Ok() || report.Byte(4) >= 0xF0)
            return FailClear(Refusal(report));
        const quint8 data[4] = {0x10, 0, 0, 0};
        m_step = 11;
        if (!Send(20, SecondPointers, 4, data))
            FailClear(GetText(122));
        return;
    }
    case 11:
        if (!report.Ok() || report.Byte(4) >= 0xF0)
            return FailClear(Refusal(report));
        m_step = 0;
        m_lines.clear();
        emit Cleared(true, QString());
        return;
    default:
        return; // a report after an abandoned chain
    }
}
