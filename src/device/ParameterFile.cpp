#include "device/ParameterFile.h"
#include "device/Catalogue.h"
#include "device/Definition.h"
#include "device/DeviceData.h"
#include "shell/AnsiCodec.h"
#include "shell/DataDir.h"
#include "shell/Prompter.h"
#include "shell/TextHelpers.h"
#include "shell/Texts.h"
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSaveFile>
#include <algorithm>
#include <cstring>

namespace {

// A conversion file is a few kilobytes; this only keeps a wrong file from eating memory.
constexpr qint64 kMaxConversionBytes = 4 * 1024 * 1024;

QString FileErrorText(const QString &path, const QString &reason = QString())
{
    QString text = QStringLiteral("Error 6 ") + GetText(2) + QLatin1Char('\r') + path;
    if (!reason.isEmpty())
        text += QLatin1Char('\r') + reason;
    return text;
}

QString TooLongText(const QString &path, qint64 length)
{
    return QStringLiteral("Die Datei ist zu groß für den Gerätespeicher (%1 Bytes, höchstens %2 Bytes):\r%3")
        .arg(length)
        .arg(ParamFile::MaxFileLength)
        .arg(path);
}

QString TooShortText(const QString &path, qint64 length, int needed)
{
    return QStringLiteral("Die Datei ist unvollständig (%1 Bytes, das Gerät braucht %2 Bytes):\r%3")
        .arg(length)
        .arg(needed)
        .arg(path);
}

// Everything a refused load could have changed before the refusal was certain.
struct Snapshot
{
    explicit Snapshot(const DeviceData &d)
        : Geraet(d.Geraet), State(d.State), Def(d.Def), Identified(d.Identified), OrderNumber(d.OrderNumber),
          ProtectionText(d.ProtectionText), FileLength(d.FileLength), FileName(d.FileName), FileTime(d.FileTime)
    {
    }
    void Restore(DeviceData &d) const
    {
        d.Geraet = Geraet;
        d.State = State;
        d.Def = Def;
        d.Identified = Identified;
        d.OrderNumber = OrderNumber;
        d.ProtectionText = ProtectionText;
        d.FileLength = FileLength;
        d.FileName = FileName;
        d.FileTime = FileTime;
    }

    TGeraet Geraet;
    DeviceState State;
    DefinitionTables Def;
    bool Identified;
    int OrderNumber;
    QString ProtectionText;
    int FileLength;
    QString FileName;
    QString FileTime;
};

// The identification block of data from a file, by the type the file name gave, then
// decoded. fileBytes: the file itself while loading; the part of a maximal file behind
// the image is only there.
bool IdentifyFromImage(DeviceData &d, const QByteArray *fileBytes, Prompter &prompter)
{
    TGeraet &g = d.Geraet;
    const int type = d.State.DeviceType;
    if (type == 34) {
        for (int k = 0; k < 16; ++k)
            g.IdentBlock[size_t(k)] = 0;
        for (int k = 16; k < 32; ++k)
            g.IdentBlock[size_t(k)] = quint8(g.GetByte(256 + k - 16));
    } else {
        // The VMX is known by its extension alone, so its block need not be cleared as
        // well: taken as it is, a load and a save give back the file they started from
        // instead of a file whose identification lost 32 bytes.
        const int pos = IdentPosition(d.FileLength);
        for (int k = 0; k < ParamFile::IdentLength; ++k) {
            const int index = pos + k;
            if (fileBytes && index >= TGeraet::ImageSize && index < fileBytes->size())
                g.IdentBlock[size_t(k)] = quint8(fileBytes->at(index));
            else
                g.IdentBlock[size_t(k)] = quint8(g.GetByte(index));
        }
    }
    if (!d.Identified)
        IdentifyDevice(d, 1, nullptr, 0, true, prompter);
    if (!d.Identified) {
        prompter.error(GetText(52));
        return false;
    }
    return true;
}

// Everything of the device data that reading the definition and parameters of a file
// uses or changes, except the lists, which are bound to their own record.
void CopyRecord(const DeviceData &from, DeviceData &to)
{
    to.Geraet = from.Geraet;
    to.State = from.State;
    to.Def = from.Def;
    to.LanguageSuffix = from.LanguageSuffix;
    to.AccessLevel = from.AccessLevel;
    to.Identified = from.Identified;
    to.OrderNumber = from.OrderNumber;
    to.ProtectionText = from.ProtectionText;
    to.PeriodBase = from.PeriodBase;
    to.PeriodFactor = from.PeriodFactor;
    to.AnalogInputKind = from.AnalogInputKind;
    to.FileLength = from.FileLength;
    to.FileName = from.FileName;
    to.FileTime = from.FileTime;
}

// Holds back the messages of a step whose outcome decides what the user is told.
class CollectingPrompter : public Prompter
{
public:
    void error(const QString &text) override { m_messages.append({Kind::Error, text}); }
    void warning(const QString &text) override { m_messages.append({Kind::Warning, text}); }
    void information(const QString &text) override { m_messages.append({Kind::Information, text}); }
    // Nothing on this path asks; a question held back could not be answered anyway.
    bool question(const QString &) override { return false; }

