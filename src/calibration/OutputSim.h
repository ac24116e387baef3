#pragma once
#include "link/Telegramm.h"
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

class MainController;

// Driving the analog outputs of the ULVA module by hand. An output word of 0..4000 counts
// (0..10 units) puts the output into simulation; when the window closes every output driven
// here is handed back to normal operation by writing ReleaseWord to it, which the module
// takes as "follow your source again" (the counts above 4000 mean nothing else to it).
class OutputSim : public QObject
{
    Q_OBJECT
public:
    static const QString Action; // "ULVAsend"
    static constexpr int CountsPerUnit = 400;
    static constexpr int MaxCounts = 4000;
    static constexpr quint16 ReleaseWord = 0xFFFF;
    static constexpr int Outputs = 16;

    explicit OutputSim(MainController &main, QObject *parent = nullptr);
    ~OutputSim() override;

    static int OutputAddress(int n) { return 0x02B0 + 2 * (n - 1); } // n = 1..16
    // Channel n is an output when its sensor kind (image index 0x001F + n) is 60 or more.
    bool IsOutput(int n) const;
    // The edit's text when the window shows: "n.a." for an input; for an output the value
    // of its word when the image holds that word (4 significant digits), else "?".
    QString PresentText(int n) const;
    // The label prefix: "Kanal".
    static QString LabelPrefix();

    // Enter in the edit of output n. A text that is no number is told (" Nicht möglich! ");
    // it and a value outside 0..10 units send nothing and answer "0" for the edit.
    // Otherwise the word is written; true, and *editText is left as typed.
    bool Enter(int n, const QString &text, QString *editText);
    // The counts for a typed value, -1 when outside 0..MaxCounts.
    static int Counts(double value);

    // Hands every output driven in this session back to normal operation (window closing).
    void Release();
    bool Busy() const { return m_sending || !m_queue.isEmpty(); }
    bool Simulated(int n) const { return m_simulated.contains(n); }

signals:
    // A write ended; ok only when the module answered it.
    void Sent(int n, quint16 word, bool ok);
    void Released(bool ok);

private:
    struct Job
    {
        int n;
        quint16 word;
    };
    void SendNext();
    void OnReport(const TeleReport &report);

    MainController &m_main;
    QList<Job> m_queue;
    Job m_current{0, 0};
    bool m_sending = false;
    bool m_releasing = false;
    bool m_releaseOk = true;
    QSet<int> m_simulated;
};
