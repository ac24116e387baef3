#pragma once
#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

// An INI file held in memory with the rules of the Windows profile functions, so that
// files shared with existing installations (settings, language files, conversion and
// area files) survive being read and written back:
// - section and key names compare case-insensitively; the first spelling is kept;
// - order, comments, blank lines, unknown sections and keys stay as they were;
// - blanks and tabs around section names, keys and values are trimmed (as Windows does);
//   everything else in a value is verbatim: no escapes, no quote stripping, no inline
//   comments; internal blanks in keys ("letzte Manuelle Wahl") are part of the key;
// - when a key or section occurs twice, the first occurrence wins;
// - read as Windows-1252 (UTF-8 when the bytes are valid UTF-8), any line end;
//   written as Windows-1252 with CR LF, atomically; as UTF-8 with a byte-order mark
//   when some text cannot be written in Windows-1252.
class IniFile
{
public:
    IniFile() = default;
    // Loads the file when it can be read; otherwise the object starts empty.
    explicit IniFile(const QString &fileName);

    // The file the object was loaded from (or will be written to by UpdateFile).
    QString FileName() const { return m_fileName; }
    void SetFileName(const QString &fileName) { m_fileName = fileName; }

    // Replaces the contents with the file. False (and an empty object) when the file is
    // missing, not a regular file, unreadable or implausibly large; see ErrorString().
    bool LoadFromFile(const QString &fileName);
    // Replaces the contents with the given file bytes.
    void LoadFromBytes(const QByteArray &bytes);
    // The file as it would be written: Windows-1252 (else UTF-8 with a byte-order mark),
    // every line ended by CR LF.
    QByteArray ToBytes() const;
    // Writes atomically; on failure the previous file stays untouched and false is returned.
    bool SaveToFile(const QString &fileName) const;
    bool UpdateFile() const { return SaveToFile(m_fileName); }
    QString ErrorString() const { return m_error; }

    void Clear();

    bool SectionExists(const QString &section) const;
    bool ValueExists(const QString &section, const QString &key) const;

    // The value, or def when the key is missing. An empty value is returned as empty.
    QString ReadString(const QString &section, const QString &key, const QString &def) const;
    // Decimal, or hexadecimal after "$" or "0x", with an optional sign; def when the
    // value is missing, not a number or outside the int range.
    int ReadInteger(const QString &section, const QString &key, int def) const;
    // Any integer: 0 is off, everything else on; def when not an integer.
    bool ReadBool(const QString &section, const QString &key, bool def) const;

    // Changes the first occurrence of the key in place (keeping its spelling) or adds it
    // at the end of the section; a missing section is added at the end of the file.
    void WriteString(const QString &section, const QString &key, const QString &value);
    void WriteInteger(const QString &section, const QString &key, int value);
    // Written as "1" or "0".
    void WriteBool(const QString &section, const QString &key, bool value);

    // Section names in file order (each once).
    QStringList ReadSections() const;
    // Key names of the section in file order (each once).
    QStringList ReadSection(const QString &section) const;
    // "key=value" lines of the section in file order (each key once, first value).
    QStringList ReadSectionValues(const QString &section) const;

    void EraseSection(const QString &section);
    void DeleteKey(const QString &section, const QString &key);

    // Files above this size are refused: no settings or language file comes near it,
    // and it keeps a stray huge file from exhausting memory.
    static constexpr qint64 MaxFileSize = 32 * 1024 * 1024;

private:
    struct Line {
        QString Raw;   // the line as it is written back
        QString Key;   // trimmed key; empty for comments, blank and other lines
        QString Value; // trimmed value
    };
    struct Block {
        bool Preamble = false; // lines before the first section header
        QString Name;
        QString RawHeader;
        QVector<Line> Lines;
        QHash<QString, int> KeyIndex; // folded key -> first line holding it
    };

    static QString fold(const QString &s);
    static void indexBlock(Block &b);
    void rebuildIndex();
    // First line holding the key in any block of the section; false when missing.
    bool find(const QString &section, const QString &key, int &block, int &line) const;

    QString m_fileName;
    mutable QString m_error;
    QVector<Block> m_blocks;
    QHash<QString, QVector<int>> m_sectionIndex; // folded name -> blocks in file order
};
