#include "device/DeviceData.h"
#include "device/ParameterFile.h"
#include "support/DefinitionFixtures.h"
#include "support/ParameterFileFixtures.h"
#include "shell/Texts.h"
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <cstring>

namespace {

class ParameterFileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        data.write(Fixture::ControllerDefinitionName(), Fixture::ControllerDefinition());
        data.write(Fixture::StwDefinitionName(), Fixture::StwDefinition());
    }
    QString file(const QString &name, const QByteArray &bytes)
    {
        const QString path = files.path() + QLatin1Char('/') + name;
        EXPECT_TRUE(Fixture::WriteFile(path, bytes));
        return path;
    }
    bool anyMessageContains(const QString &part) const
    {
        for (const QString &t : prompter.texts())
            if (t.contains(part))
                return true;
        return false;
    }

    ScratchDataDir data;
    QTemporaryDir files;
    RecordingPrompter prompter;
};

// Loads a good file, then compares everything a refused load must leave alone.
struct LoadedState
{
    explicit LoadedState(const DeviceData &d)
        : image(d.Geraet.Image), ident(d.Geraet.IdentBlock), programId(d.Geraet.ProgramId),
          version(d.Geraet.ProgramVersion), pattern(d.State.ModelPattern), type(d.State.DeviceType),
          definition(d.State.DefinitionFile), fileLength(d.FileLength), fileName(d.FileName),
          params(d.Params.Count()), complete(d.Def.ParametersComplete), lines(d.Def.DefinitionLines)
    {
    }
    bool operator==(const LoadedState &o) const
    {
        return image == o.image && ident == o.ident && programId == o.programId && version == o.version &&
               pattern == o.pattern && type == o.type && definition == o.definition && fileLength == o.fileLength &&
               fileName == o.fileName && params == o.params && complete == o.complete && lines == o.lines;
    }
    std::array<quint8, TGeraet::ImageSize> image;
    std::array<quint8, TGeraet::IdentSize> ident;
    QString programId;
    int version;
    QString pattern;
    int type;
    QString definition;
    int fileLength;
    QString fileName;
    int params;
    bool complete;
    QStringList lines;
};

TEST_F(ParameterFileTest, ControllerFileOf32PagesHasItsIdentificationAt8192)
{
    const QByteArray bytes = Fixture::ControllerFile(32, 11);
    ASSERT_EQ(bytes.size(), 8240);
    DeviceData d;
    ASSERT_TRUE(LoadParameterFile(d, file(QStringLiteral("anlage.101"), bytes), prompter)) << prompter.texts().join('|').toStdString();
    EXPECT_EQ(IdentPosition(d.FileLength), 8192);
    EXPECT_EQ(d.FileLength, 8240);
    EXPECT_EQ(d.FileName, QStringLiteral("anlage.101"));
    EXPECT_FALSE(d.FileTime.isEmpty());
    EXPECT_EQ(0, std::memcmp(d.Geraet.Image.data(), bytes.constData(), size_t(bytes.size())));
    EXPECT_EQ(0, std::memcmp(d.Geraet.IdentBlock.data(), bytes.constData() + 8192, 48));
    EXPECT_EQ(d.Geraet.ProgramId, QString::fromLatin1(Fixture::kProgramId));
    EXPECT_EQ(d.Geraet.ProgramVersion, 11);
    EXPECT_EQ(d.Geraet.FNumber, QStringLiteral("12345"));
    EXPECT_EQ(d.State.ModelPattern, QStringLiteral("*.101"));
    EXPECT_EQ(d.State.DeviceType, 0);
    EXPECT_EQ(d.State.ImageBase, 0x0800);
    EXPECT_TRUE(d.Identified);
    EXPECT_TRUE(d.Def.ParametersComplete);
    EXPECT_EQ(d.Params.Count(), 7);
    EXPECT_TRUE(d.State.DefinitionFile.endsWith(Fixture::ControllerDefinitionName()));
}

