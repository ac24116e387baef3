#include "services/ui/Cpu68k.h"
#include "shell/MainController.h"
#include "shell/Prompter.h"
#include "shell/Texts.h"
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
QString hex6(quint32 v) { return QStringLiteral("%1").arg(v, 6, 16, QLatin1Char('0')).toUpper(); }
} // namespace

TForm68K::TForm68K(MainController &main, const QString &areaFile, QWidget *parent)
    : QDialog(parent), m_main(main), m_transfer(main)
{
    setObjectName(QStringLiteral("Form68K"));
    setWindowTitle(QStringLiteral("68K CPU"));
    setModal(true);

    m_cpuLabel = new QLabel(QStringLiteral("CPU Typ:"), this);
    m_cpuLabel->setObjectName(QStringLiteral("Label1"));
    m_cpu = new QComboBox(this);
    m_cpu->setObjectName(QStringLiteral("ComboBox1"));
    m_areasLabel = new QLabel(QStringLiteral("Datenbereiche"), this);
    m_areasLabel->setObjectName(QStringLiteral("Label2"));
    m_areas = new QTreeWidget(this);
    m_areas->setObjectName(QStringLiteral("CLB_Bereiche"));
    m_areas->setColumnCount(3);
    m_areas->setHeaderHidden(true);
    m_areas->setRootIsDecorated(false);
    m_read = new QPushButton(QStringLiteral("Daten aus der CPU holen"), this);
    m_read->setObjectName(QStringLiteral("B_Read"));
    m_write = new QPushButton(QStringLiteral("Daten in die CPU schreiben"), this);
    m_write->setObjectName(QStringLiteral("B_Write"));
    for (QPushButton *b : {m_read, m_write})
        b->setAutoDefault(false);
    m_memo = new QPlainTextEdit(this);
    m_memo->setObjectName(QStringLiteral("Memo1"));
    m_memo->setReadOnly(true);
    m_memo->setStyleSheet(QStringLiteral("QPlainTextEdit { background: #FFFFE1; }"));
    m_memo->viewport()->installEventFilter(this);
    m_bar1 = new QProgressBar(this);
    m_bar1->setObjectName(QStringLiteral("ProgressBar1"));
    m_bar1->setStyleSheet(QStringLiteral("QProgressBar::chunk { background: green; }"));
    m_bar2 = new QProgressBar(this);
    m_bar2->setObjectName(QStringLiteral("ProgressBar2"));
    m_bar2->setStyleSheet(QStringLiteral("QProgressBar::chunk { background: teal; }"));

    auto *top = new QHBoxLayout;
    top->addWidget(m_cpuLabel);
    top->addWidget(m_cpu, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_read);
    buttons->addWidget(m_write);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_areasLabel);
    layout->addWidget(m_areas, 1);
    layout->addLayout(buttons);
    layout->addWidget(m_bar1);
    layout->addWidget(m_bar2);
    layout->addWidget(m_memo, 1);
    resize(460, 480);

    AskFile = [this](bool save) { return DefaultAskFile(save); };

    const QString path = areaFile.isEmpty() ? Mem68kAreaFile::DefaultPath() : areaFile;
    m_fileOpen = m_file.Load(path);
    // The window is made at start with the others; a missing or broken area file is told
    // when someone opens it, not to every user at every start.
    if (!m_fileOpen) {
        m_fileProblem = Mem68kAreaFile::FileName() + QLatin1Char(' ') + GetText(842);
    } else {
        m_fileProblem = m_file.Problems().join(QLatin1Char('\n'));
        for (const Mem68kArea &a : m_file.Areas()) {
            auto *item = new QTreeWidgetItem(m_areas, {a.Name, hex6(a.Start), hex6(a.Length)});
            item->setCheckState(0, Qt::Unchecked);
        }
        m_cpu->addItems(m_file.CpuTypes());
    }
    m_areas->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_cpu->addItem(GetText(843));
    m_cpu->setCurrentIndex(0);
    ComboBox1Change();

    connect(m_cpu, &QComboBox::currentIndexChanged, this, &TForm68K::ComboBox1Change);
    connect(m_read, &QPushButton::clicked, this, &TForm68K::B_ReadClick);
    connect(m_write, &QPushButton::clicked, this, &TForm68K::B_WriteClick);
    connect(&m_transfer, &Mem68kTransfer::Note, m_memo, &QPlainTextEdit::appendPlainText);
    connect(&m_transfer, &Mem68kTransfer::Progress, this, &TForm68K::OnProgress);
}

void TForm68K::ComboBox1Change()
{
    const bool custom = m_cpu->currentIndex() == m_cpu->count() - 1;
    m_areas->setEnabled(custom);
    if (custom || !m_fileOpen)
        return;
    const QStringList chosen = m_file.AreasOf(m_cpu->currentText());
    for (int i = 0; i < m_areas->topLevelItemCount(); ++i) {
        QTreeWidgetItem *item = m_areas->topLevelItem(i);
        item->setCheckState(0, chosen.contains(item->text(0)) ? Qt::Checked : Qt::Unchecked);
    }
}

QVector<Mem68kArea> TForm68K::CheckedAreas() const
{
    QVector<Mem68kArea> out;
    for (int i = 0; i < m_areas->topLevelItemCount(); ++i)
        if (m_areas->topLevelItem(i)->checkState(0) == Qt::Checked)
            out.push_back(m_file.Areas().at(i));
    return out;
}

void TForm68K::B_ReadClick()
{
    if (m_transfer.Running()) {
        m_transfer.RequestAbort();
        return;
    }
    const QString path = AskFile(true);
    if (path.isEmpty())
        return;
    m_transfer.StartRead(CheckedAreas(), path);
}

void TForm68K::B_WriteClick()
{
    // Starting a write now would take the lines from under the running transfer.
    if (m_transfer.Running()) {
        m_transfer.RequestAbort();
        return;
    }
    const QString path = AskFile(false);
    if (path.isEmpty())
        return;
    m_transfer.StartWriteFile(path);
}

void TForm68K::OnProgress(int areasDone, int areas, int blocksDone, int blocks)
{
    if (areas == 0) { // writing: the first bar counts the pieces
        m_bar1->setRange(0, qMax(1, blocks));
        m_bar1->setValue(blocksDone);
        m_bar2->setValue(m_bar2->minimum());
        return;
    }
    m_bar1->setRange(0, areas);
    m_bar1->setValue(areasDone);
    m_bar2->setRange(0, qMax(1, blocks));
    m_bar2->setValue(blocksDone);
}

QString TForm68K::DefaultAskFile(bool save)
{
    QFileDialog dialog(this, QString(), m_main.DialogFolder(), QStringLiteral("Motorola S2 (*.S2 *.s2);;Alle Dateien (*)"));
    dialog.setObjectName(QStringLiteral("FileDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(QStringLiteral("S2"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    const QString path = dialog.selectedFiles().constFirst();
    m_main.RememberFileFolder(path);
    return path;
}

void TForm68K::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!m_fileProblem.isEmpty()) {
        const QString text = m_fileProblem;
        m_fileProblem.clear();
        m_main.UserPrompter().error(text);
    }
    if (!m_transfer.Running()) {
        m_bar1->setValue(m_bar1->minimum());
        m_bar2->setValue(m_bar2->minimum());
    }
}

void TForm68K::closeEvent(QCloseEvent *event)
{
    m_transfer.RequestAbort();
    QDialog::closeEvent(event);
}

void TForm68K::reject()
{
    m_transfer.RequestAbort();
    QDialog::reject();
}

bool TForm68K::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_memo->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        m_memo->clear();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
