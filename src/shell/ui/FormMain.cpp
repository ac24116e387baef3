#include "shell/ui/FormMain.h"
#include "device/Catalogue.h"
#include "device/Definition.h"
#include "device/DeviceReader.h"
#include "device/ParameterFile.h"
#include "link/Protocol.h"
#include "link/ModemSession.h"
#include "link/ui/FormModemVB.h"
#include "link/ProtocolSearch.h"
#include "link/LineChange.h"
#include "link/TeleThread.h"
#include "link/ui/FormLWL.h"
#include "monitor/DeviceInfo.h"
#include "monitor/ValuePoller.h"
#include "monitor/ui/Diagramm.h"
#include "monitor/ui/Nachrichten.h"
#include "monitor/ui/ValuesView.h"
#include "params/EditSession.h"
#include "calibration/ui/AbgleichULVA.h"
#include "calibration/ui/ULVAAusgang.h"
#include "params/ParameterSender.h"
#include "params/ui/EditValueDialogs.h"
#include "params/ui/FormChanges.h"
#include "params/ui/ParamGrid.h"
#include "params/ui/ValueDialogs.h"
#include "services/ui/Betriebsstunden.h"
#include "services/ui/MainsTest.h"
#include "services/ui/PrgService.h"
#include "services/ui/ProgramNumber.h"
#include "services/ui/RamList.h"
#include "services/ui/ReadEvent.h"
#include "calibration/ui/Abgleich91.h"
#include "services/ui/Cpu68k.h"
#include "services/ui/FormIdentNummer.h"
#include "services/ui/Uhrstellen.h"
#include "link/ui/Datenkoppler.h"
#include "services/ui/ZuviDezarWindow.h"
#include "shell/DataDir.h"
#include "shell/MainController.h"
#include "shell/PrgInit.h"
#include "shell/Prompter.h"
#include "shell/Texts.h"
#include "shell/Translate.h"
#include "shell/UpdateCheck.h"
#include "shell/ui/AboutBox.h"
#include "shell/ui/FormInit.h"
#include "shell/ui/GuiPrompter.h"
#include "monitor/ui/PrintOutput.h"
#include "shell/ui/TranslateWidgets.h"
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QShortcut>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTableWidget>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

using namespace MenuEntry;

namespace {
constexpr int kPanelWidths[5] = {300, 100, 30, 30, 50};

// Holds the messages of a file load back: a refused file gets one message that names it,
// not the chain of messages of every step that noticed. Questions still go to the user.
class CollectingPrompter : public Prompter
{
public:
    explicit CollectingPrompter(Prompter &user) : m_user(user) {}
    enum Kind { Error, Warning, Information };
    QVector<QPair<Kind, QString>> Messages;

    void error(const QString &t) override { Messages.append({Error, t}); }
    void warning(const QString &t) override { Messages.append({Warning, t}); }
    void information(const QString &t) override { Messages.append({Information, t}); }
    bool question(const QString &t) override { return m_user.question(t); }
    Decision questionYesNoCancel(const QString &t) override { return m_user.questionYesNoCancel(t); }
    bool inputText(const QString &p, QString &v) override { return m_user.inputText(p, v); }
    bool choose(const QString &p, const QStringList &items, int &i) override { return m_user.choose(p, items, i); }

    void Replay() const
    {
        for (const auto &m : Messages) {
            if (m.first == Error)
                m_user.error(m.second);
            else if (m.first == Warning)
                m_user.warning(m.second);
            else
                m_user.information(m.second);
        }
    }

private:
    Prompter &m_user;
};
constexpr int kCloseButtonWidth = 18;
constexpr int kProgressWidth = 320;
constexpr int kProgressHeight = 60;
} // namespace

TFormMain::TFormMain(Prompter *prompter, QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("FormMain"));
    setWindowTitle(ApplicationTitle());
    if (!prompter) {
        m_ownPrompter = std::make_unique<GuiPrompter>(this);
        prompter = m_ownPrompter.get();
    }
    m_prompter = prompter;
    m_main = new MainController(*m_prompter, this);
    ReadSettings(m_main->Init, m_main->Settings);
    Translation::InstallWidgetTextSlots();
    AttachMainTextTables(this);
    m_dialogs = std::make_unique<DialogPrompter>(this);

    BuildMenu();
    BuildStatusBar();
    BuildClientArea();
    setMinimumSize(MinimumWidth, MinimumHeight);
    resize(1000, 680);

    connect(m_main, &MainController::StatusText, this, &TFormMain::SetStatus);
    connect(m_main, &MainController::StateChanged, this, &TFormMain::UpdateMenus);
    connect(m_main, &MainController::ProgressShown, this, &TFormMain::ShowProgress);
    connect(m_main, &MainController::ProgressHidden, this, &TFormMain::HideProgress);
    connect(m_main, &MainController::ValuesClosed, this, [this] {
        m_acknowledge->hide();
        m_values->hide();
        m_valuesTitle->hide();
        m_valuesClose->hide();
    });

    m_search = new ProtocolSearch(*m_main, this);
    m_lineChange = new LineChange(*m_main, m_search, this);
    m_lineChange->PollInFlight = [this] { return m_poller && m_poller->InFlight(); };
    m_lineChange->PausePoll = [this] {
        if (!m_poller || m_poller->Paused())
            return false;
        m_poller->Pause();
        return true;
    };
    m_lineChange->ResumePoll = [this] {
        if (m_poller)
            m_poller->Resume();
    };
    m_reader = new DeviceReader(*m_main, m_search, this);
    m_sender = new ParameterSender(*m_main, *m_reader, this);
    m_changes = new TFormChanges(this);
    m_sender->ConfirmChanges = [this](const QVector<ParameterChange> &changes) {
        return m_changes->Confirm(changes);
    };
    connect(m_sender, &ParameterSender::TransferFinished, this, [this] { UpdateMenus(); });
    connect(m_sender, &ParameterSender::FactorySettingFinished, this, [this] { UpdateMenus(); });

    // Edits: the dispatcher with the value dialogs, writing through the sender.
    m_editDialogs = std::make_unique<GuiEditDialogs>(this, &m_dialogs->ValueDialog());
    m_edit = new EditSession(*m_main, m_sender, m_paramArea->Formatter(), *m_editDialogs, this);
    m_edit->AskIdent = [this] {
        CreateWindows();
        m_ident->ShowMode(QStringLiteral("Ident"));
    };
    connect(m_paramArea, &TParamGrid::editRequested, this, &TFormMain::EditParameterAt);
    connect(m_paramArea, &TParamGrid::closeRequested, this, &TFormMain::CloseParametersClicked);
    m_main->SaveChanges = [this] { return SaveFileWithDialog(); };
    connect(m_edit, &EditSession::GridRefreshRequested, m_paramArea, &TParamGrid::RefreshGrid);
    connect(m_edit, &EditSession::EditEnded, this, [this] { UpdateMenus(); });
    WireValues();

    // Port and baud as the thread will use them, refreshed continuously since the
    // protocol choice and the port dialog change them at any time.
    m_timer1 = new QTimer(this);
    m_timer1->setObjectName(QStringLiteral("Timer1"));
    m_timer1->setInterval(200);
    auto showPort = [this] {
        QString text = m_main->Init.PortName + QLatin1Char(',') + m_main->Init.BaudText;
        const TTeleThread *t = m_main->Thread();
        const QString problem = t && !t->PortOpen() ? t->PortProblem() : QString();
        if (!problem.isEmpty())
            text += QStringLiteral(" (") + GetText(426) + QLatin1Char(')');
        m_panels[1]->setToolTip(problem);
        SetStatus(1, text);
    };
    connect(m_timer1, &QTimer::timeout, this, showPort);
    m_timer1->start();
    showPort();

    // Esc stops a protocol search, as its "Abbruch" button does.
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setObjectName(QStringLiteral("SC_Abbruch"));
    connect(escape, &QShortcut::activated, this, [this] { m_search->Cancel(); });
    connect(m_progressCancel, &QPushButton::clicked, this, [this] { m_search->Cancel(); });

    UpdateMenus();
}

