#pragma once
#include <QDate>
#include <QDialog>
#include <QString>

class QLabel;

// The About box: picture, version and date of the program file, the maker's address.
// Shown modally from the menu, or without a frame as the splash at start.
class TAboutBox : public QDialog
{
    Q_OBJECT
public:
    explicit TAboutBox(QWidget *parent = nullptr);

    // "Version " + version + "u", a line break, "vom " + the date in the short format.
    static QString VersionText(const QString &version, const QDate &date);
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
    QLabel *m_picture = nullptr;
    QLabel *m_version = nullptr;
    QLabel *m_address = nullptr;
    bool m_splash = false;
};
