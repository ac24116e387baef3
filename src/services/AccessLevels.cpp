#include "services/AccessLevels.h"
#include "shell/AnsiCodec.h"
#include <QCryptographicHash>

namespace {
struct Entry
{
    const char *name;
    const char *digest;
};
// Only the digests are kept in the program; the passwords are in docs/access-levels.md.
const Entry kTable[AccessTableSize] = {
    {"Fac", "aeee9f5af7ff0b5816afefa6cebdd170"},
    {"Cus", "a68c10b9b428312d0c14df44ef8cbb2c"},
    {"Fer", "977e144a04d185ade9224458ed044f37"},
    {"Ser", "741ef336e532438754fd1d8dd639808f"},
    {"IDS", "a2621de4188666a77b577f944db9f0d9"},
    {"IDS", "694105fa8a0173a1aa0e0e15a7864205"},
    {"IDS", "11ca277023633d8a1f9c660f8b36122a"},
    {"IDS", "9dc63b4d92e7790c77f96f67c63af5a4"},
    {"IDS", "97697e191864f5c768ba0306ff6677f0"},
    {"Mas", "728cd6540a64750c77b77615f7e3dcbf"},
};
} // namespace

QString AccessLevelName(int i)
{
    return (i >= 0 && i < AccessTableSize) ? QString::fromLatin1(kTable[i].name) : QString();
}

QString Md5Hex(const QString &text)
{
    return QString::fromLatin1(QCryptographicHash::hash(Ansi::encode(text), QCryptographicHash::Md5).toHex());
}

void AcceptIdent(AccessState &state, const QString &entered, const QString &deviceIdentNumber)
{
    state.Identified = false;
    const QString text = entered.toUpper();
    if (text.isEmpty()) {
        state.Level.clear();
        return;
    }
    if (!deviceIdentNumber.isEmpty() && text == deviceIdentNumber) {
        state.Level = deviceIdentNumber;
        state.Identified = true;
        return;
    }
    const QString digest = Md5Hex(text);
    for (const Entry &e : kTable) {
        if (digest == QLatin1String(e.digest)) {
            state.Level = QString::fromLatin1(e.name);
            state.Identified = true;
            return;
        }
    }
    state.Level.clear();
}

void Recheck(AccessState &state, const QString &deviceIdentNumber)
{
    bool named = false;
    if (!state.Level.isEmpty())
        for (const Entry &e : kTable)
            named = named || QString::fromLatin1(e.name).contains(state.Level);
    state.Identified = (!state.Level.isEmpty() && state.Level == deviceIdentNumber) || named;
}

bool FbedNumberValid(const QString &entered, int *number)
{
    bool ok = false;
    const int n = entered.trimmed().toInt(&ok, 10);
    if (ok && number)
        *number = n;
    return ok;
}
