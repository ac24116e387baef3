#include "services/Mem68k.h"
#include "link/TeleThread.h"
#include "shell/DataDir.h"
#include "shell/IniFile.h"
#include "shell/MainController.h"
#include "shell/Prompter.h"
#include "shell/Texts.h"
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTimer>

namespace {
QString hex(quint32 value, int digits) { return QStringLiteral("%1").arg(value, digits, 16, QLatin1Char('0')).toUpper(); }

int hexDigit(QChar c)
{
    const ushort u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    return -1;
}
} // namespace

namespace Srec {

QString HeaderLine() { return QStringLiteral("S00600004844521B"); }
QString EndLine() { return QStringLiteral("S804000000FB"); }

QString S2Line(quint32 address, const QByteArray &data)
{
    const int count = int(data.size()) + 4;
    quint32 sum = quint32(count) + ((address >> 16) & 0xFF) + ((address >> 8) & 0xFF) + (address & 0xFF);
    QString line = QStringLiteral("S2") + hex(quint32(count), 2) + hex(address & 0xFFFFFF, 6);
    for (char c : data) {
        sum += quint8(c);
        line += hex(quint8(c), 2);
    }
    return line + hex(0xFF - (sum & 0xFF), 2);
}

QByteArray FileBytes(const QStringList &lines)
{
    QByteArray out;
    for (const QString &l : lines)
        out += l.toLatin1() + "\r\n";
    return out;
}

bool ParseS2(const QByteArray &content, QVector<Chunk> *out, QString *why)
{
    out->clear();
    QVector<Chunk> found;
    const QList<QByteArray> lines = content.split('\n');
    for (int n = 0; n < lines.size(); ++n) {
        // Blanks, tabs and a CR around a record are the editor's, not the record's.
        const QString line = QString::fromLatin1(lines[n]).trimmed();
        if (!line.startsWith(QLatin1String("S2")))
            continue;
        auto refuse = [&](const QString &what) {
            *why = GetText(820).arg(n + 1).arg(what);
            return false;
        };
        const QString body = line.mid(2);
        for (QChar c : body)
            if (hexDigit(c) < 0)
                return refuse(GetText(821).arg(c));
        if (body.size() % 2 != 0)
            return refuse(GetText(822));
        QByteArray bytes;
        for (int i = 0; i < body.size(); i += 2)
            bytes.append(char(hexDigit(body[i]) * 16 + hexDigit(body[i + 1])));
        if (bytes.size() < 5) // count, three address bytes, checksum
            return refuse(GetText(823));
        const int count = quint8(bytes[0]);
        if (count != bytes.size() - 1)
            return refuse(GetText(824).arg(count).arg(bytes.size() - 1));
        quint32 sum = 0;
        for (int i = 0; i < bytes.size() - 1; ++i)
            sum += quint8(bytes[i]);
        const quint8 expected = quint8(0xFF - (sum & 0xFF));
        if (quint8(bytes.back()) != expected)
            return refuse(GetText(825).arg(hex(quint8(bytes.back()), 2), hex(expected, 2)));
        Chunk c;
        c.Address = quint32(quint8(bytes[1])) << 16 | quint32(quint8(bytes[2])) << 8 | quint8(bytes[3]);
        c.Data = bytes.mid(4, bytes.size() - 5);
        c.Line = n + 1;
        if (quint64(c.Address) + quint64(c.Data.size()) > AddressSpace)
            return refuse(GetText(826).arg(hex(c.Address, 6)).arg(c.Data.size()));
        found.push_back(c);
    }
    *out = found;
    return true;
}

QVector<Chunk> Split(const QVector<Chunk> &records, int max)
{
    QVector<Chunk> out;
    for (const Chunk &r : records)
        for (int from = 0; from < r.Data.size(); from += max)
            out.push_back({r.Address + quint32(from), r.Data.mid(from, max), r.Line});
    // A record without data has nothing to write.
    return out;
}

} // namespace Srec

QString Mem68kAreaFile::DefaultPath() { return DataDir::resolve(QStringLiteral("ZPA/") + FileName()); }

