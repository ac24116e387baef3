#include "shell/IniFile.h"
#include "shell/AnsiCodec.h"
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <limits>

namespace
{

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

// Only blanks and tabs, as Windows does; other white space (e.g. no-break space) is text.
QString trimBlanks(const QString &s)
{
    int from = 0;
    int to = s.size();
    while (from < to && isBlank(s.at(from)))
        ++from;
    while (to > from && isBlank(s.at(to - 1)))
        --to;
    return s.mid(from, to - from);
}

// A line cannot carry a line break; one in a written name or value becomes a blank so
// that the file keeps its structure.
QString oneLine(QString s)
{
    s.replace(QLatin1Char('\r'), QLatin1Char(' '));
    s.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return s;
}

// Splits at CR LF, LF or CR. A final line end does not start another (empty) line.
QStringList splitLines(const QString &text)
{
    QStringList lines;
    int start = 0;
    const int n = text.size();
    for (int i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            lines.append(text.mid(start, i - start));
            if (c == QLatin1Char('\r') && i + 1 < n && text.at(i + 1) == QLatin1Char('\n')) ++i;
            start = i + 1;
        }
    }
    if (start < n) lines.append(text.mid(start));
    return lines;
}

bool parseInt(const QString &text, int &out)
{
    const QString s = trimBlanks(text);
    int i = 0;
    bool negative = false;
    if (i < s.size() && (s.at(i) == QLatin1Char('-') || s.at(i) == QLatin1Char('+'))) {
        negative = s.at(i) == QLatin1Char('-');
        ++i;
    }
    int base = 10;
    if (i < s.size() && s.at(i) == QLatin1Char('$')) {
        base = 16;
        ++i;
    } else if (i + 1 < s.size() && s.at(i) == QLatin1Char('0') &&
               (s.at(i + 1) == QLatin1Char('x') || s.at(i + 1) == QLatin1Char('X'))) {
        base = 16;
        i += 2;
    }
    if (i >= s.size()) return false;
    const qint64 limit = qint64(std::numeric_limits<int>::max()) + (negative ? 1 : 0);
    qint64 v = 0;
    for (; i < s.size(); ++i) {
        const char16_t c = s.at(i).unicode();
        int d;
        if (c >= u'0' && c <= u'9')
            d = c - u'0';
        else if (base == 16 && c >= u'a' && c <= u'f')
            d = c - u'a' + 10;
        else if (base == 16 && c >= u'A' && c <= u'F')
            d = c - u'A' + 10;
        else
            return false;
        v = v * base + d;
        if (v > limit) return false;
    }
    out = int(negative ? -v : v);
    return true;
}

} // namespace

IniFile::IniFile(const QString &fileName)
{
    m_fileName = fileName;
    LoadFromFile(fileName);
}

QString IniFile::fold(const QString &s)
{
    return s.toCaseFolded();
}

void IniFile::Clear()
{
    m_blocks.clear();
    m_sectionIndex.clear();
}

bool IniFile::LoadFromFile(const QString &fileName)
{
    m_fileName = fileName;
    Clear();
    m_error.clear();
    const QFileInfo info(fileName);
    if (!info.exists()) {
        m_error = QStringLiteral("File not found: %1").arg(fileName);
        return false;
    }
    if (!info.isFile()) {
        m_error = QStringLiteral("Not a file: %1").arg(fileName);
        return false;
    }
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly)) {
        m_error = f.errorString();
        return false;
    }
    if (f.size() > MaxFileSize) {
        m_error = QStringLiteral("File too large: %1").arg(fileName);
        return false;
    }
    // The size was checked above; a file that grows meanwhile is refused below.
    const QByteArray bytes = f.readAll();
    if (bytes.size() > MaxFileSize) {
        m_error = QStringLiteral("File too large: %1").arg(fileName);
        return false;
    }
    if (f.error() != QFileDevice::NoError) {
        m_error = f.errorString();
        return false;
    }
    LoadFromBytes(bytes);
    return true;
}

