#include "SimPort.h"
#include "shell/DataDir.h"
#include "shell/MainController.h"
#include "shell/QuitSignals.h"
#include "shell/ui/FormMain.h"
#include <QApplication>
#include <QCommandLineParser>
#include <QSessionManager>
#include <QTimer>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("mirelo"));
    QApplication::setApplicationVersion(QStringLiteral(MIRELO_VERSION));
    QApplication::setApplicationDisplayName(TFormMain::ApplicationTitle());

    QCommandLineParser parser;
    parser.setApplicationDescription(TFormMain::ApplicationTitle());
    parser.addHelpOption();
    parser.addVersionOption();
    // Without --data the data folder comes from $MIRELO_DATA_DIR, else share/mirelo of the
    // prefix the program is installed in, else the source tree.
    QCommandLineOption dataOption(QStringLiteral("data"),
                                  QStringLiteral("Folder with ZPA, ini and the manuals."), QStringLiteral("DIR"));
    parser.addOption(dataOption);
    QCommandLineOption portOption(QStringLiteral("port"),
                                  QStringLiteral("Serial port for this run (a device path, COMn, or SIM for the "
                                                 "built-in simulated device)."),
                                  QStringLiteral("PORT"));
    parser.addOption(portOption);
    parser.process(app);
    if (parser.isSet(dataOption))
        DataDir::setOverride(parser.value(dataOption));

    RegisterSimPort();

    // The main window reads the settings ($MIRELO_CONFIG_DIR/Mirelo.ini when set) while it
    // is created; then the splash and the update notice.
    TFormMain formMain;
    if (parser.isSet(portOption))
        formMain.Controller().Init.UsePortForThisRun(parser.value(portOption));
    formMain.ShowSplashAndUpdateNotice();
    // The interface window (telegram thread, saved port) and the dialogs, hidden.
    formMain.CreateWindows();
    formMain.show();
    // kill, Ctrl+C and a closed terminal end the program as a normal close does, without
    // the questions a window might ask; the event loop then ends and the windows and the
    // telegram thread are taken down in order.
    MainController &controller = formMain.Controller();
    QuitSignals quitSignals;
    QObject::connect(&quitSignals, &QuitSignals::Received, &app, [&controller] {
        controller.CloseParameters();
        controller.SaveSettingsAtExit();
        QCoreApplication::exit(0);
    });
    // Logout or shutdown: the session may still be cancelled, so the settings are written
    // without ending anything; whatever way the loop ends afterwards saves once more.
#ifndef QT_NO_SESSIONMANAGER
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &app, [&controller](QSessionManager &) {
        if (controller.Init.AutoSave)
            WriteSettings(controller.Init, controller.Settings, controller.UserPrompter());
    });
#endif
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &app, [&controller] { controller.SaveSettingsAtExit(); });
    // The access-code dialog once the message loop runs, over the visible main window.
    QTimer::singleShot(0, &formMain, [&formMain] { formMain.ShowIdentAtStart(); });
    return app.exec();
}
