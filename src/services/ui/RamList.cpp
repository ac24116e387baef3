#include "services/ui/RamList.h"
#include "shell/MainController.h"
#include "shell/Prompter.h"
#include "shell/Texts.h"
#include <QFontDatabase>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

TRAM_Liste::TRAM_Liste(MainController &main, ParameterSender &sender, QWidget *parent)
    : QDialog(parent), m_core(main, sender)
{
    setObjectName(QStringLiteral("RAM_Liste"));
    setWindowTitle(QStringLiteral("RAM 2E2C - 2E99"));
    setModal(true);

    auto makeEdit = [this](const RamList::Field &f) {
        auto *e = new QLineEdit(this);
        e->setObjectName(f.Name);
        e->setReadOnly(true);
        e->setMaximumWidth(80);
        m_edits.push_back(e);
        return e;
    };
    // Three columns: counters, cycle times and mains; generator; bits and vector shift.
    auto *columns = new QHBoxLayout;
    QFormLayout *column = nullptr;
    QFormLayout *bits = nullptr;
    for (const RamList::Field &f : RamList::Fields()) {
        if (f.Address == RamList::FirstAddress || f.Address == 0x2E70 || f.Address == 0x2E8E) {
            column = new QFormLayout;
            columns->addLayout(column);
        }
        if (f.Bit == 0) {
            auto *group = new QGroupBox(RamList::GroupLabel(f), this);
            group->setObjectName(f.Address == 0x2E8E ? QStringLiteral("GroupBox_Netz") : QStringLiteral("GroupBox_Gen"));
            bits = new QFormLayout(group);
            column->addRow(group);
        }
        QLineEdit *e = makeEdit(f);
        // Named after its field ("Edit7" -> "Label7") so that the language files reach it.
        auto *label = new QLabel(f.Label, this);
        label->setObjectName(QString(f.Name).replace(QLatin1String("Edit"), QLatin1String("Label")));
        if (f.Bit >= 0)
            bits->addRow(label, e);
        else
            column->addRow(label, e);
        if (f.Address == 0x2E2E) {
            m_memo = new QPlainTextEdit(this);
            m_memo->setObjectName(QStringLiteral("Memo1"));
            m_memo->setReadOnly(true);
            m_memo->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
            m_memo->setFixedHeight(m_memo->fontMetrics().lineSpacing() * 5 + 8);
            auto *cycles = new QLabel(QStringLiteral("Zykluszeiten:"), this);
            cycles->setObjectName(QStringLiteral("Label_Zykluszeiten"));
            column->addRow(cycles);
            column->addRow(m_memo);
        }
    }

    m_read = new QPushButton(QStringLiteral("Daten holen"), this);
    m_read->setObjectName(QStringLiteral("Button2"));
    m_reset = new QPushButton(QStringLiteral("Reset"), this);
    m_reset->setObjectName(QStringLiteral("Button3"));
    m_close = new QPushButton(QStringLiteral("Beenden"), this);
    m_close->setObjectName(QStringLiteral("Button1"));
    auto *buttons = new QHBoxLayout;
    for (QPushButton *b : {m_read, m_reset, m_close}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addLayout(buttons);

    connect(m_read, &QPushButton::clicked, this, [this] { m_core.Read(); });
    connect(m_reset, &QPushButton::clicked, this, [this] { m_core.Reset(); });
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);
    connect(&m_core, &RamList::ReadFinished, this, &TRAM_Liste::ShowValues);
    connect(&m_core, &RamList::ResetFinished, this, [this, &main](bool ok) {
        if (ok)
            main.UserPrompter().information(GetText(622));
    });
}

QLineEdit *TRAM_Liste::FieldEdit(const QString &name) const
{
    for (QLineEdit *e : m_edits)
        if (e->objectName() == name)
            return e;
    return nullptr;
}

void TRAM_Liste::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // Nothing is read on opening: the fields start empty until "Daten holen".
    Clear();
}

void TRAM_Liste::Clear()
{
    m_memo->clear();
    for (QLineEdit *e : m_edits)
        e->clear();
}

void TRAM_Liste::ShowValues(bool ok)
{
    // A failed read leaves the fields as they were (the failure has been told).
    if (!ok)
        return;
    const QStringList &values = m_core.Values();
    for (int i = 0; i < m_edits.size() && i < values.size(); ++i)
        m_edits[i]->setText(values[i]);
    m_memo->setPlainText(m_core.CycleTimes().join(QLatin1Char('\n')));
}
