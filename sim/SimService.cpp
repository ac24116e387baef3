#include "SimService.h"
#include "SimDevice.h"

void SimService::attach(SimDevice &device)
{
    device.setByte(IntervalAddress, quint8(Interval >> 8));
    device.setByte(IntervalAddress + 1, quint8(Interval));
    device.setByte(ExtraHoursAddress, quint8(ExtraHours >> 8));
    device.setByte(ExtraHoursAddress + 1, quint8(ExtraHours));
    device.setByte(ProgramAddress, quint8(Program));
}