bool Mem68kAreaFile::ParseArea(const QString &name, const QString &value, Mem68kArea *area, QString *why)
{
    const QStringList parts = value.split(QLatin1Char(';'));
    auto number = [](QString t, quint64 *v) {
        t = t.trimmed();
        bool ok = false;
        *v = t.startsWith(QLatin1Char('$')) ? t.mid(1).toULongLong(&ok, 16) : t.toULongLong(&ok, 10);
        return ok && !t.isEmpty() && t != QLatin1String("$") && hexDigit(t.back()) >= 0;
    };
    quint64 start = 0, length = 0;
    if (parts.size() != 2 || !number(parts[0], &start) || !number(parts[1], &length)) {
        *why = GetText(828);
        return false;
    }
    if (start >= Srec::AddressSpace) {
        *why = GetText(830).arg(hex(quint32(qMin<quint64>(start, 0xFFFFFFFF)), 6));
        return false;
    }
    // Anything else would read past the 24-bit space or never finish.
    if (length < 1 || length > Srec::AddressSpace - start) {
        *why = GetText(829).arg(parts[1].trimmed()).arg(Srec::AddressSpace - start);
        return false;
    }
    *area = {name, quint32(start), quint32(length)};
    return true;
}

bool Mem68kAreaFile::Load(const QString &path)
{
    m_areas.clear();
    m_cpuTypes.clear();
    m_cpuValues.clear();
    m_problems.clear();
    if (!QFileInfo(path).isFile())
        return false;
    IniFile ini;
    if (!ini.LoadFromFile(path))
        return false;
    const QString fileName = QFileInfo(path).fileName();
    for (const QString &key : ini.ReadSection(QStringLiteral("MEMORY"))) {
        Mem68kArea area;
        QString why;
        if (ParseArea(key, ini.ReadString(QStringLiteral("MEMORY"), key, QString()), &area, &why))
            m_areas.push_back(area);
        else
            m_problems << GetText(827).arg(fileName, key, why);
    }
    for (const QString &key : ini.ReadSection(QStringLiteral("DEVICES"))) {
        m_cpuTypes << key;
        m_cpuValues << ini.ReadString(QStringLiteral("DEVICES"), key, QString());
    }
    return true;
}