TFormMain::~TFormMain()
{
    // Everything that works on the controller goes first: the interface window (it ends
    // the telegram thread), the chains, the windows; the controller last.
    delete m_lwl;
    delete m_modem;
    delete m_modemSession;
    delete m_splash;
    delete m_edit;
    // Its chain is registered with the sender: it goes first.
    delete m_mainsTest;
    delete m_ulvaCalibration;
    delete m_ulvaOutputs;
    delete m_sender;
    delete m_reader;
    delete m_search;
    delete m_ident;
    delete m_init;
    delete m_clock;
    delete takeCentralWidget();
    m_dialogs.reset();
    delete m_main;
}

// ---------------------------------------------------------------- menu

QMenu *TFormMain::AddMenu(QMenu *parent, const QString &name, const QString &title)
{
    QMenu *menu = parent ? parent->addMenu(title) : menuBar()->addMenu(title);
    menu->setObjectName(name);
    menu->menuAction()->setObjectName(name + QStringLiteral("Action"));
    return menu;
}

QAction *TFormMain::AddItem(QMenu *menu, const QString &name, const QString &caption, void (TFormMain::*handler)())
{
    QAction *a = menu->addAction(caption);
    a->setObjectName(name);
    connect(a, &QAction::triggered, this, handler);
    return a;
}

QAction *TFormMain::AddEntry(QMenu *menu, const QString &name, const QString &caption)
{
    // Its handler comes with the part that owns it (the value pages, the device information).
    QAction *a = menu->addAction(caption);
    a->setObjectName(name);
    return a;
}

