#include "services/ui/ReadEvent.h"
#include "monitor/ui/PrintOutput.h"
#include "services/AccessLevels.h"
#include "shell/MainController.h"
#include "shell/MenuRules.h"
#include "shell/Prompter.h"
#include "shell/Texts.h"
#include <QFileDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>

TReadEvent::TReadEvent(MainController &main, QWidget *parent) : QDialog(parent), m_main(main)
{
    setObjectName(QStringLiteral("ReadEvent"));
    setWindowTitle(QStringLiteral("ReadEvent"));
    setModal(true);
    m_core = new EventMemory(main, this);
    m_core->Abandoned = [this] { return m_abandon; };

    m_label1 = new QLabel(this);
    m_label1->setObjectName(QStringLiteral("Label1"));
    m_label3 = new QLabel(this);
    m_label3->setObjectName(QStringLiteral("Label3"));
    m_label3->hide();
    m_label4 = new QLabel(this);
    m_label4->setObjectName(QStringLiteral("Label4"));
    m_label4->setAutoFillBackground(true);
    QPalette green = m_label4->palette();
    green.setColor(QPalette::Window, QColor(0, 255, 0));
    m_label4->setPalette(green);
    m_list = new QTextEdit(this);
    m_list->setObjectName(QStringLiteral("RichEdit1"));
    m_list->setReadOnly(true);
    m_list->setLineWrapMode(QTextEdit::NoWrap);
    m_list->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_list->setMinimumSize(m_list->fontMetrics().horizontalAdvance(QLatin1Char('M')) * (Evn::TextWidth + 4),
                           m_list->fontMetrics().lineSpacing() * 25);

    auto button = [this](const char *name, const QString &caption) {
        auto *b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        return b;
    };
    m_back = button("Btn_Back", QStringLiteral("Zurück"));
    m_save = button("Btn_Save", QStringLiteral("Speichern"));
    m_print = button("Btn_Print", QStringLiteral("Drucken"));
    m_file = button("Btn_File", QStringLiteral("Aus Datei"));
    m_unit = button("Btn_Unit", QStringLiteral("Aus Gerät"));
    m_clear = button("B_Loeschen", QStringLiteral("Löschen"));

    auto *top = new QHBoxLayout;
    top->addWidget(m_label1, 1);
    top->addWidget(m_label4);
    auto *buttons = new QHBoxLayout;
    for (QPushButton *b : {m_unit, m_file, m_save, m_print, m_clear})
        buttons->addWidget(b);
    buttons->addStretch(1);
    buttons->addWidget(m_back);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_label3);
    layout->addWidget(m_list, 1);
    layout->addLayout(buttons);

    connect(m_back, &QPushButton::clicked, this, &TReadEvent::reject);
    connect(m_unit, &QPushButton::clicked, this, &TReadEvent::ReadFromDevice);
    connect(m_file, &QPushButton::clicked, this, &TReadEvent::AskAndLoad);
    connect(m_save, &QPushButton::clicked, this, &TReadEvent::AskAndSave);
    connect(m_print, &QPushButton::clicked, this, &TReadEvent::PrintList);
    connect(m_clear, &QPushButton::clicked, this, &TReadEvent::ClearMemory);
    connect(m_core, &EventMemory::Progress, this, &TReadEvent::ShowProgress);
    connect(m_core, &EventMemory::Finished, this, [this](bool ok) { ReadFinished(ok); });
    connect(m_core, &EventMemory::Cleared, this, [this](bool ok) { ClearFinished(ok); });
}

// At the program's end the poller may already be gone: nothing is resumed here.
TReadEvent::~TReadEvent() = default;

QColor TReadEvent::ColourOf(int colourClass)
{
    switch (colourClass) {
    case 1:
        return QColor(0, 128, 0);
    case 2:
        return QColor(255, 128, 0);
    case 3:
        return QColor(0, 0, 255);
    case 4:
        return QColor(255, 0, 0);
    default:
        return QColor(0, 0, 0);
    }
}

QString TReadEvent::HeaderText() const
{
    return m_fromFile ? m_fileHeader : EventMemory::HeaderText(m_ident);
}

void TReadEvent::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // Lines of an earlier opening are not shown again under the set loaded now: the list
    // starts empty and the header names the loaded set.
    m_lines.clear();
    m_fromFile = false;
    m_abandon = false;
    m_ident = m_core->Identification();
    m_label1->setText(HeaderText());
    m_label4->clear();
    m_label3->hide();
    m_list->clear();
    m_list->setPalette(QPalette());
    UpdateButtons();
}

void TReadEvent::reject()
{
    // Closing during a read abandons it at the next record; the chain still ends cleanly.
    if (m_busy)
        m_abandon = true;
    QDialog::reject();
}

void TReadEvent::NoteEdit()
{
    if (m_busy)
        m_abandon = true;
}

void TReadEvent::UpdateButtons()
{
    const QString level = m_main.Access.Level;
    m_clear->setVisible(!level.isEmpty() && level != Level::Cus);
    m_unit->setEnabled(!m_busy && m_main.Online);
    m_save->setEnabled(!m_busy && m_main.Online);
    m_file->setEnabled(!m_busy);
    m_print->setEnabled(!m_busy);
    m_clear->setEnabled(!m_busy && m_core->ClearAllowed());
}