void IniFile::LoadFromBytes(const QByteArray &bytes)
{
    Clear();
    // A UTF-8 byte-order mark would otherwise glue itself to the first section name.
    QByteArray body = bytes;
    if (body.startsWith("\xEF\xBB\xBF")) body.remove(0, 3);
    const QStringList lines = splitLines(Ansi::decode(body));

    Block current;
    current.Preamble = true;
    for (const QString &raw : lines) {
        const QString t = trimBlanks(raw);
        if (t.startsWith(QLatin1Char('['))) {
            if (!current.Preamble || !current.Lines.isEmpty()) m_blocks.append(current);
            current = Block();
            current.RawHeader = raw;
            // A header without "]" names the section by the rest of the line.
            const int close = t.indexOf(QLatin1Char(']'));
            current.Name = trimBlanks(close < 0 ? t.mid(1) : t.mid(1, close - 1));
            continue;
        }
        Line line;
        line.Raw = raw;
        const int eq = t.indexOf(QLatin1Char('='));
        if (!current.Preamble && !t.startsWith(QLatin1Char(';')) && eq > 0) {
            line.Key = trimBlanks(t.left(eq));
            line.Value = trimBlanks(t.mid(eq + 1));
        }
        current.Lines.append(line);
    }
    if (!current.Preamble || !current.Lines.isEmpty()) m_blocks.append(current);
    rebuildIndex();
}

void IniFile::indexBlock(Block &b)
{
    b.KeyIndex.clear();
    for (int i = 0; i < b.Lines.size(); ++i) {
        const QString &k = b.Lines.at(i).Key;
        if (k.isEmpty()) continue;
        const QString f = fold(k);
        if (!b.KeyIndex.contains(f)) b.KeyIndex.insert(f, i);
    }
}

void IniFile::rebuildIndex()
{
    m_sectionIndex.clear();
    for (int i = 0; i < m_blocks.size(); ++i) {
        indexBlock(m_blocks[i]);
        if (!m_blocks.at(i).Preamble) m_sectionIndex[fold(m_blocks.at(i).Name)].append(i);
    }
}

QByteArray IniFile::ToBytes() const
{
    QString text;
    for (const Block &b : m_blocks) {
        if (!b.Preamble) {
            text += b.RawHeader;
            text += QLatin1String("\r\n");
        }
        for (const Line &l : b.Lines) {
            text += l.Raw;
            text += QLatin1String("\r\n");
        }
    }
    // Windows-1252 keeps the file readable by existing installations; a text it cannot
    // hold (a folder /home/иван) would come back as "?", so such a file is UTF-8 with a
    // byte-order mark instead, which both readers recognise.
    const QByteArray ansi = Ansi::encode(text);
    if (Ansi::decode1252(ansi) == text)
        return ansi;
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}

bool IniFile::SaveToFile(const QString &fileName) const
{
    m_error.clear();
    if (fileName.isEmpty()) {
        m_error = QStringLiteral("No file name");
        return false;
    }
    QSaveFile f(fileName);
    if (!f.open(QIODevice::WriteOnly)) {
        m_error = f.errorString();
        return false;
    }
    const QByteArray bytes = ToBytes();
    // The explicit flush matters: a small file sits in the write buffer until commit(),
    // and a failure while commit() flushes it (disk full, size limit) would still let the
    // half-written file replace the old one.
    if (f.write(bytes) != bytes.size() || !f.flush() || f.error() != QFileDevice::NoError) {
        m_error = f.errorString();
        f.cancelWriting();
        return false;
    }
    if (!f.commit()) {
        m_error = f.errorString();
        return false;
    }
    return true;
}

bool IniFile::find(const QString &section, const QString &key, int &block, int &line) const
{
    const auto sit = m_sectionIndex.constFind(fold(section));
    if (sit == m_sectionIndex.constEnd()) return false;
    const QString k = fold(trimBlanks(key));
    for (int bi : *sit) {
        const auto kit = m_blocks.at(bi).KeyIndex.constFind(k);
        if (kit != m_blocks.at(bi).KeyIndex.constEnd()) {
            block = bi;
            line = *kit;
            return true;
        }
    }
    return false;
}

bool IniFile::SectionExists(const QString &section) const
{
    return m_sectionIndex.contains(fold(trimBlanks(section)));
}

bool IniFile::ValueExists(const QString &section, const QString &key) const
{
    int b, l;
    return find(trimBlanks(section), key, b, l);
}

QString IniFile::ReadString(const QString &section, const QString &key, const QString &def) const
{
    int b, l;
    if (!find(trimBlanks(section), key, b, l)) return def;
    return m_blocks.at(b).Lines.at(l).Value;
}

