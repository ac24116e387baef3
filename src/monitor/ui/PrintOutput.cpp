#include "monitor/ui/PrintOutput.h"
#include "params/FormatValue.h"
#include "params/ui/ValueDialogs.h"
#include "shell/MainController.h"
#include "shell/MenuRules.h"
#include "shell/Prompter.h"
#include "shell/Texts.h"
#include <QDateTime>
#include <QFileDialog>
#include <QPdfWriter>
#include <QSaveFile>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QLocale>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <algorithm>

bool PaintPages(QPagedPaintDevice &printer, const Print::Pages &pages, const PageColours &colours)
{
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    const QRect paper = printer.pageLayout().paintRectPixels(printer.logicalDpiX());
    const QRectF area(0, 0, paper.width(), paper.height());
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setFamilies({QStringLiteral("Courier New"), QStringLiteral("DejaVu Sans Mono"), font.family()});
    font.setStyleHint(QFont::TypeWriter);
    // Measure the font's own advance and height so that any fixed-pitch face fits the 77
    // columns and its lines do not run into each other.
    font.setPixelSize(100);
    const QFontMetricsF probe(font, &printer);
    const double advanceEm = probe.horizontalAdvance(QLatin1Char('M')) / 100.0;
    const double heightEm = probe.height() / 100.0;
    const Print::Geometry g = Print::FitPage(area.width(), area.height(), advanceEm);
    font.setPixelSize(std::max(1, int(std::min(g.FontSize, g.LinePitch / heightEm))));
    painter.setFont(font);
    painter.setPen(Qt::black);
    const double ascent = QFontMetricsF(font, &printer).ascent();

    bool first = true;
    for (int p = 0; p < pages.size(); ++p) {
        const QStringList &page = pages.at(p);
        const QVector<QColor> pageColours = p < colours.size() ? colours.at(p) : QVector<QColor>();
        for (int from = 0; from < std::max<int>(1, page.size()); from += Print::PageLines) {
            if (!first)
                printer.newPage();
            first = false;
            const QStringList sheet = page.mid(from, Print::PageLines);
            for (int n = 0; n < sheet.size(); ++n) {
                const int line = from + n;
                painter.setPen(line < pageColours.size() ? pageColours.at(line) : QColor(Qt::black));
                painter.drawText(QPointF(area.left(), area.top() + n * g.LinePitch + ascent), sheet.at(n));
            }
        }
    }
    return painter.end();
}

TPrintOutput::TPrintOutput(QWidget *parent, MainController &main, Prompter &prompter, DialogPrompter &dialogs)
    : m_parent(parent), m_main(main), m_prompter(prompter), m_dialogs(dialogs)
{
}

namespace {
// Resumes the paused actual values however the command ends.
struct PauseGuard
{
    explicit PauseGuard(const TPrintOutput &o) : resume(o.ResumeValues)
    {
        if (o.PauseValues)
            o.PauseValues();
    }
    ~PauseGuard()
    {
        if (resume)
            resume();
    }
    std::function<void()> resume;
};

QString AskSaveName(QWidget *parent, MainController &main, const QString &title, const QString &filter,
                    const QString &suffix, const QString &proposed)
{
    QFileDialog dialog(parent, title, main.DialogFolder(), filter);
    dialog.setObjectName(QStringLiteral("PrintFileDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // The dialog adds the suffix only to a name without one and asks before replacing a file.
    dialog.setDefaultSuffix(suffix);
    dialog.selectFile(proposed);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    const QString path = dialog.selectedFiles().constFirst();
    main.RememberFileFolder(path);
    return path;
}
} // namespace

bool PrintPagesOrPdf(QWidget *parent, MainController &main, Prompter &prompter, const Print::Pages &pages,
                     const QString &title, const PageColours &colours, QString *pdf)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(title);
    if (QPrinterInfo::availablePrinters().isEmpty()) {
        // No printer: the pages can still be kept as a PDF.
        if (!prompter.question(GetText(583)))
            return false;
        const QString path =
            AskSaveName(parent, main, GetText(581), GetText(582), QStringLiteral("pdf"), title + QStringLiteral(".pdf"));
        if (path.isEmpty())
            return false;
        // Written beside the old file and renamed when complete, so a failure keeps it.
        QSaveFile file(path);
        if (file.open(QIODevice::WriteOnly)) {
            QPdfWriter writer(&file);
            writer.setTitle(title);
            writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                             QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter));
            if (!PaintPages(writer, pages, colours))
                file.cancelWriting();
        }
        if (!file.commit()) {
            prompter.error(Print::WriteErrorText(path, file.errorString()));
            return false;
        }
        if (pdf)
            *pdf = path;
        return true;
    }
    // The preview's print button goes through the print dialog.
    QPrintPreviewDialog preview(&printer, parent);
    preview.setObjectName(QStringLiteral("PrintPreview"));
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview,
                     [&pages, &colours](QPrinter *p) { PaintPages(*p, pages, colours); });
    return preview.exec() == QDialog::Accepted;
}

