// The simulated CPU memory: 24 address bits, writes that stick, the pattern elsewhere, and
// requests past the end refused without a change.
#include "SimDevice.h"
#include "SimMem68k.h"
#include <gtest/gtest.h>

TEST(SimMem68k, AnswersInsideThe24BitSpaceAndRefusesBeyond)
{
    SimMem68k mem;
    const struct
    {
        quint8 code;
        quint32 address;
        int count; // reads; writes carry count bytes of 0x5A
        bool refused;
    } cases[] = {
        {36, 0x123456, 3, false}, {37, 0x123455, 5, false}, {37, 0xFFFFC0, 64, false}, {37, 0xFFFFC1, 64, true},
        {36, 0xFFFFFF, 1, false}, {36, 0xFFFFFF, 2, true},  {37, 0x1000000, 1, true},  {36, 0xFF000000, 1, true},
    };
    for (const auto &c : cases) {
        SimRequest r;
        r.code = c.code;
        r.address = c.address;
        r.count = c.count;
        if (c.code == 36)
            r.data.assign(size_t(c.count), 0x5A);
        const std::vector<quint8> before = mem.bytes(c.address & 0xFFFFFF, c.count);
        SimAnswer a;
        a.code = quint8(c.code + 0x80);
        ASSERT_TRUE(mem.handle(r, a)) << c.address;
        EXPECT_EQ(a.code, c.refused ? SimMem68k::OutOfRange : quint8(c.code + 0x80)) << std::hex << c.address;
        if (c.refused) {
            EXPECT_TRUE(a.data.empty());
            EXPECT_EQ(mem.bytes(c.address & 0xFFFFFF, c.count), before) << "a refusal changes nothing";
        } else if (c.code == 37) {
            EXPECT_EQ(a.data, mem.bytes(c.address, c.count));
        }
    }
    // The write at 0x123456 stuck, its neighbours kept the pattern.
    EXPECT_EQ(mem.bytes(0x123455, 5),
              (std::vector<quint8>{SimMem68k::pattern(0x123455), 0x5A, 0x5A, 0x5A, SimMem68k::pattern(0x123459)}));
    EXPECT_EQ(mem.byteAt(0xFFFFFF), 0x5A);
    EXPECT_NE(SimMem68k::pattern(0x1000), SimMem68k::pattern(0x1001));
    SimRequest other;
    other.code = 5;
    SimAnswer a;
    EXPECT_FALSE(mem.handle(other, a)) << "the 16-bit codes are the device's";
}
