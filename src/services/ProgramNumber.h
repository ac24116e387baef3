#pragma once
#include "link/Telegramm.h"
#include <QObject>
#include <QString>
#include <QVector>
#include <array>

class MainController;

// Switches the application program of the older controllers whose program id is a program
// number: three single-byte writes (program number, program variant, option bits). The
// chain stops at the first failed or refused write; only after all three does the loaded
// set close, since the device then runs another program.
class ProgramNumber : public QObject
{
    Q_OBJECT
public:
    static const QString Action;
    struct Write
    {
        int address;
        quint8 value;
        bool operator==(const Write &o) const { return address == o.address && value == o.value; }
    };

    explicit ProgramNumber(MainController &main, QObject *parent = nullptr);
    ~ProgramNumber() override;

    // Program ids that are program numbers ("001", "002", "003", "005", "009").
    static bool Switchable(const QString &programId);
    // The texts of the programs offered for this id.
    static QVector<int> ProgramTexts(const QString &programId);
    // Whether the "with extra functions" option is offered.
    static bool HasOptions(const QString &programId);
    // Whether the option byte shows extra functions.
    static bool WithOptions(quint8 optionByte) { return (optionByte & 0x03) != 0; }
    // A typed program number; false with the message naming the allowed numbers.
    static bool Validate(const QString &programId, const QString &text, int *program, QString *error);
    // The three writes, in their order.
    static std::array<Write, 3> Writes(int program, bool withOptions, quint8 optionByte);

    // The option byte of the loaded set.
    quint8 OptionByte() const;
    // Starts the chain; false (with a message) when nothing was sent.
    bool Start(const QString &text, bool withOptions);
    bool Busy() const { return m_step != 0; }
    // The switch was written completely (the dialog's EditAccepted).
    bool Accepted() const { return m_accepted; }

signals:
    void Finished(bool ok);

private:
    bool SendStep();
    void OnAnswer(const TeleReport &report);
    void Fail(const QString &why);

    MainController &m_main;
    std::array<Write, 3> m_writes{};
    int m_step = 0; // index + 1 of the write awaiting its answer
    bool m_accepted = false;
};
