#include "SimService.h"
#include "SimDevice.h"

void SimService::attach(SimDevice &device)
{
    if (device.byteAt(ProgramAddress) == 0)
        device.setByte(ProgramAddress, quint8(Program));
}
