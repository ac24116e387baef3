#pragma once
#include "SimDevice.h"
#include "SimModem.h"
#include "link/LinkPort.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

// The built-in simulated device behind the port name "SIM". Every SimPort talks to one
// device shared by the whole process, so that tests can set it up before the program opens
// the port, and inspect it afterwards.
class SimPort : public LinkPort
{
public:
    SimPort();
    ~SimPort() override;

    QString name() const override { return QStringLiteral("SIM"); }
    bool open(int baud, QString *reason) override;
    void close() override;
    bool isOpen() const override;
    bool write(const quint8 *data, int count, int timeoutMs) override;
    ReadResult readByte(quint8 *byte, int timeoutMs) override;
    void discardInput() override;
    unsigned modemStatus() override;
    bool setRts(bool on) override;
    bool setDtr(bool on) override;
    void wake() override;

    int baud() const;
    bool rts() const;
    bool dtr() const;

    // The shared device, created with its default content on first use: the file named by
    // $MIRELO_SIM_DEVICE (base $MIRELO_SIM_BASE, hexadecimal, default: the base page of the
    // model's definition, 0800 when there is none), else the data folder's samples/demo.202,
    // else an empty memory with a made-up identification. It listens at every speed.
    static std::shared_ptr<SimDevice> sharedDevice();
    // Replaces the shared device; nullptr makes the next sharedDevice() build a fresh default one.
    static void resetSharedDevice(std::shared_ptr<SimDevice> device = nullptr);
    // Held while a port feeds the shared device; hold it to change the device while the line may be busy.
    static std::mutex &sharedDeviceMutex();
    // A device with the default content described above.
    static std::shared_ptr<SimDevice> createDefaultDevice(QString *error = nullptr);
    // A modem in front of the shared device (nullptr: a direct cable; at first use one is
    // made when $MIRELO_SIM_MODEM names a dial answer). Its carrier is the port's DCD line;
    // DTR dropping hangs it up. Guarded by sharedDeviceMutex().
    static void setSharedModem(std::shared_ptr<SimModem> modem);
    static std::shared_ptr<SimModem> sharedModem();

private:
    // Moves what the modem has made due by now into the input; true when it added bytes.
    bool pullModem();

    mutable std::mutex m_mutex;
    std::condition_variable m_ready;
    std::deque<quint8> m_input; // bytes the device has sent, not yet read
    bool m_open = false;
    bool m_woken = false;
    int m_baud = 0;
    bool m_rts = true;
    bool m_dtr = true;
    std::chrono::steady_clock::time_point m_lastActivity;
};

// Makes the port name "SIM" available to CreateLinkPort. Programs and tests call it at start.
void RegisterSimPort();
