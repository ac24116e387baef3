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

bool LoadParameterFile(DeviceData &d, const QString &path, Prompter &prompter)
{
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

    if (!IdentifyFromImage(d, &bytes, prompter) || !SelectDefinition(d, prompter)) {
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
    return ReadParameters(d, prompter);
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

        if (name == QLatin1String("COPY")) {
            const long long source = Text::NextField(value, QLatin1Char(';'));
            const long long target = Text::NextField(value, QLatin1Char(';'));
            const long long count = Text::NextField(value, QLatin1Char(';'));
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
            const long long address = Text::NextField(value, QLatin1Char(';'));
            const long long multiplier = Text::NextField(value, QLatin1Char(','));
            const long long divisor = Text::NextField(value, QLatin1Char(','));
            const long long subtrahend = Text::NextField(value, QLatin1Char(','));
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
            const long long address = Text::NextField(value, QLatin1Char(';'));
            long long index = IndexOf(w, address);
            while (!value.isEmpty()) {
                const QString field = Text::SplitAt(value, QLatin1Char(','));
                QByteArray bytes;
                if (field.startsWith(QLatin1Char('"'))) {
                    if (field.size() < 3)
                        continue;
                    bytes = Ansi::encode(field.mid(1, field.size() - 2));
                } else {
                    bool ok = false;
                    const long long number = Text::ParseNumber(field, &ok);
                    if (!ok)
                        return refuse(ConversionErrorText(field));
                    bytes.append(char(number & 0xFF));
                }
                if (!TGeraet::ValidRange(index, bytes.size()))
                    return refuse(RangeText(w));
                for (char b : bytes)
                    g.Image[size_t(index++)] = quint8(b);
            }
        } else if (name == QLatin1String("BSET")) {
            const long long address = Text::NextField(value, QLatin1Char(';'));
            const long long andMask = Text::NextField(value, QLatin1Char(','));
            const long long orMask = Text::NextField(value, QLatin1Char(','));
            const long long index = IndexIn(w, address, 1);
            if (index < 0)
                return refuse(RangeText(w));
            g.Image[size_t(index)] = quint8(((g.Image[size_t(index)] & andMask) | orMask) & 0xFF);
        } else if (name == QLatin1String("BASE")) {
            const long long newBase = Text::ParseNumber(value);
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
            w.VersionSeen = true;
            w.Version = int(Text::NextField(value, QLatin1Char(';')));
            w.Date = Text::SplitAt(value, QLatin1Char(';'));
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
        QString date = w.Date;
        const long long day = Text::NextField(date, QLatin1Char('.'));
        const long long month = Text::NextField(date, QLatin1Char('.'));
        const long long year = Text::NextField(date, QLatin1Char('.'));
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
    d.Geraet = w.Geraet;
    d.State.ImageBase = w.ImageBase;
    d.FileLength = w.FileLength;
    return ReadFileParameters(d, prompter);
}
