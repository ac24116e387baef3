#include "shell/Translate.h"
#include "shell/AnsiCodec.h"
#include "shell/PrgInit.h"
#include "shell/Texts.h"
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <random>

using namespace Translation;

namespace {

// A language file as existing installations write it: Windows-1252, CR LF.
void writeLanguageFile(const QString &path, const QStringList &keyLines,
                       const QString &section = QStringLiteral("Mirelo Baldren Solutions"))
{
    QString text = QLatin1Char('[') + section + QStringLiteral("]\r\n");
    for (const QString &l : keyLines)
        text += l + QStringLiteral("\r\n");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(Ansi::encode(text));
}

// The global tables are shared by every test of the program: put them back afterwards.
class GlobalTablesGuard
{
public:
    GlobalTablesGuard() : m_strings(CL_Strings().Consts), m_zlt(CL_ZLT().Consts), m_tele(CL_Tele().Consts) {}
    ~GlobalTablesGuard()
    {
        CL_Strings().Consts = m_strings;
        CL_ZLT().Consts = m_zlt;
        CL_Tele().Consts = m_tele;
    }

private:
    QStringList m_strings, m_zlt, m_tele;
};

class TranslateTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        folder = dir.path();
        form.setObjectName(QStringLiteral("FmTest"));
        table.Consts = QStringList{QStringLiteral("Null"), QStringLiteral("Eins"), QStringLiteral("Zwei"),
                                   QStringLiteral("Drei")};
        holder = new TConstListHolder(table, QStringLiteral("CL_Texte"), &form);
    }
    QString file(const QString &name) const { return folder + QLatin1Char('/') + name; }

    QTemporaryDir dir;
    QString folder;
    QObject form;
    TConstList table;
    TConstListHolder *holder = nullptr;
};

TEST_F(TranslateTest, EntriesOfTextTableAreTranslatedOnlyWhereTheFileHasAText)
{
    writeLanguageFile(file(QStringLiteral("eng.ini")),
                      {QStringLiteral("FmTest.CL_Texte.Consts_1=One"), QStringLiteral("FmTest.CL_Texte.Consts_2="),
                       QStringLiteral("fmtest.cl_texte.consts_3=Three, \xC4rger")});
    TranslateForm(folder, &form, QStringLiteral("eng"));
    EXPECT_EQ(table.Consts,
              (QStringList{QStringLiteral("Null"), QStringLiteral("One"), QStringLiteral("Zwei"),
                           QString::fromUtf8("Three, \xC3\x84rger")}));
}

TEST(UnquoteTest, OnePairOfMatchingQuotesIsRemoved)
{
    struct Case {
        QString in, out;
    } cases[] = {
        {QStringLiteral("\"Valid input: \""), QStringLiteral("Valid input: ")},
        {QStringLiteral("' Yes'"), QStringLiteral(" Yes")},
        {QStringLiteral("\"\"x\"\""), QStringLiteral("\"x\"")},
        {QStringLiteral("\"open"), QStringLiteral("\"open")},
        {QStringLiteral("'mixed\""), QStringLiteral("'mixed\"")},
        {QStringLiteral("\""), QStringLiteral("\"")},
        {QStringLiteral("\"\""), QString()},
        {QStringLiteral("plain 'word'"), QStringLiteral("plain 'word'")},
        {QString(), QString()},
    };
    for (const Case &c : cases)
        EXPECT_EQ(Unquote(c.in), c.out) << c.in.toStdString();
}

TEST_F(TranslateTest, QuotedValuesKeepTheirBlanksAndEmptyQuotesKeepTheText)
{
    writeLanguageFile(file(QStringLiteral("eng.ini")),
                      {QStringLiteral("FmTest.CL_Texte.Consts_0=\"Valid input: \""),
                       QStringLiteral("FmTest.CL_Texte.Consts_1=\"\"")});
    TranslateForm(folder, &form, QStringLiteral("eng"));
    EXPECT_EQ(table.Consts.at(0), QStringLiteral("Valid input: "));
    EXPECT_EQ(table.Consts.at(1), QStringLiteral("Eins"));
}

