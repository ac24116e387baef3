#pragma once
#include "services/Mem68k.h"
#include <QDialog>
#include <functional>

class MainController;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTreeWidget;

// "68K CPU": memory areas of the controller's CPU into an S2 file and such a file back
// into the CPU. The areas and CPU types come from the area file; the transfers are the
// core's (Mem68kTransfer), this window only binds them.
class TForm68K : public QDialog
{
    Q_OBJECT
public:
    // areaFile: the area file to use; empty for the one in the data folder.
    explicit TForm68K(MainController &main, const QString &areaFile = QString(), QWidget *parent = nullptr);

    // Asks for the file to save (save true) or to open; empty when cancelled. Tests replace it.
    std::function<QString(bool save)> AskFile;

    Mem68kTransfer &Transfer() { return m_transfer; }
    const Mem68kAreaFile &AreaFile() const { return m_file; }
    QComboBox *CpuBox() const { return m_cpu; }
    QTreeWidget *AreaList() const { return m_areas; }
    QPushButton *ReadButton() const { return m_read; }
    QPushButton *WriteButton() const { return m_write; }
    QPlainTextEdit *Memo() const { return m_memo; }
    QProgressBar *AreasBar() const { return m_bar1; }
    QProgressBar *BlocksBar() const { return m_bar2; }
    // The checked areas in list order.
    QVector<Mem68kArea> CheckedAreas() const;

    void B_ReadClick();
    void B_WriteClick();
    void ComboBox1Change();
    // Closing asks a running transfer to stop at its next answer.
    void reject() override;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QString DefaultAskFile(bool save);
    void OnProgress(int areasDone, int areas, int blocksDone, int blocks);

    MainController &m_main;
    Mem68kAreaFile m_file;
    bool m_fileOpen = false;
    QString m_fileProblem; // told when the window is first shown

    Mem68kTransfer m_transfer;
    QLabel *m_cpuLabel = nullptr;
    QComboBox *m_cpu = nullptr;
    QLabel *m_areasLabel = nullptr;
    QTreeWidget *m_areas = nullptr;
    QPushButton *m_read = nullptr;
    QPushButton *m_write = nullptr;
    QPlainTextEdit *m_memo = nullptr;
    QProgressBar *m_bar1 = nullptr;
    QProgressBar *m_bar2 = nullptr;
};