void TFormMain::BuildMenu()
{
    menuBar()->setObjectName(QStringLiteral("MainMenu1"));

    QMenu *ein = AddMenu(nullptr, QStringLiteral("Menu1"), QStringLiteral("&Einstellungen"));
    AddItem(ein, QStringLiteral("M_Ein_IdentNr"), QStringLiteral("&Ident Nummer"), &TFormMain::IdentNummer);
    m_entries[Fertigungnummer] = AddEntry(ein, QStringLiteral("Menu12"), QStringLiteral("&Fertigungnummer"));
    m_entries[NetzSpannung] =
        AddItem(ein, QStringLiteral("M_Ein_NetzSSSpg"), QStringLiteral("&Netz-/Sammelschienenspannung"),
                &TFormMain::MainsVoltage);
    m_entries[GenSpannung] = AddItem(ein, QStringLiteral("M_Ein_GenSpg"), QStringLiteral("&Generatorspannung"),
                                     &TFormMain::GenVoltage);
    m_entries[Uhrzeit] = AddItem(ein, QStringLiteral("Menu15"), QStringLiteral("&Uhrzeit des Gerätes"), &TFormMain::Menu15Click);
    ein->addSeparator();
    AddItem(ein, QStringLiteral("Menu16"), QStringLiteral("&Beenden"), &TFormMain::Beenden);

    QMenu *par = AddMenu(nullptr, QStringLiteral("Menu2"), QStringLiteral("&Parameter"));
    QAction *open = AddItem(par, QStringLiteral("Menu21"), QStringLiteral("Parameter aus &Datei"),
                            &TFormMain::LoadFileWithDialog);
    open->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    QAction *upload = AddItem(par, QStringLiteral("Menu22"), QStringLiteral("Parameter aus &Gerät"),
                              &TFormMain::ReadFromDevice);
    upload->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    m_entries[MenuEntry::ConvertConfig] =
        AddItem(par, QStringLiteral("MI_ConvertConfig"), QStringLiteral("Convert Config"), &TFormMain::ConvertConfig);
    m_entries[AnalogCAN] =
        AddItem(par, QStringLiteral("Menu24"), QStringLiteral("Analogwerte &CAN"), &TFormMain::AnalogCanClicked);
    m_entries[MenuEntry::ZuviDezar] =
        AddItem(par, QStringLiteral("Menu25"), QStringLiteral("&ZuviDezar"), &TFormMain::ZuviDezarClicked);
    par->addSeparator();
    m_entries[ParamSchliessen] =
        AddItem(par, QStringLiteral("Menu26"), QStringLiteral("&Schließen"), &TFormMain::CloseParametersClicked);

    QAction *trend = menuBar()->addAction(QStringLiteral("Trend"));
    trend->setObjectName(QStringLiteral("Chart1"));
    trend->setEnabled(false); // enabled by the actual-value pages that can be plotted
    connect(trend, &QAction::triggered, this, &TFormMain::TrendClicked);

    QMenu *ist = AddMenu(nullptr, QStringLiteral("Menu3"), QStringLiteral("&Istwerte"));
    m_entries[IstwerteMenu] = ist->menuAction();
    m_entries[Istwerte] = AddEntry(ist, QStringLiteral("Menu31"), QStringLiteral("&Istwerte"));
    m_entries[IstwerteCAN] = AddEntry(ist, QStringLiteral("Menu39"), QStringLiteral("Istwerte CAN"));
    m_entries[Vindel] = AddEntry(ist, QStringLiteral("Vindel1"), QStringLiteral("Vindel"));
    m_entries[CANOpenAnalog] = AddEntry(ist, QStringLiteral("CANOpenAnalog1"), QStringLiteral("CANOpen Analog"));
    m_entries[Alarme] = AddEntry(ist, QStringLiteral("Menu32"), QStringLiteral("Anstehende Alar&me"));
    m_entries[Spannungswaechter] = AddEntry(ist, QStringLiteral("Menu33"), QStringLiteral("Spannungs&wächter"));
    m_entries[Eingaenge] = AddEntry(ist, QStringLiteral("Menu34"), QStringLiteral("&Eingänge"));
    m_entries[Ausgaenge] = AddEntry(ist, QStringLiteral("Menu35"), QStringLiteral("&Ausgänge"));
    m_entries[Sonstiges] = AddEntry(ist, QStringLiteral("Menu36"), QStringLiteral("Sonsti&ges"));
    m_entries[BefehleZuviDezar] = AddEntry(ist, QStringLiteral("Menu38"), QStringLiteral("&Befehle ZuviDezar"));
    ist->addSeparator();
    m_entries[IstSchliessen] =
        AddItem(ist, QStringLiteral("Menu37"), QStringLiteral("&Schließen"), &TFormMain::CloseValuesClicked);
    ist->addSeparator();
    m_entries[RamListe] =
        AddItem(ist, QStringLiteral("Menu310"), QStringLiteral("RAM 2E2C - 2E99"), &TFormMain::RamListClicked);

    QMenu *aus = AddMenu(nullptr, QStringLiteral("Menu4"), QStringLiteral("&Datenausgabe"));
    m_entries[DatenausgabeMenu] = aus->menuAction();
    QMenu *liste = AddMenu(aus, QStringLiteral("Menu41"), QStringLiteral("&Parameterliste"));
    AddItem(liste, QStringLiteral("Menu411"), QStringLiteral("Ausgabe zum &Drucker"), &TFormMain::PrintParameterList);
    AddItem(liste, QStringLiteral("Menu412"), QStringLiteral("&Speichern in Datei (.TXT)"), &TFormMain::SaveParameterList);
    QMenu *ans = AddMenu(aus, QStringLiteral("Menu42"), QStringLiteral("&Anschluss"));
    AddItem(ans, QStringLiteral("Menu421"), QStringLiteral("Ausgabe zum &Drucker"), &TFormMain::PrintConnectionList);
    AddItem(ans, QStringLiteral("Menu422"), QStringLiteral("&Speichern in Datei"), &TFormMain::SaveConnectionList);
    aus->addSeparator();
    QAction *save = AddItem(aus, QStringLiteral("Menu43"), QStringLiteral("Para&meter speichern"),
                            &TFormMain::SaveFileClicked);
    save->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    AddItem(aus, QStringLiteral("Menu44"), QStringLiteral("Parameter zum &Gerät"), &TFormMain::SendParameters);
    aus->addSeparator();
    QMenu *istDruck = AddMenu(aus, QStringLiteral("Menu45"), QStringLiteral("&Istwerte Drucken"));
    AddEntry(istDruck, QStringLiteral("Menu451"), QStringLiteral("Ausgabe zum &Drucker"));
    AddEntry(istDruck, QStringLiteral("Menu452"), QStringLiteral("&Speichern in Datei (.TXT)"));
    // Offered once an actual-value page has been shown.
    istDruck->menuAction()->setVisible(false);
    istDruck->menuAction()->setEnabled(false);
    AddItem(aus, QStringLiteral("Alarme_speichern"), QStringLiteral("Alarme speichern (.txt)"), &TFormMain::SaveAlarmList);

    QMenu *opt = AddMenu(nullptr, QStringLiteral("Menu5"), QStringLiteral("&Optionen"));
    AddItem(opt, QStringLiteral("AcSelectCOM"), QStringLiteral("COM Port"), &TFormMain::SelectCom);
    AddItem(opt, QStringLiteral("Menu51"), QStringLiteral("Eigene Adresse"), &TFormMain::OwnAddress);
    AddItem(opt, QStringLiteral("Menu52"), QStringLiteral("Slave Adresse"), &TFormMain::SlaveAddress);
    m_entries[Modem] = AddItem(opt, QStringLiteral("Menu53"), QStringLiteral("Verbinden über &Modem"),
                               &TFormMain::ModemClicked);
    m_entries[Datenkoppler] =
        AddItem(opt, QStringLiteral("Menu54"), QStringLiteral("Daten&koppler PELK"), &TFormMain::DatenkopplerClicked);
    opt->addSeparator();
    AddItem(opt, QStringLiteral("Menu55"), QStringLiteral("&Protokoll suchen"), &TFormMain::SearchProtocol);
    QMenu *proto = AddMenu(opt, QStringLiteral("Menu56"), QStringLiteral("Protokoll &auswählen"));
    for (int entry = 1; entry <= ProtocolCount; ++entry) {
        QAction *a = proto->addAction(Protocol(entry)->Caption);
        a->setObjectName(QStringLiteral("Menu56%1").arg(entry));
        connect(a, &QAction::triggered, this, [this, entry] { ChooseProtocol(entry); });
    }
    opt->addSeparator();
    m_entries[Werkseinstellung] = AddItem(opt, QStringLiteral("Menu57"), QStringLiteral("&Werkseinstellung"),
                                          &TFormMain::FactorySettingClicked);
    m_entries[UlvaGrundabgleich] = AddItem(opt, QStringLiteral("Menu58"), QStringLiteral("ULVA Grundabgleich"),
                                           &TFormMain::UlvaBasicCalibration);
    m_entries[Abgleich] = AddItem(opt, QStringLiteral("Menu59"), QStringLiteral("Abgleich"), &TFormMain::Menu59Click);
    m_entries[AusgangSimulieren] =
        AddItem(opt, QStringLiteral("Menu510"), QStringLiteral("Ausgang Simulieren"), &TFormMain::UlvaOutputs);
    m_entries[Service] = AddItem(opt, QStringLiteral("Menu511"), QStringLiteral("Service"), &TFormMain::ServiceClicked);
    m_entries[Betriebsstunden] =
        AddItem(opt, QStringLiteral("Menu512"), QStringLiteral("Betriebsstunden"), &TFormMain::OperatingHoursClicked);
    m_entries[Netzschutz] =
        AddItem(opt, QStringLiteral("Menu513"), QStringLiteral("Netzschutz"), &TFormMain::MainsTestClicked);
    m_entries[Ereignisse] =
        AddItem(opt, QStringLiteral("Menu514"), QStringLiteral("Ereignisse"), &TFormMain::EventsClicked);
    m_entries[Programm] =
        AddItem(opt, QStringLiteral("Menu515"), QStringLiteral("Programm"), &TFormMain::ProgramNumberClicked);
    m_entries[Cpu68K] = AddItem(opt, QStringLiteral("Menu516"), QStringLiteral("68K CPU"), &TFormMain::Cpu68kClicked);
    opt->addSeparator();
    AddItem(opt, QStringLiteral("Menu517"), QStringLiteral("S&prache"), &TFormMain::ChooseLanguage);
    AddItem(opt, QStringLiteral("Menu518"), QStringLiteral("&Verzeichnis für Sollwerte"), &TFormMain::ParamFolder);
    AddItem(opt, QStringLiteral("Menu519"), QStringLiteral("Programmoptionen"), &TFormMain::ProgramOptions);

    QMenu *info = AddMenu(nullptr, QStringLiteral("Menu6"), QStringLiteral("Info"));
    const std::pair<const char *, const char *> manuals[] = {
        {"Manual ZEV 1xx", "PA100V00"}, {"Manual ZEV 2xx", "ZEV2xx"}, {"Manual L-ORN", "Handbuch_L-ORN"}};
    int n = 1;
    for (const auto &[caption, base] : manuals) {
        QAction *a = info->addAction(QString::fromUtf8(caption));
        a->setObjectName(QStringLiteral("Menu6%1").arg(n++));
        const QString file = QString::fromLatin1(base);
        connect(a, &QAction::triggered, this, [this, file] { OpenManual(file); });
    }
    info->addSeparator();
    AddItem(info, QStringLiteral("Menu64"), QStringLiteral("Version"), &TFormMain::ShowAbout);

    // The keyboard actions work whatever menu their entry sits in (and whether it is
    // open or enabled): they belong to the window as well.
    addAction(open);
    addAction(upload);
    addAction(save);
    QAction *download = new QAction(QStringLiteral("Download"), this);
    download->setObjectName(QStringLiteral("Download"));
    download->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
    connect(download, &QAction::triggered, this, &TFormMain::LoadFileWithDialog);
    addAction(download);
    QAction *debug = new QAction(QStringLiteral("ShowDebug"), this);
    debug->setObjectName(QStringLiteral("ShowDebug"));
    debug->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    connect(debug, &QAction::triggered, this, &TFormMain::ShowDebug);
    addAction(debug);
}