    QStringList Texts() const
    {
        QStringList texts;
        for (const Message &m : m_messages)
            texts.append(m.text);
        return texts;
    }
    void ReplayTo(Prompter &p) const
    {
        for (const Message &m : m_messages) {
            if (m.kind == Kind::Error)
                p.error(m.text);
            else if (m.kind == Kind::Warning)
                p.warning(m.text);
            else
                p.information(m.text);
        }
    }

private:
    enum class Kind { Error, Warning, Information };
    struct Message
    {
        Kind kind;
        QString text;
    };
    QVector<Message> m_messages;
};

QString LineRef(int lineNumber, const QString &line)
{
    return QStringLiteral("\rZeile %1: %2\rDie Konvertierung wurde abgebrochen, die Daten bleiben unverändert.")
        .arg(lineNumber)
        .arg(line);
}

QString RangeText(const ConversionWork &w)
{
    return QStringLiteral("Adresse außerhalb des Gerätespeichers ($%1..$%2)")
        .arg(Text::ToHex(quint32(std::max(0, w.ImageBase)), 4))
        .arg(Text::ToHex(quint32(std::max(0, w.ImageBase + TGeraet::ImageSize - 1)), 4));
}

// Image index of a device address, or -1 for numbers so far off that the arithmetic
// itself would overflow (the file may hold any number).
long long IndexOf(const ConversionWork &w, long long address)
{
    constexpr long long kFar = 1LL << 40;
    if (address < -kFar || address > kFar)
        return -1;
    return address - w.ImageBase;
}

// Image index of a device address when count bytes from there lie in the image, else -1.
long long IndexIn(const ConversionWork &w, long long address, long long count)
{
    const long long index = IndexOf(w, address);
    if (index < 0 || count < 0 || count > TGeraet::ImageSize)
        return -1;
    return TGeraet::ValidRange(index, count) ? index : -1;
}

// The number fields of one conversion command, read strictly: a field that is missing
// (the line ends early, or two separators follow each other) or is no number refuses the
// line. Reading a missing field as -1 or an unreadable one as 0 silently wrote wrong
// bytes (an OR mask of -1 sets every bit, a subtrahend of -1 adds one).
class CommandFields
{
public:
    CommandFields(const QString &command, const QString &value) : m_command(command), m_rest(value) {}

