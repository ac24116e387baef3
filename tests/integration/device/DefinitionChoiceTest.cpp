// Which definition a read from the simulated device ends with when the device's own
// definition is missing: never the one of the device read before.
#include "ChainRig.h"
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

TEST(DefinitionChoice, PlainTransferSwitchFromVersion3AfterAnotherDeviceNamesItsOwnMissingFile)
{
    ChainRig rig;
    rig.device = ChainRig::DeviceFromSample(QStringLiteral("demo.ORN"));
    ASSERT_TRUE(rig.device);
    ASSERT_TRUE(rig.Start());
    ASSERT_TRUE(rig.Read());
    ASSERT_TRUE(rig.finishedOk) << rig.prompter.All().join('|').toStdString();
    const QString earlier = rig.main->Data.State.DefinitionFile;
    ASSERT_TRUE(earlier.endsWith(QStringLiteral("L-ORN 4000-DE_v2.ZPA"))) << earlier.toStdString();
    ASSERT_TRUE(rig.main->ParamsLoaded);

    // The same controller after a firmware update to version 3, for which no definition
    // is shipped.
    rig.device->setByte(SimDevice::IdentAddress + 11, 3);
    rig.prompter.Errors.clear();
    rig.prompter.Warnings.clear();
    ASSERT_TRUE(rig.Read());
    EXPECT_FALSE(rig.finishedOk);
    EXPECT_FALSE(rig.main->ParamsLoaded);
    const DeviceData &d = rig.main->Data;
    EXPECT_EQ(d.State.DeviceType, 52);
    EXPECT_EQ(QFileInfo(d.State.DefinitionFile).fileName(), QStringLiteral("L-ORN 4000-DE_v3.ZPA"));
    EXPECT_FALSE(d.Def.DefinitionLoaded);
    EXPECT_TRUE(rig.prompter.Warnings.contains(QStringLiteral("Can't open file ") + d.State.DefinitionFile))
        << rig.prompter.All().join('|').toStdString();
}

} // namespace