void TReadEvent::SetBusy(bool busy)
{
    m_busy = busy;
    if (busy)
        m_abandon = false;
    UpdateButtons();
}

void TReadEvent::Pause()
{
    if (m_paused)
        return;
    m_paused = true;
    if (PauseValues)
        PauseValues();
}

void TReadEvent::Resume()
{
    if (!m_paused)
        return;
    m_paused = false;
    if (ResumeValues)
        ResumeValues();
}

void TReadEvent::ReadFromDevice()
{
    if (m_busy)
        return;
    m_lines.clear();
    m_fromFile = false;
    m_list->clear();
    m_label4->clear();
    m_ident = m_core->Identification();
    m_label1->setText(HeaderText());
    Pause();
    SetBusy(true);
    if (!m_core->Read()) {
        // Refused before anything went on the line (the core has told why).
        SetBusy(false);
        Resume();
        ShowEvents();
        return;
    }
    m_label3->setText(GetText(67));
    m_label3->show();
}

void TReadEvent::ShowProgress(quint16 address, int count)
{
    m_label3->setText(GetText(67) + QLatin1Char(' ') + QString::number(address, 16).toUpper());
    m_label4->setText(GetText(151) + QLatin1Char(' ') + QString::number(count));
}

void TReadEvent::ReadFinished(bool ok)
{
    m_label3->hide();
    // A failed or abandoned read shows nothing: part of the ring is not the memory.
    m_lines = ok ? EventMemory::ForDisplay(m_core->Lines(), m_main.Data.State.DeviceType) : QVector<EventLine>();
    SetBusy(false);
    Resume();
    ShowEvents();
}

void TReadEvent::ShowEvents()
{
    m_label4->setText(GetText(151) + QLatin1Char(' ') + QString::number(m_lines.size()));
    m_label1->setText(HeaderText());
    QPalette palette;
    if (m_fromFile)
        palette.setColor(QPalette::Base, FileBackground());
    m_list->setPalette(palette);
    m_list->clear();
    const QVector<int> colours = Evn::DrawnColours(m_lines);
    QTextCursor cursor(m_list->document());
    for (int i = 0; i < m_lines.size(); ++i) {
        if (i > 0)
            cursor.insertBlock();
        QTextCharFormat format;
        format.setForeground(ColourOf(colours[i]));
        cursor.insertText(m_lines[i].Text, format);
    }
    m_list->moveCursor(QTextCursor::Start);
}

QString TReadEvent::AskFile(bool save)
{
    QFileDialog dialog(this, QString(), m_main.DialogFolder(), QtFileFilter(GetText(10)));
    dialog.setObjectName(QStringLiteral("EventFileDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(QStringLiteral("EVN"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    const QString path = dialog.selectedFiles().constFirst();
    m_main.RememberFileFolder(path);
    return path;
}

void TReadEvent::AskAndLoad()
{
    if (m_busy)
        return;
    const QString path = AskFile(false);
    if (!path.isEmpty())
        LoadFile(path);
}

bool TReadEvent::LoadFile(const QString &path)
{
    Evn::Header ident{};
    QVector<EventLine> lines;
    QString why;
    if (!Evn::Load(path, &ident, &lines, &why)) {
        m_main.UserPrompter().error(why);
        return false;
    }
    // The file's identity is shown here only: the loaded set keeps its own order number,
    // which other checks compare against. Saved lines were rewritten when they were read.
    m_ident = ident;
    m_lines = lines;
    m_fromFile = true;
    m_fileHeader = GetText(180) + QLatin1Char(' ') + EventMemory::HeaderText(ident);
    ShowEvents();
    return true;
}

void TReadEvent::AskAndSave()
{
    if (m_busy || m_lines.isEmpty())
        return;
    const QString path = AskFile(true);
    if (!path.isEmpty())
        SaveFile(path);
}

bool TReadEvent::SaveFile(const QString &path)
{
    QString why;
    if (!Evn::Save(path, m_ident, m_lines, &why)) {
        m_main.UserPrompter().warning(why);
        return false;
    }
    return true;
}

void TReadEvent::PrintList()
{
    if (m_busy || m_lines.isEmpty())
        return;
    const QVector<QVector<EventLine>> pages = Evn::PrintPages(m_lines, m_label1->text());
    Print::Pages text;
    PageColours colours;
    for (const QVector<EventLine> &page : pages) {
        QStringList lines;
        QVector<QColor> pens;
        for (const EventLine &l : page) {
            lines << l.Text;
            pens << ColourOf(l.Colour);
        }
        text << lines;
        colours << pens;
    }
    PrintPagesOrPdf(this, m_main, m_main.UserPrompter(), text, GetText(151), colours);
}

void TReadEvent::ClearMemory()
{
    if (m_busy)
        return;
    QString why;
    if (!m_core->ClearAllowed(&why)) {
        m_main.UserPrompter().error(why);
        return;
    }
    if (!m_main.UserPrompter().question(GetText(646)))
        return;
    Pause();
    SetBusy(true);
    if (!m_core->Clear()) {
        SetBusy(false);
        Resume();
    }
}

void TReadEvent::ClearFinished(bool ok)
{
    SetBusy(false);
    Resume();
    if (!ok)
        return; // the core has told why; what the list shows is still the memory before
    m_lines.clear();
    m_fromFile = false;
    m_list->clear();
    m_label4->clear();
    m_main.UserPrompter().information(GetText(647));
}
