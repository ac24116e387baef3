#include "shell/Translate.h"
#include "shell/DataDir.h"
#include "shell/IniFile.h"
#include "shell/PrgInit.h"
#include <QCoreApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QPointer>
#include <QTranslator>
#include <QVariant>
#include <QVariantHash>
#include <memory>

namespace Translation {
namespace {

// Where a component keeps the texts it had before its first translation.
const char *const kDesignTexts = "mireloDesignTexts";

struct Provider
{
    QString Name;
    TextSlotProvider Fn;
};

QList<Provider> &providers()
{
    static QList<Provider> list;
    return list;
}

TextSlot propertySlot(QObject *obj, const QString &key, const char *property)
{
    return TextSlot{key, [obj, property] { return obj->property(property).toString(); },
                    [obj, property](const QString &text) { obj->setProperty(property, text); }};
}

// Radio buttons without a name inside a group box are the items of a radio group; named
// ones are components of their own.
void addRadioItems(QObject *box, QVector<TextSlot> &found)
{
    int item = 0;
    for (QObject *child : box->children()) {
        if (!child->inherits("QRadioButton") || !child->objectName().isEmpty())
            continue;
        found.append(propertySlot(child, QStringLiteral("Items_") + QString::number(item++), "text"));
    }
}

void addTableEntries(TConstListHolder *holder, QVector<TextSlot> &found)
{
    TConstList *list = &holder->List();
    for (int i = 0; i < list->Consts.size(); ++i) {
        found.append(TextSlot{QStringLiteral("Consts_") + QString::number(i),
                              [list, i] { return i < list->Consts.size() ? list->Consts.at(i) : QString(); },
                              [list, i](const QString &text) {
                                  if (i < list->Consts.size())
                                      list->Consts[i] = text;
                              }});
    }
}

bool isOtherWindow(QObject *obj) { return obj->inherits("QDialog") || obj->inherits("QMainWindow"); }

// Qt's own helper objects ("qt_tabwidget_stackedwidget", ...) and unnamed objects are no
// components; their named descendants still are.
bool isComponent(QObject *obj)
{
    const QString name = obj->objectName();
    return !name.isEmpty() && !name.startsWith(QLatin1String("qt_"));
}

void collectComponents(QObject *parent, QList<QObject *> &out)
{
    for (QObject *child : parent->children()) {
        if (isOtherWindow(child))
            continue;
        if (isComponent(child))
            out.append(child);
        collectComponents(child, out);
    }
}

struct ComponentTexts
{
    QObject *Object;
    QString Prefix;
    QVector<TextSlot> Slots;
};

QVariantHash designTexts(QObject *obj) { return obj->property(kDesignTexts).toHash(); }

// Keeps the current text of every slot not seen before.
void rememberDesignTexts(const ComponentTexts &c)
{
    QVariantHash kept = designTexts(c.Object);
    bool changed = false;
    for (const TextSlot &s : c.Slots) {
        if (!kept.contains(s.Key)) {
            kept.insert(s.Key, s.Get());
            changed = true;
        }
    }
    if (changed)
        c.Object->setProperty(kDesignTexts, kept);
}

void restoreDesignTexts(const ComponentTexts &c)
{
    const QVariantHash kept = designTexts(c.Object);
    if (kept.isEmpty())
        return;
    for (const TextSlot &s : c.Slots) {
        const auto it = kept.constFind(s.Key);
        if (it != kept.constEnd())
            s.Set(it.value().toString());
    }
}

bool plausibleCode(const QString &code)
{
    return !code.isEmpty() && !code.contains(QLatin1Char('/')) && !code.contains(QLatin1Char('\\'))
           && code != QLatin1String("..") && code != QLatin1String(".");
}

} // namespace

void RegisterTextSlots(const QString &name, TextSlotProvider provider)
{
    UnregisterTextSlots(name);
    providers().append(Provider{name, std::move(provider)});
}

void UnregisterTextSlots(const QString &name)
{
    QList<Provider> &list = providers();
    for (int i = list.size() - 1; i >= 0; --i)
        if (list.at(i).Name == name)
            list.removeAt(i);
}

QVector<TextSlot> SlotsOf(QObject *c)
{
    QVector<TextSlot> found;
    const QString caption = QStringLiteral("Caption");
    const QString hint = QStringLiteral("Hint");
    bool menu = false;
    // First matching kind wins, as in the table of the header.
    if (c->inherits("QLabel") || c->inherits("QAbstractButton")) {
        found.append(propertySlot(c, caption, "text"));
    } else if (c->inherits("QLineEdit")) {
        found.append(propertySlot(c, QStringLiteral("Text"), "text"));
    } else if (c->inherits("QGroupBox")) {
        found.append(propertySlot(c, caption, "title"));
        addRadioItems(c, found);
    } else if (c->inherits("QMenu")) {
        menu = true;
        found.append(propertySlot(c, caption, "title"));
        found.append(propertySlot(c, hint, "statusTip"));
    } else if (c->inherits("QAction")) {
        found.append(propertySlot(c, caption, "text"));
        found.append(propertySlot(c, hint, "statusTip"));
    } else if (auto *holder = qobject_cast<TConstListHolder *>(c)) {
        addTableEntries(holder, found);
    } else {
        for (const Provider &p : providers())
            if (p.Fn && p.Fn(c, found))
                break;
    }
    if (c->isWidgetType() && !menu)
        found.append(propertySlot(c, hint, "toolTip"));
    return found;
}

QString LanguageFolder() { return DataDir::resolve(QStringLiteral("ini")) + QLatin1Char('/'); }

QString LanguageFilePath(const QString &folder, const QString &languageCode)
{
    if (folder.isEmpty() || !plausibleCode(languageCode))
        return QString();
    QString dir = folder;
    if (!dir.endsWith(QLatin1Char('/')) && !dir.endsWith(QLatin1Char('\\')))
        dir += QLatin1Char('/');
    return DataDir::resolvePath(dir + languageCode + QStringLiteral(".ini"));
}

namespace {

// The language file, or nothing when it is missing or cannot be read.
std::unique_ptr<IniFile> loadLanguageFile(const QString &folder, const QString &languageCode)
{
    const QString path = LanguageFilePath(folder, languageCode);
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return nullptr;
    auto ini = std::make_unique<IniFile>();
    if (!ini->LoadFromFile(path) || !ini->SectionExists(ApplicationTitle()))
        return nullptr;
    return ini;
}

void translate(const IniFile *ini, QObject *form, const QString &languageCode)
{
    if (!form || languageCode.isEmpty() || form->objectName().isEmpty())
        return;
    const QString formPrefix = form->objectName() + QLatin1Char('.');

    QVector<ComponentTexts> all;
    if (form->isWidgetType())
        all.append(ComponentTexts{form, formPrefix, {propertySlot(form, QStringLiteral("Caption"), "windowTitle")}});
    QList<QObject *> components;
    collectComponents(form, components);
    for (QObject *c : components) {
        QVector<TextSlot> found = SlotsOf(c);
        if (!found.isEmpty())
            all.append(ComponentTexts{c, formPrefix + c->objectName() + QLatin1Char('.'), std::move(found)});
    }

    // Back to the designed texts first; a German language file may still change them.
    if (languageCode == GermanCode())
        for (const ComponentTexts &c : all)
            restoreDesignTexts(c);

    if (!ini)
        return;
    // All texts are kept before any is set: some components share one text (a menu and
    // its menu action), and the second must not keep what was set through the first.
    for (const ComponentTexts &c : all)
        rememberDesignTexts(c);
    const QString section = ApplicationTitle();
    for (const ComponentTexts &c : all) {
        for (const TextSlot &s : c.Slots) {
            const QString text = Unquote(ini->ReadString(section, c.Prefix + s.Key, QString()));
            if (!text.isEmpty())
                s.Set(text);
        }
    }
}

} // namespace

void TranslateForm(const QString &folder, QObject *form, const QString &languageCode)
{
    if (!form || languageCode.isEmpty())
        return;
    const std::unique_ptr<IniFile> ini = loadLanguageFile(folder, languageCode);
    translate(ini.get(), form, languageCode);
}

void TranslateWindows(const QString &folder, const QList<QObject *> &windows, const QString &languageCode)
{
    if (languageCode.isEmpty())
        return;
    // One reading of the file for all windows.
    const std::unique_ptr<IniFile> ini = loadLanguageFile(folder, languageCode);
    for (QObject *w : windows)
        if (w)
            translate(ini.get(), w, languageCode);
}

QString Unquote(const QString &value)
{
    if (value.size() >= 2) {
        const QChar first = value.front();
        if ((first == QLatin1Char('"') || first == QLatin1Char('\'')) && value.back() == first)
            return value.mid(1, value.size() - 2);
    }
    return value;
}

LanguageEntry ParseLanguageLine(const QString &line)
{
    LanguageEntry e;
    const int eq = line.indexOf(QLatin1Char('='));
    e.Code = (eq < 0 ? line : line.left(eq)).trimmed();
    const QString value = eq < 0 ? QString() : line.mid(eq + 1);
    const int comma = value.indexOf(QLatin1Char(','));
    e.Name = comma < 0 ? value : value.left(comma);
    e.Suffix = comma < 0 ? QString() : value.mid(comma + 1);
    return e;
}

QVector<LanguageEntry> ParseLanguageList(const QStringList &lines)
{
    QVector<LanguageEntry> list;
    list.reserve(lines.size());
    for (const QString &l : lines)
        list.append(ParseLanguageLine(l));
    return list;
}

QStringList LanguageNames(const QStringList &lines)
{
    QStringList names;
    for (const QString &l : lines)
        names.append(ParseLanguageLine(l).Name);
    return names;
}

int IndexOfLanguage(const QStringList &lines, const QString &code)
{
    for (int i = 0; i < lines.size(); ++i)
        if (ParseLanguageLine(lines.at(i)).Code.compare(code, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

bool IsDefinitionAlarmText(int index) { return (index >= 0 && index <= 18) || (index >= 48 && index <= 63); }

SavedAlarmTexts SaveAlarmTexts(const TConstList &zlt)
{
    SavedAlarmTexts saved;
    for (int i = 0; i < zlt.Consts.size() && i <= 63; ++i)
        if (IsDefinitionAlarmText(i))
            saved.Entries.append({i, zlt.Consts.at(i)});
    return saved;
}

void RestoreAlarmTexts(TConstList &zlt, const SavedAlarmTexts &saved)
{
    for (const auto &e : saved.Entries)
        if (e.first >= 0 && e.first < zlt.Consts.size())
            zlt.Consts[e.first] = e.second;
}

QLocale LocaleOfLanguage(const QString &languageCode)
{
    const QString code = languageCode.trimmed().toLower();
    QLocale::Language language = QLocale::AnyLanguage;
    if (code.size() == 3)
        language = QLocale::codeToLanguage(code, QLocale::ISO639Part2);
    else if (code.size() == 2)
        language = QLocale::codeToLanguage(code, QLocale::ISO639Part1);
    return language == QLocale::AnyLanguage ? QLocale::c() : QLocale(language);
}

bool InstallQtTranslation(const QString &languageCode, const QString &qtFolder)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app)
        return false;
    // One translator, owned by the application, replaced at each language switch.
    static QPointer<QTranslator> s_installed;
    if (s_installed) {
        QCoreApplication::removeTranslator(s_installed);
        delete s_installed;
    }
    const QLocale locale = LocaleOfLanguage(languageCode);
    if (locale.language() == QLocale::English)
        return true;
    if (locale.language() == QLocale::C)
        return false;
    auto *translator = new QTranslator(app);
    const QString folder = qtFolder.isEmpty() ? QLibraryInfo::path(QLibraryInfo::TranslationsPath) : qtFolder;
    if (!translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"), folder)) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    s_installed = translator;
    return true;
}

QString StartupLanguage(const ProgramSettings &settings, const QString &folder, const QList<QObject *> &windows,
                        const QString &currentSuffix)
{
    InstallQtTranslation(settings.Language);
    if (settings.Language != GermanCode())
        TranslateWindows(folder, windows, settings.Language);
    const int index = IndexOfLanguage(settings.Languages, settings.Language);
    // A language missing from the list keeps the suffix in use rather than none at all,
    // which would leave no definition file to find.
    return index < 0 ? currentSuffix : ParseLanguageLine(settings.Languages.at(index)).Suffix;
}

bool ChooseLanguage(ProgramSettings &settings, QString &languageSuffix, int index, const QString &folder,
                    const QList<QObject *> &windows, const std::function<void()> &reloadDefinitions)
{
    if (index < 0 || index >= settings.Languages.size())
        return false;
    const LanguageEntry chosen = ParseLanguageLine(settings.Languages.at(index));
    settings.Language = chosen.Code;
    languageSuffix = chosen.Suffix.toUpper();
    if (reloadDefinitions)
        reloadDefinitions();
    const SavedAlarmTexts saved = SaveAlarmTexts(CL_ZLT());
    TranslateWindows(folder, windows, settings.Language);
    RestoreAlarmTexts(CL_ZLT(), saved);
    InstallQtTranslation(settings.Language);
    return true;
}

} // namespace Translation

TConstListHolder::TConstListHolder(TConstList &list, const QString &name, QObject *parent)
    : QObject(parent), m_list(&list)
{
    setObjectName(name);
}

void AttachMainTextTables(QObject *formMain)
{
    new TConstListHolder(CL_Strings(), QStringLiteral("CL_Strings"), formMain);
    new TConstListHolder(CL_ZLT(), QStringLiteral("CL_ZLT"), formMain);
    new TConstListHolder(CL_Tele(), QStringLiteral("CL_Tele"), formMain);
}
