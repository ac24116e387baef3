#pragma once
#include <QString>

// Named access levels.
namespace Level {
inline const QString Cus = QStringLiteral("Cus");
inline const QString Fac = QStringLiteral("Fac");
inline const QString Fer = QStringLiteral("Fer");
inline const QString Ser = QStringLiteral("Ser");
inline const QString Mas = QStringLiteral("Mas");
inline const QString IDS = QStringLiteral("IDS");
} // namespace Level

// Who the user is, for the program run. Nothing of it is saved.
struct AccessState
{
    QString Level;          // empty, a level name, or the device's ident number
    bool Identified = false;
    bool FbedAccepted = false;
};

constexpr int AccessTableSize = 10;
// Level name of table entry i (0..9).
QString AccessLevelName(int i);
// MD5 of the text's Windows-1252 bytes as 32 lower-case hex digits.
QString Md5Hex(const QString &text);

// OK in "Ident" mode: the entered text against the device ident number and the table.
void AcceptIdent(AccessState &state, const QString &entered, const QString &deviceIdentNumber);
// Re-validates the level against the device now connected.
void Recheck(AccessState &state, const QString &deviceIdentNumber);
// "FBED" mode: true when the text is a whole number.
bool FbedNumberValid(const QString &entered, int *number = nullptr);
