#pragma once
// The main window on the built-in simulated device as the service window tests start it:
// a settings folder of its own, the SIM port at 9600 baud, the device read.
#include "SimPort.h"
#include "device/DeviceReader.h"
#include "link/TeleThread.h"
#include "shell/MainController.h"
#include "shell/ui/FormMain.h"
#include "support/ScriptedPrompter.h"
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

void RegisterSimPort();

struct SimMainWindow
{
    QTemporaryDir config;
    ScriptedPrompter prompter;
    std::unique_ptr<TFormMain> form;
    // Served instead of the default device when set before StartAndRead.
    std::shared_ptr<SimDevice> device;

    // Shows the window with its other windows made, opens the port and reads the device
    // ("Parameter aus Gerät"). Call it under ASSERT_NO_FATAL_FAILURE.
    void StartAndRead()
    {
        ASSERT_TRUE(config.isValid());
        qputenv("MIRELO_CONFIG_DIR", config.path().toLocal8Bit());
        {
            QFile f(config.path() + QStringLiteral("/Mirelo.ini"));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write("[Ini]\r\nAUTOSAVE=0\r\nSPLASH=0\r\n[Com]\r\nPort=SIM\r\nBaud=9600\r\nProtokoll=4\r\n");
        }
        RegisterSimPort();
        SimPort::resetSharedDevice(device);
        form = std::make_unique<TFormMain>(&prompter);
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        form->CreateWindows();
        TTeleThread *thread = form->Controller().Thread();
        thread->SetReadTimeout(50);
        QTRY_VERIFY_WITH_TIMEOUT(thread->PortOpen(), 5000);
        ASSERT_TRUE(thread->PortOpen());
        QSignalSpy finished(form->Reader(), &DeviceReader::Finished);
        form->FindAction(QStringLiteral("Menu22"))->trigger();
        ASSERT_TRUE(finished.count() > 0 || finished.wait(30000));
        ASSERT_TRUE(finished.at(0).at(0).toBool()) << prompter.All().join(QLatin1Char('|')).toStdString();
    }
};
