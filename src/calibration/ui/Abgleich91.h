#pragma once
#include "calibration/ui/Abgleich101.h"

// "Abgleich ZEV 9x": the same dialog for the 9x controllers.
class TAbgleich91 : public TAbgleichDialog
{
    Q_OBJECT
public:
    explicit TAbgleich91(MainController &main, QWidget *parent = nullptr);
};