    // The next field up to sep (or the rest) as a number; nameText names it in messages.
    bool Next(QChar sep, int nameText, long long *out)
    {
        ++m_index;
        const QString field = Text::SplitAt(m_rest, sep);
        if (Text::RemoveSpaces(field).isEmpty())
            return Fail(GetText(470).arg(m_command).arg(m_index).arg(GetText(nameText)));
        bool ok = false;
        *out = Text::ParseNumber(field, &ok);
        if (!ok)
            return Invalid(nameText, field);
        return true;
    }
    // The next field as text (up to sep, or the rest); missing when blank.
    bool NextText(QChar sep, int nameText, QString *out)
    {
        ++m_index;
        *out = Text::SplitAt(m_rest, sep);
        if (Text::RemoveSpaces(*out).isEmpty())
            return Fail(GetText(470).arg(m_command).arg(m_index).arg(GetText(nameText)));
        return true;
    }
    // Marks the field read last as unusable (always false).
    bool Invalid(int nameText, const QString &field)
    {
        return Fail(GetText(471).arg(m_command).arg(m_index).arg(GetText(nameText), field.trimmed()));
    }
    QString &Rest() { return m_rest; }
    int Index() const { return m_index; }
    void Skip() { ++m_index; }
    const QString &Reason() const { return m_reason; }

private:
    bool Fail(const QString &reason)
    {
        m_reason = reason;
        return false;
    }
    QString m_command;
    QString m_rest;
    int m_index = 0;
    QString m_reason;
};

// Names of the fields in messages.
enum FieldName {
    kSource = 473, kTarget, kCount, kAddress, kMultiplier, kDivisor, kSubtrahend,
    kAndMask, kOrMask, kBase, kVersion, kDate, kValue
};

} // namespace

int IdentPosition(int fileLength) { return fileLength & ~0xFF; }

QString ForceModelExtension(const QString &chosenPath, const QString &modelPattern)
{
    const QString ext = PatternExtension(modelPattern);
    if (ext.isEmpty())
        return chosenPath;
    const int slash = int(chosenPath.lastIndexOf(QLatin1Char('/')));
    const QString folder = chosenPath.left(slash + 1);
    QString name = chosenPath.mid(slash + 1);
    const int at = int(name.indexOf(ext, 0, Qt::CaseSensitive));
    if (at >= 0)
        name.remove(at, ext.size());
    return folder + name + ext;
}

QString SaveDialogFilter(const QString &modelPattern) { return modelPattern + QLatin1Char('|') + modelPattern; }

int SaveLength(const DeviceData &d)
{
    if (d.State.DeviceType == 34)
        return ParamFile::StwFileLength;
    const int length = d.State.PageCount * 256 + ParamFile::IdentLength;
    if (d.State.PageCount < 1 || length > TGeraet::ImageSize)
        return 0;
    return length;
}

bool CopyIdentIntoImage(DeviceData &d)
{
    TGeraet &g = d.Geraet;
    if (d.State.DeviceType == 34) {
        for (int k = 16; k <= 30; ++k)
            g.SetByte(256 + k - 16, g.IdentBlock[size_t(k)]);
        return true;
    }
    if (SaveLength(d) == 0)
        return false;
    const int pos = d.State.PageCount * 256;
    for (int k = 0; k < ParamFile::IdentLength; ++k)
        g.SetByte(pos + k, g.IdentBlock[size_t(k)]);
    return true;
}

bool ReadFileParameters(DeviceData &d, Prompter &prompter)
{
    d.Def.ParametersComplete = false;
    d.Identified = false;
    if (!IdentifyFromImage(d, nullptr, prompter))
        return false;
    if (!SelectDefinition(d, prompter))
        return false;
    TakeControllerSettings(d);
    return ReadParameters(d, prompter);
}

FileIdentity IdentityOf(const DeviceData &d)
{
    FileIdentity id;
    id.Identified = d.Identified;
    id.FileName = d.FileName;
    id.DefinitionLoaded = d.Def.DefinitionLoaded;
    id.DeviceName = d.Def.DefinitionLoaded ? d.Def.TypLines.value(0) : QString();
    id.ModelPattern = d.State.ModelPattern;
    id.DeviceType = d.State.DeviceType;
    id.ProgramId = d.Geraet.ProgramId;
    id.ProgramVersion = d.Geraet.ProgramVersion;
    id.ProgramDate = d.Geraet.ProgramDate;
    id.FNumber = d.Geraet.FNumber;
    id.FDate = d.Geraet.FDate;
    id.OrderNumber = d.OrderNumber;
    // A controller keeps its access code in its parameter memory, whose place only the
    // definition tells: without one the code read would be a guess.
    if (d.Def.DefinitionLoaded || !IsControllerType(d.State.DeviceType))
        id.AccessCode = d.State.AccessCode;
    id.DefinitionFile = d.State.DefinitionFile;
    return id;
}

