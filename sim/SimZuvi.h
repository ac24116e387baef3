#pragma once
#include <QtGlobal>

class SimDevice;

// The controller's alarm notification block: three recipients with kind and number, the
// outside-line prefix, the SMS service centres, and the alarm selection. A device whose
// memory holds nothing there gets a plausible set-up; the device keeps what is written
// like any memory.
class SimZuvi
{
public:
    static constexpr quint32 AlarmAddress = 0x0E04;
    static constexpr int AlarmBytes = 11;
    static constexpr quint32 BlockAddress = 0x0F70;
    static constexpr int BlockSize = 47;

    // True when the block was empty and has been filled.
    static bool attach(SimDevice &device);
};
