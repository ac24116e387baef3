#include "calibration/ui/Abgleich91.h"

TAbgleich91::TAbgleich91(MainController &main, QWidget *parent)
    : TAbgleichDialog(main, CalibrationRun::Family::Zev9x, parent)
{
    setObjectName(QStringLiteral("Abgleich91"));
}
