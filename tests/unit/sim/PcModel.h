#pragma once
// The PC's side of one exchange, reduced to what decides its outcome: which state it stops
// in. Used to check that the simulator's answers and faults look on the wire as intended.
#include <QtGlobal>
#include <deque>
#include <vector>

// Request bytes 1..L followed by the checksum.
inline std::vector<quint8> Telegram(quint8 slave, quint8 own, quint8 code, const std::vector<quint8> &payload)
{
    std::vector<quint8> t{slave, own, quint8(4 + payload.size()), code};
    t.insert(t.end(), payload.begin(), payload.end());
    quint8 sum = 0;
    for (quint8 b : t)
        sum = quint8(sum + b);
    t.push_back(sum);
    return t;
}

class PcLine
{
public:
    virtual ~PcLine() = default;
    virtual void send(const std::vector<quint8> &bytes) = 0;
    // False when no byte comes (within the line's patience).
    virtual bool read(quint8 *byte) = 0;
};

struct PcOutcome
{
    int state = 10;                // 0 after success, else where it stopped
    int result = 255;              // 2 success, 99 evaluation failed, 255 link failure
    std::vector<quint8> answer;    // answer bytes 1..L as far as they came
};

inline bool IsReadCode(quint8 code)
{
    return code == 5 || code == 53 || code == 37 || code == 9;
}

inline PcOutcome PcExchange(PcLine &line, const std::vector<quint8> &telegram, bool handshake)
{
    PcOutcome o;
    const quint8 own = telegram[1];
    const quint8 code = telegram[3];
    quint8 b = 0;
    line.send({telegram[0]});
    if (!line.read(&b)) {
        o.state = 42;
        return o;
    }
    if (b != telegram[0]) {
        o.state = 13;
        return o;
    }
    line.send(std::vector<quint8>(telegram.begin() + 1, telegram.end()));
    if (!line.read(&b)) {
        o.state = 46;
        return o;
    }
    if (b != own) {
        o.state = 17;
        return o;
    }
    line.send({b});
    o.answer.push_back(b);
    quint8 sum = b;
    int length = 255;
    while (int(o.answer.size()) < length) {
        if (!line.read(&b)) {
            o.state = 19;
            return o;
        }
        if (handshake)
            line.send({b});
        o.answer.push_back(b);
        sum = quint8(sum + b);
        if (o.answer.size() == 3)
            length = b;
    }
    if (!line.read(&b)) {
        o.state = 20;
        return o;
    }
    if (b != sum) {
        o.state = 21;
        return o;
    }
    if (o.answer.size() < 4 || (o.answer[3] != quint8(code + 0x80) && code != 20)) {
        o.state = 22;
        return o;
    }
    if (IsReadCode(code) && o.answer[2] <= 4) {
        o.state = 100;
        o.result = 99;
        return o;
    }
    if (code == 25) {
        o.state = 100;
        o.result = 99;
        return o;
    }
    o.state = 0;
    o.result = 2;
    return o;
}