TEST(ParameterFileNames, ModelExtensionIsMovedToTheEnd)
{
    struct Case { const char *chosen; const char *pattern; const char *expected; };
    const Case cases[] = {
        {"/tmp/test", "*.202", "/tmp/test.202"},
        {"/tmp/test.202", "*.202", "/tmp/test.202"},
        {"/tmp/abc.202.bak", "*.202", "/tmp/abc.bak.202"},
        // Letter case counts: the lower-case name keeps its own and gets the model's.
        {"/tmp/x.stw", "*.STW", "/tmp/x.stw.STW"},
        // Only the first occurrence goes.
        {"/tmp/a.202.202", "*.202", "/tmp/a.202.202"},
        // A folder that contains the extension is not a file name.
        {"/tmp/dir.202/test", "*.202", "/tmp/dir.202/test.202"},
        {"relative", "*.ULV", "relative.ULV"},
        // No model: nothing to force.
        {"/tmp/test", "", "/tmp/test"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ForceModelExtension(QString::fromUtf8(c.chosen), QString::fromUtf8(c.pattern)),
                  QString::fromUtf8(c.expected))
            << c.chosen << " " << c.pattern;
    EXPECT_EQ(SaveDialogFilter(QStringLiteral("*.202")), QStringLiteral("*.202|*.202"));
}

TEST_F(ParameterFileTest, SavingUnderPlainNameWritesModelExtensionAndSameBytes)
{
    const QByteArray bytes = Fixture::ControllerFile(32, 11);
    DeviceData d;
    ASSERT_TRUE(LoadParameterFile(d, file(QStringLiteral("quelle.101"), bytes), prompter));
    QString written;
    ASSERT_TRUE(SaveParameterFile(d, files.path() + QStringLiteral("/test"), prompter, &written));
    EXPECT_EQ(written, files.path() + QStringLiteral("/test.101"));
    EXPECT_EQ(Fixture::ReadFile(written), bytes);
    // The same name chosen with its extension gives the same file.
    QString again;
    ASSERT_TRUE(SaveParameterFile(d, files.path() + QStringLiteral("/test.101"), prompter, &again));
    EXPECT_EQ(again, written);
}

TEST_F(ParameterFileTest, ReloadOfSavedFileIsByteIdentical)
{
    const QByteArray bytes = Fixture::ControllerFile(32, 11);
    DeviceData d;
    ASSERT_TRUE(LoadParameterFile(d, file(QStringLiteral("a.101"), bytes), prompter));
    QString first;
    ASSERT_TRUE(SaveParameterFile(d, files.path() + QStringLiteral("/b"), prompter, &first));
    DeviceData e;
    ASSERT_TRUE(LoadParameterFile(e, first, prompter));
    QString second;
    ASSERT_TRUE(SaveParameterFile(e, files.path() + QStringLiteral("/c"), prompter, &second));
    EXPECT_EQ(Fixture::ReadFile(second), bytes);
    EXPECT_EQ(e.Geraet.ProgramId, d.Geraet.ProgramId);
}

TEST_F(ParameterFileTest, StwFileIsAlways272BytesWithIdentificationAt256)
{
    const QByteArray bytes = Fixture::StwFile();
    DeviceData d;
    ASSERT_TRUE(LoadParameterFile(d, file(QStringLiteral("alt.stw"), bytes), prompter))
        << prompter.texts().join('|').toStdString();
    EXPECT_EQ(d.State.DeviceType, 34);
    EXPECT_EQ(d.Geraet.ProgramId, QStringLiteral("071"));
    EXPECT_EQ(d.Geraet.ProgramVersion, 3);
    EXPECT_EQ(d.State.AccessCode, QStringLiteral("1234"));
    EXPECT_EQ(d.Geraet.IdentBlock[0], 0);
    EXPECT_EQ(d.Geraet.IdentBlock[16], 0x12);
    EXPECT_EQ(d.Geraet.IdentBlock[31], 0x5A);
    QString written;
    ASSERT_TRUE(SaveParameterFile(d, files.path() + QStringLiteral("/neu"), prompter, &written));
    EXPECT_TRUE(written.endsWith(QStringLiteral("/neu.STW")));
    EXPECT_EQ(Fixture::ReadFile(written), bytes);
}

TEST_F(ParameterFileTest, SavingWritesIdentificationBehindThePages)
{
    DeviceData d;
    ASSERT_TRUE(LoadParameterFile(d, file(QStringLiteral("a.101"), Fixture::ControllerFile(32, 11)), prompter));
    d.Geraet.IdentBlock[11] = 12; // as a device read would have left it
    d.Geraet.SetByte(8192 + 11, 99);
    QString written;
    ASSERT_TRUE(SaveParameterFile(d, files.path() + QStringLiteral("/b"), prompter, &written));
    const QByteArray saved = Fixture::ReadFile(written);
    ASSERT_EQ(saved.size(), 8240);
    EXPECT_EQ(quint8(saved.at(8192 + 11)), 12);
}

TEST_F(ParameterFileTest, SaveReplacesLongerFileCompletely)
{
    DeviceData d;
    ASSERT_TRUE(LoadParameterFile(d, file(QStringLiteral("a.101"), Fixture::ControllerFile(32, 11)), prompter));
    const QString target = file(QStringLiteral("alt.101"), QByteArray(20000, 'x'));
    ASSERT_TRUE(SaveParameterFile(d, target, prompter));
    EXPECT_EQ(QFileInfo(target).size(), 8240);
}

TEST_F(ParameterFileTest, FailedSaveNamesTheFileAndLeavesTheOldOneAlone)
{
    DeviceData d;
    ASSERT_TRUE(LoadParameterFile(d, file(QStringLiteral("a.101"), Fixture::ControllerFile(32, 11)), prompter));
    prompter.clear();
    // A folder standing where the file should go cannot be replaced by a file.
    const QString target = files.path() + QStringLiteral("/ordner.101");
    ASSERT_TRUE(QDir().mkpath(target));
    QString written = QStringLiteral("unchanged");
    EXPECT_FALSE(SaveParameterFile(d, target, prompter, &written));
    EXPECT_EQ(written, QStringLiteral("unchanged"));
    EXPECT_TRUE(QFileInfo(target).isDir());
    ASSERT_EQ(prompter.messages.size(), 1);
    EXPECT_EQ(prompter.messages[0].kind, QStringLiteral("error"));
    EXPECT_TRUE(prompter.messages[0].text.startsWith(QStringLiteral("Error 6 ") + GetText(2)));
    EXPECT_TRUE(prompter.messages[0].text.contains(target));
    // Nor does a missing folder.
    EXPECT_FALSE(SaveParameterFile(d, files.path() + QStringLiteral("/fehlt/x"), prompter));
}

TEST_F(ParameterFileTest, SaveWithoutLoadedParametersWarnsAndWritesNothing)
{
    DeviceData d;
    const QString target = files.path() + QStringLiteral("/leer");
    EXPECT_FALSE(SaveParameterFile(d, target, prompter));
    EXPECT_TRUE(prompter.has(QStringLiteral("warning"), GetText(40)));
    EXPECT_TRUE(QDir(files.path()).entryList(QDir::Files).isEmpty());
}

TEST_F(ParameterFileTest, FileLongerThanImageAndIdentificationIsRefusedAndChangesNothing)
{
    DeviceData d;
    ASSERT_TRUE(LoadParameterFile(d, file(QStringLiteral("gut.101"), Fixture::ControllerFile(32, 11)), prompter));
    const LoadedState before(d);
    prompter.clear();
    // Behind the image: a plausible identification, so only the length can refuse it.
    QByteArray big = Fixture::ControllerFile(128, 11);
    big.append('\0');
    ASSERT_EQ(big.size(), ParamFile::MaxFileLength + 1);
    const QString path = file(QStringLiteral("gross.101"), big);
    EXPECT_FALSE(LoadParameterFile(d, path, prompter));
    EXPECT_TRUE(before == LoadedState(d));
    ASSERT_EQ(prompter.messages.size(), 1);
    EXPECT_TRUE(prompter.messages[0].text.contains(QStringLiteral("zu groß")));
    EXPECT_TRUE(prompter.messages[0].text.contains(path));
}

TEST_F(ParameterFileTest, FileOfExactlyImageAndIdentificationIsNotTooLong)
{
    // 128 pages and the identification: the length passes, the model's definition then
    // cannot have that many pages.
    data.write(Fixture::ControllerDefinitionName(), Fixture::ControllerDefinition(128));
    DeviceData d;
    const QByteArray bytes = Fixture::ControllerFile(128, 11);
    ASSERT_EQ(bytes.size(), ParamFile::MaxFileLength);
    EXPECT_FALSE(LoadParameterFile(d, file(QStringLiteral("grenze.101"), bytes), prompter));
    EXPECT_FALSE(anyMessageContains(QStringLiteral("zu groß")));
    EXPECT_TRUE(anyMessageContains(QStringLiteral("Seitenzahl")));
}

TEST_F(ParameterFileTest, DefinitionWithMoreThan127PagesIsRefusedAndChangesNothing)
{
    DeviceData d;
    ASSERT_TRUE(LoadParameterFile(d, file(QStringLiteral("gut.101"), Fixture::ControllerFile(32, 11)), prompter));
    const LoadedState before(d);
    data.write(Fixture::ControllerDefinitionName(), Fixture::ControllerDefinition(128));
    prompter.clear();
    EXPECT_FALSE(LoadParameterFile(d, file(QStringLiteral("b.101"), Fixture::ControllerFile(32, 12)), prompter));
    EXPECT_TRUE(before == LoadedState(d));
    EXPECT_TRUE(anyMessageContains(QStringLiteral("Seitenzahl")));
}

TEST_F(ParameterFileTest, TruncatedFileIsNamedAndChangesNothing)
{
    DeviceData d;
    ASSERT_TRUE(LoadParameterFile(d, file(QStringLiteral("gut.101"), Fixture::ControllerFile(32, 11)), prompter));
    const LoadedState before(d);
    prompter.clear();
    // 16 pages and an identification: the identification is found, but the model has 32.
    const QString path = file(QStringLiteral("kurz.101"), Fixture::ControllerFile(16, 12));
    EXPECT_FALSE(LoadParameterFile(d, path, prompter));
    EXPECT_TRUE(before == LoadedState(d));
    ASSERT_EQ(prompter.messages.size(), 1);
    EXPECT_TRUE(prompter.messages[0].text.contains(QStringLiteral("unvollständig")));
    EXPECT_TRUE(prompter.messages[0].text.contains(QStringLiteral("8240")));
    EXPECT_TRUE(prompter.messages[0].text.contains(path));
}

TEST_F(ParameterFileTest, FilesTooShortForAnyModelAreRefusedBeforeIdentification)
{
    for (int length : {0, 1, 47, 48, 271}) {
        DeviceData d;
        prompter.clear();
        const QString path = file(QStringLiteral("winzig.101"), Fixture::ControllerFile(1, 11).left(length));
        EXPECT_FALSE(LoadParameterFile(d, path, prompter)) << length;
        ASSERT_EQ(prompter.messages.size(), 1) << length;
        EXPECT_TRUE(prompter.messages[0].text.contains(QStringLiteral("unvollständig"))) << length;
        EXPECT_EQ(d.FileLength, 0);
        EXPECT_EQ(d.State.DeviceType, 55);
    }
}

TEST_F(ParameterFileTest, MissingFileWarnsWithFileError)
{
    DeviceData d;
    const QString path = files.path() + QStringLiteral("/gibtsnicht.101");
    EXPECT_FALSE(LoadParameterFile(d, path, prompter));
    ASSERT_EQ(prompter.messages.size(), 1);
    EXPECT_EQ(prompter.messages[0].kind, QStringLiteral("warning"));
    EXPECT_TRUE(prompter.messages[0].text.startsWith(QStringLiteral("Error 6 Fehler beim Öffnen der Datei")));
    EXPECT_TRUE(prompter.messages[0].text.contains(path));
    EXPECT_TRUE(d.State.ModelPattern.isEmpty());
    // A folder is no file either.
    prompter.clear();
    EXPECT_FALSE(LoadParameterFile(d, files.path(), prompter));
    EXPECT_EQ(prompter.messages.size(), 1);
}

TEST_F(ParameterFileTest, MissingDefinitionIsNamedAndChangesNothing)
{
    DeviceData d;
    ASSERT_TRUE(LoadParameterFile(d, file(QStringLiteral("gut.101"), Fixture::ControllerFile(32, 11)), prompter));
    const LoadedState before(d);
    prompter.clear();
    EXPECT_FALSE(LoadParameterFile(d, file(QStringLiteral("anders.101"), Fixture::ControllerFile(32, 11, "Z101 OTHER")),
                                   prompter));
    EXPECT_TRUE(before == LoadedState(d));
    EXPECT_TRUE(anyMessageContains(QStringLiteral("Can't open file")));
    EXPECT_TRUE(anyMessageContains(QStringLiteral("Z101 OTHER-DE.ZPA")));
}

TEST_F(ParameterFileTest, UnreadableIdentificationGivesKeineKennung)
{
    QByteArray bytes = Fixture::ControllerFile(32, 11);
    bytes[8192 + 14] = 13; // month 13
    DeviceData d;
    EXPECT_FALSE(LoadParameterFile(d, file(QStringLiteral("x.101"), bytes), prompter));
    EXPECT_TRUE(prompter.has(QStringLiteral("error"), GetText(52)));
    EXPECT_FALSE(d.Identified);
    EXPECT_EQ(d.FileLength, 0);
}

TEST_F(ParameterFileTest, UnknownExtensionIsReportedThenIdentifiedFromTheData)
{
    DeviceData d;
    ASSERT_TRUE(LoadParameterFile(d, file(QStringLiteral("sicherung.xyz"), Fixture::ControllerFile(32, 11)), prompter));
    EXPECT_TRUE(prompter.has(QStringLiteral("error"), QStringLiteral("Der Gerätetyp ist im Mirelo nicht vorhanden!")));
    EXPECT_EQ(d.State.ModelPattern, QStringLiteral("*.101"));
    EXPECT_EQ(d.State.DeviceType, 0);
    EXPECT_TRUE(d.Def.ParametersComplete);
}

TEST_F(ParameterFileTest, FileOfAnotherModelExtensionUsesTheIdentifiedModel)
{
    DeviceData d;
    ASSERT_TRUE(LoadParameterFile(d, file(QStringLiteral("falsch.202"), Fixture::ControllerFile(32, 11)), prompter));
    EXPECT_EQ(d.State.ModelPattern, QStringLiteral("*.101"));
    EXPECT_TRUE(d.State.DefinitionFile.endsWith(Fixture::ControllerDefinitionName()));
    // Saved again, it gets the extension of its own model.
    QString written;
    ASSERT_TRUE(SaveParameterFile(d, files.path() + QStringLiteral("/neu"), prompter, &written));
    EXPECT_TRUE(written.endsWith(QStringLiteral("neu.101")));
}

TEST_F(ParameterFileTest, BrokenParameterSectionLoadsDataButIsIncomplete)
{
    QString def = Fixture::ControllerDefinition();
    def.remove(QStringLiteral("ParaEnd:\n"));
    data.write(Fixture::ControllerDefinitionName(), def);
    DeviceData d;
    EXPECT_FALSE(LoadParameterFile(d, file(QStringLiteral("a.101"), Fixture::ControllerFile(32, 11)), prompter));
    EXPECT_FALSE(d.Def.ParametersComplete);
    EXPECT_EQ(d.FileLength, 8240);
    EXPECT_FALSE(SaveParameterFile(d, files.path() + QStringLiteral("/b"), prompter));
}

TEST(ParameterFileSamples, EverySampleSurvivesLoadSaveLoadByteIdentical)
{
    // The samples shipped with the program, against the shipped definitions.
    const QString samples = QStringLiteral(MIRELO_SOURCE_DATA_DIR) + QStringLiteral("/samples");
    DataDir::setOverride(QStringLiteral(MIRELO_SOURCE_DATA_DIR));
    const QStringList names = {QStringLiteral("demo.202"), QStringLiteral("demo_v13.202"), QStringLiteral("demo.101"),
                               QStringLiteral("demo.STW"), QStringLiteral("demo.ULV"),     QStringLiteral("demo.VMX"),
                               QStringLiteral("demo.NAE")};
    QTemporaryDir out;
    const QStringList savedZlt = CL_ZLT().Consts;
    for (const QString &name : names) {
        const QString path = samples + QLatin1Char('/') + name;
        ASSERT_TRUE(QFileInfo::exists(path)) << name.toStdString();
        RecordingPrompter prompter;
        DeviceData d;
        ASSERT_TRUE(LoadParameterFile(d, path, prompter)) << name.toStdString() << ": "
                                                           << prompter.texts().join('|').toStdString();
        QString written;
        ASSERT_TRUE(SaveParameterFile(d, out.path() + QLatin1Char('/') + name, prompter, &written)) << name.toStdString();
        EXPECT_EQ(Fixture::ReadFile(written), Fixture::ReadFile(path)) << name.toStdString();
        DeviceData e;
        ASSERT_TRUE(LoadParameterFile(e, written, prompter)) << name.toStdString();
        EXPECT_EQ(e.Geraet.Image, d.Geraet.Image) << name.toStdString();
        EXPECT_EQ(e.Geraet.ProgramId, d.Geraet.ProgramId) << name.toStdString();
        EXPECT_EQ(e.State.DefinitionFile, d.State.DefinitionFile) << name.toStdString();
        EXPECT_EQ(e.Params.Count(), d.Params.Count()) << name.toStdString();
    }
    CL_ZLT().Consts = savedZlt;
    DataDir::setOverride(QString());
}

} // namespace