bool LoadParameterFile(DeviceData &d, const QString &path, Prompter &prompter, FileIdentity *identity)
{
    if (identity)
        *identity = FileIdentity();
    // Read and checked whole before the device data are touched: a refused file must not
    // leave half of itself in the image.
    QFile file(path);
    const QFileInfo info(path);
    if (!info.isFile() || !file.open(QIODevice::ReadOnly)) {
        prompter.warning(FileErrorText(path, info.exists() ? file.errorString() : QString()));
        return false;
    }
    if (file.size() > ParamFile::MaxFileLength) {
        prompter.error(TooLongText(path, file.size()));
        return false;
    }
    const QByteArray bytes = file.read(ParamFile::MaxFileLength + 1);
    if (file.error() != QFileDevice::NoError) {
        prompter.warning(FileErrorText(path, file.errorString()));
        return false;
    }
    if (bytes.size() > ParamFile::MaxFileLength) {
        prompter.error(TooLongText(path, bytes.size()));
        return false;
    }
    // No model has a file shorter than this (one page and the identification, or the
    // 272 bytes of the ZEV 071 - 083): nothing to identify in it.
    if (bytes.size() < ParamFile::StwFileLength) {
        prompter.error(TooShortText(path, bytes.size(), ParamFile::StwFileLength));
        return false;
    }

    const Snapshot before(d);
    d.State.VmxMode = false;
    d.State.ModelPattern = path.toUpper();
    TypeFromPattern(d, prompter);

    const int inImage = std::min<int>(int(bytes.size()), TGeraet::ImageSize);
    std::memcpy(d.Geraet.Image.data(), bytes.constData(), size_t(inImage));
    d.FileLength = int(bytes.size());
    d.FileName = info.fileName();
    d.FileTime = QLocale::system().toString(info.lastModified(), QLocale::ShortFormat);
    d.Def.ParametersComplete = false;
    d.Identified = false;

    if (!IdentifyFromImage(d, &bytes, prompter)) {
        before.Restore(d);
        return false;
    }
    if (!SelectDefinition(d, prompter)) {
        if (identity)
            *identity = IdentityOf(d);
        before.Restore(d);
        return false;
    }
    // Now that the model's page count is known, a cut-off file can be told apart from a
    // complete one; its missing tail would otherwise be old data of another device.
    const int needed = d.State.DeviceType == 34 ? ParamFile::StwFileLength
                                                : d.State.PageCount * 256 + ParamFile::IdentLength;
    if (d.FileLength < needed) {
        prompter.error(TooShortText(path, d.FileLength, needed));
        before.Restore(d);
        return false;
    }
    TakeControllerSettings(d);
    const bool complete = ReadParameters(d, prompter);
    if (identity)
        *identity = IdentityOf(d);
    return complete;
}

bool SaveParameterFile(DeviceData &d, const QString &chosenPath, Prompter &prompter, QString *writtenPath)
{
    if (!d.Def.ParametersComplete) {
        prompter.warning(GetText(40));
        return false;
    }
    d.State.ModelPattern = d.State.ModelPattern.toUpper();
    TypeFromPattern(d, prompter);
    const int length = SaveLength(d);
    if (length == 0 || !CopyIdentIntoImage(d)) {
        prompter.error(QStringLiteral("Die Seitenzahl %1 passt nicht in eine Parameterdatei.").arg(d.State.PageCount));
        return false;
    }
    const QString target = ForceModelExtension(chosenPath, d.State.ModelPattern);
    // Written beside the target and renamed over it at the end, so a full disk or a
    // broken write never destroys the set saved before.
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly)) {
        prompter.error(FileErrorText(target, file.errorString()));
        return false;
    }
    if (file.write(reinterpret_cast<const char *>(d.Geraet.Image.data()), length) != length || !file.commit()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        prompter.error(FileErrorText(target, reason));
        return false;
    }
    if (writtenPath)
        *writtenPath = target;
    return true;
}

