#include "SimPort.h"

#include "SimConverter.h"
#include "SimCounters.h"
#include "SimUlva.h"
#include "SimMainsTest.h"
#include "SimClock.h"
#include "SimRam.h"
#include "SimMem68k.h"
#include "SimEvents.h"
#include "SimService.h"
#include "SimCoupler.h"
#include "SimZuvi.h"
#include "SimZuviModem.h"
#include "SimLive.h"
#include "SimOptions.h"
#include "shell/DataDir.h"

#include <QFileInfo>

#include <algorithm>

namespace {

// A pause this long on the line ends a half-received telegram, as on the real device.
constexpr auto LinePause = std::chrono::milliseconds(500);

struct Shared
{
    std::mutex pointerMutex; // guards the pointer only
    std::mutex deviceMutex;  // guards the device's state while a port feeds it
    std::shared_ptr<SimDevice> device;
    std::shared_ptr<SimModem> modem;
};

Shared &shared()
{
    static Shared s;
    return s;
}

} // namespace

SimPort::SimPort() = default;

SimPort::~SimPort()
{
    close();
}

std::shared_ptr<SimDevice> SimPort::createDefaultDevice(QString *error)
{
    auto device = std::make_shared<SimDevice>();
    QString path = qEnvironmentVariable("MIRELO_SIM_DEVICE");
    int base = 0x0800;
    bool baseGiven = false;
    if (path.isEmpty()) {
        const QString demo = DataDir::resolve(QStringLiteral("samples/demo.202"));
        if (QFileInfo(demo).isFile())
            path = demo;
    } else if (qEnvironmentVariableIsSet("MIRELO_SIM_BASE")) {
        bool ok = false;
        const int value = qEnvironmentVariable("MIRELO_SIM_BASE").toInt(&ok, 16);
        if (ok) {
            base = value;
            baseGiven = true;
        }
    }
    if (!path.isEmpty() && !baseGiven)
        SimDefinitionBase(path, &base);
    QString why;
    if (path.isEmpty() || !device->loadParameterFile(path, base, &why))
        device->setDemoIdentification();
    else {
        SimLive::attach(*device, SimLive::forFile(path, 1));
        // A controller (image at 0x0800) counts its operating hours and starts.
        if (base == 0x0800)
            SimCounters::attach(*device, std::make_shared<SimCounters>());
        // ... and runs a mains-failure test when told to.
        if (base == 0x0800)
            SimMainsTest::attach(*device, std::make_shared<SimMainsTest>());
        if (path.endsWith(QLatin1String(".ULV"), Qt::CaseInsensitive))
            SimUlva::attach(*device, std::make_shared<SimUlva>());
    }
    SimClock::attachNew(*device);
    // MIRELO_SIM_COUPLER=PELK puts a data coupler in front of the simulated device.
    const QString coupler = qEnvironmentVariable("MIRELO_SIM_COUPLER").trimmed().toUpper();
    if (coupler == QLatin1String("PELK") || coupler == QLatin1String("DROS"))
        SimCoupler::attach(*device, coupler, 0);
    if (base == 0x0800) {
        SimRam::attach(*device);
        SimEvents::attach(*device);
        SimService::attach(*device);
        SimConverter::attach(*device, SimConverter::forController());
        SimMem68k::attach(*device);
        // MIRELO_SIM_ZUVI=1 fills an empty ZuviDezar block; without it a parameter read
        // gives back the loaded file unchanged.
        if (qEnvironmentVariableIntValue("MIRELO_SIM_ZUVI") == 1)
            SimZuvi::attach(*device);
        SimZuviModem::attach(*device);
    }
    if (error)
        *error = why;
    return device;
}

std::shared_ptr<SimDevice> SimPort::sharedDevice()
{
    Shared &s = shared();
    std::lock_guard<std::mutex> lock(s.pointerMutex);
    if (!s.device)
        s.device = createDefaultDevice();
    return s.device;
}

void SimPort::resetSharedDevice(std::shared_ptr<SimDevice> device)
{
    Shared &s = shared();
    std::lock_guard<std::mutex> lock(s.pointerMutex);
    s.device = std::move(device);
}

void SimPort::setSharedModem(std::shared_ptr<SimModem> modem)
{
    Shared &s = shared();
    std::lock_guard<std::mutex> lock(s.pointerMutex);
    s.modem = std::move(modem);
}

std::shared_ptr<SimModem> SimPort::sharedModem()
{
    Shared &s = shared();
    std::lock_guard<std::mutex> lock(s.pointerMutex);
    // A demo of the program on "SIM" can have its modem too: $MIRELO_SIM_MODEM names the
    // answer to dialling ("connect", "busy", ...), looked at once.
    static bool envLooked = false;
    if (!envLooked) {
        envLooked = true;
        SimModem::Options o;
        if (!s.modem && SimModem::parseDialResult(qEnvironmentVariable("MIRELO_SIM_MODEM"), &o.dial))
            s.modem = std::make_shared<SimModem>(o);
    }
    return s.modem;
}

