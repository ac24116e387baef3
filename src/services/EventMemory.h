#pragma once
#include "link/Telegramm.h"
#include <QByteArray>
#include <QObject>
#include <QString>
#include <QVector>
#include <array>
#include <functional>

class MainController;

// One event as the device renders it: a 59-character text and its colour class
// (0 black, 1 green, 2 orange, 3 blue, 4 red; other values keep the previous colour).
struct EventLine
{
    QString Text;
    int Colour = 0;
    bool operator==(const EventLine &o) const { return Text == o.Text && Colour == o.Colour; }
};

// The event file: 16 identification bytes (16..31 of the record), one per line, then one
// line per event, its text exactly 59 characters followed by the colour class; CR LF.
namespace Evn {
constexpr int TextWidth = 59;
constexpr int MaxLines = 301;
using Header = std::array<quint8, 16>;

// Exactly 59 characters, control characters as blanks: the colour always starts at 60.
QString Fit(const QString &text);
QByteArray Write(const Header &ident, const QVector<EventLine> &lines);
// False with the reason (line number and what was wrong); nothing is changed then.
bool Read(const QByteArray &content, Header *ident, QVector<EventLine> *lines, QString *why);
// Written atomically: a failed save leaves an older file as it was.
bool Save(const QString &path, const Header &ident, const QVector<EventLine> &lines, QString *why);
bool Load(const QString &path, Header *ident, QVector<EventLine> *lines, QString *why);

// Colour classes as drawn: a class outside 0..4 keeps the one before it (black at the start).
QVector<int> DrawnColours(const QVector<EventLine> &lines);
// The printed list: 56 events a page, lines 57..59 empty, line 60 the footer (header text,
// eight blanks, "Seite: n") in black. Each line carries the colour class it is drawn in.
constexpr int PrintLinesPerPage = 56;
constexpr int PrintPageLines = 60;
QVector<QVector<EventLine>> PrintPages(const QVector<EventLine> &lines, const QString &header);
} // namespace Evn

// The controller's ring of event records (0x1000..0x13F7, 8 bytes a record) with its end
// pointer and wrap word at 0x13F8; the device renders each record as text (code 53).
class EventMemory : public QObject
{
    Q_OBJECT
public:
    static constexpr quint16 RingStart = 0x1000;
    static constexpr quint16 RingLast = 0x13F0;
    static constexpr quint16 PointerAddress = 0x13F8;
    static constexpr quint16 SecondPointers = 0x2770;
    static constexpr quint16 FeatureAddress = 0x09B3;
    static constexpr quint8 FeatureBit = 0x40;
    static constexpr int RecordSize = 8;
    static constexpr int MaxRecords = (RingLast - RingStart) / RecordSize + 1; // 127
    static constexpr int AnswerSize = 60;

    // The record addresses in the order oldest to newest; empty (and false) for an end
    // pointer outside the ring or off the record grid.
    static bool RecordAddresses(quint16 end, quint16 wrap, QVector<quint16> *out);
    // The device counts the leading number in 16 steps behind the reference (the clock's
    // year byte); a lag of 16..31 is taken as one step. Other lags stay as they are.
    static QString AdjustNumber(const QString &text, int reference);
    // Decodes one code-53 answer of 60 bytes.
    static EventLine Decode(const quint8 *answer, int reference);
    // The rewriting and filtering for transfer-switch controllers (types 52..54).
    static QVector<EventLine> ForDisplay(const QVector<EventLine> &lines, int deviceType);
    // "Auftrag: N, F-Nummer: NNNNN" from identification bytes 16..31 (order 23,16,17; F 18/19).
    static QString HeaderText(const Evn::Header &ident);

    explicit EventMemory(MainController &main, QObject *parent = nullptr);
    ~EventMemory() override;

    // Connected controller with an event memory; false with the reason.
    bool Available(QString *why = nullptr) const;
    // Reading and clearing need this for "Löschen" (not at level "Cus").
    bool ClearAllowed(QString *why = nullptr) const;

    // Starts the read; Finished follows unless false is returned.
    bool Read();
    // Writes both pointer blocks; Cleared follows unless false is returned. Asking the user
    // is the caller's part.
    bool Clear();
    bool Busy() const { return m_step != 0; }

    // Polled after each record: true abandons the read (a value was edited meanwhile).
    std::function<bool()> Abandoned;

    const QVector<EventLine> &Lines() const { return m_lines; }
    int Reference() const { return m_reference; }
    Evn::Header Identification() const;

    Q_INVOKABLE void TeleMessage(quint16 replyIndex, quint32 wParam, quint32 lParam);

signals:
    void Progress(quint16 address, int count);
    // ok false: the lines are empty, the reason was shown (empty when abandoned).
    void Finished(bool ok, const QString &why);
    void Cleared(bool ok, const QString &why);

private:
    bool Send(quint8 code, quint16 address, int count, const quint8 *data = nullptr);
    bool NextRecord();
    void Fail(const QString &why);
    void FailClear(const QString &why);
    QString Refusal(const TeleReport &report) const;

    MainController &m_main;
    int m_step = 0;
    std::array<quint8, 256> m_buffer{};
    QVector<quint16> m_addresses;
    int m_next = 0;
    int m_reference = 0;
    QVector<EventLine> m_lines;
};