QString ConversionFilePath() { return DataDir::resolve(QStringLiteral("ZPA\\101upgrate.ini")); }

bool RunConversion(const QStringList &lines, ConversionWork &w, Prompter &prompter)
{
    TGeraet &g = w.Geraet;
    const int fromVersion = g.ProgramVersion;
    bool active = false;
    int verLine = 0;
    QString verText;

    for (int n = 0; n < lines.size(); ++n) {
        const QString &line = lines.at(n);
        const int lineNumber = n + 1;
        if (line.startsWith(QLatin1Char('['))) {
            QString inner = line.mid(1);
            const int close = int(inner.indexOf(QLatin1Char(']')));
            if (close >= 0)
                inner.truncate(close);
            // A section without a readable number counts as 0 and never applies.
            bool ok = false;
            const long long number = Text::ParseNumber(inner, &ok);
            active = ok && number > fromVersion;
            continue;
        }
        if (!active)
            continue;
        const int eq = int(line.indexOf(QLatin1Char('=')));
        if (eq < 0)
            continue;
        const QString name = line.left(eq);
        QString value = line.mid(eq + 1);

        auto refuse = [&](const QString &reason) {
            prompter.error(reason + LineRef(lineNumber, line));
            return false;
        };
        CommandFields f(name, value);
        auto refuseField = [&]() { return refuse(f.Reason()); };

        if (name == QLatin1String("COPY")) {
            long long source = 0, target = 0, count = 0;
            if (!f.Next(QLatin1Char(';'), kSource, &source) || !f.Next(QLatin1Char(';'), kTarget, &target)
                || !f.Next(QLatin1Char(';'), kCount, &count))
                return refuseField();
            if (count < 0)
                return refuse(QStringLiteral("Ungültige Anzahl"));
            const long long from = IndexIn(w, source, count);
            const long long to = IndexIn(w, target, count);
            if (from < 0 || to < 0)
                return refuse(RangeText(w));
            // Rising addresses, byte by byte: an overlapping copy upwards repeats the
            // start of the source, as the conversion files expect.
            for (long long k = 0; k < count; ++k)
                g.Image[size_t(to + k)] = g.Image[size_t(from + k)];
        } else if (name == QLatin1String("CHANGE")) {
            long long address = 0, multiplier = 0, divisor = 0, subtrahend = 0;
            if (!f.Next(QLatin1Char(';'), kAddress, &address) || !f.Next(QLatin1Char(','), kMultiplier, &multiplier)
                || !f.Next(QLatin1Char(','), kDivisor, &divisor) || !f.Next(QLatin1Char(','), kSubtrahend, &subtrahend))
                return refuseField();
            const long long index = IndexIn(w, address, 1);
            if (index < 0)
                return refuse(RangeText(w));
            if (divisor == 0)
                return refuse(QStringLiteral("Division durch Null"));
            // Wide enough for any byte times any number of the file; the result is taken
            // modulo 256 as the byte it is stored in.
            const __int128 v = __int128(g.Image[size_t(index)]) * multiplier / divisor - subtrahend;
            g.Image[size_t(index)] = quint8(int(v & 0xFF));
        } else if (name == QLatin1String("SET")) {
            long long address = 0;
            if (!f.Next(QLatin1Char(';'), kAddress, &address))
                return refuseField();
            // A SET without any value would write nothing: a line cut short.
            if (Text::RemoveSpaces(f.Rest()).isEmpty()) {
                f.Skip();
                return refuse(GetText(470).arg(name).arg(f.Index()).arg(GetText(kValue)));
            }
            long long index = IndexOf(w, address);
            while (!f.Rest().isEmpty()) {
                QByteArray bytes;
                if (f.Rest().startsWith(QLatin1Char('"'))) {
                    f.Skip();
                    const QString field = Text::SplitAt(f.Rest(), QLatin1Char(','));
                    if (field.size() < 3)
                        continue;
                    bytes = Ansi::encode(field.mid(1, field.size() - 2));
                } else {
                    // A value that is no number is the conversion error of the number
                    // conversion itself, as ever; a missing one is named like the others.
                    const QString field = f.Rest().section(QLatin1Char(','), 0, 0);
                    long long number = 0;
                    if (!f.Next(QLatin1Char(','), kValue, &number))
                        return refuse(Text::RemoveSpaces(field).isEmpty() ? f.Reason() : ConversionErrorText(field));
                    bytes.append(char(number & 0xFF));
                }
                if (!TGeraet::ValidRange(index, bytes.size()))
                    return refuse(RangeText(w));
                for (char b : bytes)
                    g.Image[size_t(index++)] = quint8(b);
            }
        } else if (name == QLatin1String("BSET")) {
            long long address = 0, andMask = 0, orMask = 0;
            if (!f.Next(QLatin1Char(';'), kAddress, &address) || !f.Next(QLatin1Char(','), kAndMask, &andMask)
                || !f.Next(QLatin1Char(','), kOrMask, &orMask))
                return refuseField();
            const long long index = IndexIn(w, address, 1);
            if (index < 0)
                return refuse(RangeText(w));
            g.Image[size_t(index)] = quint8(((g.Image[size_t(index)] & andMask) | orMask) & 0xFF);
        } else if (name == QLatin1String("BASE")) {
            long long newBase = 0;
            if (!f.Next(QLatin1Char(';'), kBase, &newBase))
                return refuseField();
            const long long oldBase = w.ImageBase;
            if (newBase >= oldBase)
                continue; // only a lower base moves anything
            if (newBase < 0)
                return refuse(RangeText(w));
            const long long shift = oldBase - newBase;
            // The pages and the identification behind them move up; the data length is
            // what a file of this model holds.
            const long long length = std::max(0, w.PageCount) * 256LL + ParamFile::IdentLength;
            if (!TGeraet::ValidRange(shift, length))
                return refuse(RangeText(w));
            w.FileLength = int((w.FileLength + shift) & ~0xFFLL);
            w.ImageBase = int(newBase);
            std::memmove(g.Image.data() + shift, g.Image.data(), size_t(length));
            std::fill(g.Image.begin(), g.Image.begin() + shift, quint8(0xFF));
        } else if (name == QLatin1String("VER")) {
            long long version = 0;
            QString date;
            if (!f.Next(QLatin1Char(';'), kVersion, &version))
                return refuseField();
            // The version is stored in one byte of the identification.
            if (version < 0 || version > 255) {
                f.Invalid(kVersion, QString::number(version));
                return refuseField();
            }
            if (!f.NextText(QLatin1Char(';'), kDate, &date))
                return refuseField();
            // The date goes into the identification as day, month and year bytes and is
            // decoded from there when the converted data are read again: a date that
            // cannot be decoded would make the converted data unreadable.
            QString rest = date;
            bool okDay = false, okMonth = false, okYear = false;
            const long long day = Text::ParseNumber(Text::SplitAt(rest, QLatin1Char('.')), &okDay);
            const long long month = Text::ParseNumber(Text::SplitAt(rest, QLatin1Char('.')), &okMonth);
            const long long year = Text::ParseNumber(Text::SplitAt(rest, QLatin1Char('.')), &okYear);
            if (!okDay || !okMonth || !okYear || !rest.isEmpty() || day < 0 || day > 255 || month < 0 || month > 255
                || year < 0 || !FormatDeviceDate(int(day), int(month), int(year % 100), nullptr)) {
                f.Invalid(kDate, date);
                return refuseField();
            }
            w.VersionSeen = true;
            w.Version = int(version);
            w.Date = date;
            verLine = lineNumber;
            verText = line;
        } else if (name == QLatin1String("ECHO")) {
            w.EchoTexts.append(value);
        }
    }

    if (w.VersionSeen) {
        const int p = IdentPosition(w.FileLength);
        if (!TGeraet::ValidRange(p + 11, 5)) {
            prompter.error(RangeText(w) + LineRef(verLine, verText));
            return false;
        }
        g.ProgramVersion = w.Version;
        g.ProgramDate = w.Date;
        // Checked when the line was read.
        QString date = w.Date;
        const long long day = Text::ParseNumber(Text::SplitAt(date, QLatin1Char('.')));
        const long long month = Text::ParseNumber(Text::SplitAt(date, QLatin1Char('.')));
        const long long year = Text::ParseNumber(Text::SplitAt(date, QLatin1Char('.')));
        g.Image[size_t(p + 11)] = quint8(w.Version & 0xFF);
        g.Image[size_t(p + 12)] = 32; // blank version letter
        g.Image[size_t(p + 13)] = quint8(day & 0xFF);
        g.Image[size_t(p + 14)] = quint8(month & 0xFF);
        g.Image[size_t(p + 15)] = quint8((year % 100) & 0xFF);
    }
    return true;
}