namespace {

// The access code and the voltage factors come from the image at the base of the loaded
// model's definition, whatever set was shown before.
TEST(ParameterFileSettings, AccessCodeAndFactorsFollowTheLoadedModelsBase)
{
    RecordingPrompter prompter;
    DeviceData d;
    const QString samples = QStringLiteral(MIRELO_SOURCE_DATA_DIR "/samples/");
    for (const char *name : {"demo.STW", "demo.ORN", "demo.202", "demo.ORN"}) {
        ASSERT_TRUE(LoadParameterFile(d, samples + QLatin1String(name), prompter)) << name;
        const DeviceState &s = d.State;
        if (QLatin1String(name) == QLatin1String("demo.STW"))
            continue; // only the controllers keep these in their memory
        EXPECT_EQ(s.AccessCode.toInt(), d.Geraet.GetWord(s.IndexOf(0x080A))) << name;
        EXPECT_EQ(s.MainsFactor, d.Geraet.GetByte(s.IndexOf(0x080C))) << name;
        EXPECT_EQ(s.GenFactor, d.Geraet.GetByte(s.IndexOf(0x080D))) << name;
        if (QLatin1String(name) == QLatin1String("demo.ORN")) {
            EXPECT_EQ(s.AccessCode, QStringLiteral("31415"));
            EXPECT_EQ(s.MainsFactor, 138);
        }
    }
}

} // namespace
