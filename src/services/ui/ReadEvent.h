#pragma once
#include "services/EventMemory.h"
#include <QColor>
#include <QDialog>
#include <functional>

class MainController;
class QLabel;
class QPushButton;
class QTextEdit;

// "ReadEvent": the device's event memory, one coloured line per event. Reads it, loads and
// saves event files, prints the list and clears the memory. The chains are the core's.
class TReadEvent : public QDialog
{
    Q_OBJECT
public:
    explicit TReadEvent(MainController &main, QWidget *parent = nullptr);
    ~TReadEvent() override;

    EventMemory &Core() { return *m_core; }
    // The colour of a drawn colour class (0 black, 1 green, 2 orange, 3 blue, 4 red).
    static QColor ColourOf(int colourClass);
    // The list background of lines loaded from a file.
    static QColor FileBackground() { return QColor(166, 202, 240); }

    // What the list shows now and where it came from.
    const QVector<EventLine> &Lines() const { return m_lines; }
    bool FromFile() const { return m_fromFile; }
    QString HeaderText() const;

    QLabel *HeaderLabel() const { return m_label1; }
    QLabel *ProgressLabel() const { return m_label3; }
    QLabel *CountLabel() const { return m_label4; }
    QTextEdit *List() const { return m_list; }
    QPushButton *BackButton() const { return m_back; }
    QPushButton *SaveButton() const { return m_save; }
    QPushButton *PrintButton() const { return m_print; }
    QPushButton *FileButton() const { return m_file; }
    QPushButton *UnitButton() const { return m_unit; }
    QPushButton *ClearButton() const { return m_clear; }

    // Loads or saves without the file dialog (the buttons ask first). False when refused; the
    // reason has been told and nothing shown changed.
    bool LoadFile(const QString &path);
    bool SaveFile(const QString &path);

    // Whoever polls actual values stops while a chain of this window uses the line.
    std::function<void()> PauseValues;
    std::function<void()> ResumeValues;

public slots:
    // A value was edited meanwhile: a running read is abandoned at its next record, since
    // the write may have moved what the ring refers to.
    void NoteEdit();

protected:
    void showEvent(QShowEvent *event) override;
    void reject() override;

private:
    void ReadFromDevice();
    void AskAndLoad();
    void AskAndSave();
    void PrintList();
    void ClearMemory();
    void ReadFinished(bool ok);
    void ClearFinished(bool ok);
    void ShowProgress(quint16 address, int count);
    void ShowEvents();
    void SetBusy(bool busy);
    void UpdateButtons();
    void Pause();
    void Resume();
    QString AskFile(bool save);

    MainController &m_main;
    EventMemory *m_core = nullptr;
    QVector<EventLine> m_lines;
    Evn::Header m_ident{};
    QString m_fileHeader;
    bool m_fromFile = false;
    bool m_busy = false;
    bool m_paused = false;
    bool m_abandon = false;

    QLabel *m_label1 = nullptr;
    QLabel *m_label3 = nullptr;
    QLabel *m_label4 = nullptr;
    QTextEdit *m_list = nullptr;
    QPushButton *m_back = nullptr;
    QPushButton *m_save = nullptr;
    QPushButton *m_print = nullptr;
    QPushButton *m_file = nullptr;
    QPushButton *m_unit = nullptr;
    QPushButton *m_clear = nullptr;
};