QStringList Mem68kAreaFile::AreasOf(const QString &cpuType) const
{
    QStringList names;
    const int i = m_cpuTypes.indexOf(cpuType);
    if (i < 0)
        return names;
    const QString &value = m_cpuValues[i];
    // Whole words: "RAM" must not be found inside "Boot-RAM2".
    auto isWordChar = [](QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_'); };
    for (const Mem68kArea &a : m_areas) {
        for (int at = value.indexOf(a.Name, 0, Qt::CaseInsensitive); at >= 0;
             at = value.indexOf(a.Name, at + 1, Qt::CaseInsensitive)) {
            const int end = at + int(a.Name.size());
            if ((at == 0 || !isWordChar(value[at - 1])) && (end >= value.size() || !isWordChar(value[end]))) {
                names << a.Name;
                break;
            }
        }
    }
    return names;
}

const Mem68kArea *Mem68kAreaFile::Find(const QString &name) const
{
    for (const Mem68kArea &a : m_areas)
        if (a.Name.compare(name, Qt::CaseInsensitive) == 0)
            return &a;
    return nullptr;
}

Mem68kTransfer::Mem68kTransfer(MainController &main, QObject *parent)
    : QObject(parent), m_main(main), m_repeatPauseMs(MainController::RepeatPauseMs)
{
    m_repeatTimer = new QTimer(this);
    m_repeatTimer->setSingleShot(true);
    connect(m_repeatTimer, &QTimer::timeout, this, [this] {
        if (m_state == AbortRequested)
            return EndAborted();
        if (m_state != Idle && !SendCurrent())
            Fail(GetText(451));
    });
}

Mem68kTransfer::~Mem68kTransfer() = default;

bool Mem68kTransfer::StartRead(const QVector<Mem68kArea> &areas, const QString &targetFile)
{
    if (Running()) {
        m_main.UserPrompter().error(GetText(839));
        return false;
    }
    if (areas.isEmpty()) {
        m_main.UserPrompter().error(GetText(844));
        return false;
    }
    for (const Mem68kArea &a : areas) {
        QString why;
        Mem68kArea checked;
        // Areas made by hand pass the same bounds as those of the file.
        if (!Mem68kAreaFile::ParseArea(a.Name, QStringLiteral("%1;%2").arg(a.Start).arg(a.Length), &checked, &why)) {
            m_main.UserPrompter().error(a.Name + QLatin1String(": ") + why);
            return false;
        }
    }
    m_areas = areas;
    m_areaIndex = 0;
    m_target = targetFile;
    m_records = QStringList{Srec::HeaderLine()};
    m_running = m_state = Reading;
    m_repeats = 0;
    StartArea();
    if (!SendCurrent()) {
        Fail(GetText(451));
        return false;
    }
    return true;
}

void Mem68kTransfer::StartArea()
{
    const Mem68kArea &a = m_areas[m_areaIndex];
    m_address = a.Start;
    m_left = a.Length;
    m_block = int(qMin<quint32>(m_left, Srec::MaxBlock));
    m_blocksDone = 0;
    emit Note(GetText(845) + QLatin1Char(' ') + a.Name);
    emit Progress(m_areaIndex, m_areas.size(), 0, int((a.Length + Srec::MaxBlock - 1) / Srec::MaxBlock));
}

bool Mem68kTransfer::StartWrite(const QVector<Srec::Chunk> &records)
{
    if (Running()) {
        m_main.UserPrompter().error(GetText(839));
        return false;
    }
    m_chunks = Srec::Split(records);
    if (m_chunks.isEmpty()) {
        emit Note(GetText(847));
        return false;
    }
    emit Note(QString::number(records.size()) + QLatin1Char(' ') + GetText(846));
    m_chunkIndex = 0;
    m_lastLine = 0;
    m_running = m_state = Writing;
    m_repeats = 0;
    emit Progress(0, 0, 0, m_chunks.size());
    if (!SendCurrent()) {
        Fail(GetText(451));
        return false;
    }
    return true;
}

bool Mem68kTransfer::StartWriteFile(const QString &path)
{
    if (Running()) {
        m_main.UserPrompter().error(GetText(839));
        return false;
    }
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        m_main.UserPrompter().error(GetText(836).arg(path, f.errorString()));
        return false;
    }
    QVector<Srec::Chunk> records;
    QString why;
    if (!Srec::ParseS2(f.readAll(), &records, &why)) {
        m_main.UserPrompter().error(path + QLatin1String(": ") + why);
        return false;
    }
    return StartWrite(records);
}

void Mem68kTransfer::RequestAbort()
{
    if (m_state == Idle || m_state == AbortRequested)
        return;
    m_state = AbortRequested;
    // A repetition waiting for its pause has nothing on the line: end at once.
    if (m_repeatTimer->isActive()) {
        m_repeatTimer->stop();
        EndAborted();
    }
}

bool Mem68kTransfer::SendCurrent()
{
    TTeleThread *thread = m_main.Thread();
    if (!thread)
        return false;
    const quint8 slave = quint8(m_main.SlaveForRequest());
    quint8 *buffer = m_image.At(TelePos::Slave);
    const int capacity = tyTelegramm::Capacity(TelePos::Slave);
    if (m_running == Reading)
        return thread->Push(this, TeleDone, slave, m_main.Init.OwnAddress, 37, m_address, quint8(m_block), buffer,
                            capacity);
    const Srec::Chunk &c = m_chunks[m_chunkIndex];
    std::copy(c.Data.begin(), c.Data.end(), buffer);
    return thread->Push(this, TeleDone, slave, m_main.Init.OwnAddress, 36, c.Address, quint8(c.Data.size()), buffer,
                        capacity);
}

QString Mem68kTransfer::ReportText(const TeleReport &report) const
{
    if (report.State() == 22)
        return GetText(837).arg(hex(report.Byte(4), 2));
    if (report.Ok())
        return GetText(838);
    return m_main.FailureText(report);
}

