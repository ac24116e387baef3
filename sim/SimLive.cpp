#include "SimLive.h"

#include "SimDevice.h"
#include "device/Definition.h"
#include "device/DeviceData.h"
#include "device/ParameterFile.h"
#include "shell/Prompter.h"

#include <QFileInfo>
#include <algorithm>
#include <chrono>
#include <cmath>

namespace {

constexpr double Pi = 3.14159265358979323846;

quint64 mix(quint64 x)
{
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

quint64 hash3(quint64 a, quint64 b, quint64 c)
{
    return mix(a ^ mix(b ^ mix(c)));
}

// Bytes a row's value takes in the answer, by the raw-value classes the pages know; 0 for
// rows that carry no value.
int SizeOfType(int t)
{
    if ((t >= 0x01 && t <= 0x07) || (t >= 0x0C && t <= 0x0E) || t == 0x18 || (t >= 0x40 && t <= 0x58)
        || (t >= 0x60 && t <= 0x75) || t == 0xD2 || t == 0xD4 || t == 0xD5 || t == 0xDC || t == 0xF1 || t == 0xF2)
        return 2;
    if ((t >= 0x08 && t <= 0x0B) || (t >= 0x0F && t <= 0x17) || (t >= 0x19 && t <= 0x1B) || t == 0x28 || t == 0x29
        || (t >= 0x30 && t <= 0x37) || t == 0xC1 || t == 0xD0 || t == 0xD3 || t == 0xDB || t == 0xDF || t == 0xE4
        || t == 0xF0 || (t >= 0xF3 && t <= 0xF5))
        return 1;
    if (t == 0xF7)
        return 3;
    return 0;
}

// The bit a yes/no row shows, or -1.
int BitOfType(int t)
{
    if (t >= 0x10 && t <= 0x17)
        return t - 0x10;
    if (t >= 0x30 && t <= 0x37)
        return t - 0x30;
    if (t >= 0x40 && t <= 0x49)
        return t - 0x40;
    if (t >= 0x50 && t <= 0x55)
        return t - 0x50 + 10;
    return -1;
}

bool IsSigned(int t)
{
    return t == 0x05 || t == 0x06 || t == 0x07 || t == 0x18 || t == 0x1B;
}

// Raw value for a physical one, the inverse of how the program shows the type code.
double PhysToRaw(int t, double v, const SimLive::References &ref)
{
    const int genFactor = ref.genFactor;
    const int mainsFactor = ref.mainsFactor;
    switch (t) {
    case 0xF0: case 0xF5: case 0xF4: case 0xD3:
        return ref.w42 > 0 ? v * 196 / ref.w42 + 49 : v;
    case 0xF3:
        return ref.w74 > 0 ? v * 196 / ref.w74 + 49 : v;
    case 0xF1: case 0xD4:
        // Speed from a period: the program divides the product of its two reference words.
        return v > 0 && ref.k54 > 0 ? double(ref.k54) * (t == 0xD4 ? ref.n56 : ref.n2c) / v : v;
    case 0xF2:
        return v > 0 && ref.n2c > 0 ? double(ref.n2c) * 50 / v : v;
    case 0x0C: {
        // A period: the program divides its nominal frequency times the period base by it.
        const int n = ref.periodBase;
        const double nominal = n < 4500 ? 6000 : n < 5500 ? 5000 : n < 9000 ? 6000 : 5000;
        return v > 0 ? nominal * n / (v * 100) : 0;
    }
    case 0x03: case 0x06: case 0x0A: return v * 10;
    case 0x0F: return v * 10 - 1;
    case 0xC1: return v * 10 - 2;
    case 0x04: case 0x07: return v * 100;
    case 0x0D: return v * 10000;
    case 0x18: return v * 1000;
    case 0x0B: return v / 10;
    case 0xC0: return v / 5;
    case 0xD1: return v / 20;
    case 0xDB: return (v - 2.5) * 8;
    case 0xE4: return (v - 2.55) / 0.1296;
    case 0xDF: return genFactor > 0 ? (v / genFactor - 1) * 255 : 0;
    case 0xD0: return mainsFactor > 0 ? (v / mainsFactor - 1) * 255 : 0;
    case 0x60: case 0x61: return v * 50;
    case 0x62: return v * 10;
    case 0x63: return v * 25.6;
    default: return v;
    }
}

bool has(const QString &text, std::initializer_list<const char *> words)
{
    for (const char *w : words)
        if (text.contains(QString::fromUtf8(w), Qt::CaseInsensitive))
            return true;
    return false;
}

// Decides from the unit and the label how a value behaves. The definitions come in several
// languages, so the unit column (before the first "-") decides first and the label only refines.
void Classify(SimLive::Row &row, const QString &pageName)
{
    using Kind = SimLive::Kind;
    if (row.bit >= 0) {
        row.kind = pageName == QLatin1String("IstAla") ? Kind::Alarm : Kind::Toggle;
        return;
    }
    const int dash = row.label.indexOf(QLatin1Char('-'));
    const QString unit = dash < 0 ? QString() : row.label.left(dash).trimmed().toLower();
    const QString text = dash < 0 ? row.label : row.label.mid(dash + 1);
    auto level = [&](double centre, double spread) {
        row.kind = Kind::Level;
        row.centre = centre;
        row.spread = spread;
    };
    auto counter = [&](double base, double perSecond) {
        row.kind = Kind::Counter;
        row.centre = base;
        row.spread = perSecond;
    };
    const int t = row.typeCode;
    if (t == 0x01 || t == 0x08 || t == 0x09 || t == 0xFF) {
        row.kind = Kind::Static; // hexadecimal status words and plain codes
        return;
    }
    if (t == 0xDC) {
        level(5, 3); // a deviation counted in raw steps of the period
        return;
    }
    if (unit == QLatin1String("v") || unit == QLatin1String("kv")) {
        if (has(text, {"batter", "lade", "versorg", "supply", "charg", "d+"}))
            level(24.5, 0.4);
        else if (has(text, {"analog"}))
            level(5.0, 1.5);
        else if (has(text, {"differenz", "difference", "gegensystem", "negative"}))
            level(2.0, 1.5);
        else if (has(text, {"schwelle", "sollwert", "threshold", "set point", "setpoint"}))
            row.kind = Kind::Static;
        else if (has(text, {"l1-l2", "l2-l3", "l3-l1"}))
            level(400, 4);
        else if (unit == QLatin1String("kv"))
            level(10.5, 0.1);
        else
            level(230, 3);
    } else if (unit == QLatin1String("hz")) {
        level(50.0, 0.05);
    } else if (unit == QLatin1String("hz/s")) {
        level(0.0, 0.05);
    } else if (unit == QLatin1String("a") || unit == QLatin1String("ka")) {
        row.kind = Kind::Load;
        row.centre = 100;
    } else if (unit == QLatin1String("w") || unit == QLatin1String("kw") || unit == QLatin1String("mw")) {
        row.kind = Kind::Load;
        row.centre = 400;
    } else if (unit == QLatin1String("kvar") || unit == QLatin1String("var")) {
        row.kind = Kind::Load;
        row.centre = 120;
    } else if (unit == QLatin1String("cos")) {
        level(0.90, 0.03);
    } else if (unit == QLatin1String("u/m") || unit == QLatin1String("rpm") || unit == QLatin1String("1/min")) {
        level(1500, 3);
    } else if (unit == QString::fromUtf8("°c")) {
        if (has(text, {"abgas", "exhaust"}))
            level(450, 20);
        else if (has(text, {"geh", "housing", "intern"}))
            level(35, 2);
        else
            level(80, 4);
    } else if (unit == QString::fromUtf8("°")) {
        level(3, 2);
    } else if (unit == QLatin1String("bar")) {
        level(4.5, 0.3);
    } else if (unit == QLatin1String("%")) {
        if (has(text, {"auslastung", "load"})) {
            row.kind = Kind::Load;
            row.centre = 100;
        } else if (has(text, {"unsymm", "unbalance"})) {
            level(1.5, 0.5);
        } else if (has(text, {"tank", "fuel"})) {
            level(75, 2);
        } else {
            level(50, 10);
        }
    } else if (unit == QLatin1String("kwh") || unit == QLatin1String("mwh")) {
        counter(123456, 400 * 0.6 / 3600.0); // the energy of the mean load
    } else if (unit == QLatin1String("h")) {
        if (has(text, {"zone"}))
            row.kind = Kind::Static;
        else if (has(text, {"wartung", "maintenance"}))
            counter(500, -1 / 3600.0);
        else
            counter(1234, 1 / 3600.0);
    } else if (unit == QLatin1String("s")) {
        row.kind = Kind::Countdown;
        row.spread = 30;
    } else if (unit == QLatin1String("ma")) {
        level(12, 4);
    } else if (unit.isEmpty()) {
        if (has(text, {"anzahl", "starts", "count", "number of", "zähler", "auslösungen", "trips"}))
            counter(321, 1 / 900.0);
        else if (has(text, {"zustand", "status", "software", "state"}))
            row.kind = Kind::Static;
        else
            level(100, 10);
    } else {
        level(100, 5);
    }
}

} // namespace

const QStringList &SimLive::PageNames()
{
    static const QStringList names = {
        QStringLiteral("IstAna"), QStringLiteral("IstPro"), QStringLiteral("IstAla"), QStringLiteral("IstSpw"),
        QStringLiteral("IstEin"), QStringLiteral("IstRel"), QStringLiteral("IstSon"), QStringLiteral("IstBef"),
        QStringLiteral("IstCANAna"), QStringLiteral("IstCAN")};
    return names;
}

bool SimLive::load(const QString &path, QString *error)
{
    auto fail = [&](const QString &why) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(path, why);
        return false;
    };
    DeviceData d;
    SilentPrompter quiet;
    LoadParameterFile(d, path, quiet);
    if (!d.Def.DefinitionLoaded)
        return fail(QStringLiteral("no definition of its model found"));
    std::vector<Page> pages;
    int alarmPage = -1;
    for (const QString &name : PageNames()) {
        QString address;
        int count = 0;
        // A page the definition does not have (or cannot be read) is simply not served.
        if (!ReadActualValuePage(d, name, quiet, &address, &count))
            continue;
        Page page;
        page.name = name;
        page.address = address.toUInt(nullptr, 16);
        page.count = count;
        for (int r = 0; r < d.Values.Count(); ++r) {
            const TIstWert &v = d.Values.Item(r);
            bool ok = false;
            const int offset = v.Offset.trimmed().toInt(&ok, 16);
            bool typeOk = false;
            const int type = v.TypeCode.trimmed().toInt(&typeOk, 16);
            const int size = typeOk ? SizeOfType(type) : 0;
            if (!ok || size == 0 || offset + size > count)
                continue;
            Row row;
            row.row = r;
            row.label = v.Text;
            row.typeCode = type;
            row.address = page.address + quint32(offset);
            row.size = size;
            row.bit = BitOfType(type);
            if (row.bit >= 8 * size)
                continue;
            Classify(row, name);
            page.rows.push_back(row);
        }
        if (name == QLatin1String("IstAla"))
            alarmPage = int(pages.size());
        pages.push_back(std::move(page));
    }
    if (pages.empty())
        return fail(QStringLiteral("its definition has no actual-value page"));
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_pages = std::move(pages);
    m_alarmPage = alarmPage;
    m_pending.clear();
    m_lastUpdate = -1;
    // Scale with the device's own rated-voltage factors.
    for (Page &page : m_pages)
        for (Row &row : page.rows)
            if (row.kind == Kind::Level && (row.typeCode == 0xDF || row.typeCode == 0xD0))
                row.centre = std::max(row.centre, double(row.typeCode == 0xDF ? d.State.GenFactor : d.State.MainsFactor) * 1.5);
    m_ref.genFactor = d.State.GenFactor;
    m_ref.mainsFactor = d.State.MainsFactor;
    // Where the program finds the period base of the frequency rows; the others keep a
    // base from elsewhere, for which the mains period of 50 Hz stands.
    const int type = d.State.DeviceType;
    const long long baseIndex = type == 34 ? 0x2C : type == 37 ? 0x3C : (type == 32 || type == 33) ? 0x76 : -1;
    const int periodBase = baseIndex >= 0 ? d.Geraet.GetWord(baseIndex) : 0;
    m_ref.periodBase = periodBase > 0 ? periodBase : 5000;
    m_ref.w42 = d.Geraet.GetWord(0x42);
    m_ref.w74 = d.Geraet.GetWord(0x74);
    m_ref.k54 = d.Geraet.GetWord(0x54);
    m_ref.n56 = d.Geraet.GetWord(0x56);
    m_ref.n2c = d.Geraet.GetWord(0x2C);
    return true;
}

