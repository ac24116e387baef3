#include "SimMem68k.h"
#include "SimDevice.h"

quint8 SimMem68k::pattern(quint32 address)
{
    // Neither constant nor periodic within an area: a shifted or half-written block shows.
    const quint32 mixed = (address ^ (address >> 9)) * 2654435761u;
    return quint8(mixed >> 24);
}

quint8 SimMem68k::byteAt(quint32 address) const
{
    const auto it = m_pages.find(address / PageSize);
    return it == m_pages.end() ? pattern(address) : it->second[address % PageSize];
}

void SimMem68k::setByte(quint32 address, quint8 value)
{
    address &= Size - 1;
    const quint32 page = address / PageSize;
    auto it = m_pages.find(page);
    if (it == m_pages.end()) {
        std::vector<quint8> fresh(PageSize);
        for (quint32 i = 0; i < PageSize; ++i)
            fresh[i] = pattern(page * PageSize + i);
        it = m_pages.emplace(page, std::move(fresh)).first;
    }
    it->second[address % PageSize] = value;
}

std::vector<quint8> SimMem68k::bytes(quint32 address, int count) const
{
    std::vector<quint8> out;
    for (int i = 0; i < count; ++i)
        out.push_back(byteAt((address + quint32(i)) & (Size - 1)));
    return out;
}

void SimMem68k::setBytes(quint32 address, const std::vector<quint8> &data)
{
    for (size_t i = 0; i < data.size(); ++i)
        setByte(address + quint32(i), data[i]);
}

bool SimMem68k::handle(const SimRequest &r, SimAnswer &a)
{
    if (r.code != 36 && r.code != 37)
        return false;
    const quint64 end = quint64(r.address) + quint64(r.code == 36 ? r.data.size() : size_t(r.count));
    if (end > Size) {
        a.code = OutOfRange;
        return true;
    }
    if (r.code == 36)
        setBytes(r.address, r.data);
    else
        a.data = bytes(r.address, std::min(r.count, int(SimDevice::MaxData)));
    return true;
}

std::shared_ptr<SimMem68k> SimMem68k::attach(SimDevice &device)
{
    auto mem = std::make_shared<SimMem68k>();
    device.addRequestHook([mem](SimDevice &, const SimRequest &r, SimAnswer &a) { return mem->handle(r, a); });
    return mem;
}
