#pragma once
#include <QDate>
#include <QDialog>
#include <QString>

class QDialogButtonBox;
class QLabel;

// The About box: picture, version and date of the program file, the maker's address.
// Shown modally from the menu (closed by OK or any key), or without a frame and without
// the button as the splash at start.
class TAboutBox : public QDialog
{
    Q_OBJECT
public:
    // languageCode: the interface language ("deu", "eng"), which the date follows.
    explicit TAboutBox(QWidget *parent = nullptr, const QString &languageCode = QStringLiteral("deu"));

    // "Version " + version + "u", a line break, text 402 ("vom ") + DateText.
    static QString VersionText(const QString &version, const QDate &date,
                               const QString &languageCode = QStringLiteral("deu"));
    // The date as the language writes it: "17.05.2024" in German; otherwise day, month
    // name and year ("17 May 2024"), which no reader can take for another day.
    static QString DateText(const QDate &date, const QString &languageCode);
    // The modification date of the running program file; the build date when unknown.
    static QDate ProgramDate();
    static QString AddressBlock();

    // Shows the box non-modally and closes it after closeAfterMs (0: stays until closed).
    void ShowSplash(int closeAfterMs = 2000);
    bool IsSplash() const { return m_splash; }

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    // Fixed to what is shown: the splash has no button row.
    void fitToContents();
    QLabel *m_picture = nullptr;
    QLabel *m_version = nullptr;
    QLabel *m_address = nullptr;
    QDialogButtonBox *m_buttons = nullptr;
    bool m_splash = false;
};
