#include "device/Geraet.h"
#include "shell/TextHelpers.h"

TGeraet::TGeraet() { Clear(); }

void TGeraet::Clear()
{
    IdentBlock.fill(0);
    ProgramVersion = 0;
    SavedVersion = 0;
    ProgramId.clear();
    SavedProgramId.clear();
    ProgramDate.clear();
    SavedDate.clear();
    FNumber.clear();
    FDate.clear();
    Image.fill(0);
}

int TGeraet::SetByte(long long index, int value)
{
    if (!ValidIndex(index))
        return 0;
    Image[size_t(index)] = quint8(value);
    return Image[size_t(index)];
}

int TGeraet::GetByte(long long index) const
{
    return ValidIndex(index) ? Image[size_t(index)] : 0;
}

bool TGeraet::SetWord(long long index, int value)
{
    if (!ValidRange(index, 2))
        return false;
    Image[size_t(index)] = quint8((value >> 8) & 0xFF);
    Image[size_t(index) + 1] = quint8(value & 0xFF);
    return true;
}

int TGeraet::GetWord(long long index) const
{
    return GetByte(index) * 256 + GetByte(index + 1);
}

QString ApplyUnitPrefix(const QString &text, const QString &key, const TGeraet &geraet, const DeviceState &state)
{
    int address;
    if (key == QLatin1String("S5"))
        address = 0x09BE;
    else if (key == QLatin1String("S4"))
        address = 0x09BC;
    else
        return text;
    const int ratio = geraet.GetWord(state.IndexOf(address));
    static const int kHighRatioTypes[] = {5, 6, 8, 9, 10, 23, 24, 25, 26, 27};
    bool highType = false;
    for (int t : kHighRatioTypes)
        highType = highType || t == state.DeviceType;
    const int threshold = (highType && geraet.IdentBlock[11] >= 12) ? 766 : 100;
    return ratio > threshold ? QStringLiteral("k") + text : text;
}

TParameter *TParameterListe::AddFromLine(const QString &line, bool *ok)
{
    QString rest = line;
    auto p = std::make_unique<TParameter>();
    p->Text = Text::SplitAt(rest, QLatin1Char('*'));
    p->Address = Text::SplitAt(rest, QLatin1Char(';'));
    const QString code = Text::SplitAt(rest, QLatin1Char(';'));
    bool good = false;
    p->TypeCode = qint32(Text::ParseNumber(QStringLiteral("$") + code, &good));
    if (ok)
        *ok = good;
    if (!good)
        return nullptr;
    p->Min = Text::SplitAt(rest, QLatin1Char(';'));
    p->Max = Text::SplitAt(rest, QLatin1Char(';'));
    p->Unit = Text::SplitAt(rest, QLatin1Char(';'));
    m_items.push_back(std::move(p));
    return m_items.back().get();
}

QString TParameterListe::ItemText(int i) const
{
    const TParameter &p = Item(i);
    if (!m_geraet || !m_state)
        return p.Text;
    return ApplyUnitPrefix(p.Text, p.Min, *m_geraet, *m_state);
}

QString TParameterListe::GetUnit(int i) const
{
    const TParameter &p = Item(i);
    if (!m_geraet || !m_state)
        return p.Unit;
    return ApplyUnitPrefix(p.Unit, p.Min, *m_geraet, *m_state);
}

TIstWert *TIstwerteListe::AddFromLine(const QString &line)
{
    QString rest = line;
    auto v = std::make_unique<TIstWert>();
    v->Text = Text::SplitAt(rest, QLatin1Char('*'));
    v->Offset = Text::SplitAt(rest, QLatin1Char(','));
    v->TypeCode = Text::SplitAt(rest, QLatin1Char(',')).trimmed();
    v->Format = rest;
    m_items.push_back(std::move(v));
    return m_items.back().get();
}

QString TIstwerteListe::ItemText(int i) const
{
    const TIstWert &v = Item(i);
    if (!m_geraet || !m_state)
        return v.Text;
    return ApplyUnitPrefix(v.Text, v.Format, *m_geraet, *m_state);
}