bool SimPort::pullModem()
{
    const std::shared_ptr<SimModem> modem = sharedModem();
    if (!modem)
        return false;
    std::vector<quint8> out;
    {
        std::lock_guard<std::mutex> lock(sharedDeviceMutex());
        out = modem->due(std::chrono::steady_clock::now());
    }
    if (out.empty())
        return false;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_open)
        return false;
    m_input.insert(m_input.end(), out.begin(), out.end());
    return true;
}

std::mutex &SimPort::sharedDeviceMutex()
{
    return shared().deviceMutex;
}

bool SimPort::open(int baud, QString *reason)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_open = true;
    m_baud = baud;
    m_input.clear();
    m_woken = false;
    // Opening the line sets it up anew: whatever the device was in the middle of (an answer
    // waiting for its echo, half a request) is over before the first byte arrives.
    m_lastActivity = std::chrono::steady_clock::time_point();
    return true;
}

void SimPort::close()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_open = false;
        m_input.clear();
    }
    m_ready.notify_all();
}

bool SimPort::isOpen() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_open;
}

bool SimPort::write(const quint8 *data, int count, int timeoutMs)
{
    std::chrono::steady_clock::time_point last;
    int baud = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_open)
            return false;
        last = m_lastActivity;
        baud = m_baud;
    }
    if (count <= 0)
        return true;
    const auto now = std::chrono::steady_clock::now();
    std::vector<quint8> reply;
    {
        std::shared_ptr<SimDevice> device = sharedDevice();
        std::lock_guard<std::mutex> lock(sharedDeviceMutex());
        if (now - last >= LinePause)
            device->lineIdle();
        // At a speed the device does not listen at, the bytes reach it as noise: it never
        // recognises its address and says nothing.
        const bool heard = device->hearsAt(baud);
        if (!heard)
            device->lineIdle();
        if (const std::shared_ptr<SimModem> modem = sharedModem()) {
            // The modem stands between: only a connection carries bytes to the device.
            reply = modem->fromPc(data, count, now, [&](quint8 b) {
                return heard ? device->receive(b) : std::vector<quint8>();
            });
        } else {
            for (int i = 0; heard && i < count; ++i) {
                std::vector<quint8> out = device->receive(data[i]);
                reply.insert(reply.end(), out.begin(), out.end());
            }
        }
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_lastActivity = now;
        if (!m_open)
            return false;
        m_input.insert(m_input.end(), reply.begin(), reply.end());
    }
    if (!reply.empty())
        m_ready.notify_all();
    return true;
}

LinkPort::ReadResult SimPort::readByte(quint8 *byte, int timeoutMs)
{
    pullModem();
    std::unique_lock<std::mutex> lock(m_mutex);
    auto ready = [this] { return !m_open || m_woken || !m_input.empty(); };
    if (const std::shared_ptr<SimModem> modem = sharedModem()) {
        // The modem answers some things later (a call made, an escape taken): wait for
        // those in steps.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(qMax(0, timeoutMs));
        while (!ready() && std::chrono::steady_clock::now() < deadline) {
            std::chrono::steady_clock::time_point due;
            {
                lock.unlock();
                {
                    std::lock_guard<std::mutex> deviceLock(sharedDeviceMutex());
                    due = modem->nextDue();
                }
                lock.lock();
            }
            m_ready.wait_until(lock, std::min(deadline, due), ready);
            if (ready())
                break;
            lock.unlock();
            pullModem();
            lock.lock();
        }
    } else if (!ready() && timeoutMs > 0) {
        m_ready.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
    }
    if (!m_open)
        return ReadFailed;
    if (m_woken) {
        m_woken = false;
        return ReadWoken;
    }
    if (m_input.empty())
        return ReadTimeout;
    *byte = m_input.front();
    m_input.pop_front();
    return ReadByte;
}

void SimPort::discardInput()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_input.clear();
}

unsigned SimPort::modemStatus()
{
    pullModem();
    bool carrier = false;
    if (const std::shared_ptr<SimModem> modem = sharedModem()) {
        std::lock_guard<std::mutex> deviceLock(sharedDeviceMutex());
        carrier = modem->carrier();
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    // Ready and clear to send; a carrier only while a modem holds a connection.
    return m_open ? (CTS | DSR | (carrier ? DCD : 0u)) : 0u;
}

bool SimPort::setRts(bool on)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_rts = on;
    return m_open;
}

bool SimPort::setDtr(bool on)
{
    std::vector<quint8> out;
    if (const std::shared_ptr<SimModem> modem = sharedModem()) {
        std::lock_guard<std::mutex> deviceLock(sharedDeviceMutex());
        out = modem->setDtr(on, std::chrono::steady_clock::now());
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_dtr = on;
    if (m_open)
        m_input.insert(m_input.end(), out.begin(), out.end());
    return m_open;
}

void SimPort::wake()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_woken = true;
    }
    m_ready.notify_all();
}

int SimPort::baud() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_baud;
}

bool SimPort::rts() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_rts;
}

bool SimPort::dtr() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_dtr;
}

void RegisterSimPort()
{
    RegisterSimPortFactory([] { return std::unique_ptr<LinkPort>(new SimPort()); });
}