QAction *TFormMain::FindAction(const QString &objectName) const
{
    return findChild<QAction *>(objectName);
}

void TFormMain::UpdateMenus()
{
    Texts::SetDeviceTypeForTexts(m_main->Data.State.DeviceType);
    const MenuStates states = ComputeMenus(MenuInput::From(*m_main));
    for (auto it = m_entries.constBegin(); it != m_entries.constEnd(); ++it) {
        const MenuItemState &s = states[Id(it.key())];
        it.value()->setVisible(s.Visible);
        it.value()->setEnabled(s.Enabled);
    }
}

// ---------------------------------------------------------------- status bar

void TFormMain::BuildStatusBar()
{
    QStatusBar *bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    bar->setSizeGripEnabled(true);
    for (int i = 0; i < 5; ++i) {
        auto *panel = new QLabel(bar);
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setMinimumWidth(kPanelWidths[i]);
        // The connection panel grows with a long device name instead of cutting it.
        if (i > 0 && i < 4)
            panel->setMaximumWidth(kPanelWidths[i]);
        panel->setContentsMargins(3, 0, 3, 0);
        if (i == 2 || i == 3)
            panel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        bar->addWidget(panel, i == 4 ? 1 : 0);
        m_panels[i] = panel;
    }
    m_panels[2]->setText(QStringLiteral("0"));
    m_panels[3]->setText(QStringLiteral("0"));
}

void TFormMain::SetStatus(int panel, const QString &text)
{
    if (panel >= 0 && panel < 5)
        m_panels[panel]->setText(text);
}

QString TFormMain::StatusPanelText(int panel) const
{
    return panel >= 0 && panel < 5 ? m_panels[panel]->text() : QString();
}

void TFormMain::CountPush()
{
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(this, &TFormMain::CountPush, Qt::QueuedConnection);
        return;
    }
    m_pushCount = (m_pushCount + 1) % 100;
    SetStatus(2, QString::number(m_pushCount));
}

void TFormMain::CountDone()
{
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(this, &TFormMain::CountDone, Qt::QueuedConnection);
        return;
    }
    m_doneCount = (m_doneCount + 1) % 100;
    SetStatus(3, QString::number(m_doneCount));
}

// ---------------------------------------------------------------- client area

void TFormMain::BuildClientArea()
{
    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("P_Client"));
    setCentralWidget(m_client);

    // The parameter grid with its group selector; it fills and clears itself when the
    // controller shows or hides the parameters.
    m_paramArea = new TParamGrid(*m_main, m_client);

    m_values = new QTableWidget(0, 3, m_client);
    m_values->setObjectName(QStringLiteral("StrG_Int"));
    m_values->verticalHeader()->setDefaultSectionSize(18);
    m_values->verticalHeader()->hide();
    m_values->horizontalHeader()->hide();
    m_values->hide();
    m_valuesTitle = new QLabel(m_client);
    m_valuesTitle->setObjectName(QStringLiteral("L_Istwerte"));
    m_valuesTitle->setAlignment(Qt::AlignCenter);
    QFont bold = m_valuesTitle->font();
    bold.setBold(true);
    m_valuesTitle->setFont(bold);
    m_valuesTitle->hide();
    m_valuesClose = new QToolButton(m_client);
    m_valuesClose->setObjectName(QStringLiteral("SB_IstwerteX"));
    m_valuesClose->setText(QStringLiteral("X"));
    m_valuesClose->setStyleSheet(QStringLiteral("color: red; font-weight: bold;"));
    m_valuesClose->hide();
    connect(m_valuesClose, &QToolButton::clicked, this, &TFormMain::CloseValuesClicked);
    m_acknowledge = new QPushButton(QStringLiteral("Quittierung"), m_client);
    m_acknowledge->setObjectName(QStringLiteral("Btn_Quittierung"));
    m_acknowledge->hide();

    m_progressPanel = new QFrame(m_client);
    m_progressPanel->setObjectName(QStringLiteral("P_Progress"));
    m_progressPanel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    m_progressPanel->setAutoFillBackground(true);
    auto *box = new QVBoxLayout(m_progressPanel);
    m_progressLabel = new QLabel(m_progressPanel);
    m_progressLabel->setObjectName(QStringLiteral("L_Progress"));
    m_progressLabel->setAlignment(Qt::AlignCenter);
    m_progressBar = new QProgressBar(m_progressPanel);
    m_progressBar->setObjectName(QStringLiteral("ProgressBar2"));
    m_progressBar->setTextVisible(false);
    m_progressCancel = new QPushButton(GetText(429), m_progressPanel);
    m_progressCancel->setObjectName(QStringLiteral("Btn_Abbruch"));
    m_progressCancel->hide();
    box->addWidget(m_progressLabel);
    box->addWidget(m_progressBar);
    box->addWidget(m_progressCancel, 0, Qt::AlignHCenter);
    m_progressPanel->resize(kProgressWidth, kProgressHeight);
    m_progressPanel->hide();
}

void TFormMain::LayoutClient()
{
    const int w = m_client->width();
    const int h = m_client->height();
    const int half = w / 2;
    const int gridWidth = half - 10;
    m_paramArea->setGeometry(0, 0, gridWidth, h);
    m_values->setGeometry(half, 24, gridWidth, qMax(0, h - 24 - 40));
    m_valuesTitle->setGeometry(half, 2, qMax(0, gridWidth - kCloseButtonWidth), 20);
    m_valuesClose->setGeometry(half + gridWidth - kCloseButtonWidth, 2, kCloseButtonWidth, 20);
    // The design places it from the window's client height; the status bar is not part of
    // this area, so the offset is taken from the area's own height.
    m_acknowledge->setGeometry(half + gridWidth - 75, h - 35, 75, 25);
    m_progressPanel->move((w - m_progressPanel->width()) / 2, (h - m_progressPanel->height()) / 2);
}

void TFormMain::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    LayoutClient();
}

void TFormMain::ShowProgress(const QString &label, int minimum, int maximum, int position)
{
    m_progressLabel->setText(label);
    m_progressBar->setRange(minimum, maximum);
    m_progressBar->setValue(position);
    // Only the protocol search can be stopped halfway.
    const bool cancellable = m_search && m_search->Running();
    m_progressCancel->setText(GetText(429));
    m_progressCancel->setVisible(cancellable);
    m_progressPanel->resize(kProgressWidth, kProgressHeight + (cancellable ? 34 : 0));
    LayoutClient();
    m_progressPanel->show();
    m_progressPanel->raise();
}

