#pragma once
// Drives the modal dialog a window opens from inside its own event loop.
#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <functional>
#include <memory>

// Runs `drive` on the modal dialog as soon as it is up; a dialog still open afterwards is
// rejected, and after a few seconds without one the wait ends, so that no test can hang.
inline void DriveModal(std::function<void(QWidget *)> drive)
{
    auto *timer = new QTimer;
    timer->setInterval(10);
    auto tries = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, tries, drive] {
        QWidget *modal = QApplication::activeModalWidget();
        if (modal) {
            timer->stop();
            timer->deleteLater();
            drive(modal);
            if (modal->isVisible())
                if (auto *dlg = qobject_cast<QDialog *>(modal))
                    dlg->reject();
        } else if (++*tries > 500) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start();
}
