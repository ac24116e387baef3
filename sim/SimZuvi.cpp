#include "SimZuvi.h"
#include "SimDevice.h"

bool SimZuvi::attach(SimDevice &device)
{
    // 0x0F8E..0x0F97 hold the maintenance interval and extra hours (0x0F90, 0x0F92): they
    // are not part of the notification set-up and stay as the loaded set has them.
    auto ours = [](int i) { return i < 30 || (i >= 36 && i < 43); };
    for (int i = 0; i < BlockSize; ++i)
        if (ours(i) && device.byteAt(BlockAddress + quint32(i)) != 0)
            return false;
    for (int i = 0; i < AlarmBytes; ++i)
        if (device.byteAt(AlarmAddress + quint32(i)) != 0)
            return false;
    // Master 1 calls by telephone 0301234567, master 2 sends SMS (EMI) to 0171,5551234
    // through service centre 2, master 3 is off; "0" gets an outside line.
    const std::vector<quint8> block = {
        0x10, 0x30, 0x12, 0x34, 0x56, 0x7F, 0x00, 0x00, 0x00, 0x00, // master 1
        0x30, 0x17, 0x1A, 0x55, 0x51, 0x23, 0x4F, 0x00, 0x00, 0x00, // master 2
        0x0F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, // master 3
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00,                         // 0x0F8E..0x0F93
        '0', ' ', ' ', ' ',                                         // outside line
        1, 2, 0,                                                    // SMS service centres
        0x00, 0x00, 0x00, 0x00};
    for (int i = 0; i < BlockSize; ++i)
        if (ours(i))
            device.setByte(BlockAddress + quint32(i), block[size_t(i)]);
    // Entries 1, 2 and 10 of the alarm list are reported.
    const quint8 alarms[AlarmBytes] = {0x06, 0x04, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    for (int i = 0; i < AlarmBytes; ++i)
        device.setByte(AlarmAddress + quint32(i), alarms[i]);
    return true;
}
