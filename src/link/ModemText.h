#pragma once
// The text side of a Hayes-style modem: the phone book file, the command lines the modem
// window sends, the modem's answers, and the carrier as its answers tell it on a line that
// has no modem lines.
#include "shell/PrgInit.h"
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>
#include <atomic>

namespace ModemText {

// One phone-book entry. Only name, number and the baud field are used; the other four
// fields are read and kept as they are.
struct PhoneEntry
{
    QString Name;
    QString Number;
    QString Third;
    QString BaudField; // e.g. "%B9600"
    QString Fifth, Sixth, Seventh;
    // The baud rate the entry asks for: the field without "%B" when it carries one and the
    // rate is one the modem window can use; empty otherwise.
    QString Baud() const;
};

struct PhoneBook
{
    enum Status { Ok, NotFound, LabelMissing };
    Status State = Ok;
    QVector<PhoneEntry> Entries; // without "Manuelle Wahl"
    // Warnings about parts of the file that were passed over (an entry cut short at the end,
    // an unsupported "%B" rate), each naming the line.
    QStringList Notes;
};

constexpr int MaxPhoneEntries = 100;
constexpr int LinesPerEntry = 8;
// The name of the entry for dialling by hand, appended after the book's entries.
QString ManualEntryName();
QString PhoneBookFileName(); // "Pendrix.nmr", looked up without regard to case
// The message for a phone book that could not be used (empty for Ok).
QString PhoneBookMessage(PhoneBook::Status state);

// Parses the file's bytes (Windows-1252 or UTF-8, CR LF or LF).
PhoneBook ParsePhoneBook(const QByteArray &bytes);
// Reads the phone book from the data folder.
PhoneBook ReadPhoneBook();
// Baud rates the modem window can set up: 2400 and 9600 have their own initialisation
// strings, 19200 uses the 9600 one.
bool SupportedBaud(const QString &baud);

// Mode of the command line.
enum class Mode { None = 0, Dial = 1, Command = 2, Init = 3 };

// What goes on the line for a command line in the given mode: "ATD" before a number,
// upper case, a carriage return after anything beginning with "AT". Empty for nothing to send.
QByteArray CommandBytes(Mode mode, const QString &line);

// Which initialisation string belongs to a baud text: the 2400 one for "2400", the 9600 one
// for "9600" and "19200"; nullptr for any other speed (nothing is offered, nothing sent).
QString *InitStringFor(const QString &baud, ModemStrings &strings);
const QString *InitStringFor(const QString &baud, const ModemStrings &strings);

// One answer line of the modem.
enum class Answer { None, Ok, Error, Connect, NoCarrier, Busy, NoDialtone, NoAnswer, Ring, Other };
Answer Classify(const QString &line);
// The speed of a "CONNECT 9600" answer; 0 without one.
int ConnectBaud(const QString &line);
// Answers that end a dialling attempt without a connection.
bool EndsDialling(Answer a);

// Splits the modem's answers into lines as they arrive in pieces.
class LineSplitter
{
public:
    // Adds received text; returns the complete lines it finished (blank lines dropped).
    QStringList Add(const QString &text);
    void Clear() { m_partial.clear(); }

private:
    QString m_partial;
};

// The carrier as the modem's answers tell it: on after a "CONNECT" line, off after
// "NO CARRIER" or after the "OK" to a hang-up ("ATH") the program sent. A line is only
// taken when it is framed by CR or LF and holds printable text, so telegram bytes that
// merely contain those letters do not count.
class CarrierFromText
{
public:
    void Feed(quint8 byte);
    // Bytes the program wrote to the line.
    void Sent(const quint8 *data, int count);
    bool Carrier() const { return m_carrier; }
    void Reset();

private:
    static constexpr int MaxLine = 40;
    QByteArray m_line;
    bool m_framed = true; // a CR or LF (or the start) came before the current line
    bool m_spoiled = false;
    bool m_carrier = false;
    QByteArray m_sent;          // the command line being written
    // The last command written was "ATH". Written by the thread that writes to the line,
    // read by the one that reads it.
    std::atomic<bool> m_hangUpAsked{false};
};

} // namespace ModemText