void TFormMain::HideProgress()
{
    m_progressPanel->hide();
}

void TFormMain::ShowParameters()
{
    emit m_main->ParametersShown();
}

// ---------------------------------------------------------------- windows and start

void TFormMain::CreateWindows()
{
    MakeTrendWindow();
    if (!m_lwl) {
        m_lwl = new TFmLWL(*m_main, this, m_prompter);
        connect(m_lwl, &TFmLWL::Pushed, this, &TFormMain::CountPush);
        connect(m_lwl, &TFmLWL::Done, this, &TFormMain::CountDone);
    }
    if (!m_modemSession) {
        // Follows the carrier from the start, whether or not the modem window is shown.
        m_modemSession = new ModemSession(*m_main, this);
        m_modemSession->Attach(m_main->Thread());
    }
    if (!m_ident)
        m_ident = new TFormIdentNummer(*m_main, this);
    if (!m_init)
        m_init = new TFmInit(*m_main, this);
    if (!m_cpu68k)
        m_cpu68k = new TForm68K(*m_main, QString(), this);
    if (!m_clock) {
        m_clock = new TUhrstellen(*m_main, this);
        // The clock talks on the same line: the actual values wait while it shows.
        m_clock->PauseValues = [this] {
            if (m_poller)
                m_poller->Pause();
        };
        m_clock->ResumeValues = [this] {
            if (m_poller)
                m_poller->Resume();
        };
    }
    if (!m_abgleich101)
        m_abgleich101 = new TAbgleich101(*m_main, this);
    if (!m_abgleich91)
        m_abgleich91 = new TAbgleich91(*m_main, this);
    if (!m_zuvi) {
        m_zuvi = new TZuviDezar(*m_main, this);
        m_zuvi->ShowIdent = [this] { IdentNummer(); };
    }
    if (!m_coupler)
        m_coupler = new TSetPELK(*m_main, this);
    // Made here rather than on first use so that a language switch before it is opened reaches it.
    MakeModemWindow();
}

TFmLWL *TFormMain::InterfaceWindow() const { return m_lwl; }
TFormIdentNummer *TFormMain::IdentWindow() const { return m_ident; }
TFmInit *TFormMain::SettingsWindow() const { return m_init; }
TUhrstellen *TFormMain::ClockWindow() const { return m_clock; }

void TFormMain::ShowIdentAtStart()
{
    if (m_main->Init.Ident)
        IdentNummer();
}

void TFormMain::ShowSplashAndUpdateNotice()
{
    if (m_main->Init.Splash) {
        m_splash = new TAboutBox(this, m_main->Settings.Language);
        m_splash->ShowSplash(0); // closed two seconds after the main window is shown
    }
    if (!m_main->Init.UpdatePath.isEmpty()) {
        const QString newer = UpdateCheck::FindNewerProgram(m_main->Init.UpdatePath,
                                                            QCoreApplication::applicationFilePath());
        if (!newer.isEmpty())
            m_prompter->information(GetText(324) + QLatin1Char('\r') + m_main->Init.UpdatePath);
    }
}

QList<QObject *> TFormMain::TranslatedWindows() const
{
    QList<QObject *> windows;
    windows << const_cast<TFormMain *>(this);
    windows << &m_dialogs->TextDialog();
    if (m_ident)
        windows << m_ident.data();
    if (m_clock)
        windows << m_clock.data();
    if (m_zuvi)
        windows << m_zuvi.data();
    if (m_coupler)
        windows << m_coupler.data();
    windows << &m_dialogs->ComboDialog() << &m_dialogs->ValueDialog();
    if (m_editDialogs) {
        GuiEditDialogs &e = *m_editDialogs;
        windows << &e.Choice16Dialog() << &e.RelayDialog() << &e.FaultDialog() << &e.LabelTextDialog()
                << &e.Choice8Dialog() << &e.YesNoDialog();
    }
    if (m_trend)
        windows << m_trend.data();
    if (m_splash)
        windows << m_splash.data();
    if (m_init)
        windows << m_init.data();
    if (m_changes)
        windows << m_changes.data();
    if (m_abgleich101)
        windows << m_abgleich101.data();
    if (m_abgleich91)
        windows << m_abgleich91.data();
    if (m_cpu68k)
        windows << m_cpu68k.data();
    if (m_modem)
        windows << m_modem.data();
    if (m_zuvi && m_zuvi->HelpWindow())
        windows << m_zuvi->HelpWindow();
    if (m_mainsTest)
        windows << m_mainsTest.data();
    if (m_events)
        windows << m_events.data();
    if (m_ulvaCalibration)
        windows << m_ulvaCalibration.data();
    if (m_ulvaOutputs)
        windows << m_ulvaOutputs.data();
    return windows;
}

void TFormMain::TranslateNewWindow(QObject *window) const
{
    Translation::TranslateForm(Translation::LanguageFolder(), window, m_main->Settings.Language);
}

void TFormMain::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_shownOnce)
        return;
    m_shownOnce = true;
    m_main->Data.LanguageSuffix = Translation::StartupLanguage(
        m_main->Settings, Translation::LanguageFolder(), TranslatedWindows(), m_main->Data.LanguageSuffix);
    m_main->Data.State.GenFactor = 138;
    m_main->Data.State.MainsFactor = 138;
    if (m_splash) {
        QPointer<TAboutBox> splash = m_splash;
        QTimer::singleShot(2000, this, [splash] {
            if (splash)
                splash->deleteLater();
        });
    }
}

void TFormMain::closeEvent(QCloseEvent *event)
{
    if (!m_main->ConfirmDiscard()) {
        event->ignore();
        return;
    }
    m_main->CloseParameters();
    m_main->SaveSettingsAtExit();
    event->accept();
}

// ---------------------------------------------------------------- handlers

void TFormMain::Beenden()
{
    close();
}

void TFormMain::IdentNummer()
{
    CreateWindows();
    m_ident->ShowMode(QStringLiteral("Ident"));
    UpdateMenus();
}

void TFormMain::OperatingHoursClicked()
{
    if (!m_main->Online)
        return;
    QString why;
    TBetriebsstunden dialog(*m_main, *m_sender, this);
    TranslateNewWindow(&dialog);
    if (!dialog.Core().Available(&why)) {
        m_prompter->error(why);
        return;
    }
    dialog.exec();
}

void TFormMain::DatenkopplerClicked()
{
    if (m_main->ModemOnline)
        return;
    CreateWindows();
    m_coupler->show();
    m_coupler->raise();
}

TSetPELK *TFormMain::CouplerWindow() const { return m_coupler; }

void TFormMain::ZuviDezarClicked()
{
    if (!m_main->ParamsLoaded)
        return;
    CreateWindows();
    m_zuvi->exec();
}

TZuviDezar *TFormMain::ZuviDezarWindow() const { return m_zuvi; }

