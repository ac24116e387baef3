// Editing from the main window offscreen: the grid's double click opens the editor's dialog,
// OK writes (into the file's image, or to the simulated device with read-back), the grid
// shows and marks the new value; the menu entries that send and the voltage choices.
#include "support/DriveModal.h"
#include "support/ScriptedPrompter.h"
#include "SimPort.h"
#include "device/DeviceReader.h"
#include "link/TeleThread.h"
#include "params/EditSession.h"
#include "params/NumberFormat.h"
#include "params/ParameterSender.h"
#include "params/ui/EditValueDialogs.h"
#include "params/ui/FormChanges.h"
#include "params/ui/ParamGrid.h"
#include "params/ui/ValueDialogs.h"
#include "services/AccessLevels.h"
#include "shell/MainController.h"
#include "shell/Texts.h"
#include "shell/ui/FormMain.h"
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace {

const QString kDemo202 = QStringLiteral(MIRELO_SOURCE_DATA_DIR "/samples/demo.202");

class EditFlowUi : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(config.isValid());
        qputenv("MIRELO_CONFIG_DIR", config.path().toLocal8Bit());
        QFile f(config.path() + QStringLiteral("/Mirelo.ini"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[Ini]\r\nAUTOSAVE=0\r\nSPLASH=0\r\n[Com]\r\nPort=SIM\r\nBaud=9600\r\nProtokoll=4\r\n");
    }
    void TearDown() override
    {
        form.reset();
        qunsetenv("MIRELO_CONFIG_DIR");
    }
    void create()
    {
        RegisterSimPort();
        SimPort::resetSharedDevice();
        form = std::make_unique<TFormMain>(&prompter);
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }
    void readDevice()
    {
        form->CreateWindows();
        TTeleThread *thread = form->Controller().Thread();
        ASSERT_NE(thread, nullptr);
        thread->SetReadTimeout(50);
        QTRY_VERIFY_WITH_TIMEOUT(thread->PortOpen(), 5000);
        QSignalSpy finished(form->Reader(), &DeviceReader::Finished);
        form->FindAction(QStringLiteral("Menu22"))->trigger();
        ASSERT_TRUE(finished.count() > 0 || finished.wait(30000));
        ASSERT_TRUE(finished.at(0).at(0).toBool()) << prompter.All().join(QLatin1Char('|')).toStdString();
        form->Sender()->SetAckDelayMs(0);
    }
    // Filters the grid down to the parameter (the first hit, or the first at `address`)
    // and double-clicks its row.
    void doubleClick(const QString &text, const QString &address = QString())
    {
        TParamGrid *grid = form->ParamGridArea();
        grid->SearchField()->setText(text);
        const TGridModel &m = grid->Model();
        const TParameterListe &p = form->Controller().Data.Params;
        int row = 0;
        while (row < m.RowCount() &&
               (m.Rows().at(row).Heading ||
                (!address.isEmpty() && p.GetAddress(m.Rows().at(row).ParameterIndex).trimmed() != address)))
            ++row;
        ASSERT_LT(row, m.RowCount()) << text.toStdString();
        QTableView *view = grid->StrG_Param();
        const QRect rect = view->visualRect(view->model()->index(row, 1));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rect.center());
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, rect.center());
    }
    int rowOf(int parameterIndex) const
    {
        const TGridModel &m = form->ParamGridArea()->Model();
        for (int r = 0; r < m.RowCount(); ++r)
            if (m.Rows().at(r).ParameterIndex == parameterIndex && !m.Rows().at(r).Heading)
                return r;
        return -1;
    }
    int indexAt(const QString &address) const
    {
        const TParameterListe &p = form->Controller().Data.Params;
        for (int i = 0; i < p.Count(); ++i)
            if (p.GetAddress(i).trimmed() == address && p.GetTypeCode(i) != 0)
                return i;
        return -1;
    }
    int word(int address) const
    {
        const DeviceData &d = form->Controller().Data;
        return d.Geraet.GetWord(d.State.IndexOf(address));
    }
    QString decimal(const char *text) const
    {
        return QString::fromLatin1(text).replace(QLatin1Char('.'), DecimalSeparator());
    }

    QTemporaryDir config;
    ScriptedPrompter prompter;
    std::unique_ptr<TFormMain> form;
};