TEST_F(TranslateTest, FolderWithOrWithoutSeparatorAndFileNameInAnyCase)
{
    writeLanguageFile(file(QStringLiteral("ENG.INI")), {QStringLiteral("FmTest.CL_Texte.Consts_0=Zero")});
    TranslateForm(folder + QLatin1Char('/'), &form, QStringLiteral("eng"));
    EXPECT_EQ(table.Consts.at(0), QStringLiteral("Zero"));
    table.Consts[0] = QStringLiteral("Null");
    TranslateForm(folder + QLatin1Char('\\'), &form, QStringLiteral("eng"));
    EXPECT_EQ(table.Consts.at(0), QStringLiteral("Zero"));
}

TEST_F(TranslateTest, NothingChangesWithoutAUsableFileOrArguments)
{
    const QStringList before = table.Consts;
    writeLanguageFile(file(QStringLiteral("eng.ini")), {QStringLiteral("FmTest.CL_Texte.Consts_0=Zero")});
    writeLanguageFile(file(QStringLiteral("fra.ini")), {QStringLiteral("FmTest.CL_Texte.Consts_0=Zero")},
                      QStringLiteral("Another Title"));
    ASSERT_TRUE(QDir(folder).mkdir(QStringLiteral("ita.ini"))); // a folder where the file should be

    struct Case {
        const char *what;
        QString folder;
        QObject *form;
        QString code;
    } cases[] = {
        {"missing file", folder, &form, QStringLiteral("esp")},
        {"file is a folder", folder, &form, QStringLiteral("ita")},
        {"section missing", folder, &form, QStringLiteral("fra")},
        {"empty code", folder, &form, QString()},
        {"no form", folder, nullptr, QStringLiteral("eng")},
        {"empty folder", QString(), &form, QStringLiteral("eng")},
        {"code leaving the folder", folder + QStringLiteral("/sub"), &form, QStringLiteral("../eng")},
    };
    ASSERT_TRUE(QDir(folder).mkdir(QStringLiteral("sub")));
    for (const Case &c : cases) {
        TranslateForm(c.folder, c.form, c.code);
        EXPECT_EQ(table.Consts, before) << c.what;
    }
}

TEST_F(TranslateTest, FormWithoutNameIsLeftAlone)
{
    writeLanguageFile(file(QStringLiteral("eng.ini")), {QStringLiteral(".CL_Texte.Consts_0=Zero")});
    form.setObjectName(QString());
    TranslateForm(folder, &form, QStringLiteral("eng"));
    EXPECT_EQ(table.Consts.at(0), QStringLiteral("Null"));
}

