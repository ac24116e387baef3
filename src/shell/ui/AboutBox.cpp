#include "shell/ui/AboutBox.h"
#include "shell/Texts.h"
#include "shell/Translate.h"
#include "shell/UpdateCheck.h"
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLinearGradient>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QTimer>
#include <QVBoxLayout>

namespace {
// The picture: drawn, so the program needs no image file.
QPixmap Picture()
{
    QPixmap pix(96, 96);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 96, 96);
    g.setColorAt(0, QColor(0x1f, 0x5f, 0xa8));
    g.setColorAt(1, QColor(0x0b, 0x2d, 0x55));
    p.setBrush(g);
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(2, 2, 92, 92), 14, 14);
    // A sine wave over a baseline: the generator set.
    QPainterPath wave;
    wave.moveTo(14, 48);
    wave.cubicTo(26, 16, 38, 16, 48, 48);
    wave.cubicTo(58, 80, 70, 80, 82, 48);
    p.setPen(QPen(QColor(0xff, 0xc8, 0x3d), 6, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawPath(wave);
    p.setPen(QPen(QColor(255, 255, 255, 170), 2));
    p.drawLine(QPointF(12, 48), QPointF(84, 48));
    return pix;
}

QDate BuildDate()
{
    // __DATE__ is "Mmm dd yyyy" with a blank before a one-digit day.
    return QLocale::c().toDate(QString::fromLatin1(__DATE__).simplified(), QStringLiteral("MMM d yyyy"));
}
} // namespace

TAboutBox::TAboutBox(QWidget *parent, const QString &languageCode) : QDialog(parent)
{
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("Info"));

    m_picture = new QLabel(this);
    m_picture->setObjectName(QStringLiteral("ProgramIcon"));
    m_picture->setPixmap(Picture());
    m_picture->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    auto *product = new QLabel(QStringLiteral("Mirelo"), this);
    product->setObjectName(QStringLiteral("ProductName"));
    QFont big = product->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    product->setFont(big);

    m_version = new QLabel(this);
    m_version->setObjectName(QStringLiteral("Version"));
    m_version->setText(VersionText(UpdateCheck::OwnVersion(), ProgramDate(), languageCode));

    auto *line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);

    m_address = new QLabel(AddressBlock(), this);
    m_address->setObjectName(QStringLiteral("Copyright"));

    auto *text = new QVBoxLayout;
    text->addWidget(product);
    text->addWidget(m_version);
    text->addSpacing(6);
    text->addWidget(line);
    text->addSpacing(6);
    text->addWidget(m_address);
    text->addStretch(1);

    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    m_buttons->setObjectName(QStringLiteral("ButtonBox"));
    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto *row = new QHBoxLayout;
    row->setSpacing(18);
    row->addWidget(m_picture);
    row->addLayout(text, 1);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(18, 18, 24, 18);
    layout->addLayout(row, 1);
    layout->addWidget(m_buttons);
    fitToContents();
}

void TAboutBox::fitToContents()
{
    layout()->activate();
    setFixedSize(sizeHint());
}

QString TAboutBox::DateText(const QDate &date, const QString &languageCode)
{
    if (!date.isValid())
        return QString();
    const QLocale locale = Translation::LocaleOfLanguage(languageCode);
    if (locale.language() == QLocale::German)
        return locale.toString(date, QStringLiteral("dd.MM.yyyy"));
    return locale.toString(date, QStringLiteral("d MMMM yyyy"));
}

QString TAboutBox::VersionText(const QString &version, const QDate &date, const QString &languageCode)
{
    return QStringLiteral("Version ") + version + QStringLiteral("u") + QLatin1Char('\n') + GetText(402) +
           DateText(date, languageCode);
}

QDate TAboutBox::ProgramDate()
{
    const QString path = QCoreApplication::applicationFilePath();
    const QFileInfo info(path);
    if (!path.isEmpty() && info.exists())
        return info.lastModified().date();
    return BuildDate();
}

QString TAboutBox::AddressBlock()
{
    return QStringLiteral("Baldren Solutions GmbH\n"
                          "Werkstraße 12\n"
                          "D-12345 Musterstadt\n"
                          "Tel. +49 (0)123 45678-0\n"
                          "service@baldren.example");
}

void TAboutBox::ShowSplash(int closeAfterMs)
{
    m_splash = true;
    m_buttons->hide();
    fitToContents();
    setWindowModality(Qt::NonModal);
    setWindowFlag(Qt::SplashScreen, true);
    show();
    if (closeAfterMs > 0)
        QTimer::singleShot(closeAfterMs, this, [this] {
            close();
            m_splash = false;
            m_buttons->show();
            fitToContents();
            setWindowFlag(Qt::SplashScreen, false);
        });
}

void TAboutBox::keyPressEvent(QKeyEvent *event)
{
    // Any key closes the box.
    event->accept();
    close();
}

void TAboutBox::mousePressEvent(QMouseEvent *event)
{
    // A click closes the splash early; the modal box keeps its frame's close button.
    if (m_splash)
        close();
    else
        QDialog::mousePressEvent(event);
}
