#include "FdLine.h"
#include "support/SimPty.h"

#include <QFileInfo>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>

namespace {

using Bytes = std::vector<quint8>;

int OpenRaw(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY);
    if (fd < 0)
        return fd;
    termios tio{};
    tcgetattr(fd, &tio);
    cfmakeraw(&tio);
    cfsetispeed(&tio, B9600);
    cfsetospeed(&tio, B9600);
    tcsetattr(fd, TCSANOW, &tio);
    return fd;
}

} // namespace

TEST(SimPty, AnswersAReadOfTheIdentificationOnThePty)
{
    SimPty sim;
    ASSERT_TRUE(sim.isRunning()) << sim.error().toStdString();
    EXPECT_TRUE(QFileInfo(sim.linkPath()).isSymLink());
    EXPECT_EQ(QFileInfo(sim.linkPath()).symLinkTarget(), sim.slavePath());

    const int fd = OpenRaw(sim.linkPath());
    ASSERT_GE(fd, 0);
    FdLine line(fd, 2000);
    const Bytes request = Telegram(0xAE, 0x01, 5, {0x00, 0x30, 48});
    line.send({request[0]});
    quint8 b = 0;
    ASSERT_TRUE(line.read(&b));
    EXPECT_EQ(b, 0xAE); // echo of byte 1
    line.send(Bytes(request.begin() + 1, request.end()));
    Bytes answer;
    ASSERT_TRUE(line.read(&b));
    EXPECT_EQ(b, 0x01); // the PC's own address
    line.send({b});
    answer.push_back(b);
    while (answer.size() < 53 && line.read(&b))
        answer.push_back(b);
    ASSERT_EQ(answer.size(), 53u);
    EXPECT_EQ(answer[1], 0xAE);
    EXPECT_EQ(answer[2], 52);
    EXPECT_EQ(answer[3], 0x85);
    quint8 sum = 0;
    for (int i = 0; i < 52; ++i)
        sum = quint8(sum + answer[size_t(i)]);
    EXPECT_EQ(answer[52], sum);
    EXPECT_NE(answer[4], 0); // a controller's identification starts with its program name
    ::close(fd);

    // The device outlives the PC closing its end: a second connection is served as well.
    const int again = OpenRaw(sim.linkPath());
    ASSERT_GE(again, 0);
    FdLine second(again, 2000);
    EXPECT_EQ(PcExchange(second, Telegram(0xAE, 0x01, 24, {}), false).state, 0);
    ::close(again);

    const QString link = sim.linkPath();
    EXPECT_EQ(sim.stop(), 0);
    EXPECT_FALSE(QFileInfo(link).isSymLink()); // removed on SIGTERM
}

TEST(SimPty, OptionsReachTheDevice)
{
    SimPty sim({"--slave", "0x70", "--handshake", "--refuse", "24:F4"});
    ASSERT_TRUE(sim.isRunning()) << sim.error().toStdString();
    const int fd = OpenRaw(sim.linkPath());
    ASSERT_GE(fd, 0);
    FdLine line(fd, 300);
    EXPECT_EQ(PcExchange(line, Telegram(0xAE, 0x01, 5, {0x00, 0x30, 4}), true).state, 42); // not its address
    FdLine patient(fd, 2000);
    EXPECT_EQ(PcExchange(patient, Telegram(0x70, 0x01, 5, {0x00, 0x30, 16}), true).state, 0);
    const PcOutcome refused = PcExchange(patient, Telegram(0x70, 0x01, 24, {}), true);
    EXPECT_EQ(refused.state, 22);
    EXPECT_EQ(refused.answer[3], 0xF4);
    ::close(fd);
}

TEST(SimPty, BadArgumentsEndTheProgram)
{
    SimPty sim({"--fault", "lost:1"}, QString(), 3000);
    EXPECT_FALSE(sim.isRunning());
    EXPECT_FALSE(sim.error().isEmpty());
}