void Mem68kTransfer::Fail(const QString &why)
{
    const int was = m_running;
    m_state = m_running = Idle;
    m_repeatTimer->stop();
    QString text;
    if (was == Reading) {
        text = GetText(831).arg(hex(m_address, 6), why);
        m_records.clear();
    } else {
        const quint32 at = m_chunkIndex < m_chunks.size() ? m_chunks[m_chunkIndex].Address : 0;
        text = m_lastLine > 0 ? GetText(832).arg(hex(at, 6), why).arg(m_lastLine) : GetText(833).arg(hex(at, 6), why);
    }
    emit Note(text);
    m_main.UserPrompter().error(text);
    emit Finished(false);
}

void Mem68kTransfer::EndAborted()
{
    m_state = m_running = Idle;
    m_records.clear();
    m_chunks.clear();
    emit Note(GetText(835));
    emit Finished(false);
}

void Mem68kTransfer::TeleMessage(quint16, quint32 wParam, quint32 lParam)
{
    OnAnswer(TeleReport{wParam, lParam});
}

void Mem68kTransfer::OnAnswer(const TeleReport &report)
{
    if (m_state == Idle)
        return; // a report after the transfer was given up
    if (m_state == AbortRequested)
        return EndAborted(); // whatever the answer, nothing more is sent
    // A read answered with fewer bytes than asked is as useless as a lost one.
    const bool complete =
        report.Ok() && (m_running != Reading || int(report.Byte(3)) - 4 >= m_block);
    if (!complete) {
        const bool line = !report.Ok() ? MainController::IsLineFailure(report.State()) : true;
        if (line && m_repeats < m_main.Settings.Retries) {
            ++m_repeats;
            const QString text = GetText(450).arg(m_repeats).arg(m_main.Settings.Retries).arg(ReportText(report));
            emit Note(text);
            emit Repeated(text);
            m_repeatTimer->start(m_repeatPauseMs);
            return;
        }
        return Fail(ReportText(report));
    }
    m_repeats = 0;
    if (m_running == Reading) {
        const quint8 *data = m_image.At(TelePos::Slave);
        m_records << Srec::S2Line(m_address, QByteArray(reinterpret_cast<const char *>(data), m_block));
        m_address += quint32(m_block);
        m_left -= quint32(m_block);
        ++m_blocksDone;
        const Mem68kArea &a = m_areas[m_areaIndex];
        const int blocks = int((a.Length + Srec::MaxBlock - 1) / Srec::MaxBlock);
        emit Progress(m_areaIndex, m_areas.size(), m_blocksDone, blocks);
        if (m_state == AbortRequested)
            return EndAborted(); // asked for while this answer was shown: nothing is under way
        if (m_left == 0) {
            if (++m_areaIndex >= m_areas.size()) {
                m_records << Srec::EndLine();
                m_state = m_running = Idle;
                QSaveFile f(m_target);
                if (!f.open(QIODevice::WriteOnly) || f.write(Srec::FileBytes(m_records)) < 0 || !f.commit()) {
                    const QString text = GetText(834).arg(m_target, f.errorString());
                    emit Note(text);
                    m_main.UserPrompter().error(text);
                    emit Finished(false);
                    return;
                }
                emit Progress(m_areas.size(), m_areas.size(), blocks, blocks);
                emit Note(GetText(848));
                emit Finished(true);
                return;
            }
            StartArea();
        }
        m_block = int(qMin<quint32>(m_left, Srec::MaxBlock));
    } else {
        const int line = m_chunks[m_chunkIndex].Line;
        ++m_chunkIndex;
        if (m_chunkIndex >= m_chunks.size() || m_chunks[m_chunkIndex].Line != line)
            m_lastLine = line;
        emit Progress(0, 0, m_chunkIndex, m_chunks.size());
        if (m_chunkIndex >= m_chunks.size()) { // all in, even when an abort came too late
            m_state = m_running = Idle;
            emit Note(GetText(849));
            emit Finished(true);
            return;
        }
        if (m_state == AbortRequested)
            return EndAborted();
    }
    if (!SendCurrent())
        Fail(GetText(451));
}
