// "Analogwerte CAN (J1939)" offscreen on the simulated controller: the check marks come from
// the mask, OK writes it and closes once the controller has confirmed it.
#include "SimDevice.h"
#include "calibration/ui/CanAnalog.h"
#include "support/DriveModal.h"
#include "support/SimMainWindow.h"
#include <QListWidget>
#include <QPushButton>

TEST(CanAnalogUi, ChecksFollowTheMaskAndOkWritesIt)
{
    SimMainWindow sim;
    ASSERT_NO_FATAL_FAILURE(sim.StartAndRead());
    TFormMain *form = sim.form.get();
    MainController &c = form->Controller();
    c.Access.Level = Level::Cus;
    const int version = c.Data.Geraet.ProgramVersion;
    const int count = CanAnalog::ValueCount(version);
    const int address = CanAnalog::MaskAddress(version);
    const std::shared_ptr<SimDevice> device = SimPort::sharedDevice();
    // Value 1 ("Öldruck") is on in the image before the dialog opens.
    for (int k = 0; k < count / 8; ++k)
        c.Data.Geraet.SetByte(c.Data.State.IndexOf(address + k), k == 0 ? 0x02 : 0x00);

    bool driven = false;
    DriveModal([&](QWidget *modal) {
        auto *w = qobject_cast<TFormAnaCAN *>(modal);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->windowTitle(), QStringLiteral("Analogwerte CAN (J1939)"));
        QListWidget *list = w->List();
        ASSERT_EQ(list->count(), count);
        EXPECT_EQ(list->item(3)->text(), QStringLiteral("Drehzahl"));
        EXPECT_EQ(list->item(1)->checkState(), Qt::Checked);
        EXPECT_EQ(list->item(0)->checkState(), Qt::Unchecked);
        list->item(1)->setCheckState(Qt::Unchecked);
        list->item(3)->setCheckState(Qt::Checked);
        list->item(count - 1)->setCheckState(Qt::Checked);
        QTest::mouseClick(w->OkButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!w->isVisible(), 10000);
        EXPECT_EQ(w->result(), int(QDialog::Accepted));
        driven = true;
    });
    form->AnalogCanClicked();
    EXPECT_TRUE(driven);
    std::vector<quint8> expected(size_t(count / 8), 0);
    expected[0] = 0x08;
    expected.back() = 0x80;
    EXPECT_EQ(device->bytes(quint32(address), count / 8), expected);
    for (int k = 0; k < count / 8; ++k)
        EXPECT_EQ(c.Data.Geraet.GetByte(c.Data.State.IndexOf(address + k)), expected[size_t(k)]) << k;
    EXPECT_TRUE(c.PendingAction.isEmpty());
}