TEST_F(TranslateTest, GarbageFileNeverCrashesAndChangesAtMostValidKeys)
{
    std::mt19937 rng(4711);
    for (int round = 0; round < 12; ++round) {
        QByteArray bytes("[Mirelo Baldren Solutions]\r\n");
        const int n = int(rng() % 2000);
        for (int i = 0; i < n; ++i)
            bytes.append(char(rng() & 0xFF));
        QFile f(file(QStringLiteral("xyz.ini")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
        f.close();
        TranslateForm(folder, &form, QStringLiteral("xyz"));
    }
    EXPECT_EQ(table.Consts.size(), 4);
}

TEST_F(TranslateTest, GermanComesBackWithoutAGermanFile)
{
    writeLanguageFile(file(QStringLiteral("eng.ini")),
                      {QStringLiteral("FmTest.CL_Texte.Consts_0=Zero"), QStringLiteral("FmTest.CL_Texte.Consts_3=Three")});
    TranslateForm(folder, &form, QStringLiteral("eng"));
    ASSERT_EQ(table.Consts.at(0), QStringLiteral("Zero"));
    TranslateForm(folder, &form, QStringLiteral("deu"));
    EXPECT_EQ(table.Consts, (QStringList{QStringLiteral("Null"), QStringLiteral("Eins"), QStringLiteral("Zwei"),
                                         QStringLiteral("Drei")}));
}

TEST_F(TranslateTest, GermanFileStillAppliesAfterTheDesignedTextsReturn)
{
    writeLanguageFile(file(QStringLiteral("eng.ini")), {QStringLiteral("FmTest.CL_Texte.Consts_0=Zero"),
                                                        QStringLiteral("FmTest.CL_Texte.Consts_1=One")});
    writeLanguageFile(file(QStringLiteral("deu.ini")), {QStringLiteral("FmTest.CL_Texte.Consts_1=Eins (neu)")});
    TranslateForm(folder, &form, QStringLiteral("eng"));
    TranslateForm(folder, &form, QStringLiteral("deu"));
    EXPECT_EQ(table.Consts.at(0), QStringLiteral("Null"));
    EXPECT_EQ(table.Consts.at(1), QStringLiteral("Eins (neu)"));
}

TEST_F(TranslateTest, KeyMissingInSecondLanguageKeepsTheFirstLanguage)
{
    writeLanguageFile(file(QStringLiteral("eng.ini")), {QStringLiteral("FmTest.CL_Texte.Consts_0=Zero"),
                                                        QStringLiteral("FmTest.CL_Texte.Consts_1=One")});
    writeLanguageFile(file(QStringLiteral("fra.ini")), {QStringLiteral("FmTest.CL_Texte.Consts_1=Un")});
    TranslateForm(folder, &form, QStringLiteral("eng"));
    TranslateForm(folder, &form, QStringLiteral("fra"));
    EXPECT_EQ(table.Consts.at(0), QStringLiteral("Zero"));
    EXPECT_EQ(table.Consts.at(1), QStringLiteral("Un"));
    // The designed texts are those before the first translation, not the English ones.
    TranslateForm(folder, &form, QStringLiteral("deu"));
    EXPECT_EQ(table.Consts.at(0), QStringLiteral("Null"));
    EXPECT_EQ(table.Consts.at(1), QStringLiteral("Eins"));
}

TEST_F(TranslateTest, TableEntriesAddedAfterTranslationAreLeftAloneByGerman)
{
    writeLanguageFile(file(QStringLiteral("eng.ini")), {QStringLiteral("FmTest.CL_Texte.Consts_0=Zero")});
    TranslateForm(folder, &form, QStringLiteral("eng"));
    table.Consts.append(QStringLiteral("Vier aus der Definition"));
    TranslateForm(folder, &form, QStringLiteral("deu"));
    EXPECT_EQ(table.Consts, (QStringList{QStringLiteral("Null"), QStringLiteral("Eins"), QStringLiteral("Zwei"),
                                         QStringLiteral("Drei"), QStringLiteral("Vier aus der Definition")}));
    // A table that shrank in between is restored only as far as it reaches.
    table.Consts = QStringList{QStringLiteral("x")};
    TranslateForm(folder, &form, QStringLiteral("deu"));
    EXPECT_EQ(table.Consts, QStringList{QStringLiteral("Null")});
}

TEST_F(TranslateTest, MainWindowTablesAreTheGlobalOnes)
{
    GlobalTablesGuard guard;
    QObject main;
    main.setObjectName(QStringLiteral("FormMain"));
    AttachMainTextTables(&main);
    writeLanguageFile(file(QStringLiteral("eng.ini")),
                      {QStringLiteral("FormMain.CL_Strings.Consts_62=Data connection established."),
                       QStringLiteral("FormMain.CL_Tele.Consts_15=Evaluation error"),
                       QStringLiteral("FormMain.CL_ZLT.Consts_19=Battery undervoltage"),
                       QStringLiteral("FormMain.CL_Strings.Consts_40=Load parameters#13first!")});
    const QString germanTele = CL_Tele().Consts.at(15);
    TranslateForm(folder, &main, QStringLiteral("eng"));
    EXPECT_EQ(GetText(62), QStringLiteral("Data connection established."));
    EXPECT_EQ(GetText(40), QStringLiteral("Load parameters\rfirst!"));
    EXPECT_EQ(TeleText(15), QStringLiteral("Evaluation error"));
    EXPECT_EQ(CL_ZLT().Consts.at(19), QStringLiteral("Battery undervoltage"));
    TranslateForm(folder, &main, QStringLiteral("deu"));
    EXPECT_EQ(GetText(62), QStringLiteral("Datenverbindung hergestellt."));
    EXPECT_EQ(TeleText(15), germanTele);
}

// ---- language list ----

TEST(LanguageListTest, LinesAreSplitAtTheFirstEqualsAndTheFirstComma)
{
    struct Case {
        QString line, code, name, suffix;
    } cases[] = {
        {QStringLiteral("deu=Deutsch,-DE"), QStringLiteral("deu"), QStringLiteral("Deutsch"), QStringLiteral("-DE")},
        {QStringLiteral("eng=Englisch,-en"), QStringLiteral("eng"), QStringLiteral("Englisch"), QStringLiteral("-en")},
        {QStringLiteral("fra=Fran\u00e7ais"), QStringLiteral("fra"), QString::fromUtf8("Fran\xC3\xA7" "ais"), QString()},
        {QStringLiteral("x=a,b,c"), QStringLiteral("x"), QStringLiteral("a"), QStringLiteral("b,c")},
        {QStringLiteral("y=,-Y"), QStringLiteral("y"), QString(), QStringLiteral("-Y")},
        {QString(), QString(), QString(), QString()},
    };
    for (const Case &c : cases) {
        const LanguageEntry e = ParseLanguageLine(c.line);
        EXPECT_EQ(e.Code, c.code) << c.line.toStdString();
        EXPECT_EQ(e.Name, c.name) << c.line.toStdString();
        EXPECT_EQ(e.Suffix, c.suffix) << c.line.toStdString();
    }
}

TEST(LanguageListTest, NamesAndLookupByCode)
{
    const QStringList list{QStringLiteral("deu=Deutsch,-DE"), QStringLiteral("eng=Englisch,-EN")};
    EXPECT_EQ(LanguageNames(list), (QStringList{QStringLiteral("Deutsch"), QStringLiteral("Englisch")}));
    EXPECT_EQ(IndexOfLanguage(list, QStringLiteral("ENG")), 1);
    EXPECT_EQ(IndexOfLanguage(list, QStringLiteral("fra")), -1);
    EXPECT_EQ(IndexOfLanguage({}, QStringLiteral("deu")), -1);
}

// ---- alarm texts and the language choice ----

TEST(AlarmTextsTest, OnlyTheFreeAlarmNumbersAreKept)
{
    for (int i = -1; i < 90; ++i)
        EXPECT_EQ(IsDefinitionAlarmText(i), (i >= 0 && i <= 18) || (i >= 48 && i <= 63)) << i;
}

TEST(AlarmTextsTest, RestoringIntoAShorterTableStaysInside)
{
    TConstList zlt;
    for (int i = 0; i < 60; ++i)
        zlt.Consts.append(QString::number(i));
    const SavedAlarmTexts saved = SaveAlarmTexts(zlt);
    EXPECT_EQ(saved.Entries.size(), 19 + 12);
    TConstList shorter;
    shorter.Consts = QStringList{QStringLiteral("a"), QStringLiteral("b")};
    RestoreAlarmTexts(shorter, saved);
    EXPECT_EQ(shorter.Consts, (QStringList{QStringLiteral("0"), QStringLiteral("1")}));
}

class LanguageChoiceTest : public TranslateTest
{
protected:
    void SetUp() override
    {
        TranslateTest::SetUp();
        main.setObjectName(QStringLiteral("FormMain"));
        AttachMainTextTables(&main);
        settings.Languages = QStringList{QStringLiteral("deu=Deutsch,-DE"), QStringLiteral("eng=Englisch,-en")};
        settings.Language = QStringLiteral("deu");
        QStringList lines;
        for (int i = 0; i < 88; ++i)
            lines.append(QStringLiteral("FormMain.CL_ZLT.Consts_%1=EN alarm %1").arg(i));
        lines.append(QStringLiteral("FormMain.CL_Strings.Consts_321=Choose language"));
        writeLanguageFile(file(QStringLiteral("eng.ini")), lines);
    }
    GlobalTablesGuard guard;
    QObject main;
    ProgramSettings settings;
    QString suffix = QStringLiteral("-DE");
};

TEST_F(LanguageChoiceTest, DefinitionAlarmTextsSurviveTheTranslation)
{
    QString suffixSeenByReload;
    QString languageSeenByReload;
    QStringList afterReload;
    auto reload = [&] {
        suffixSeenByReload = suffix;
        languageSeenByReload = settings.Language;
        // What the definition file of the new language puts into the free numbers.
        SetZltText(0, QStringLiteral("Definition alarm 1"));
        SetZltText(48, QStringLiteral("Definition alarm 49"));
        afterReload = CL_ZLT().Consts;
    };
    ASSERT_TRUE(ChooseLanguage(settings, suffix, 1, folder, {&main}, reload));
    EXPECT_EQ(suffixSeenByReload, QStringLiteral("-EN"));
    EXPECT_EQ(languageSeenByReload, QStringLiteral("eng"));

    const QStringList &zlt = CL_ZLT().Consts;
    ASSERT_EQ(zlt.size(), afterReload.size());
    ASSERT_GE(zlt.size(), 88);
    for (int i = 0; i < 88; ++i) {
        if (i == 0)
            EXPECT_EQ(zlt.at(i), QStringLiteral("Definition alarm 1"));
        else if (i == 48)
            EXPECT_EQ(zlt.at(i), QStringLiteral("Definition alarm 49"));
        else if (IsDefinitionAlarmText(i))
            EXPECT_EQ(zlt.at(i), afterReload.at(i)) << i;
        else
            EXPECT_EQ(zlt.at(i), QStringLiteral("EN alarm %1").arg(i)) << i;
    }
    EXPECT_EQ(GetText(321), QStringLiteral("Choose language"));
}

TEST_F(LanguageChoiceTest, ChoiceUpperCasesTheSuffixButStartKeepsIt)
{
    EXPECT_EQ(StartupLanguage(settings, folder, {&main}, suffix), QStringLiteral("-DE"));
    EXPECT_EQ(GetText(321), QStringLiteral("Sprache wählen")); // German: nothing translated

    settings.Language = QStringLiteral("eng");
    EXPECT_EQ(StartupLanguage(settings, folder, {&main}, suffix), QStringLiteral("-en"));
    EXPECT_EQ(GetText(321), QStringLiteral("Choose language"));

    ASSERT_TRUE(ChooseLanguage(settings, suffix, 1, folder, {&main}));
    EXPECT_EQ(suffix, QStringLiteral("-EN"));
    EXPECT_EQ(settings.Language, QStringLiteral("eng"));
}

TEST_F(LanguageChoiceTest, StartWithALanguageMissingFromTheListKeepsTheSuffixInUse)
{
    settings.Language = QStringLiteral("eng");
    settings.Languages = QStringList{QStringLiteral("deu=Deutsch,-DE")};
    EXPECT_EQ(StartupLanguage(settings, folder, {&main, nullptr}, QStringLiteral("-DE")), QStringLiteral("-DE"));
    EXPECT_EQ(GetText(321), QStringLiteral("Choose language"));
}

TEST_F(LanguageChoiceTest, ChoosingGermanAgainBringsTheGermanTablesBack)
{
    const QString german20 = CL_ZLT().Consts.at(20);
    ASSERT_TRUE(ChooseLanguage(settings, suffix, 1, folder, {&main}));
    ASSERT_EQ(CL_ZLT().Consts.at(20), QStringLiteral("EN alarm 20"));
    SetZltText(5, QStringLiteral("Definition alarm 6"));
    ASSERT_TRUE(ChooseLanguage(settings, suffix, 0, folder, {&main}));
    EXPECT_EQ(suffix, QStringLiteral("-DE"));
    EXPECT_EQ(CL_ZLT().Consts.at(20), german20);
    EXPECT_EQ(CL_ZLT().Consts.at(5), QStringLiteral("Definition alarm 6"));
    EXPECT_EQ(GetText(321), QStringLiteral("Sprache wählen"));
}

TEST_F(LanguageChoiceTest, IndexOutsideTheListChangesNothing)
{
    bool reloaded = false;
    for (int index : {-1, 2, 100}) {
        EXPECT_FALSE(ChooseLanguage(settings, suffix, index, folder, {&main}, [&] { reloaded = true; }));
        EXPECT_EQ(settings.Language, QStringLiteral("deu"));
        EXPECT_EQ(suffix, QStringLiteral("-DE"));
    }
    EXPECT_FALSE(reloaded);
    EXPECT_EQ(GetText(321), QStringLiteral("Sprache wählen"));
}

} // namespace
