#pragma once
#include <QtGlobal>
#include <memory>
#include <unordered_map>
#include <vector>

class SimDevice;
struct SimRequest;
struct SimAnswer;

// The address space of a controller's 68000-family CPU as codes 36 (write) and 37 (read)
// reach it: 24 address bits, beside the 16-bit parameter memory of the other codes.
// Memory nobody has written holds a fixed pattern of the address, so that a read shows
// more than zeros and a test can tell every byte from its neighbours. A request that
// reaches past 0xFFFFFF is refused with OutOfRange and changes nothing.
class SimMem68k
{
public:
    static constexpr quint32 Size = 0x1000000;
    static constexpr quint8 OutOfRange = 0xF3;

    static quint8 pattern(quint32 address);
    quint8 byteAt(quint32 address) const;
    void setByte(quint32 address, quint8 value);
    std::vector<quint8> bytes(quint32 address, int count) const;
    void setBytes(quint32 address, const std::vector<quint8> &data);

    bool handle(const SimRequest &request, SimAnswer &answer);
    static std::shared_ptr<SimMem68k> attach(SimDevice &device);

private:
    static constexpr quint32 PageSize = 4096;
    std::unordered_map<quint32, std::vector<quint8>> m_pages; // written pages only
};
