#pragma once
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVector>

class MainController;
class ParameterSender;

// Which analog values a controller takes over CAN: a bit mask of two bytes (program version
// 26 and lower, 16 values) or four bytes (32 values). Online the mask goes out as pairs of
// bytes through the single-value write; the second pair only after the first is confirmed,
// and only the device's read-back reaches the image.
class CanAnalog : public QObject
{
    Q_OBJECT
public:
    static const QString FirstAction;
    static const QString SecondAction;

    CanAnalog(MainController &main, ParameterSender &sender, QObject *parent = nullptr);
    ~CanAnalog() override;

    static const QStringList &Names();
    // Values offered and where the mask lies (device addresses) for a program version.
    static int ValueCount(int programVersion) { return programVersion <= 26 ? 16 : 32; }
    static int MaskAddress(int programVersion) { return programVersion <= 26 ? 0x0E40 : 0x0E4C; }
    // Mask bytes from check marks (count/8 bytes) and back.
    static QVector<quint8> MaskBytes(const QVector<bool> &checked);
    static QVector<bool> CheckedFromMask(const QVector<quint8> &mask, int count);

    // The check marks as the image holds them.
    QVector<bool> Checked() const;
    // "OK": offline the image takes the mask at once (Finished follows before returning);
    // online it is written. False when nothing was started.
    bool Apply(const QVector<bool> &checked);
    bool Running() const { return m_step != 0; }
    // How long the write of the mask may take: the worst link time of its four exchanges
    // (each with its repetitions and their pauses), and a margin.
    int WaitLimitMs() const;
    void SetWaitLimitMs(int ms) { m_limitOverride = ms; }

signals:
    void Finished(bool ok);

private:
    bool SendPair(int pair);
    void OnPairConfirmed();
    void Fail(const QString &message);
    void Done();

    MainController &m_main;
    ParameterSender &m_sender;
    QVector<quint8> m_bytes;
    int m_address = 0;
    int m_step = 0; // pair under way, 1 or 2
    int m_limitOverride = 0;
    QTimer m_limit;
};