int IniFile::ReadInteger(const QString &section, const QString &key, int def) const
{
    int b, l;
    if (!find(trimBlanks(section), key, b, l)) return def;
    int v = 0;
    return parseInt(m_blocks.at(b).Lines.at(l).Value, v) ? v : def;
}

bool IniFile::ReadBool(const QString &section, const QString &key, bool def) const
{
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void IniFile::WriteString(const QString &section, const QString &key, const QString &value)
{
    const QString sec = trimBlanks(oneLine(section));
    const QString k = trimBlanks(oneLine(key));
    const QString v = trimBlanks(oneLine(value));
    // An empty key could never be read back; Windows ignores it as well.
    if (k.isEmpty()) return;

    int bi, li;
    if (find(sec, k, bi, li)) {
        Line &line = m_blocks[bi].Lines[li];
        line.Value = v;
        line.Raw = line.Key + QLatin1Char('=') + v;
        return;
    }

    Line line;
    line.Key = k;
    line.Value = v;
    line.Raw = k + QLatin1Char('=') + v;

    const auto sit = m_sectionIndex.constFind(fold(sec));
    if (sit != m_sectionIndex.constEnd()) {
        // After the last non-blank line of the section's first block, so that the blank
        // line separating it from the next section stays where it is.
        Block &b = m_blocks[sit->first()];
        int pos = b.Lines.size();
        while (pos > 0 && trimBlanks(b.Lines.at(pos - 1).Raw).isEmpty())
            --pos;
        b.Lines.insert(pos, line);
        // Only blank lines follow pos, and they are not indexed: no index moves.
        b.KeyIndex.insert(fold(k), pos);
        return;
    }

    if (!m_blocks.isEmpty()) {
        Block &last = m_blocks.last();
        const bool endsBlank =
            last.Lines.isEmpty() ? last.Preamble : trimBlanks(last.Lines.last().Raw).isEmpty();
        if (!endsBlank) last.Lines.append(Line());
    }
    Block b;
    b.Name = sec;
    b.RawHeader = QLatin1Char('[') + sec + QLatin1Char(']');
    b.Lines.append(line);
    indexBlock(b);
    m_blocks.append(b);
    m_sectionIndex[fold(sec)].append(m_blocks.size() - 1);
}

void IniFile::WriteInteger(const QString &section, const QString &key, int value)
{
    WriteString(section, key, QString::number(value));
}

void IniFile::WriteBool(const QString &section, const QString &key, bool value)
{
    WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

QStringList IniFile::ReadSections() const
{
    QStringList out;
    QHash<QString, bool> seen;
    for (const Block &b : m_blocks) {
        if (b.Preamble) continue;
        const QString f = fold(b.Name);
        if (seen.contains(f)) continue;
        seen.insert(f, true);
        out.append(b.Name);
    }
    return out;
}

QStringList IniFile::ReadSection(const QString &section) const
{
    QStringList out;
    const auto sit = m_sectionIndex.constFind(fold(trimBlanks(section)));
    if (sit == m_sectionIndex.constEnd()) return out;
    QHash<QString, bool> seen;
    for (int bi : *sit)
        for (const Line &l : m_blocks.at(bi).Lines) {
            if (l.Key.isEmpty()) continue;
            const QString f = fold(l.Key);
            if (seen.contains(f)) continue;
            seen.insert(f, true);
            out.append(l.Key);
        }
    return out;
}

QStringList IniFile::ReadSectionValues(const QString &section) const
{
    QStringList out;
    for (const QString &key : ReadSection(section))
        out.append(key + QLatin1Char('=') + ReadString(section, key, QString()));
    return out;
}

void IniFile::EraseSection(const QString &section)
{
    const QString f = fold(trimBlanks(section));
    if (!m_sectionIndex.contains(f)) return;
    for (int i = m_blocks.size() - 1; i >= 0; --i)
        if (!m_blocks.at(i).Preamble && fold(m_blocks.at(i).Name) == f) m_blocks.removeAt(i);
    rebuildIndex();
}

void IniFile::DeleteKey(const QString &section, const QString &key)
{
    const QString sec = trimBlanks(section);
    int bi, li;
    // Every occurrence goes, so that a later duplicate does not take the key's place.
    while (find(sec, key, bi, li)) {
        m_blocks[bi].Lines.removeAt(li);
        indexBlock(m_blocks[bi]);
    }
}
