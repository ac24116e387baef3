#include "device/Geraet.h"
#include <gtest/gtest.h>

TEST(Geraet, FreshRecordIsEmpty)
{
    TGeraet g;
    EXPECT_EQ(g.ProgramVersion, 0);
    EXPECT_TRUE(g.ProgramId.isEmpty());
    EXPECT_TRUE(std::all_of(g.Image.begin(), g.Image.end(), [](quint8 b) { return b == 0; }));
}

TEST(Geraet, WordsAreBigEndianAndUnsigned)
{
    TGeraet g;
    g.SetWord(10, 0x1234);
    EXPECT_EQ(g.GetByte(10), 0x12);
    EXPECT_EQ(g.GetByte(11), 0x34);
    g.SetByte(20, 0xFF);
    g.SetByte(21, 0xFE);
    EXPECT_EQ(g.GetWord(20), 65534);
}

TEST(Geraet, OutOfRangeIndexesNeverTouchMemory)
{
    TGeraet g;
    struct Case { long long index; };
    for (long long idx : {-1LL, -1000LL, 32768LL, 40000LL}) {
        EXPECT_EQ(g.SetByte(idx, 0x55), 0) << idx;
        EXPECT_EQ(g.GetByte(idx), 0) << idx;
        EXPECT_FALSE(g.SetWord(idx, 0x1234)) << idx;
        EXPECT_EQ(g.GetWord(idx), 0) << idx;
    }
    // A word starting at the last byte would spill over the end: refused whole.
    EXPECT_FALSE(g.SetWord(32767, 0xABCD));
    EXPECT_EQ(g.GetByte(32767), 0);
    EXPECT_TRUE(g.SetWord(32766, 0xABCD));
    EXPECT_EQ(g.GetWord(32766), 0xABCD);
}