const SimLive::Page *SimLive::page(const QString &name) const
{
    for (const Page &p : m_pages)
        if (p.name == name)
            return &p;
    return nullptr;
}

void SimLive::setSeed(quint32 seed)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_seed = seed;
    m_lastUpdate = -1;
}

void SimLive::setClock(std::function<qint64()> nowMs)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_clock = std::move(nowMs);
    m_fixedMs = -1;
}

void SimLive::setTimeMs(qint64 ms)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_fixedMs = std::max<qint64>(ms, 0);
}

void SimLive::setAlarmPeriod(int seconds)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_alarmPeriod = std::max(seconds, 0);
}

double SimLive::seconds() const
{
    if (m_fixedMs >= 0)
        return double(m_fixedMs) / 1000.0;
    if (m_clock)
        return double(m_clock()) / 1000.0;
    using namespace std::chrono;
    static const steady_clock::time_point start = steady_clock::now();
    return duration<double>(steady_clock::now() - start).count();
}

double SimLive::phase(int row, int salt) const
{
    return double(hash3(m_seed, quint64(row), quint64(salt)) % 100000) / 100000.0;
}

// The load of the set, 0.15 .. 0.95: a slow swing with a quicker ripple on top.
static double LoadAt(quint32 seed, double t)
{
    const double p = double(mix(seed) % 1000) / 1000.0;
    return 0.55 + 0.3 * std::sin(2 * Pi * (t / 600.0 + p)) + 0.1 * std::sin(2 * Pi * (t / 47.0 + p * 3));
}

