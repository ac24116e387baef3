#include "link/ModemText.h"
#include "shell/AnsiCodec.h"
#include "shell/DataDir.h"
#include "shell/Texts.h"
#include <QFile>

namespace ModemText {

namespace {
const QString kLabel = QStringLiteral("f1:");
const QString kBaudMark = QStringLiteral("%B");
} // namespace

QString ManualEntryName() { return QStringLiteral("Manuelle Wahl"); }
QString PhoneBookFileName() { return QStringLiteral("Pendrix.nmr"); }

QString PhoneBookMessage(PhoneBook::Status state)
{
    switch (state) {
    case PhoneBook::NotFound: return QStringLiteral("File 'PENDRIX.NMR' not found.");
    case PhoneBook::LabelMissing: return QStringLiteral("Label 'f1:' missing in file PENDRIX.NMR");
    case PhoneBook::Ok: break;
    }
    return QString();
}

bool SupportedBaud(const QString &baud)
{
    return baud == QLatin1String("2400") || baud == QLatin1String("9600") || baud == QLatin1String("19200");
}

QString PhoneEntry::Baud() const
{
    if (!BaudField.contains(kBaudMark))
        return QString();
    QString rate = BaudField;
    rate.remove(kBaudMark);
    rate = rate.trimmed();
    return SupportedBaud(rate) ? rate : QString();
}

PhoneBook ParsePhoneBook(const QByteArray &bytes)
{
    PhoneBook book;
    QStringList lines = Ansi::decode(bytes).split(QLatin1Char('\n'));
    // A file that ends with a line break has no line after it.
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QString &l : lines)
        if (l.endsWith(QLatin1Char('\r')))
            l.chop(1);
    int i = 0;
    while (i < lines.size() && lines.at(i) != kLabel)
        ++i;
    if (i >= lines.size()) {
        book.State = PhoneBook::LabelMissing;
        return book;
    }
    ++i;
    // Entries up to the next "f1:" or the end of the file. An entry cut short by the end
    // is passed over: its fields would be taken from nothing. The eighth line of the last
    // entry may be missing, it is skipped anyway.
    while (book.Entries.size() < MaxPhoneEntries && i < lines.size() && lines.at(i) != kLabel) {
        if (i + LinesPerEntry - 1 > lines.size()) {
            book.Notes << GetText(726).arg(i + 1);
            break;
        }
        PhoneEntry e;
        e.Name = lines.at(i);
        e.Number = lines.at(i + 1).trimmed();
        e.Third = lines.at(i + 2);
        e.BaudField = lines.at(i + 3).trimmed();
        e.Fifth = lines.at(i + 4);
        e.Sixth = lines.at(i + 5);
        e.Seventh = lines.at(i + 6);
        if (e.BaudField.contains(kBaudMark) && e.Baud().isEmpty())
            book.Notes << GetText(727).arg(e.BaudField).arg(i + 4);
        book.Entries.append(e);
        i += LinesPerEntry;
    }
    return book;
}

PhoneBook ReadPhoneBook()
{
    QFile f(DataDir::resolve(PhoneBookFileName()));
    if (!f.open(QIODevice::ReadOnly)) {
        PhoneBook book;
        book.State = PhoneBook::NotFound;
        return book;
    }
    return ParsePhoneBook(f.readAll());
}

QByteArray CommandBytes(Mode mode, const QString &line)
{
    QString text = line;
    if (mode == Mode::Dial)
        text.prepend(QStringLiteral("ATD"));
    text = text.toUpper();
    if (text.isEmpty())
        return QByteArray();
    if (text.startsWith(QLatin1String("AT")))
        text += QLatin1Char('\r');
    return Ansi::encode(text);
}

QString *InitStringFor(const QString &baud, ModemStrings &strings)
{
    if (baud == QLatin1String("2400"))
        return &strings.Ini2400;
    if (baud == QLatin1String("9600") || baud == QLatin1String("19200"))
        return &strings.Ini9600;
    return nullptr;
}

const QString *InitStringFor(const QString &baud, const ModemStrings &strings)
{
    return InitStringFor(baud, const_cast<ModemStrings &>(strings));
}

