#pragma once
#include "shell/Texts.h"
#include <QList>
#include <QLocale>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>

struct ProgramSettings;

// Translation of the windows from the language files "ini/<code>.ini" of the data folder.
//
// Every text-bearing component of a window is looked up under
// "<window objectName>.<component objectName>.<Property>" in the one section named after
// the application title. The component kinds are recognised by their Qt class, so this
// file needs no widget headers:
//   QLabel, QAbstractButton          .Caption  -> text
//   QGroupBox                        .Caption  -> title; .Items_i -> its unnamed radio buttons
//   QLineEdit                        .Text     -> text
//   QMenu                            .Caption  -> title, .Hint -> statusTip
//   QAction                          .Caption  -> text,  .Hint -> statusTip
//   any other widget                 .Hint     -> toolTip
//   TConstListHolder                 .Consts_i -> entry i of the text table
// Tab texts and list-view columns need the widget classes; the window layer registers
// them with RegisterTextSlots (see shell/ui/TranslateWidgets.h).
namespace Translation {

// The section of the language files and the caption of the language choice.
inline QString ApplicationTitle() { return QStringLiteral("Mirelo Baldren Solutions"); }
inline QString GermanCode() { return QStringLiteral("deu"); }

// One translatable text of a component: the key after "<form>.<component>." and how to
// read and write it.
struct TextSlot
{
    QString Key;
    std::function<QString()> Get;
    std::function<void(const QString &)> Set;
};

// Adds the text slots of a component whose kind it knows and returns true; false leaves the
// component to the next provider. Providers are asked only for components that none of
// the built-in kinds above claimed.
using TextSlotProvider = std::function<bool(QObject *component, QVector<TextSlot> &found)>;
void RegisterTextSlots(const QString &name, TextSlotProvider provider);
void UnregisterTextSlots(const QString &name);

// The text slots of one component (built-in kinds, registered providers, the Hint of widgets).
QVector<TextSlot> SlotsOf(QObject *component);

// "<folder>/<code>.ini", the folder given with or without a trailing separator; the file
// name is matched case-insensitively. Empty when the folder or the code is empty.
QString LanguageFilePath(const QString &folder, const QString &languageCode);
// The folder of the language files: the data folder + "ini/".
QString LanguageFolder();

// Applies the language file to one window: every named descendant that is not part of
// another window (a QDialog or QMainWindow below it), in object-tree order. A missing or
// empty key, or a key with an empty value, leaves the text as it is; a missing or
// unreadable file changes nothing and shows nothing.
//
// The first time a text is touched its current (German, as designed) value is kept on
// the object, and choosing "deu" puts those values back before any "deu.ini" is applied,
// so German returns without a German language file.
//
// The window itself gets "<form>.Caption" as its window title, a key of our own.
void TranslateForm(const QString &folder, QObject *form, const QString &languageCode);

// A language file value as the platform's profile reader returns it: one pair of matching
// single or double quotes around it is removed, so that texts can keep blanks at either
// end ("Valid input: ").
QString Unquote(const QString &value);

// TranslateForm for each window of the list that exists, in list order.
void TranslateWindows(const QString &folder, const QList<QObject *> &windows, const QString &languageCode);

// ---- language list ("code=name,suffix" lines of the settings) ----

struct LanguageEntry
{
    QString Code;   // "eng"
    QString Name;   // "Englisch": the text before the first ","
    QString Suffix; // "-EN": the text after the first ",", as written; empty without ","
};
LanguageEntry ParseLanguageLine(const QString &line);
QVector<LanguageEntry> ParseLanguageList(const QStringList &lines);
// The names offered in the language choice, in list order.
QStringList LanguageNames(const QStringList &lines);
// Index of the entry with the code (compared case-insensitively), -1 when missing.
int IndexOfLanguage(const QStringList &lines, const QString &code);

// ---- CL_ZLT entries that come from the definition file ----

// Entries 0..18 and 48..63: the free alarm numbers, filled by the definition reader.
bool IsDefinitionAlarmText(int index);
struct SavedAlarmTexts
{
    QVector<QPair<int, QString>> Entries;
};
SavedAlarmTexts SaveAlarmTexts(const TConstList &zlt);
// Puts the saved entries back where they were; entries the table no longer has stay away.
void RestoreAlarmTexts(TConstList &zlt, const SavedAlarmTexts &saved);

// ---- Qt's own texts (file dialogs, standard buttons, context menus) ----

// The locale of a language code of the list: three letters ("deu", "eng", also "ger")
// or two ("de"); C for a code no language has.
QLocale LocaleOfLanguage(const QString &languageCode);
// Puts Qt's translation "qtbase" for the language into use in place of the one before,
// from qtFolder (empty: Qt's own translation folder). English is Qt's own language and
// needs no file; false when no file for another language was found, and Qt then speaks
// English. Needs the application object; without it, false and nothing changes.
bool InstallQtTranslation(const QString &languageCode, const QString &qtFolder = QString());

// ---- language at start and language choice ----

// Showing the main window: puts Qt's own texts into the language, translates the windows
// unless the language code is "deu" (exactly) and returns the suffix of the current language as written in the list
// (lower case kept). Without a list entry for the code, currentSuffix is returned.
QString StartupLanguage(const ProgramSettings &settings, const QString &folder, const QList<QObject *> &windows,
                        const QString &currentSuffix);

// The language choice after the user picked entry `index` of settings.Languages:
// settings.Language := its code, languageSuffix := its suffix in upper case; then
// reloadDefinitions (the caller's part: reload the definition file for the new suffix,
// rebuild the grid, remember the actual-value page); then the definition alarm texts of
// CL_ZLT are kept, all windows translated and the kept alarm texts put back, and Qt's
// own texts switched to the language.
// False (and nothing changed) when the index is outside the list.
bool ChooseLanguage(ProgramSettings &settings, QString &languageSuffix, int index, const QString &folder,
                    const QList<QObject *> &windows, const std::function<void()> &reloadDefinitions = {});

} // namespace Translation

// A text table as a component of a window, so that its entries are translated with the
// window ("FormMain.CL_Strings.Consts_62"). The holder does not own the table: the main
// window's holders point at the global tables of shell/Texts.h.
class TConstListHolder : public QObject
{
    Q_OBJECT
public:
    TConstListHolder(TConstList &list, const QString &name, QObject *parent);
    TConstList &List() const { return *m_list; }

private:
    TConstList *m_list;
};

// The three holders of the main window: "CL_Strings", "CL_ZLT", "CL_Tele".
void AttachMainTextTables(QObject *formMain);
