#pragma once
#include "shell/MenuRules.h"
#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <memory>

class DeviceReader;
class DialogPrompter;
class EditSession;
class GuiEditDialogs;
class LineChange;
class ParameterSender;
class TFormChanges;
class TNachrichten;
class TPrintOutput;
class TValuesView;
class ValuePoller;
class TAbgleichDialog;
class MainController;
class ProtocolSearch;
class Prompter;
class QAction;
class QFrame;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QTableWidget;
class QTimer;
class QToolButton;
class TAboutBox;
class TFmInit;
class TFmLWL;
class TFormIdentNummer;
class TFormModemVB;
class ModemSession;
class TUhrstellen;
class TReadEvent;
class TSetPELK;
class TZuviDezar;
class TForm1;
class TDiagramm;
class TForm68K;
class TParamGrid;
class TAbgleichULVA;
class TULVAAusgang;

// The main window: menu, status bar, the parameter grid on the left half and the
// actual-value area on the right half. The program state and everything behind the menu
// live in MainController and the components of the other areas; this window binds them.
class TFormMain : public QMainWindow
{
    Q_OBJECT
public:
    // prompter: where messages go; nullptr for message boxes. Reads the settings.
    explicit TFormMain(Prompter *prompter = nullptr, QWidget *parent = nullptr);
    ~TFormMain() override;

    static QString ApplicationTitle() { return QStringLiteral("Mirelo Baldren Solutions"); }
    // What an entry of a function not built yet answers.
    static constexpr int MinimumWidth = 600;
    static constexpr int MinimumHeight = 400;

    MainController &Controller() { return *m_main; }
    Prompter &UserPrompter() { return *m_prompter; }

    // Start-up step 3: the interface window (telegram thread, saved port) and the dialogs,
    // each created once and hidden.
    void CreateWindows();
    // Start-up step 4: the access-code dialog when the setting IDENT is on.
    void ShowIdentAtStart();
    // The splash (when SPLASH is on) and the update notice of the creation step.
    void ShowSplashAndUpdateNotice();

    // Menu rules applied to the menu items.
    void UpdateMenus();
    // The menu item (or window action) with the object name, nullptr when there is none.
    QAction *FindAction(const QString &objectName) const;
    QAction *MenuAction(MenuEntry::Id id) const { return m_entries.value(id); }

    QString StatusPanelText(int panel) const;
    int PushCount() const { return m_pushCount; }
    int DoneCount() const { return m_doneCount; }

    // File glue of the menu: the dialogs, then the core's loading, saving and conversion.
    void LoadFileWithDialog();
    bool LoadFromPath(const QString &path);
    // Saves through the save dialog; true when the set was written.
    bool SaveFileWithDialog();
    bool SaveToPath(const QString &chosenPath);
    void ConvertConfig();

    // Manuals: data folder + base + language suffix + ".pdf".
    QString ManualPath(const QString &base) const;
    void OpenManual(const QString &base);

    TFmLWL *InterfaceWindow() const;
    TFormIdentNummer *IdentWindow() const;
    TFmInit *SettingsWindow() const;
    TUhrstellen *ClockWindow() const;
    TFormModemVB *ModemWindow() const;
    ModemSession *ModemLink() const { return m_modemSession; }
    TSetPELK *CouplerWindow() const;
    TZuviDezar *ZuviDezarWindow() const;
    TForm1 *MainsTestWindow() const;
    TReadEvent *EventWindow() const;
    // The calibration window of the 101-112 controllers, or of the 9x ones (nullptr before it opened).
    TAbgleichDialog *CalibrationWindow(bool nineX) const;
    TForm68K *Cpu68kWindow() const; // nullptr until "68K CPU" was chosen
    DialogPrompter *Dialogs() const { return m_dialogs.get(); }
    TParamGrid *ParamGridArea() const { return m_paramArea; }
    DeviceReader *Reader() const { return m_reader; }
    ParameterSender *Sender() const { return m_sender; }
    EditSession *Edits() const { return m_edit; }
    GuiEditDialogs *ValueEditDialogs() const { return m_editDialogs.get(); }
    TFormChanges *ChangesWindow() const;
    ValuePoller *Poller() const { return m_poller; }
    TValuesView *ValuesView() const { return m_valuesView; }
    TNachrichten *InfoWindow() const;
    TDiagramm *TrendWindow() const;
    QFrame *ProgressPanel() const { return m_progressPanel; }
    QProgressBar *ProgressBar() const { return m_progressBar; }
    QLabel *ProgressLabel() const { return m_progressLabel; }
    // Where the interface window opens: beside the main window (frame mainFrame) when the
    // screen has room, else below it, else where it leaves the main menu bar free.
    static QPoint InterfaceWindowPlace(const QRect &mainFrame, const QSize &size, const QRect &screen);

    QPushButton *ProgressCancel() const { return m_progressCancel; }
    ProtocolSearch *Search() const { return m_search; }
    // The windows the language choice translates, in the order of the language list.
    QList<QObject *> TranslatedWindows() const;
    // A window made after the language was chosen gets the chosen language at once.
    void TranslateNewWindow(QObject *window) const;

