#include "params/ui/FormChanges.h"
#include "shell/Translate.h"
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

TFormChanges::TFormChanges(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FormChanges"));
    setWindowTitle(QStringLiteral("Mirelo Parameter zum Gerät"));
    m_texts.Consts = {QStringLiteral("Die Parameter im Gerät stimmen mit den geladenen überein.#13Parameter zum Gerät senden?"),
                      QStringLiteral("%1 Parameter werden im Gerät geändert. Parameter zum Gerät senden?"),
                      QStringLiteral("Adresse"), QStringLiteral("Parameter"), QStringLiteral("Im Gerät"),
                      QStringLiteral("Neu")};
    new TConstListHolder(m_texts, QStringLiteral("CL_Texts"), this);
    m_label = new QLabel(this);
    m_label->setObjectName(QStringLiteral("Label1"));
    m_label->setWordWrap(true);
    m_table = new QTableWidget(0, 4, this);
    m_table->setObjectName(QStringLiteral("Tbl_Changes"));
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(20);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    m_ok = new QPushButton(QStringLiteral("Senden"), this);
    m_ok->setObjectName(QStringLiteral("Btn_Ok"));
    m_ok->setDefault(true);
    m_cancel = new QPushButton(QStringLiteral("Abbruch"), this);
    m_cancel->setObjectName(QStringLiteral("Btn_Abbruch"));
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    auto *box = new QVBoxLayout(this);
    box->addWidget(m_label);
    box->addWidget(m_table, 1);
    box->addLayout(buttons);
    resize(640, 420);
}

void TFormChanges::Prepare(const QVector<ParameterChange> &changes)
{
    const QStringList &t = m_texts.Consts;
    QString sentence = changes.isEmpty() ? t.value(0) : t.value(1).arg(changes.size());
    m_label->setText(sentence.replace(QLatin1String("#13"), QLatin1String("\n")));
    m_table->setHorizontalHeaderLabels(t.mid(2, 4));
    m_table->setVisible(!changes.isEmpty());
    m_table->setRowCount(int(changes.size()));
    for (int r = 0; r < changes.size(); ++r) {
        const ParameterChange &c = changes.at(r);
        const QStringList cells{c.Address.trimmed(), c.Text.trimmed(), c.DeviceValue.trimmed(), c.FileValue.trimmed()};
        for (int col = 0; col < cells.size(); ++col) {
            auto *item = new QTableWidgetItem(cells.at(col));
            if (col >= 2)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            m_table->setItem(r, col, item);
        }
    }
    m_table->resizeColumnToContents(0);
    m_table->resizeColumnToContents(2);
    m_table->resizeColumnToContents(3);
    m_ok->setFocus();
}

bool TFormChanges::Confirm(const QVector<ParameterChange> &changes)
{
    Prepare(changes);
    return exec() == QDialog::Accepted;
}
