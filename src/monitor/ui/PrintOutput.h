#pragma once
#include "monitor/PrintLayout.h"
#include <QColor>
#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>

class DialogPrompter;
class MainController;
class Prompter;
class QPainter;
class QRectF;
class QPagedPaintDevice;
class QWidget;

// Draws the pages with a fixed-pitch font scaled so that 77 columns and 60 lines fill the
// printable area of whatever paper the printer has. Each page of the layout starts a new
// sheet; a longer page (the alarm list) goes on over further sheets. False when the
// printer could not be started. colours: per page and line; a line without one is black.
using PageColours = QVector<QVector<QColor>>;
bool PaintPages(QPagedPaintDevice &printer, const Print::Pages &pages, const PageColours &colours = {});

// The printer target of every printed list: the preview (its print button goes through the
// print dialog) or, without a printer, the offer to keep the pages as a PDF through the save
// dialog. *pdf receives the PDF written. False when cancelled or failed (failures are told).
bool PrintPagesOrPdf(QWidget *parent, MainController &main, Prompter &prompter, const Print::Pages &pages,
                     const QString &title, const PageColours &colours = {}, QString *pdf = nullptr);

// The entries of "&Datenausgabe": asks for the project name, then for the file or the
// printer, and writes or prints the list. The window only chooses the target; the lines
// come from the layout functions.
class TPrintOutput
{
public:
    TPrintOutput(QWidget *parent, MainController &main, Prompter &prompter, DialogPrompter &dialogs);

    // Called before anything is asked and on every way out, so that polling never stays
    // stopped after a cancelled dialog. Unset: nothing to pause.
    std::function<void()> PauseValues;
    std::function<void()> ResumeValues;
    // The print lines of the actual-value page last shown (empty when none was shown since
    // the last reset). Unset: the actual-value list is not available.
    std::function<QStringList()> ActualValueLines;

    // Returns whether the list was written or printed.
    bool Run(Print::Kind kind, Print::Target target);

    // One landscape sheet with a picture (the trend chart) drawn by paint into the page's
    // printable area: through the print dialog, or into a PDF when no printer is installed.
    bool RunPicture(const QString &title, const std::function<void(QPainter &, const QRectF &)> &paint);

    // The paths the dialogs chose last (for the status bar and tests).
    QString LastFile() const { return m_lastFile; }

private:
    bool toFile(Print::Kind kind, const Print::Pages &pages, const QString &project);
    bool toPrinter(const Print::Pages &pages, const QString &project);

    QWidget *m_parent;
    MainController &m_main;
    Prompter &m_prompter;
    DialogPrompter &m_dialogs;
    QString m_lastFile;
};