qint64 SimLive::rawAt(const Row &row, double t) const
{
    double raw = 0;
    const int key = int(row.address) * 16 + std::max(row.bit, 0);
    switch (row.kind) {
    case Kind::Level: {
        // Two waves of unrelated periods, and a small step per second so that the last digit moves.
        const double p1 = 37 + 60 * phase(key, 1);
        const double p2 = 7 + 12 * phase(key, 2);
        const double noise = double(hash3(m_seed, quint64(key), quint64(std::floor(t))) % 1000) / 1000.0 - 0.5;
        const double v = row.centre
                         + row.spread * (0.6 * std::sin(2 * Pi * (t / p1 + phase(key, 3)))
                                         + 0.3 * std::sin(2 * Pi * (t / p2 + phase(key, 4))) + 0.2 * noise);
        raw = PhysToRaw(row.typeCode, v, m_ref);
        break;
    }
    case Kind::Load: {
        // The phases of one quantity differ by a few percent.
        const double v = row.centre * LoadAt(m_seed, t) * (1 + 0.03 * std::sin(2 * Pi * (t / 29.0 + phase(key, 5))));
        raw = PhysToRaw(row.typeCode, v, m_ref);
        break;
    }
    case Kind::Counter:
        raw = row.centre + std::floor(t * row.spread);
        break;
    case Kind::Countdown:
        raw = row.spread - std::fmod(std::floor(t), row.spread + 1);
        break;
    default:
        return 0;
    }
    const qint64 r = qint64(std::llround(raw));
    const qint64 bits = 8 * row.size;
    const qint64 span = qint64(1) << bits;
    if (IsSigned(row.typeCode)) {
        const qint64 lo = -(span / 2), hi = span / 2 - 1;
        return std::clamp(r, lo, hi) & (span - 1);
    }
    if (row.kind == Kind::Counter)
        return ((r % span) + span) % span; // counters roll over as the device's do
    return std::clamp<qint64>(r, 0, span - 1);
}

