#pragma once
#include <QtGlobal>

class SimDevice;

// A controller's service values in memory: the maintenance interval (signed word at
// 0x0F90) and the extra hours to stop after it (word at 0x0F92) lie in the parameter
// image and keep what the loaded set holds there; the program number (byte at 0x01A0)
// lies outside it and is given here. The device keeps what is written like any memory.
class SimService
{
public:
    static constexpr quint32 IntervalAddress = 0x0F90;
    static constexpr quint32 ExtraHoursAddress = 0x0F92;
    static constexpr quint32 ProgramAddress = 0x01A0;
    static constexpr int Program = 2;

    static void attach(SimDevice &device);
};
