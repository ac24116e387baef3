#pragma once
#include "device/Geraet.h"
#include "link/Telegramm.h"
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>
#include <array>
#include <functional>
#include <memory>

class MainController;
class DeviceReader;

// One parameter whose value on the device differs from the loaded set.
struct ParameterChange
{
    int Index = 0;        // in DeviceData::Params
    QString Text;         // parameter text
    QString Address;      // address text of the definition
    QString DeviceValue;  // formatted, as the device holds it now
    QString FileValue;    // formatted, as the transfer will write it
};

// Everything that goes from the PC into the controller's parameter memory: the single-value
// write with its read-back, the transfer of the whole loaded set, the factory setting, and
// the two rated-voltage choices (display only). Chains on the main controller's pending
// actions "DatenSenden", "Quittung", "SollwerteZumGerät", "ParamZumGerät", "Werkseinstellung".
// The image only ever receives what the device has answered (read-back, identification).
class ParameterSender : public QObject
{
    Q_OBJECT
public:
    ParameterSender(MainController &main, DeviceReader &reader, QObject *parent = nullptr);
    ~ParameterSender() override;

    // --- Single-value write ---------------------------------------------------------
    // Data bytes of the next write; SendThird for kind 3 only.
    int SendHigh = 0;
    int SendLow = 0;
    int SendThird = 0;
    // kind 1..3 data bytes to the hexadecimal device address text. The caller has set the
    // pending action it wants to be continued under. False when refused before sending.
    bool WriteValue(int kind, const QString &addressText);
    // Continuations of a confirmed write by the pending action it was started under
    // ("Werteingeben", "Service Ausführen", "BitAnhaengigkeit", "Sollwertabhängigkeit").
    void RegisterAckContinuation(const QString &action, std::function<void()> continuation);
    int WriteAddress() const { return m_writeAddress; }

    // --- Whole-set transfer ("Parameter zum &Gerät") -----------------------------------
    void SendParameterSet();
    bool Running() const { return m_phase != Phase::Idle; }
    // The parameters that differ between the device and the loaded set, as found by the
    // comparison read before the transfer writes anything (empty before that).
    const QVector<ParameterChange> &Changes() const { return m_changes; }
    // Shows the changes and asks whether to send; without it the prompter is asked the
    // ChangesQuestion. A window shows the list as a table.
    std::function<bool(const QVector<ParameterChange> &)> ConfirmChanges;
    // The question text the transfer asks with the list of changes.
    static QString ChangesQuestion(const QVector<ParameterChange> &changes);
    // Telegrams written by the last transfer, and bytes they carried.
    int TelegramCount() const { return m_telegrams; }
    int DataBytesSent() const { return m_dataBytes; }
    // The last transfer broke off because the link failed (not refused by device or user).
    bool LinkFailed() const { return m_linkFailure; }
    // Device type 36: pause before each read-back (100 ms on the real transducer).
    void SetAckDelayMs(int ms) { m_ackDelayMs = ms; }
    // Whether the transfer compares with the device first (on by default).
    void SetCompareFirst(bool on) { m_compareFirst = on; }

    // Image positions the transfer sends, in order, each with its byte count, for the
    // loaded device type (the skipped areas and the telegram sizes applied). Device
    // addresses are ImageBase + position.
    struct Step
    {
        int Position = 0;
        int Count = 0;
    };
    static QVector<Step> TransferPlan(int deviceType, int imageBase, int pageCount, bool hasVindel, bool sendVindel);
    // HasVindel of the loaded set: controllers with a program version above 8.
    static bool HasVindelFor(int deviceType, int programVersion);
    // A program date before 12 January 2006 (day, month, year byte of the identification).
    static bool DateNeedsReset(int day, int month, int yearByte);

    // --- Factory setting ("&Werkseinstellung") ---------------------------------------
    void FactorySetting();

    // --- Rated voltage choices (display only) ----------------------------------------
    // Option texts and bit of the current factor (1, 2, 4, 8; 0 shows nothing chosen).
    static QStringList VoltageOptions();
    static int OptionBitFromFactor(int factor);
    // Factor for a chosen option bit; 0 (no choice) keeps oldFactor.
    static int FactorFromOptionBit(int bit, int oldFactor);
    // Applies a choice to MainsFactor (mains true) or GenFactor; true when the factor
    // changed (the grid is then to be rebuilt).
    bool ApplyVoltageChoice(bool mains, int optionBit);

signals:
    // The transfer or the factory setting has ended; ok when everything was written.
    void TransferFinished(bool ok);
    void FactorySettingFinished(bool ok);
    // A confirmed write whose pending action has no continuation of its own.
    void WriteConfirmed(int address);
    void WriteFailed();

private:
    enum class Phase { Idle, Identifying, Comparing, Sending, Factory };

    void OnDatenSenden(const TeleReport &report);
    void AcknowledgeWrite(int kind);
    void SendAcknowledge();
    void OnQuittung(const TeleReport &report);
    void TransferStart(int step, const TeleReport *report = nullptr);
    void Refuse();
    bool AccessCheck(bool offerDialog);
    void StartSending();
    void CompareNext();
    void OnCompare(const TeleReport &report);
    void ConfirmAndSend();
    void SendTransferTelegram();
    void TransferNext(const TeleReport &report);
    void EndTransfer(bool ok, bool hideProgress = true);
    void FactoryStep(const TeleReport *report);
    void EndFactory(bool ok);

    MainController &m_main;
    DeviceReader &m_reader;
    QHash<QString, std::function<void()>> m_ackContinuations;
    Phase m_phase = Phase::Idle;

    // Single write.
    int m_writeKind = 1;
    int m_writeAddress = 0;
    int m_writeStage = 0;
    int m_ackStage = 0;
    int m_ackDelayMs = 100;

    // Transfer.
    QString m_savedModelPattern;
    bool m_sendVindel = false;
    bool m_hasVindel = false;
    bool m_resetAdvice = false;
    std::array<quint8, 3> m_fileDate{};
    QVector<Step> m_plan;
    int m_planPos = 0;
    int m_telegrams = 0;
    int m_dataBytes = 0;
    bool m_compareFirst = true;
    bool m_linkFailure = false;
    int m_compareOffset = 0;
    int m_compareBlock = 32;
    std::unique_ptr<std::array<quint8, TGeraet::ImageSize>> m_deviceCopy;
    QVector<ParameterChange> m_changes;
    // The loaded set's identity before the device was identified: put back when the
    // transfer ends before writing anything (declined, no access, comparison broken off).
    struct Identity
    {
        std::array<quint8, TGeraet::IdentSize> IdentBlock{};
        qint32 ProgramVersion = 0;
        QString ProgramId, ProgramDate, FNumber, FDate;
        DeviceState State;
        bool Identified = false;
        int OrderNumber = 0;
        QString ProtectionText;
    };
    std::unique_ptr<Identity> m_fileIdentity;
    void KeepFileIdentity();
    void RestoreFileIdentity();

    // Factory setting.
    int m_factoryStep = 0;
    QString m_factoryTarget;
    int m_factoryCount = 0;
    int m_factoryPos = 0;
    QVector<quint8> m_factoryBlock;
};