TEST_F(EditFlowUi, OfflineDoubleClickEditsTheImageAndMarksTheRow)
{
    create();
    ASSERT_TRUE(form->LoadFromPath(kDemo202));
    const int index = indexAt(QStringLiteral("082C"));
    ASSERT_GE(index, 0);
    const QString expectedStart = QString::number(word(0x082C) / 10.0, 'f', 1).replace(QLatin1Char('.'), DecimalSeparator());
    QString caption, hint, start;
    DriveModal([&](QWidget *w) {
        auto *d = qobject_cast<TWerteAendern1 *>(w);
        ASSERT_NE(d, nullptr);
        caption = d->Label1()->text();
        hint = d->Label2()->text();
        start = d->Edit1()->text();
        d->Edit1()->setText(decimal("12.5"));
        d->OkButton()->click();
    });
    doubleClick(QStringLiteral("Nachlaufzeit"));
    EXPECT_TRUE(caption.endsWith(QStringLiteral("Nachlaufzeit"))) << caption.toStdString();
    EXPECT_EQ(hint, GetText(18) + decimal("0.0") + QStringLiteral(" - ") + decimal("600.0") + QStringLiteral(" s"));
    EXPECT_EQ(start, expectedStart);
    EXPECT_EQ(word(0x082C), 125);
    const int row = rowOf(index);
    ASSERT_GE(row, 0);
    const GridRow &r = form->ParamGridArea()->Model().Rows().at(row);
    EXPECT_TRUE(r.Changed);
    EXPECT_TRUE(r.Cells.join(QString()).contains(decimal("12.5")));
    EXPECT_EQ(form->ParamGridArea()->StrG_Param()->model()->index(row, 0).data(Qt::ForegroundRole).value<QColor>(),
              TParamGrid::ChangedColor());
    EXPECT_TRUE(form->Controller().PendingAction.isEmpty());
}

TEST_F(EditFlowUi, OnlineEditWritesAndShowsTheReadBackValue)
{
    create();
    readDevice();
    MainController &c = form->Controller();
    AcceptIdent(c.Access, QStringLiteral("service-3187"), c.Data.State.AccessCode);
    ASSERT_TRUE(c.Access.Identified);
    auto device = SimPort::sharedDevice();
    ASSERT_TRUE(device);
    // The device keeps one less than it is sent: the grid must show what it answers.
    device->addRequestHook([](SimDevice &dev, const SimRequest &req, SimAnswer &) {
        if ((req.code == 4 || req.code == 20) && req.address == 0x082C && req.data.size() == 2) {
            const int v = (req.data[0] << 8 | req.data[1]) - 1;
            dev.setByte(req.address, quint8(v >> 8));
            dev.setByte(req.address + 1, quint8(v));
            return true;
        }
        return false;
    });
    DriveModal([&](QWidget *w) {
        auto *d = qobject_cast<TWerteAendern1 *>(w);
        ASSERT_NE(d, nullptr);
        d->Edit1()->setText(decimal("20.0"));
        d->OkButton()->click();
    });
    doubleClick(QStringLiteral("Nachlaufzeit"));
    QTRY_VERIFY_WITH_TIMEOUT(!form->Edits()->Busy(), 10000);
    EXPECT_TRUE(prompter.Errors.isEmpty()) << prompter.All().join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(word(0x082C), 199);
    const int row = rowOf(indexAt(QStringLiteral("082C")));
    ASSERT_GE(row, 0);
    EXPECT_TRUE(form->ParamGridArea()->Model().Rows().at(row).Cells.join(QString()).contains(decimal("19.9")));
    EXPECT_TRUE(c.PendingAction.isEmpty());
}

