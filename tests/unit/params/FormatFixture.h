#pragma once
#include "device/DeviceData.h"
#include "params/FormatValue.h"
#include "shell/Prompter.h"
#include <QStringList>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <ostream>
#include <vector>

// Readable failure messages for texts (found by argument lookup, so global).
inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }

// A device with a parameter list, formatted row by row. Each table row describes one
// parameter (code, key, limit, bytes at its address) and the text the grid must show.
namespace fmt_test {

class RecordingPrompter : public Prompter
{
public:
    QStringList errors;
    void error(const QString &text) override { errors << text; }
    void warning(const QString &) override {}
    void information(const QString &) override {}
    bool question(const QString &) override { return false; }
};

struct Device
{
    std::unique_ptr<DeviceData> d = std::make_unique<DeviceData>();
    RecordingPrompter prompter;
    std::unique_ptr<TFormatter> f = std::make_unique<TFormatter>(*d, &prompter);

    Device(int type = 0, int imageBase = 0x0800, int version = 0)
    {
        d->State.DeviceType = type;
        d->State.ImageBase = imageBase;
        d->Geraet.ProgramVersion = version;
        // A controller's version is its identification byte 11, as identification sets it.
        if ((type >= 0 && type <= 31) || (type >= 52 && type <= 54))
            d->Geraet.IdentBlock[11] = quint8(version);
        // Index 0 is the group heading of a real list; the relay code never shows there.
        d->Params.AddFromLine(QStringLiteral("+++ Gruppe +++*;0;;;"));
    }

    int Add(int code, const QString &min = QString(), const QString &max = QString(),
            const QString &address = QStringLiteral("0A00"), const QString &text = QStringLiteral(" Wert"))
    {
        d->Params.AddFromLine(QStringLiteral("%1*%2;%3;%4;%5;").arg(text, address, QString::number(code, 16), min, max));
        return d->Params.Count() - 1;
    }
    int AddValue(const QString &line)
    {
        d->Values.AddFromLine(line);
        return d->Values.Count() - 1;
    }
    // Bytes starting at a device address.
    void Bytes(int address, const std::vector<int> &bytes)
    {
        for (size_t k = 0; k < bytes.size(); ++k)
            d->Geraet.SetByte(d->State.IndexOf(address) + long(k), bytes[k]);
    }
    void Word(int imageIndex, int value) { d->Geraet.SetWord(imageIndex, value); }
    void Byte(int imageIndex, int value) { d->Geraet.SetByte(imageIndex, value); }
    QString Param(int index) { return f->FormatParameter(index); }
};

struct Row
{
    int code;
    const char *min;
    const char *max;
    std::vector<int> bytes; // at device address 0x0A00
    const char *expected;   // with "," as decimal separator
};

// Runs every row with the German decimal comma and with a point.
inline void RunTable(const std::vector<Row> &rows, int type = 0, int version = 0,
                     const std::function<void(Device &)> &prepare = {})
{
    for (QChar sep : {QLatin1Char(','), QLatin1Char('.')}) {
        SetDecimalSeparator(sep);
        for (const Row &row : rows) {
            Device dev(type, 0x0800, version);
            if (prepare)
                prepare(dev);
            const int i = dev.Add(row.code, QString::fromUtf8(row.min), QString::fromUtf8(row.max));
            dev.Bytes(0x0A00, row.bytes);
            QString expected = QString::fromUtf8(row.expected);
            if (sep == QLatin1Char('.'))
                expected.replace(QLatin1Char(','), QLatin1Char('.'));
            EXPECT_EQ(dev.Param(i), expected)
                << "code " << row.code << " key " << row.min << " separator " << char(sep.unicode());
            EXPECT_TRUE(dev.prompter.errors.isEmpty()) << "code " << row.code;
        }
    }
    ResetDecimalSeparator();
}

} // namespace fmt_test
