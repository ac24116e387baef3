#pragma once
#include <QtGlobal>

class SimDevice;

// A controller's service values in memory: the maintenance interval (signed word at
// 0x0F90), the extra hours to stop after it (word at 0x0F92) and the program number
// (byte at 0x01A0). The device keeps what is written there like any other memory.
class SimService
{
public:
    static constexpr quint32 IntervalAddress = 0x0F90;
    static constexpr quint32 ExtraHoursAddress = 0x0F92;
    static constexpr quint32 ProgramAddress = 0x01A0;
    static constexpr int Interval = 500;
    static constexpr int ExtraHours = 48;
    static constexpr int Program = 2;

    static void attach(SimDevice &device);
};