void TFormMain::ServiceClicked()
{
    if (!m_main->Online)
        return;
    QString why;
    TPrgService dialog(*m_main, *m_sender, this);
    TranslateNewWindow(&dialog);
    if (!dialog.Core().Available(&why)) {
        m_prompter->error(why);
        return;
    }
    dialog.Core().PauseValues = [this] {
        if (m_poller)
            m_poller->Pause();
    };
    dialog.Core().ResumeValues = [this] {
        if (m_poller)
            m_poller->Resume();
    };
    dialog.exec();
}

void TFormMain::ProgramNumberClicked()
{
    if (!m_main->Online || m_main->Access.Level != Level::Fer)
        return;
    if (!ProgramNumber::Switchable(m_main->Data.Geraet.ProgramId)) {
        m_prompter->information(GetText(665));
        return;
    }
    auto *dialog = new TProgrammnummer(*m_main, this);
    TranslateNewWindow(dialog);
    dialog->show();
}

void TFormMain::MainsTestClicked()
{
    if (!m_main->Online)
        return;
    if (!m_mainsTest) {
        m_mainsTest = new TForm1(*m_main, *m_sender, this);
        TranslateNewWindow(m_mainsTest);
        m_mainsTest->PauseValues = [this] {
            if (m_poller)
                m_poller->Pause();
        };
        m_mainsTest->ResumeValues = [this] {
            if (m_poller)
                m_poller->Resume();
        };
    }
    m_mainsTest->show();
    m_mainsTest->raise();
    m_mainsTest->activateWindow();
}

TForm1 *TFormMain::MainsTestWindow() const { return m_mainsTest; }

void TFormMain::Menu59Click()
{
    // The calibration reads the converters itself: no page polls beside it.
    m_main->CloseValues();
    if (m_main->ModemOnline) {
        m_prompter->warning(GetText(183));
        return;
    }
    const int t = m_main->Data.State.DeviceType;
    if (t == 35) {
        UlvaCalibrate();
        return;
    }
    CreateWindows();
    TAbgleichDialog *dialog = nullptr;
    if (t == 32 || t == 33)
        dialog = m_abgleich91;
    else if ((t >= 0 && t <= 31) || (t >= 52 && t <= 54))
        dialog = m_abgleich101;
    if (!dialog)
        return;
    dialog->FactorySetting = [this] { m_sender->FactorySetting(); };
    dialog->Start();
}

TAbgleichDialog *TFormMain::CalibrationWindow(bool nineX) const { return nineX ? m_abgleich91 : m_abgleich101; }

void TFormMain::RamListClicked()
{
    if (!m_main->Online)
        return;
    QString why;
    TRAM_Liste dialog(*m_main, *m_sender, this);
    TranslateNewWindow(&dialog);
    if (!dialog.Core().Available(&why)) {
        m_prompter->error(why);
        return;
    }
    dialog.exec();
}

void TFormMain::EventsClicked()
{
    if (!m_events) {
        m_events = new TReadEvent(*m_main, this);
        TranslateNewWindow(m_events);
        // The event read uses the line: the actual values wait until it has ended.
        m_events->PauseValues = [this] {
            if (m_poller)
                m_poller->Pause();
        };
        m_events->ResumeValues = [this] {
            if (m_poller)
                m_poller->Resume();
        };
        connect(m_edit, &EditSession::EditEnded, m_events, &TReadEvent::NoteEdit);
    }
    m_events->exec();
}

TReadEvent *TFormMain::EventWindow() const { return m_events; }
void TFormMain::Cpu68kClicked()
{
    CreateWindows();
    m_cpu68k->exec();
}

TForm68K *TFormMain::Cpu68kWindow() const { return m_cpu68k; }

void TFormMain::Menu15Click()
{
    CreateWindows();
    m_clock->exec();
}

void TFormMain::ReadFromDevice()
{
    if (m_main->LinkBusy || !m_main->ConfirmDiscard())
        return;
    m_reader->ReadFromDevice();
}

void TFormMain::CloseParametersClicked()
{
    if (!m_main->ConfirmDiscard())
        return;
    const bool wasLoaded = m_main->ParamsLoaded;
    m_main->CloseParameters();
    if (wasLoaded)
        SetStatus(4, GetText(516));
}

void TFormMain::WireValues()
{
    m_poller = new ValuePoller(*m_main, m_paramArea->Formatter(), m_search, this);
    m_valuesView = new TValuesView(*m_poller, m_values, m_valuesTitle, m_valuesClose, m_acknowledge, this);
    m_valuesView->ShowStatus = [this](const QString &text) { SetStatus(4, text); };
    m_valuesView->ValuesPresent = [this](bool present) {
        if (auto *print = findChild<QMenu *>(QStringLiteral("Menu45"))) {
            print->menuAction()->setVisible(present);
            print->menuAction()->setEnabled(present);
        }
    };
    for (const ValuePageInfo &page : ValuePages()) {
        QAction *a = FindAction(page.MenuName);
        if (!a)
            continue;
        const QString code = page.Code;
        connect(a, &QAction::triggered, this, [this, a, code] { m_valuesView->Choose(code, a->text()); });
    }
    if (QAction *trend = FindAction(QStringLiteral("Chart1")))
        connect(m_poller, &ValuePoller::TrendAllowed, trend, &QAction::setEnabled);
    m_poller->EditInProgress = [this] { return m_edit->Busy(); };
    m_poller->LoadedDefinition = [this] { return m_reader->LoadedDefinition(); };
    // Polling goes on once a read or an edit has given the link back.
    auto resume = [this] {
        if (m_poller->PageActive())
            m_poller->RequestValues();
    };
    connect(m_reader, &DeviceReader::Finished, this, resume);
    connect(m_edit, &EditSession::EditEnded, this, resume);
    m_edit->ResumeValues = resume;
    // A changed relay function renames the outputs: the page is built again from its section.
    connect(m_edit, &EditSession::RelayPageChanged, this, [this] {
        if (m_poller->ShownPage() == QLatin1String("IstRel"))
            m_poller->ChoosePage(QStringLiteral("IstRel"));
    });
    for (const auto &[name, toFile] : {std::pair{"Menu451", false}, std::pair{"Menu452", true}}) {
        QAction *a = FindAction(QString::fromLatin1(name));
        connect(a, &QAction::triggered, this, [this, file = toFile] { Output(int(Print::Kind::ActualValues), file); });
    }
    if (QAction *f = FindAction(QStringLiteral("Menu12"))) {
        connect(f, &QAction::triggered, this, &TFormMain::FertigungnummerClicked);
    }
    m_reader->OnFNummer = [this] {
        Recheck(m_main->Access, m_main->Data.State.AccessCode);
        ShowDeviceInfo();
    };
}

void TFormMain::FertigungnummerClicked()
{
    // A set from a file carries its identification: shown without asking a device.
    if (!m_main->Online) {
        ShowDeviceInfo();
        return;
    }
    if (m_main->LinkBusy)
        return;
    m_main->LinkBusy = true;
    m_main->SetPendingAction(QStringLiteral("FNummer"));
    if (!m_main->Push(5, DeviceReader::IdentAddress, DeviceReader::IdentLength)) {
        m_main->LinkBusy = false;
        m_main->SetPendingAction(QString());
    }
}

