// The program switch against the simulated controller: the three writes, and a chain that
// stops at the first refusal and says that the device holds an incomplete selection.
#include "../device/ChainRig.h"
#include "device/ParameterFile.h"
#include "services/ProgramNumber.h"
#include "shell/Texts.h"
#include <gtest/gtest.h>

namespace {

using W = ProgramNumber::Write;

struct NumberRig : ChainRig
{
    std::unique_ptr<ProgramNumber> number;
    std::vector<SimRequest> writes;
    int finished = 0;
    bool lastOk = false;
    quint32 refuseAt = 0;

    bool Setup()
    {
        device = DeviceFromSample(QStringLiteral("demo.202"));
        if (!device)
            return false;
        device->setSlaveAddress(0x70);
        device->addRequestHook([this](SimDevice &, const SimRequest &r, SimAnswer &a) {
            if (r.code != 20)
                return false;
            writes.push_back(r);
            if (r.address != refuseAt)
                return false;
            a.code = 0xF4;
            return true;
        });
        if (!Start())
            return false;
        if (!LoadParameterFile(main->Data, QStringLiteral(MIRELO_SOURCE_DATA_DIR "/samples/demo.202"), prompter))
            return false;
        main->Online = true;
        main->Data.Geraet.ProgramId = QStringLiteral("002");
        main->Data.Geraet.SetByte(0x6F, 0x40);
        number = std::make_unique<ProgramNumber>(*main);
        QObject::connect(number.get(), &ProgramNumber::Finished, [this](bool ok) { ++finished, lastOk = ok; });
        return true;
    }
    bool Run(const QString &text, bool options)
    {
        const int before = finished;
        return number->Start(text, options) && WaitUntil([&] { return finished > before; });
    }
};

} // namespace

TEST(ProgramNumber, WritesForEachProgram)
{
    const struct
    {
        int program;
        bool options;
        quint8 optionByte;
        std::array<W, 3> expect;
    } cases[] = {
        {2, true, 0x40, {W{0x01A0, 2}, W{0x01A5, 0x3B}, W{0x016F, 0x43}}},
        {3, false, 0x43, {W{0x01A0, 3}, W{0x01A5, 0x11}, W{0x016F, 0x40}}},
        {5, true, 0x00, {W{0x01A0, 5}, W{0x01A5, 0x33}, W{0x016F, 0x03}}},
        {1, true, 0x03, {W{0x01A0, 1}, W{0x01A5, 0x00}, W{0x016F, 0x00}}}, // never options
        {9, true, 0x81, {W{0x01A0, 9}, W{0x01A5, 0x00}, W{0x016F, 0x80}}},
    };
    for (const auto &c : cases)
        EXPECT_TRUE(ProgramNumber::Writes(c.program, c.options, c.optionByte) == c.expect) << c.program;

    const struct
    {
        const char *id, *text;
        bool ok;
    } typed[] = {{"001", "3", true}, {"002", "4", false}, {"003", "0", false}, {"005", "9", true},
                 {"009", "7", false}, {"005", "x", false}, {"002", " 1 ", true}};
    for (const auto &t : typed) {
        int program = 0;
        QString why;
        EXPECT_EQ(ProgramNumber::Validate(QString::fromLatin1(t.id), QString::fromLatin1(t.text), &program, &why), t.ok)
            << t.id << " " << t.text;
        if (!t.ok)
            EXPECT_EQ(why, GetText(QString::fromLatin1(t.id) <= QLatin1String("003") ? 46 : 47));
    }
    EXPECT_FALSE(ProgramNumber::Switchable(QStringLiteral("004")));
    EXPECT_TRUE(ProgramNumber::HasOptions(QStringLiteral("005")));
    EXPECT_FALSE(ProgramNumber::HasOptions(QStringLiteral("009")));
}

TEST(ProgramNumber, SwitchWritesAllThreeBytes)
{
    NumberRig rig;
    ASSERT_TRUE(rig.Setup());
    ASSERT_TRUE(rig.Run(QStringLiteral("2"), true));
    EXPECT_TRUE(rig.lastOk);
    EXPECT_TRUE(rig.number->Accepted());
    EXPECT_EQ(rig.device->byteAt(0x01A0), 0x02);
    EXPECT_EQ(rig.device->byteAt(0x01A5), 0x3B);
    EXPECT_EQ(rig.device->byteAt(0x016F), 0x43);
    EXPECT_TRUE(rig.main->PendingAction.isEmpty());
}

TEST(ProgramNumber, StopsAtTheFirstRefusalAndSaysTheSelectionIsIncomplete)
{
    const struct
    {
        quint32 refuseAt;
        size_t sent;
        bool incomplete;
    } cases[] = {{0x01A0, 1, false}, {0x01A5, 2, true}, {0x016F, 3, true}};
    for (const auto &c : cases) {
        NumberRig rig;
        ASSERT_TRUE(rig.Setup());
        rig.refuseAt = c.refuseAt;
        rig.device->setByte(0x016F, 0x55);
        ASSERT_TRUE(rig.Run(QStringLiteral("3"), false));
        EXPECT_FALSE(rig.lastOk);
        EXPECT_FALSE(rig.number->Accepted());
        EXPECT_EQ(rig.writes.size(), c.sent) << std::hex << c.refuseAt;
        const QString all = rig.prompter.All().join('|');
        EXPECT_TRUE(all.contains(GetText(42))) << all.toStdString();
        EXPECT_EQ(all.contains(GetText(664).left(20)), c.incomplete) << all.toStdString();
        EXPECT_EQ(rig.device->byteAt(0x016F), 0x55);
        EXPECT_TRUE(rig.main->PendingAction.isEmpty());
    }
}

TEST(ProgramNumber, AWrongNumberSendsNothing)
{
    NumberRig rig;
    ASSERT_TRUE(rig.Setup());
    EXPECT_FALSE(rig.number->Start(QStringLiteral("4"), false));
    EXPECT_TRUE(rig.writes.empty());
    EXPECT_TRUE(rig.prompter.All().join('|').contains(GetText(46)));
}
