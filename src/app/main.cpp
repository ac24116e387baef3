#include "SimPort.h"
#include "shell/DataDir.h"
#include "shell/MainController.h"
#include "shell/ui/FormMain.h"
#include <QApplication>
#include <QCommandLineParser>
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
    // Without --data the data folder comes from $MIRELO_DATA_DIR, else beside the program.
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
        formMain.Controller().Init.PortName = parser.value(portOption);
    formMain.ShowSplashAndUpdateNotice();
    // The interface window (telegram thread, saved port) and the dialogs, hidden.
    formMain.CreateWindows();
    formMain.show();
    // The access-code dialog once the message loop runs, over the visible main window.
    QTimer::singleShot(0, &formMain, [&formMain] { formMain.ShowIdentAtStart(); });
    return app.exec();
}