TEST_F(EditFlowUi, SendingShowsTheChangesFirstAndCancelWritesNothing)
{
    create();
    readDevice();
    MainController &c = form->Controller();
    AcceptIdent(c.Access, QStringLiteral("service-3187"), c.Data.State.AccessCode);
    auto device = SimPort::sharedDevice();
    // The device's value differs from the set shown.
    device->setByte(0x082C, 0x00);
    device->setByte(0x082D, 0x07);
    int writes = 0;
    device->addRequestHook([&writes](SimDevice &, const SimRequest &req, SimAnswer &) {
        if (req.code == 4 || req.code == 20)
            ++writes;
        return false;
    });
    QStringList rows;
    DriveModal([&](QWidget *w) {
        auto *d = qobject_cast<TFormChanges *>(w);
        ASSERT_NE(d, nullptr);
        for (int r = 0; r < d->Tbl_Changes()->rowCount(); ++r)
            rows << d->Tbl_Changes()->item(r, 0)->text();
        d->CancelButton()->click();
    });
    QSignalSpy done(form->Sender(), &ParameterSender::TransferFinished);
    form->FindAction(QStringLiteral("Menu44"))->trigger();
    ASSERT_TRUE(done.count() > 0 || done.wait(30000));
    EXPECT_FALSE(done.at(0).at(0).toBool());
    EXPECT_TRUE(rows.contains(QStringLiteral("082C"))) << rows.join(QLatin1Char(',')).toStdString();
    EXPECT_EQ(writes, 0);
    EXPECT_TRUE(c.PendingAction.isEmpty());
}

TEST_F(EditFlowUi, MainsVoltageChoiceRebuildsTheGrid)
{
    create();
    ASSERT_TRUE(form->LoadFromPath(kDemo202));
    DeviceState &s = form->Controller().Data.State;
    s.MainsFactor = 80;
    bool preselected = false;
    DriveModal([&](QWidget *w) {
        auto *d = qobject_cast<TWerteAendernAuswahl *>(w);
        ASSERT_NE(d, nullptr);
        auto *rb4 = d->findChild<QRadioButton *>(QStringLiteral("Rb_4"));
        auto *rb2 = d->findChild<QRadioButton *>(QStringLiteral("Rb_2"));
        ASSERT_TRUE(rb4 && rb2);
        preselected = rb4->isChecked();
        rb2->setChecked(true);
        d->findChild<QPushButton *>(QStringLiteral("Btn_Ok"))->click();
    });
    form->FindAction(QStringLiteral("M_Ein_NetzSSSpg"))->trigger();
    EXPECT_TRUE(preselected);
    EXPECT_EQ(s.MainsFactor, 138);
}

// Each kind of row opens its own dialog; cancelling it changes nothing.
TEST_F(EditFlowUi, EveryKindOfRowOpensItsDialog)
{
    create();
    ASSERT_TRUE(form->LoadFromPath(kDemo202));
    const struct
    {
        const char *text;
        const char *address;
        const char *dialog;
    } rows[] = {
        {"Pickup vorhanden", "0870", "WerteAendernJaNein"},
        {"Spitzenlastanforderung", "087A", "WerteAendern_PerRadioButton"},
        {"Schnellstop", "087B", "WerteAendernAuswahl"},
        {"Tank Reserve", "087C", "WerteAendernAuswahl16Check"},
        {"Kanal 1 Bezeichnung", "1100", "WerteAendernFText"},
        {"Codierung freier Alarm 01", "", "WerteAendernFehler"},
        {"K01 Relais", "094C", "WerteAendernRelais"},
        {"Nachlaufzeit", "082C", "WerteAendern1"},
    };
    const auto imageBefore = form->Controller().Data.Geraet.Image;
    for (const auto &r : rows) {
        QString opened;
        DriveModal([&](QWidget *w) { opened = w->objectName(); });
        doubleClick(QString::fromUtf8(r.text), QString::fromLatin1(r.address));
        EXPECT_EQ(opened, QString::fromLatin1(r.dialog)) << r.text;
        EXPECT_TRUE(form->Controller().PendingAction.isEmpty()) << r.text;
    }
    EXPECT_EQ(form->Controller().Data.Geraet.Image, imageBefore);
    EXPECT_TRUE(prompter.All().isEmpty()) << prompter.All().join(QLatin1Char('|')).toStdString();
}

} // namespace