TNachrichten *TFormMain::InfoWindow() const { return m_info; }

void TFormMain::ShowDeviceInfo()
{
    if (!m_info)
        m_info = new TNachrichten(this);
    const bool showIdent = (m_main->Online || m_main->OfflineFile) && m_main->Access.Identified;
    QAction *entry = FindAction(QStringLiteral("Menu12"));
    m_info->ShowFnummer(entry ? entry->text() : QStringLiteral("&Fertigungnummer"),
                        DeviceInfoLines(m_main->Data, showIdent));
}

void TFormMain::CloseValuesClicked()
{
    m_main->CloseValues();
}

QString TFormMain::AskFileName(bool save, const QString &title, const QString &filter, const QString &proposed)
{
    QFileDialog dialog(this, title, m_main->DialogFolder(), QtFileFilter(filter));
    dialog.setObjectName(QStringLiteral("FileDialog"));
    // Qt's own dialog: the same on every desktop, translated with the program, and
    // driveable in tests.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!proposed.isEmpty())
        dialog.selectFile(proposed);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    const QString path = dialog.selectedFiles().constFirst();
    m_main->RememberFileFolder(path);
    return path;
}

void TFormMain::LoadFileWithDialog()
{
    if (m_main->LinkBusy || !m_main->ConfirmDiscard())
        return;
    // The file is asked for first: cancelling the dialog keeps what is shown.
    const QString path = AskFileName(false, QString(), GetText(1), QString());
    if (path.isEmpty())
        return;
    LoadFromPath(path);
}

bool TFormMain::LoadFromPath(const QString &path)
{
    const bool wasLoaded = m_main->ParamsLoaded;
    CollectingPrompter collect(*m_prompter);
    const bool complete = LoadParameterFile(m_main->Data, path, collect);
    const QString name = QFileInfo(path).fileName();
    if (!complete) {
        // The step that refused the file reports last; the earlier messages are what the
        // steps before it noticed on the way.
        const QString reason = collect.Messages.isEmpty() ? QString() : collect.Messages.constLast().second;
        m_prompter->error(GetText(510) + QLatin1Char('\r') + QDir::toNativeSeparators(path) +
                          (reason.isEmpty() ? QString() : QLatin1Char('\r') + reason.trimmed()));
        SetStatus(4, GetText(510) + QLatin1Char(' ') + name);
        // A refused file leaves the data as they were, and the set shown stays shown. Only a
        // file whose definition broke half-way has replaced them: then nothing is shown.
        const bool refused = !wasLoaded || m_main->Data.Def.ParametersComplete;
        if (!refused) {
            m_main->CloseParameters();
            SetStatus(4, GetText(510) + QLatin1Char(' ') + name);
        }
        return false;
    }
    collect.Replay();
    m_main->CloseValues();
    m_main->Online = false;
    m_main->Data.State.VmxMode = false;
    m_main->SetPendingAction(QString());
    emit m_main->ParametersHidden();
    m_main->OfflineFile = true;
    m_main->ParamsLoaded = true;
    SetStatus(0, GetText(180) + QLatin1Char(' ') + m_main->Data.FileName);
    SetStatus(4, GetText(515) + QLatin1Char(' ') + name);
    UpdateMenus(); // the grid takes the colour of data from a file from OfflineFile
    ShowParameters();
    return true;
}

void TFormMain::Output(int kind, bool toFile)
{
    if (!m_print) {
        m_print = std::make_unique<TPrintOutput>(this, *m_main, *m_prompter, *m_dialogs);
        m_print->PauseValues = [this] { m_poller->Pause(); };
        m_print->ResumeValues = [this] { m_poller->Resume(); };
        m_print->ActualValueLines = [this] { return m_poller->PrintLines(); };
    }
    if (m_print->Run(Print::Kind(kind), toFile ? Print::Target::File : Print::Target::Printer) && toFile)
        SetStatus(4, GetText(512) + QLatin1Char(' ') + QDir::toNativeSeparators(m_print->LastFile()));
}

void TFormMain::MakeTrendWindow()
{
    if (m_trend || !m_poller)
        return;
    m_trend = new TDiagramm(this, *m_main, m_values, *m_prompter, m_dialogs.get());
    m_trend->FollowPage(*m_poller);
}

void TFormMain::TrendClicked()
{
    if (!m_trend) {
        MakeTrendWindow();
        Translation::TranslateForm(Translation::LanguageFolder(), m_trend, m_main->Settings.Language);
    }
    m_trend->show();
    m_trend->raise();
}

TDiagramm *TFormMain::TrendWindow() const { return m_trend; }

void TFormMain::PrintParameterList() { Output(int(Print::Kind::Parameters), false); }
void TFormMain::SaveParameterList() { Output(int(Print::Kind::Parameters), true); }
void TFormMain::PrintConnectionList() { Output(int(Print::Kind::Connections), false); }
void TFormMain::SaveConnectionList() { Output(int(Print::Kind::Connections), true); }
void TFormMain::SaveAlarmList() { Output(int(Print::Kind::Alarms), true); }

void TFormMain::SaveFileClicked()
{
    SaveFileWithDialog();
}

bool TFormMain::SaveFileWithDialog()
{
    if (!m_main->ParamsLoaded) {
        m_prompter->warning(GetText(40));
        return false;
    }
    DeviceData &d = m_main->Data;
    d.State.ModelPattern = d.State.ModelPattern.toUpper();
    TypeFromPattern(d, *m_prompter);
    const QString path = AskFileName(true, GetText(51), SaveDialogFilter(d.State.ModelPattern),
                                     MainController::ProposedFileName(d.Geraet));
    if (path.isEmpty())
        return false;
    return SaveToPath(path);
}

bool TFormMain::SaveToPath(const QString &chosenPath)
{
    if (!m_main->ParamsLoaded) {
        m_prompter->warning(GetText(40));
        return false;
    }
    QString written;
    if (!SaveParameterFile(m_main->Data, chosenPath, *m_prompter, &written)) {
        SetStatus(4, GetText(525));
        return false;
    }
    m_main->MarkUnchanged();
    SetStatus(4, GetText(512) + QLatin1Char(' ') + QDir::toNativeSeparators(written));
    return true;
}

void TFormMain::ConvertConfig()
{
    if (!m_main->ParamsLoaded || !m_main->OfflineFile) {
        m_prompter->warning(GetText(40));
        return;
    }
    const QByteArray before = m_main->ChangeSnapshot();
    const int versionBefore = m_main->Data.Geraet.ProgramVersion;
    const bool complete = ConvertConfiguration(m_main->Data, *m_prompter);
    if (complete)
        ShowParameters();
    UpdateMenus();
    if (!complete)
        SetStatus(4, QString());
    else if (m_main->ChangeSnapshot() == before && m_main->Data.Geraet.ProgramVersion == versionBefore)
        SetStatus(4, GetText(513));
    else
        SetStatus(4, GetText(514) + QLatin1Char(' ') + QString::number(m_main->Data.Geraet.ProgramVersion));
}

QString TFormMain::ManualPath(const QString &base) const
{
    return DataDir::resolve(base + m_main->Data.LanguageSuffix + QStringLiteral(".pdf"));
}