bool SimLive::bitAt(const Row &row, double t)
{
    if (row.kind == Kind::Alarm)
        return m_pending.count(row.row) > 0 || alarmActive(row.row, t);
    // Each input or output keeps its state for 20 .. 80 s, shifted by the seed.
    const int key = int(row.address) * 16 + row.bit;
    const double period = 20 + 60 * phase(key, 6);
    return (qint64(std::floor(t / period + phase(key, 7) * 2)) & 1) != 0;
}

int SimLive::alarmCount() const
{
    if (m_alarmPage < 0)
        return 0;
    int n = 0;
    for (const Row &row : m_pages[size_t(m_alarmPage)].rows)
        if (row.kind == Kind::Alarm)
            n = std::max(n, row.row);
    return n;
}

int SimLive::scheduledAlarm(qint64 cycle) const
{
    if (m_alarmPage < 0 || cycle < 0)
        return 0;
    const std::vector<Row> &rows = m_pages[size_t(m_alarmPage)].rows;
    std::vector<int> alarms;
    for (const Row &row : rows)
        if (row.kind == Kind::Alarm)
            alarms.push_back(row.row);
    if (alarms.empty())
        return 0;
    return alarms[size_t(hash3(m_seed, 0xA1A1, quint64(cycle)) % alarms.size())];
}

// A scheduled alarm's cause lasts from a quarter to half of its cycle.
bool SimLive::alarmActive(int n, double t) const
{
    if (m_alarmPeriod <= 0 || t < 0)
        return false;
    const qint64 cycle = qint64(std::floor(t / m_alarmPeriod));
    const double in = t - double(cycle) * m_alarmPeriod;
    return in >= m_alarmPeriod / 4.0 && in < m_alarmPeriod / 2.0 && scheduledAlarm(cycle) == n;
}

