#include "SimRam.h"
#include "SimDevice.h"

namespace {
void setWord(SimDevice &d, quint32 address, int value)
{
    d.setByte(address, quint8(value >> 8));
    d.setByte(address + 1, quint8(value));
}
} // namespace

void SimRam::fill(SimDevice &d)
{
    setWord(d, 0x2E2C, 412); // EEPROM programmings
    setWord(d, 0x2E2E, 17);  // resets
    for (int k = 0; k < 32; ++k) // cycle times, a few ms each
        d.setByte(0x2E30 + quint32(k), quint8(0x08 + (k * 5) % 23));
    // Last mains trip: undervoltage on L2 (tenths of a volt), frequencies in hundredths of Hz.
    const int mainsNew[] = {2301, 1874, 2298, 5002, 5001, 5002, 12, 35};
    const int mainsOld[] = {2310, 2305, 2307, 4998, 4999, 4998, 3, 41};
    const int genNew[] = {4005, 3998, 4001, 5112, 5110, 5111, 0x0001, 22};
    const int genOld[] = {4000, 4002, 3999, 5000, 5001, 5000, 18, 27};
    for (int k = 0; k < 8; ++k) {
        setWord(d, 0x2E50 + quint32(2 * k), mainsNew[k]);
        setWord(d, 0x2E60 + quint32(2 * k), mainsOld[k]);
        setWord(d, 0x2E70 + quint32(2 * k), genNew[k]);
        setWord(d, 0x2E80 + quint32(2 * k), genOld[k]);
    }
    d.setByte(0x2E8E, 0x01 | 0x40); // mains undervoltage and vector shift
    d.setByte(0x2E8F, 0x08);        // generator overfrequency
    setWord(d, 0x2E90, 118);
    setWord(d, 0x2E92, 131);
    setWord(d, 0x2E94, 13);
    setWord(d, 0x2E96, 250);
    setWord(d, 0x2E98, 248);
    setWord(d, 0x2E9A, 1000);
    d.setByte(DiagnosisAddress, quint8(DiagnosisBit | 0x01));
}

void SimRam::attach(SimDevice &device)
{
    fill(device);
    device.addRequestHook([](SimDevice &d, const SimRequest &r, SimAnswer &) {
        const bool write = r.code == 4 || r.code == 20;
        if (!write || r.address > DiagnosisAddress || r.address + quint32(r.data.size()) <= DiagnosisAddress)
            return false;
        const quint8 value = r.data[DiagnosisAddress - r.address];
        if ((d.byteAt(DiagnosisAddress) & DiagnosisBit) && !(value & DiagnosisBit))
            for (int k = 0; k < TripSize; ++k)
                d.setByte(TripAddress + quint32(k), 0);
        return false; // the write itself is the device's
    });
}