Answer Classify(const QString &line)
{
    const QString t = line.trimmed().toUpper();
    if (t.isEmpty())
        return Answer::None;
    if (t == QLatin1String("OK") || t == QLatin1String("0"))
        return Answer::Ok;
    if (t == QLatin1String("ERROR") || t == QLatin1String("4"))
        return Answer::Error;
    if (t == QLatin1String("CONNECT") || t.startsWith(QLatin1String("CONNECT ")) || t == QLatin1String("1"))
        return Answer::Connect;
    if (t == QLatin1String("NO CARRIER") || t == QLatin1String("3"))
        return Answer::NoCarrier;
    if (t == QLatin1String("BUSY") || t == QLatin1String("7"))
        return Answer::Busy;
    if (t == QLatin1String("NO DIALTONE") || t == QLatin1String("NO DIAL TONE") || t == QLatin1String("6"))
        return Answer::NoDialtone;
    if (t == QLatin1String("NO ANSWER") || t == QLatin1String("8"))
        return Answer::NoAnswer;
    if (t == QLatin1String("RING") || t == QLatin1String("2"))
        return Answer::Ring;
    return Answer::Other;
}

int ConnectBaud(const QString &line)
{
    const QString t = line.trimmed().toUpper();
    if (!t.startsWith(QLatin1String("CONNECT ")))
        return 0;
    bool ok = false;
    const int baud = t.mid(8).section(QLatin1Char('/'), 0, 0).section(QLatin1Char(' '), 0, 0).toInt(&ok);
    return ok ? baud : 0;
}

bool EndsDialling(Answer a)
{
    return a == Answer::Error || a == Answer::NoCarrier || a == Answer::Busy || a == Answer::NoDialtone ||
           a == Answer::NoAnswer;
}

QStringList LineSplitter::Add(const QString &text)
{
    QStringList done;
    for (QChar c : text) {
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            if (!m_partial.trimmed().isEmpty())
                done << m_partial.trimmed();
            m_partial.clear();
        } else {
            m_partial += c;
        }
    }
    return done;
}

void CarrierFromText::Sent(const quint8 *data, int count)
{
    for (int i = 0; i < count; ++i) {
        const quint8 b = data[i];
        if (b == '\r') {
            // The line may start with bytes of a telegram or an escape: the command is
            // what follows its "AT".
            const QByteArray up = m_sent.toUpper();
            const int at = up.lastIndexOf("AT");
            m_hangUpAsked = at >= 0 && up.mid(at + 2).trimmed().startsWith('H');
            m_sent.clear();
        } else if (b >= 0x20 && b <= 0x7E && m_sent.size() < MaxLine) {
            m_sent.append(char(b));
        } else {
            m_sent.clear();
        }
    }
}

void CarrierFromText::Reset()
{
    m_sent.clear();
    m_hangUpAsked = false;
    m_line.clear();
    m_framed = true;
    m_spoiled = false;
    m_carrier = false;
}

void CarrierFromText::Feed(quint8 byte)
{
    if (byte == '\r' || byte == '\n') {
        if (m_framed && !m_spoiled && !m_line.isEmpty()) {
            const Answer a = Classify(QString::fromLatin1(m_line));
            // Only the words: the digit forms of the answers are too easily found among
            // telegram bytes.
            if (a == Answer::Connect && m_line.startsWith("CONNECT"))
                m_carrier = true;
            else if (a == Answer::NoCarrier && m_line.startsWith("NO CARRIER"))
                m_carrier = false;
            else if (a == Answer::Ok && m_line.startsWith("OK") && m_hangUpAsked)
                m_carrier = false;
            if (a != Answer::Other)
                m_hangUpAsked = false;
        }
        m_line.clear();
        m_framed = true;
        m_spoiled = false;
        return;
    }
    if (byte < 0x20 || byte > 0x7E || m_line.size() >= MaxLine)
        m_spoiled = true;
    else if (!m_spoiled)
        m_line.append(char(byte));
}

} // namespace ModemText