bool ConvertConfiguration(DeviceData &d, Prompter &prompter, QStringList *echoTexts)
{
    if (d.FileLength <= 0) {
        prompter.warning(GetText(40));
        return false;
    }
    const QString path = ConversionFilePath();
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
        prompter.error(FileErrorText(path, QFileInfo::exists(path) ? file.errorString()
                                                                   : QStringLiteral("Datei nicht gefunden")));
        return false;
    }
    if (file.size() > kMaxConversionBytes) {
        prompter.error(FileErrorText(path, QStringLiteral("Die Datei ist zu groß.")));
        return false;
    }
    const QStringList lines = SplitDefinitionLines(Ansi::decode(file.readAll()));
    file.close();

    // The commands run on a copy: a refused command (address outside the image, division
    // by zero, a number that is none) must not leave the data half converted, so the
    // loaded data change only when every command has succeeded.
    ConversionWork w;
    w.Geraet = d.Geraet;
    w.ImageBase = d.State.ImageBase;
    w.PageCount = d.State.PageCount;
    w.FileLength = d.FileLength;
    if (!RunConversion(lines, w, prompter))
        return false;

    // The converted data are read again, with the definition of their new version, on a
    // copy too: when that definition is missing or broken, converted bytes under the old
    // parameter list could be sent to a device as if they were the old set. Either the
    // re-read succeeds and the result replaces the loaded data, or the set shown before
    // stays as it was (alarm texts included) and the user is told why.
    DeviceData trial;
    CopyRecord(d, trial);
    trial.Geraet = w.Geraet;
    trial.State.ImageBase = w.ImageBase;
    trial.FileLength = w.FileLength;
    const QStringList alarmTextsBefore = CL_ZLT().Consts;
    CollectingPrompter collected;
    if (!ReadFileParameters(trial, collected)) {
        CL_ZLT().Consts = alarmTextsBefore;
        prompter.error(GetText(472).arg(w.Geraet.ProgramVersion).arg(collected.Texts().join(QLatin1Char('\r'))));
        return false;
    }
    collected.ReplayTo(prompter);

    // The closing texts describe a conversion that took effect.
    if (!w.EchoTexts.isEmpty()) {
        if (echoTexts) {
            *echoTexts = w.EchoTexts;
        } else {
            QString text;
            for (const QString &t : w.EchoTexts)
                text += t + QStringLiteral("\n\r");
            prompter.information(text);
        }
    }
    CopyRecord(trial, d);
    d.Params.SwapItems(trial.Params);
    return true;
}
