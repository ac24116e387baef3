#pragma once
#include <QString>

// The seven ways of reaching a controller (menu "Protokoll auswählen").
struct ProtocolEntry
{
    QString Caption;
    QString Baud;
    bool Handshake;
    int SlaveAddress; // -1: the slave address of the settings
    int StoredNumber;
};

constexpr int ProtocolCount = 7;
// Entry 1..7; nullptr outside.
const ProtocolEntry *Protocol(int entry);
// The slave address the entry talks to, given the slave address of the settings.
int ProtocolSlave(int entry, int settingsSlave);