// Alarms of odd cycles are stored by the device until acknowledged; those of even cycles
// go with their cause, so that the page shows both kinds.
void SimLive::updateAlarms(double t)
{
    if (m_alarmPeriod > 0 && t > m_lastUpdate) {
        const qint64 last = qint64(std::floor(std::max(m_lastUpdate, 0.0) / m_alarmPeriod));
        const qint64 now = qint64(std::floor(t / m_alarmPeriod));
        // Only the newest cycles can add anything not yet pending.
        const qint64 from = std::max(last, now - 64);
        for (qint64 c = from; c <= now; ++c) {
            const double comes = double(c) * m_alarmPeriod + m_alarmPeriod / 4.0;
            if ((c & 1) != 0 && comes <= t && comes > m_lastUpdate) {
                if (const int n = scheduledAlarm(c))
                    m_pending.insert(n);
            }
        }
    }
    m_lastUpdate = std::max(m_lastUpdate, t);
}

bool SimLive::setAlarm(int n, QString *error)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    const int count = alarmCount();
    if (n < 1 || n > count) {
        if (error)
            *error = count == 0 ? QStringLiteral("alarm %1: the device has no alarm page").arg(n)
                                : QStringLiteral("alarm %1: the alarm page has alarms 1..%2").arg(n).arg(count);
        return false;
    }
    m_pending.insert(n);
    return true;
}

bool SimLive::alarmPending(int n)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    const double t = seconds();
    updateAlarms(t);
    return m_pending.count(n) > 0 || alarmActive(n, t);
}

void SimLive::acknowledge()
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    const double t = seconds();
    updateAlarms(t);
    for (auto it = m_pending.begin(); it != m_pending.end();) {
        if (alarmActive(*it, t))
            ++it;
        else
            it = m_pending.erase(it);
    }
}

std::vector<quint8> SimLive::block(const Page &page, const std::vector<quint8> &memory)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    const double t = seconds();
    updateAlarms(t);
    std::vector<quint8> out = memory;
    auto inside = [&](quint32 address) {
        return address >= page.address && address - page.address < out.size();
    };
    for (const Row &row : page.rows) {
        if (row.kind == Kind::Static)
            continue;
        if (row.bit >= 0) {
            // The bit counts from the low end of the byte or the big-endian word.
            const quint32 at = row.address + quint32(row.size - 1 - row.bit / 8);
            if (!inside(at))
                continue;
            quint8 &b = out[at - page.address];
            const quint8 mask = quint8(1u << (row.bit % 8));
            b = bitAt(row, t) ? quint8(b | mask) : quint8(b & ~mask);
            continue;
        }
        const qint64 raw = rawAt(row, t);
        for (int i = 0; i < row.size; ++i) {
            const quint32 at = row.address + quint32(i);
            if (inside(at))
                out[at - page.address] = quint8(raw >> (8 * (row.size - 1 - i)));
        }
    }
    return out;
}

bool SimLive::handle(SimDevice &device, const SimRequest &request, SimAnswer &answer)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (request.code == 24) {
        acknowledge();
        return false; // the device's own answer: success without data
    }
    if (request.code != 5)
        return false;
    // A read that continues or repeats the previous plain read is part of a scan of the
    // parameter memory, which sees the memory as stored even where a page's block lies inside
    // it; a page poll stands on its own.
    const bool scan = !m_lastWasLive && (request.address == m_lastReadEnd || request.address == m_lastReadStart);
    const int count = std::min(request.count, SimDevice::MaxData);
    m_lastReadStart = request.address;
    m_lastReadEnd = request.address + quint32(count);
    m_lastWasLive = false;
    if (scan || count <= 0)
        return false;
    for (const Page &page : m_pages) {
        // The program asks for a page with the page's own count.
        if (page.address != request.address || page.count != count)
            continue;
        answer.data = block(page, device.bytes(request.address, count));
        m_lastWasLive = true;
        return true;
    }
    return false;
}

void SimLive::attach(SimDevice &device, std::shared_ptr<SimLive> live)
{
    if (!live)
        return;
    device.setLive(live);
    device.addRequestHook([live](SimDevice &d, const SimRequest &request, SimAnswer &answer) {
        return live->handle(d, request, answer);
    });
}

std::shared_ptr<SimLive> SimLive::forFile(const QString &path, quint32 seed, QString *error)
{
    auto live = std::make_shared<SimLive>();
    if (!live->load(path, error))
        return nullptr;
    live->setSeed(seed);
    return live;
}