void TFormMain::OpenManual(const QString &base)
{
    const QString path = ManualPath(base);
    if (!QFileInfo::exists(path)) {
        m_prompter->warning(GetText(136) + QLatin1Char('\r') + path);
        return;
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool TFormMain::RefuseWhileBusy(int textIndex)
{
    return m_lineChange->RefuseNow(textIndex);
}

void TFormMain::SelectCom()
{
    if (RefuseWhileBusy(427) || !m_main->ConfirmDiscard())
        return;
    m_main->CloseParameters();
    const QVector<PortChoice> choices = ListPortChoices();
    QStringList labels;
    int index = 0;
    const QString current = SystemPortName(m_main->Init.PortName);
    for (int i = 0; i < choices.size(); ++i) {
        labels << choices[i].Label();
        if (choices[i].Name == m_main->Init.PortName || choices[i].Name == current)
            index = i;
    }
    if (!m_dialogs->AskComboBox(ApplicationTitle(), GetText(322), labels, index) || index < 0 ||
        index >= choices.size())
        return;
    // The name as chosen is kept, a stable by-id name included.
    const QString port = choices[index].Name;
    m_lineChange->Run(427, [this, port] {
        if (TTeleThread *t = m_main->Thread())
            t->SetPort(port, m_main->Init.BaudText);
        m_main->Init.ChoosePort(port);
    });
}

void TFormMain::OwnAddress()
{
    int value = m_main->Init.OwnAddress;
    if (m_dialogs->AskHexValue(QStringLiteral("Eigene Gerätenummer"), GetText(18) + QStringLiteral("01-FF"), 1, 255,
                               value))
        m_main->Init.OwnAddress = quint8(value);
}

void TFormMain::SlaveAddress()
{
    int value = m_main->Init.SlaveAddress;
    if (m_dialogs->AskHexValue(QStringLiteral("Slave Gerätenummer"), GetText(18) + QStringLiteral("01-FF"), 1, 255,
                               value))
        m_main->Init.SlaveAddress = quint8(value);
}

void TFormMain::SearchProtocol()
{
    // The search reopens the port at other speeds: the same rule as a protocol choice.
    m_lineChange->Run(428, [this] { m_search->Start(); });
}

void TFormMain::ChooseProtocol(int entry)
{
    m_lineChange->Run(428, [this, entry] { ProtocolSearch::ChooseProtocol(*m_main, entry); });
}

void TFormMain::ChooseLanguage()
{
    const QStringList names = Translation::LanguageNames(m_main->Settings.Languages);
    int index = Translation::IndexOfLanguage(m_main->Settings.Languages, m_main->Settings.Language);
    if (!m_dialogs->AskComboBox(ApplicationTitle(), GetText(321), names, index))
        return;
    ApplyLanguage(index);
}

void TFormMain::ApplyLanguage(int index)
{
    // The shown parameters get the definition of the new language; the alarm texts it
    // brings are kept through the translation of the text tables.
    auto reloadDefinitions = [this] {
        if (!m_main->ParamsLoaded)
            return;
        const bool complete = ReadParameters(m_main->Data, *m_prompter);
        m_main->ParamsLoaded = complete;
        if (complete)
            m_paramArea->RefreshGrid();
        else
            m_main->CloseParameters();
    };
    Translation::ChooseLanguage(m_main->Settings, m_main->Data.LanguageSuffix, index,
                                Translation::LanguageFolder(), TranslatedWindows(), reloadDefinitions);
    // Texts set at run time come from the text table again, in the new language.
    m_paramArea->Retranslate();
    if (m_main->ParamsLoaded && m_main->OfflineFile)
        SetStatus(0, GetText(180) + QLatin1Char(' ') + m_main->Data.FileName);
    else if (m_main->ParamsLoaded && m_main->Online)
        SetStatus(0, GetText(181) + QLatin1Char(' ') + m_main->Data.Def.TypLines.value(0));
    m_main->UpdateMenus();
}

void TFormMain::ParamFolder()
{
    QString folder = m_main->Init.ParamFolder;
    if (m_dialogs->AskText(GetText(65), folder))
        m_main->Init.ParamFolder = folder;
}

void TFormMain::ProgramOptions()
{
    CreateWindows();
    m_init->exec();
}

void TFormMain::ShowAbout()
{
    TAboutBox box(this, m_main->Settings.Language);
    box.exec();
}

void TFormMain::ShowDebug()
{
    CreateWindows();
    if (!m_lwl->isVisible())
        m_lwl->move(InterfaceWindowPlace(frameGeometry(), m_lwl->frameGeometry().size(), availableArea()));
    m_lwl->show();
    m_lwl->raise();
}

QRect TFormMain::availableArea() const
{
    const QScreen *s = screen();
    return s ? s->availableGeometry() : QRect();
}

QPoint TFormMain::InterfaceWindowPlace(const QRect &mainFrame, const QSize &size, const QRect &screen)
{
    // Beside the main window where the screen has room, else below it, else at the
    // screen's right edge beside the menu bar; never over the main window's menu.
    const QPoint right(mainFrame.right() + 1, mainFrame.top());
    const QPoint below(mainFrame.left(), mainFrame.bottom() + 1);
    if (screen.isEmpty() || screen.contains(QRect(right, size)))
        return right;
    if (screen.contains(QRect(below, size)))
        return below;
    const int menuBottom = mainFrame.top() + (mainFrame.height() > 80 ? 80 : mainFrame.height());
    const int x = qMax(screen.left(), screen.right() + 1 - size.width());
    const int y = qMin(qMax(screen.top(), menuBottom), qMax(screen.top(), screen.bottom() + 1 - size.height()));
    return QPoint(x, y);
}

// ---------------------------------------------------------------- editing and sending

void TFormMain::EditParameterAt(int index)
{
    if (!m_main->ParamsLoaded)
        return;
    m_edit->Edit(index);
}

void TFormMain::SendParameters()
{
    if (m_sender->Running() || m_edit->Busy()) {
        m_prompter->information(EditSession::BusyText());
        return;
    }
    m_sender->SendParameterSet();
}

void TFormMain::FactorySettingClicked()
{
    if (m_sender->Running() || m_edit->Busy()) {
        m_prompter->information(EditSession::BusyText());
        return;
    }
    m_sender->FactorySetting();
}

void TFormMain::ChooseVoltage(bool mains)
{
    DeviceState &s = m_main->Data.State;
    Choice8Request request;
    const QStringList options = ParameterSender::VoltageOptions();
    for (int i = 0; i < options.size() && i < int(request.Options.size()); ++i)
        request.Options[i] = options.at(i);
    request.Current = ParameterSender::OptionBitFromFactor(mains ? s.MainsFactor : s.GenFactor);
    request.Caption = GetText(mains ? 19 : 20);
    int chosen = 0;
    if (!m_editDialogs->AskChoice8(request, chosen))
        return;
    if (m_sender->ApplyVoltageChoice(mains, chosen))
        m_paramArea->RefreshGrid();
}

TFormChanges *TFormMain::ChangesWindow() const { return m_changes; }
