#pragma once
#include <QString>
#include <QVector>
#include <array>
#include <memory>
#include <vector>

// The device record: identification of the device (or of the parameter file) and the
// 32 KB image of its parameter memory. Index 0 stands for device address ImageBase.
class TGeraet
{
public:
    static constexpr int ImageSize = 32768;
    static constexpr int IdentSize = 80;

    TGeraet();

    std::array<quint8, IdentSize> IdentBlock{};
    qint32 ProgramVersion = 0;
    qint32 SavedVersion = 0;
    QString ProgramId;
    QString SavedProgramId;
    QString ProgramDate;
    QString SavedDate;
    QString FNumber;
    QString FDate;
    std::array<quint8, ImageSize> Image{};

    static bool ValidIndex(long long index) { return index >= 0 && index < ImageSize; }
    static bool ValidRange(long long index, long long count)
    {
        return index >= 0 && count >= 0 && index + count <= ImageSize;
    }

    // An index outside the image is rejected: SetByte/SetWord leave the image untouched
    // and return false-y results, GetByte/GetWord read 0. The definition files drive these
    // indexes, so a bad file must never reach memory outside the image.
    int SetByte(long long index, int value);
    int GetByte(long long index) const;
    bool SetWord(long long index, int value);
    int GetWord(long long index) const;

    void Clear();
};

struct TParameter
{
    QString Text;
    qint32 TypeCode = 0;
    QString Address;
    QString Min;
    QString Max;
    QString Unit;
};

struct TIstWert
{
    QString Text;
    QString TypeCode;
    QString Offset;
    QString Format;
};

struct DeviceState;

// Unit prefix "k" for the keys S5/S4, decided by the ratio words of the device.
QString ApplyUnitPrefix(const QString &text, const QString &key, const TGeraet &geraet, const DeviceState &state);

class TParameterListe
{
public:
    // The list needs the image and device state for the unit prefix rule.
    TParameterListe(const TGeraet *geraet = nullptr, const DeviceState *state = nullptr)
        : m_geraet(geraet), m_state(state)
    {
    }
    void Bind(const TGeraet *geraet, const DeviceState *state)
    {
        m_geraet = geraet;
        m_state = state;
    }

    // Parses "Text*Address;TypeCode;Min;Max;Unit". ok=false when the type code is not
    // hexadecimal (the reader then stops with a conversion error); nothing is appended then.
    TParameter *AddFromLine(const QString &line, bool *ok = nullptr);

    int Count() const { return int(m_items.size()); }
    void Clear() { m_items.clear(); }
    // Exchanges the items with another list; each list keeps the record it is bound to.
    void SwapItems(TParameterListe &other) { m_items.swap(other.m_items); }
    TParameter &Item(int i) { return *m_items.at(size_t(i)); }
    const TParameter &Item(int i) const { return *m_items.at(size_t(i)); }

    QString ItemText(int i) const;
    void SetItemText(int i, const QString &s) { Item(i).Text = s; }
    int GetTypeCode(int i) const { return Item(i).TypeCode & 0xFF; }
    QString GetMin(int i) const { return Item(i).Min; }
    void SetMin(int i, const QString &s) { Item(i).Min = s; }
    QString GetMax(int i) const { return Item(i).Max; }
    void SetMax(int i, const QString &s) { Item(i).Max = s; }
    QString GetAddress(int i) const { return Item(i).Address; }
    QString GetUnit(int i) const;

private:
    std::vector<std::unique_ptr<TParameter>> m_items;
    const TGeraet *m_geraet;
    const DeviceState *m_state;
};

class TIstwerteListe
{
public:
    TIstwerteListe(const TGeraet *geraet = nullptr, const DeviceState *state = nullptr)
        : m_geraet(geraet), m_state(state)
    {
    }
    void Bind(const TGeraet *geraet, const DeviceState *state)
    {
        m_geraet = geraet;
        m_state = state;
    }

    // Parses "Text*Offset,TypeCode,Format".
    TIstWert *AddFromLine(const QString &line);

    int Count() const { return int(m_items.size()); }
    void Clear() { m_items.clear(); }
    TIstWert &Item(int i) { return *m_items.at(size_t(i)); }
    const TIstWert &Item(int i) const { return *m_items.at(size_t(i)); }

    QString ItemText(int i) const;
    void SetItemText(int i, const QString &s) { Item(i).Text = s; }
    QString GetTypeCode(int i) const { return Item(i).TypeCode; }
    void SetTypeCode(int i, const QString &s) { Item(i).TypeCode = s; }
    QString GetOffset(int i) const { return Item(i).Offset; }

private:
    std::vector<std::unique_ptr<TIstWert>> m_items;
    const TGeraet *m_geraet;
    const DeviceState *m_state;
};

// The device state kept beside the record; the owning steps set it, everyone reads it.
struct DeviceState
{
    int DeviceType = 55;
    QString ModelPattern;
    QString DefinitionFile;
    QString BasePage;
    int ImageBase = 0;
    int PageCount = 0;
    QString AccessCode;
    bool VmxMode = false;

    // Rated-voltage factor bytes (device bytes 0x080C, 0x080D); 138 until a device is identified.
    int MainsFactor = 138;
    int GenFactor = 138;

    // Image index for a device address; may lie outside the image (check with TGeraet::ValidIndex).
    long long IndexOf(long long address) const { return address - ImageBase; }
};