    // ULVA module: the channel calibration ("Abgleich" for device type 35; closes the actual
    // values first), the basic calibration wizard, the output simulation; the CAN values.
    void UlvaCalibrate();
    void UlvaBasicCalibration();
    void UlvaOutputs();
    void AnalogCanClicked();
    TAbgleichULVA *UlvaCalibrationWindow() const;
    TULVAAusgang *UlvaOutputsWindow() const;

public slots:
    // Telegram thread hooks; may be called from any thread.
    void CountPush();
    void CountDone();
    // The language choice once the user has picked list entry index (menu "S&prache").
    void ApplyLanguage(int index);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void BuildMenu();
    void BuildStatusBar();
    void BuildClientArea();
    QAction *AddItem(QMenu *menu, const QString &name, const QString &caption, void (TFormMain::*handler)());
    QAction *AddEntry(QMenu *menu, const QString &name, const QString &caption);
    QMenu *AddMenu(QMenu *parent, const QString &name, const QString &title);
    void SetStatus(int panel, const QString &text);
    void LayoutClient();
    void ShowProgress(const QString &label, int minimum, int maximum, int position);
    void HideProgress();
    void ShowParameters();
    // The actual-value pages, the messages window and the hooks that restart polling.
    void WireValues();
    void ShowDeviceInfo();
    void FertigungnummerClicked();
    void SaveFileClicked();
    // "&Datenausgabe": kind is a Print::Kind.
    void Output(int kind, bool toFile);
    void PrintParameterList();
    void SaveParameterList();
    void PrintConnectionList();
    void SaveConnectionList();
    void SaveAlarmList();
    void TrendClicked(); // "Trend"
    void MakeTrendWindow();
    void MakeModemWindow();
    QRect availableArea() const;
    // The open or save dialog in the folder of this session; empty when cancelled.
    QString AskFileName(bool save, const QString &title, const QString &filter, const QString &proposed);

    // Menu handlers.
    void Beenden();
    void IdentNummer();
    void Menu15Click(); // "&Uhrzeit des Gerätes"
    void ReadFromDevice();
    void OperatingHoursClicked();
    void ServiceClicked();
    void DatenkopplerClicked(); // "Daten&koppler PELK"
    void ZuviDezarClicked();    // "&ZuviDezar"
    void ProgramNumberClicked(); // "Programm": switches the program of an older controller // "Service": maintenance interval, extra hours, clearing events
    void MainsTestClicked(); // "Netzschutz"
    void RamListClicked(); // "RAM 2E2C - 2E99"
    void EventsClicked(); // "Ereignisse"
    void Menu59Click(); // "Abgleich"
    void Cpu68kClicked(); // "68K CPU"
    void ModemClicked(); // "Verbinden über &Modem"
    void CloseParametersClicked();
    void CloseValuesClicked();
    void SelectCom();
    void OwnAddress();
    void SlaveAddress();
    void SearchProtocol();
    void ChooseProtocol(int entry);
    // Whether a chain runs on the line; tells the user so when a change must wait.
    bool RefuseWhileBusy(int textIndex);
    void ChooseLanguage();
    void ParamFolder();
    void ProgramOptions();
    void ShowAbout();
    void ShowDebug();
    void EditParameterAt(int index);
    void SendParameters();
    void FactorySettingClicked();
    void ChooseVoltage(bool mains);
    void MainsVoltage() { ChooseVoltage(true); }
    void GenVoltage() { ChooseVoltage(false); }

    std::unique_ptr<Prompter> m_ownPrompter;
    Prompter *m_prompter = nullptr;
    MainController *m_main = nullptr;
    std::unique_ptr<DialogPrompter> m_dialogs;
    ProtocolSearch *m_search = nullptr;
    LineChange *m_lineChange = nullptr;
    DeviceReader *m_reader = nullptr;
    ParameterSender *m_sender = nullptr;
    std::unique_ptr<GuiEditDialogs> m_editDialogs;
    EditSession *m_edit = nullptr;
    QPointer<TFormChanges> m_changes;
    ValuePoller *m_poller = nullptr;
    QPointer<TAbgleichDialog> m_abgleich101;
    QPointer<TAbgleichDialog> m_abgleich91;
    TValuesView *m_valuesView = nullptr;
    QPointer<TNachrichten> m_info;
    std::unique_ptr<TPrintOutput> m_print;

    QHash<int, QAction *> m_entries; // MenuEntry::Id -> item
    QLabel *m_panels[5] = {};
    int m_pushCount = 0;
    int m_doneCount = 0;
    QTimer *m_timer1 = nullptr;

    QWidget *m_client = nullptr;
    TParamGrid *m_paramArea = nullptr; // the parameter grid (group selector above it)
    QTableWidget *m_values = nullptr; // StrG_Int
    QLabel *m_valuesTitle = nullptr;
    QToolButton *m_valuesClose = nullptr;
    QPushButton *m_acknowledge = nullptr;
    QFrame *m_progressPanel = nullptr;
    QLabel *m_progressLabel = nullptr;
    QProgressBar *m_progressBar = nullptr;
    QPushButton *m_progressCancel = nullptr; // "Abbruch" of the protocol search

    QPointer<TFmLWL> m_lwl;
    QPointer<TFormIdentNummer> m_ident;
    QPointer<TFmInit> m_init;
    QPointer<TUhrstellen> m_clock;
    QPointer<TFormModemVB> m_modem;
    ModemSession *m_modemSession = nullptr; // made with the interface window
    QPointer<TSetPELK> m_coupler;
    QPointer<TZuviDezar> m_zuvi;
    QPointer<TForm1> m_mainsTest;
    QPointer<TReadEvent> m_events;
    QPointer<TDiagramm> m_trend;
    QPointer<TForm68K> m_cpu68k;
    QPointer<TAbgleichULVA> m_ulvaCalibration;
    QPointer<TULVAAusgang> m_ulvaOutputs;
    QPointer<TAboutBox> m_splash;
    bool m_shownOnce = false;
};
