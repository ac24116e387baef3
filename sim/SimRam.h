#pragma once
#include <QtGlobal>

class SimDevice;

// A controller's protection diagnosis in working memory: the trip values of the last mains
// and generator trips (new and old), the trip bits, vector-shift values and counters at
// 0x2E2C..0x2E9B, flagged by bit 5 of the diagnosis byte at 0x2855. Writing that byte with
// the bit cleared resets the diagnosis: the trip values and bits go to zero, the counters
// and cycle times stay.
class SimRam
{
public:
    static constexpr quint32 BlockAddress = 0x2E2C;
    static constexpr int BlockSize = 112;
    static constexpr quint32 DiagnosisAddress = 0x2855;
    static constexpr quint8 DiagnosisBit = 0x20;
    // The trip values and bits that a reset clears (0x2E50..0x2E8F).
    static constexpr quint32 TripAddress = 0x2E50;
    static constexpr int TripSize = 0x40;

    // Puts a plausible recorded trip into the device memory.
    static void fill(SimDevice &device);
    // Fills the memory and serves the reset from now on.
    static void attach(SimDevice &device);
};