bool TPrintOutput::Run(Print::Kind kind, Print::Target target)
{
    PauseGuard guard(*this);
    if (!m_main.ParamsLoaded) {
        m_prompter.information(GetText(40));
        return false;
    }
    if (kind == Print::Kind::ActualValues) {
        // Acts only when a page has been shown since the last reset.
        if (!ActualValueLines || ActualValueLines().isEmpty())
            return false;
    }
    QString project;
    if (!m_dialogs.AskText(GetText(48), project))
        return false;

    DeviceData &d = m_main.Data;
    TFormatter f(d, &m_prompter);
    QStringList body;
    if (kind == Print::Kind::Connections) {
        bool ok = false;
        body = Print::ConnectionBody(d, f, m_prompter, &ok);
        if (!ok)
            return false;
    } else if (kind == Print::Kind::ActualValues) {
        body = ActualValueLines();
    } else if (kind == Print::Kind::Alarms) {
        body = Print::AlarmBody(Print::ParameterBody(d, f));
    } else {
        body = Print::ParameterBody(d, f);
    }
    Print::Closing closing;
    if (m_main.OfflineFile)
        closing.FileTime = d.FileTime;
    closing.Zeile1 = m_main.Settings.Zeile1;
    closing.Zeile2 = m_main.Settings.Zeile2;
    closing.Now = QLocale::system().toString(QDateTime::currentDateTime(), QLocale::ShortFormat);
    const Print::Header header = Print::HeaderFrom(d, project, m_main.Access.Identified);
    const Print::Pages pages = Print::Layout(header, body, closing, kind, target);
    return target == Print::Target::File ? toFile(kind, pages, project) : toPrinter(pages, project);
}

bool TPrintOutput::toFile(Print::Kind kind, const Print::Pages &pages, const QString &project)
{
    const QString suffix = Print::Suffix(kind);
    const QString filter = GetText(kind == Print::Kind::Connections ? 145 : 144) + QStringLiteral(" (*.") + suffix +
                           QStringLiteral(" *.") + suffix.toLower() + QLatin1Char(')');
    const QString path = AskSaveName(m_parent, m_main, QString(), filter, suffix, Print::ProposedFileName(project, kind));
    if (path.isEmpty())
        return false;
    QString error;
    if (!Print::WriteTextFile(path, Print::Flatten(pages), &error)) {
        m_prompter.error(error);
        return false;
    }
    m_lastFile = path;
    return true;
}

bool TPrintOutput::toPrinter(const Print::Pages &pages, const QString &project)
{
    QString pdf;
    const bool done = PrintPagesOrPdf(m_parent, m_main, m_prompter, pages, project, {}, &pdf);
    if (done && !pdf.isEmpty())
        m_lastFile = pdf;
    return done;
}

bool TPrintOutput::RunPicture(const QString &title, const std::function<void(QPainter &, const QRectF &)> &paint)
{
    auto draw = [&paint](QPagedPaintDevice &device) {
        QPainter painter;
        if (!painter.begin(&device))
            return false;
        const QRect page = device.pageLayout().paintRectPixels(device.logicalDpiX());
        paint(painter, QRectF(0, 0, page.width(), page.height()));
        return painter.end();
    };
    if (QPrinterInfo::availablePrinters().isEmpty()) {
        if (!m_prompter.question(GetText(798)))
            return false;
        const QString path = AskSaveName(m_parent, m_main, GetText(581), GetText(582), QStringLiteral("pdf"),
                                              title + QStringLiteral(".pdf"));
        if (path.isEmpty())
            return false;
        QSaveFile file(path);
        if (file.open(QIODevice::WriteOnly)) {
            QPdfWriter writer(&file);
            writer.setTitle(title);
            writer.setResolution(150);
            writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(0, 0, 0, 0),
                                             QPageLayout::Millimeter));
            if (!draw(writer))
                file.cancelWriting();
        }
        if (!file.commit()) {
            m_prompter.error(Print::WriteErrorText(path, file.errorString()));
            return false;
        }
        m_lastFile = path;
        return true;
    }
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(title);
    printer.setPageOrientation(QPageLayout::Landscape);
    QPrintDialog dialog(&printer, m_parent);
    dialog.setObjectName(QStringLiteral("PrintDialog"));
    return dialog.exec() == QDialog::Accepted && draw(printer);
}
