#pragma once
#include "device/Geraet.h"
#include "link/Telegramm.h"
#include <QHash>
#include <QObject>
#include <QString>
#include <QVector>
#include <functional>
#include <memory>

class MainController;
class ProtocolSearch;

// "Parameter aus Gerät": identifies the connected device, opens its definition, reads its
// parameter memory block by block and shows the parameters. A chain of read telegrams on
// the main controller's pending actions "SW1" (identification, "FNummer" for the F-number
// window), "Hex30Kennung" (second identification request) and "SW2" (blocks).
class DeviceReader : public QObject
{
    Q_OBJECT
public:
    static constexpr quint32 IdentAddress = 0x0030;
    static constexpr int IdentLength = 48;
    // Own address of the second identification request, whatever the settings say.
    static constexpr quint8 SecondRequestOwnAddress = 55;

    // search may be null: a failed read then starts no protocol search.
    DeviceReader(MainController &main, ProtocolSearch *search, QObject *parent = nullptr);
    ~DeviceReader() override;

    // The menu command. Runs asynchronously; Finished reports the end.
    void ReadFromDevice();

    // Bytes per request for the identified device: 64 for controllers, 4 for a VMX, 16 for
    // type 38, 32 otherwise.
    static int BlockSizeFor(int deviceType, bool vmxMode);
    // The offsets from ImageBase that a VMX is read at, besides offset 0 (88 of them).
    static const QVector<int> &VmxOffsets();

    // Identification continuation: what identification goes on with once complete.
    // "Hex30Decodieren" (continue this read) is registered here; other starters of an
    // identification (actual values, sending) register theirs.
    QString IdentContinuation;
    void RegisterIdentContinuation(const QString &name, std::function<void()> continuation);
    // Identification step 1 (from IdentBlock) or 2 (from the answer of the second request);
    // queues the second request when one is needed, runs the continuation when complete.
    void IdentifyStep(int step, const quint8 *answer = nullptr, int answerLength = 0);

    // The F-number window takes over when identification ran for it ("FNummer").
    std::function<void()> OnFNummer;

    // Counters of the running (or last) read, for the windows and tests.
    int BlockSize() const { return m_blockSize; }
    int BlockCount() const { return m_blockCount; }
    int RetryCount() const { return m_retry; }
    int ReadOffset() const { return m_readOffset; }
    bool Running() const { return m_running; }
    // The definition the shown parameters come from.
    QString LoadedDefinition() const { return m_loadedDefinition; }

signals:
    // The read has ended: ok when the parameters were read completely and are shown.
    void Finished(bool ok);

private:
    void RequestIdentification();
    void OnIdentification(const TeleReport &report);
    void OnSecondIdentification(const TeleReport &report);
    void ContinueReading();
    void RequestBlock();
    void OnBlock(const TeleReport &report);
    void Finish();
    void Fail(bool startSearch);
    void LinkLost(bool asError);

    MainController &m_main;
    ProtocolSearch *m_search;
    QHash<QString, std::function<void()>> m_identContinuations;
    bool m_running = false;
    int m_retry = 1;
    bool m_overModem = false; // the read started with a modem connection up
    int m_readOffset = 0;
    int m_writeIndex = 0;
    int m_blockSize = 32;
    int m_blockCount = 0;
    int m_secondCount = 0; // bytes asked for by the second identification request
    QString m_loadedDefinition;
    // The blocks land here and replace the device image only when the last one has arrived,
    // so a read that breaks off leaves the image the user had.
    std::unique_ptr<std::array<quint8, TGeraet::ImageSize>> m_staging;
};
