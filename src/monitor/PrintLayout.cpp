#include "monitor/PrintLayout.h"
#include "device/Definition.h"
#include "device/DeviceData.h"
#include "params/FormatValue.h"
#include "params/GridModel.h"
#include "shell/AnsiCodec.h"
#include "shell/Texts.h"
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>
#include <cmath>

namespace Print {

namespace {
QString Blanks(int n) { return QString(std::max(0, n), QLatin1Char(' ')); }
} // namespace

QStringList HeaderLines(const Header &h)
{
    const QString left = GetText(48);
    const QString right = QStringLiteral("F-Number ") + h.FNumber + QStringLiteral("   F-Date ") + h.FDate;
    // A long project name would leave no room for the right part: keep one blank and cut
    // the name in the header (the print job's title keeps it whole).
    const int room = std::max(0, Columns - int(left.size()) - int(right.size()) - 1);
    const QString name = h.Project.left(room);
    QString line1 = left + name;
    line1 += Blanks(Columns - int(line1.size()) - int(right.size())) + right;

    QString line2 = h.DeviceName + QStringLiteral("     PrgVersion ") + h.ProgramId + QLatin1Char('/') +
                    QString::number(h.ProgramVersion) + QStringLiteral("    PrgDate ") + h.ProgramDate;
    if (h.AccessGranted)
        line2 += QStringLiteral("   Ident ") + h.AccessCode;
    return {line1, line2, QString(Columns, QLatin1Char('-'))};
}

QString FooterLine(int page)
{
    const QString text = GetText(193) + QLatin1Char(' ') + QString::number(page);
    // Half a column rounds up: "Seite 10" (8 characters) gets 35 blanks.
    return Blanks(int(std::lround((Columns - int(text.size())) / 2.0))) + text;
}

Pages Layout(const Header &h, const QStringList &body, const Closing &c, Kind kind, Target target)
{
    const bool paged = kind != Kind::Alarms;
    const QStringList header = HeaderLines(h);
    Pages pages;
    QStringList page = header;

    auto finishPage = [&] {
        while (page.size() < PageLines - 1)
            page.append(QString());
        page.append(FooterLine(int(pages.size()) + 1));
        pages.append(page);
        page = header;
    };

    for (const QString &line : body) {
        // A new page starts only when another line follows, so a full last page is not
        // followed by a page with a header alone.
        if (paged && page.size() >= LastBodyLine)
            finishPage();
        page.append(line);
    }

    QStringList fileTime;
    if (!c.FileTime.isEmpty())
        fileTime << QString() << QString()
                 << Blanks(6) + GetText(61) + (target == Target::Printer ? QStringLiteral(" ") : QString()) + c.FileTime;
    const QStringList closing = {Blanks(6) + c.Zeile1, Blanks(6) + c.Zeile2 + QLatin1Char(' ') + c.Now};

    if (!paged) {
        // The alarm list has no padding and no footer.
        page << fileTime << closing;
        if (target == Target::File)
            page << QString();
        pages.append(page);
        return pages;
    }
    // The file-time block has to end before the closing lines; otherwise it moves, with
    // the closing block, to a new page.
    if (page.size() + fileTime.size() > ClosingLine - 1)
        finishPage();
    page << fileTime;
    while (page.size() < ClosingLine - 1)
        page.append(QString());
    page << closing;
    finishPage();
    return pages;
}

QStringList Flatten(const Pages &pages)
{
    QStringList all;
    for (const QStringList &p : pages)
        all << p;
    return all;
}

QStringList ParameterBody(DeviceData &d, TFormatter &f)
{
    QStringList lines;
    const int n = d.Params.Count();
    for (int i = 0; i < n; ++i)
        lines.append(Grid::GridLine(d, f, i));
    return lines;
}

QStringList AlarmBody(const QStringList &gridLines)
{
    QStringList out;
    QString group;
    bool groupWritten = false;
    for (const QString &line : gridLines) {
        if (line.contains(QLatin1String("+++"))) {
            group = line;
            groupWritten = false;
            continue;
        }
        if (!line.contains(QLatin1String("Alarm")) || line.contains(QLatin1String("++ Alarm")))
            continue;
        if (group.contains(QLatin1String("Fernquittierung")))
            continue;
        if (!groupWritten) {
            out << QString();
            // Alarms before any heading have no group row to repeat.
            if (!group.isEmpty())
                out << group;
            groupWritten = true;
        }
        out << line;
    }
    return out;
}

QStringList ConnectionBody(DeviceData &d, TFormatter &f, Prompter &prompter, bool *ok)
{
    QStringList slotTexts;
    for (int i = 0; i < d.Params.Count(); ++i)
        if (d.Params.GetTypeCode(i) == 222)
            Grid::GridLine(d, f, i, &slotTexts);
    QStringList lines;
    const int n = ReadPrintTemplate(d, slotTexts, &lines, prompter);
    if (ok)
        *ok = n > 0;
    if (!lines.isEmpty() && lines.last() == QLatin1String("PrintEnd:"))
        lines.removeLast();
    return lines;
}

Header HeaderFrom(const DeviceData &d, const QString &project, bool accessGranted)
{
    Header h;
    h.Project = project;
    h.FNumber = d.Geraet.FNumber;
    h.FDate = d.Geraet.FDate;
    h.DeviceName = d.Def.TypLines.value(0);
    h.ProgramId = d.Geraet.ProgramId;
    h.ProgramVersion = d.Geraet.ProgramVersion;
    h.ProgramDate = d.Geraet.ProgramDate;
    h.AccessGranted = accessGranted;
    h.AccessCode = d.State.AccessCode;
    return h;
}

QString Suffix(Kind kind) { return kind == Kind::Connections ? QStringLiteral("ANS") : QStringLiteral("TXT"); }

QString ProposedFileName(const QString &project, Kind kind) { return project + QLatin1Char('.') + Suffix(kind); }

QString WithSuffix(const QString &fileName, Kind kind)
{
    if (!QFileInfo(fileName).suffix().isEmpty())
        return fileName;
    return fileName + QLatin1Char('.') + Suffix(kind);
}

QString WriteErrorText(const QString &path, const QString &reason) { return GetText(580).arg(path, reason); }

bool WriteTextFile(const QString &path, const QStringList &lines, QString *error)
{
    QByteArray bytes;
    for (const QString &line : lines)
        bytes += line.toUtf8() + '\n';
    return WriteFile(path, bytes, error);
}

bool WriteFile(const QString &path, const QByteArray &bytes, QString *error)
{
    QSaveFile file(path);
    auto fail = [&](const QString &reason) {
        if (error)
            *error = WriteErrorText(path, reason);
        file.cancelWriting();
        return false;
    };
    if (!file.open(QIODevice::WriteOnly))
        return fail(file.errorString());
    if (file.write(bytes) != bytes.size())
        return fail(file.errorString());
    if (!file.commit())
        return fail(file.errorString());
    return true;
}

Geometry FitPage(double width, double height, double advanceEm)
{
    Geometry g;
    g.LinePitch = height / PageLines;
    g.FontSize = std::min(width / (Columns * advanceEm), g.LinePitch);
    return g;
}

namespace {
QByteArray PdfString(const QString &text)
{
    QByteArray out = "(";
    for (const char ch : Ansi::encode(text)) {
        if (ch == '(' || ch == ')' || ch == '\\')
            out += '\\';
        out += ch;
    }
    return out + ')';
}
QByteArray Num(double v) { return QByteArray::number(v, 'f', 2); }
} // namespace

QByteArray PdfDocument(const Pages &pages, const QString &title)
{
    // A4 in points with margins of 15 mm.
    const double pageW = 595.28, pageH = 841.89, margin = 42.52;
    const Geometry g = FitPage(pageW - 2 * margin, pageH - 2 * margin);

    QVector<QStringList> sheets;
    for (const QStringList &p : pages)
        for (int from = 0; from < std::max<int>(1, p.size()); from += PageLines)
            sheets.append(p.mid(from, PageLines));

    QVector<QByteArray> objects; // object n is objects[n - 1]
    const int fontObj = 3;
    const int firstPageObj = 4;
    QByteArray kids;
    for (int s = 0; s < sheets.size(); ++s)
        kids += QByteArray::number(firstPageObj + 2 * s) + " 0 R ";
    objects.append("<< /Type /Catalog /Pages 2 0 R >>");
    objects.append("<< /Type /Pages /Kids [" + kids + "] /Count " + QByteArray::number(sheets.size()) + " >>");
    objects.append("<< /Type /Font /Subtype /Type1 /BaseFont /Courier /Encoding /WinAnsiEncoding >>");
    for (int s = 0; s < sheets.size(); ++s) {
        QByteArray content = "BT /F1 " + Num(g.FontSize) + " Tf " + Num(g.LinePitch) + " TL " + Num(margin) + ' ' +
                             Num(pageH - margin - g.LinePitch) + " Td\n";
        for (const QString &line : sheets.at(s))
            content += PdfString(line) + " Tj T*\n";
        content += "ET\n";
        objects.append("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + Num(pageW) + ' ' + Num(pageH) +
                       "] /Resources << /Font << /F1 " + QByteArray::number(fontObj) + " 0 R >> >> /Contents " +
                       QByteArray::number(firstPageObj + 2 * s + 1) + " 0 R >>");
        objects.append("<< /Length " + QByteArray::number(content.size()) + " >>\nstream\n" + content +
                       "endstream");
    }
    objects.append("<< /Title " + PdfString(title) + " /Producer (Mirelo) >>");

    QByteArray pdf = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
    QVector<int> offsets;
    for (int i = 0; i < objects.size(); ++i) {
        offsets.append(int(pdf.size()));
        pdf += QByteArray::number(i + 1) + " 0 obj\n" + objects.at(i) + "\nendobj\n";
    }
    const int xref = int(pdf.size());
    pdf += "xref\n0 " + QByteArray::number(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (const int off : offsets)
        pdf += QByteArray::number(off).rightJustified(10, '0') + " 00000 n \n";
    pdf += "trailer\n<< /Size " + QByteArray::number(objects.size() + 1) + " /Root 1 0 R /Info " +
           QByteArray::number(objects.size()) + " 0 R >>\nstartxref\n" + QByteArray::number(xref) + "\n%%EOF\n";
    return pdf;
}

} // namespace Print
