#include "TestEnv.h"
#include "engine/ZipArchive.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstring>

#include <gtest/gtest.h>
#include <zip.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <sys/stat.h>

namespace {

using TSnapshot = std::map<std::string, std::string>;

void WriteFile(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    ASSERT_EQ(file.write(data), data.size());
}

void SetTime(const QString& path, qint64 secs)
{
    using namespace std::chrono;
    std::filesystem::last_write_time(QFile::encodeName(path).toStdString(),
                                     file_clock::from_sys(system_clock::from_time_t(secs)));
}

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

qint64 TimeOf(const QString& path) { return QFileInfo(path).lastModified().toSecsSinceEpoch(); }

// Every file, folder and link below root (links not followed): folders map
// to "<dir>", files to their size and SHA-1, so contents compare byte for byte.
TSnapshot Snapshot(const QString& root)
{
    TSnapshot result;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info = it.fileInfo();
        QString key = QDir(root).relativeFilePath(path);
        std::string value;
        if (info.isSymLink()) {
            value = "-> " + info.symLinkTarget().toStdString();
        } else if (info.isDir()) {
            key += QLatin1Char('/');
            value = "<dir>";
        } else {
            QFile file(path);
            file.open(QIODevice::ReadOnly);
            value = std::to_string(info.size()) + ":"
                    + QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1).toHex().toStdString();
        }
        result[key.toStdString()] = value;
    }
    return result;
}

std::vector<std::string> Keys(const TSnapshot& snapshot)
{
    std::vector<std::string> keys;
    for (const auto& [key, value] : snapshot)
        keys.push_back(key);
    return keys;
}

// Runs an Info-ZIP tool in a UTF-8 locale; returns its exit code.
int RunTool(const QString& program, const QStringList& args, const QString& workDir = {})
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(workDir);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, args);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return -1;
    return process.exitCode();
}

const qint64 kFileTime = QDateTime(QDate(2021, 3, 4), QTime(5, 6, 8)).toSecsSinceEpoch();
const qint64 kFolderTime = QDateTime(QDate(2019, 11, 12), QTime(13, 14, 16)).toSecsSinceEpoch();
const QString kLongName = QString(196, QLatin1Char('n')) + QStringLiteral(".txt");

// An entry's folder with the awkward cases: nesting, an empty folder, empty
// files, blanks, quotes, Greek and Cyrillic, a 200-character name, 500 files
// and one file larger than any read chunk.
QStringList MakeSampleTree(const QString& base)
{
    QRandomGenerator random(42);
    auto bytes = [&random](int size) {
        QByteArray data(size, Qt::Uninitialized);
        for (char& c : data)
            c = char(random.bounded(256));
        return data;
    };
    WriteFile(base + "/docs/a/b.txt", "nested text\n");
    WriteFile(base + "/docs/zero.bin", {});
    QDir().mkpath(base + "/docs/empty");
    WriteFile(base + "/name with blanks.txt", "blanks");
    WriteFile(base + "/it's \"quoted\".txt", "quotes");
    WriteFile(base + QStringLiteral("/Ελληνικά Кириллица.txt"), "letters");
    WriteFile(base + "/" + kLongName, "long");
    WriteFile(base + "/empty.txt", {});
    WriteFile(base + "/big.bin", bytes(400000) + QByteArray(400000, 'z'));
    for (int i = 0; i < 500; ++i)
        WriteFile(base + QStringLiteral("/many/f%1.dat").arg(i, 3, 10, QLatin1Char('0')),
                  i % 2 ? bytes(i * 7) : QByteArray(i * 11, char('a' + i % 26)));
    SetTime(base + "/docs/a/b.txt", kFileTime);
    SetTime(base + "/docs/empty", kFolderTime);
    return QDir(base).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
}

template <typename Action>
std::string ErrorOf(Action action)
{
    try {
        action();
    } catch (const EZipWrongPassword&) {
        return "wrong password";
    } catch (const ETessarynError& error) {
        return error.what();
    }
    return "no error";
}

class ZipArchiveTest : public ::testing::Test {
protected:
    QString Path(const QString& name) const { return m_root.filePath(name); }

    QTemporaryDir m_root;
};

// ---------------------------------------------------------------------------

// The password, and whether the traditional encryption is asked for.
using TRoundTrip = std::pair<const char*, bool>;

class ZipRoundTripTest : public ZipArchiveTest, public ::testing::WithParamInterface<TRoundTrip> {
protected:
    void TearDown() override { TZipArchive::SetTraditionalEncryption(false); }
};

TEST_P(ZipRoundTripTest, OwnArchivesComeBackByteExactThroughBothReaders)
{
    const QString password = QString::fromUtf8(GetParam().first);
    const bool traditional = GetParam().second;
    const QString base = Path("base");
    const QStringList items = MakeSampleTree(base);
    TZipArchive::SetTraditionalEncryption(traditional);
    TZipArchive::CreateArchive(Path("entry.zip"), base, items, password);

    // Members: folders have entries of their own, files are deflated and
    // encrypted exactly when a password was given.
    const QStringList names = TZipArchive::ListMembers(Path("entry.zip"));
    EXPECT_EQ(names.size(), Snapshot(base).size());
    for (const char* expected : {"docs/", "docs/a/", "docs/a/b.txt", "docs/empty/", "many/f499.dat"})
        EXPECT_TRUE(names.contains(QString::fromUtf8(expected))) << expected;
    zip_t* archive = zip_open(QFile::encodeName(Path("entry.zip")).constData(), ZIP_RDONLY, nullptr);
    ASSERT_NE(archive, nullptr);
    for (zip_uint64_t i = 0; i < zip_uint64_t(zip_get_num_entries(archive, 0)); ++i) {
        zip_stat_t stat;
        ASSERT_EQ(zip_stat_index(archive, i, 0, &stat), 0);
        if (QByteArray(stat.name).endsWith('/'))
            continue;
        EXPECT_EQ(stat.comp_method, ZIP_CM_DEFLATE) << stat.name;
        EXPECT_EQ(stat.encryption_method,
                  password.isEmpty() ? ZIP_EM_NONE : traditional ? ZIP_EM_TRAD_PKWARE : ZIP_EM_AES_256)
            << stat.name;
    }
    zip_close(archive);

    // Our reader, into an existing folder whose stale file must be overwritten.
    const QString target = Path("target");
    WriteFile(target + "/docs/a/b.txt", "stale");
    TZipArchive::ExtractArchive(Path("entry.zip"), target, {}, password);
    EXPECT_EQ(Snapshot(target), Snapshot(base));
    EXPECT_EQ(TimeOf(target + "/docs/a/b.txt"), kFileTime);
    EXPECT_EQ(TimeOf(target + "/docs/empty"), kFolderTime);

    if (!password.isEmpty() && !traditional) {
        // Info-ZIP cannot read AES; 7-Zip can, with the right password only.
        const QString sevenZip = QStandardPaths::findExecutable("7z").isEmpty() ? "7zz" : "7z";
        EXPECT_EQ(RunTool(sevenZip, {"x", "-y", "-bso0", "-p" + password, "-o" + Path("7z"), Path("entry.zip")}), 0);
        EXPECT_EQ(Snapshot(Path("7z")), Snapshot(base));
        EXPECT_NE(RunTool(sevenZip, {"x", "-y", "-bso0", "-bse0", "-pwrong", "-o" + Path("7zwrong"), Path("entry.zip")}), 0);
        EXPECT_NE(ReadFile(Path("7zwrong/docs/a/b.txt")), "nested text\n");
        return;
    }

    // Info-ZIP's reader.
    QStringList args{"-q", "-o"};
    if (!password.isEmpty())
        args << "-P" << password;
    EXPECT_EQ(RunTool("unzip", args << Path("entry.zip") << "-d" << Path("unzipped")), 0);
    EXPECT_EQ(Snapshot(Path("unzipped")), Snapshot(base));
    EXPECT_EQ(QFile::permissions(Path("unzipped/docs/empty")), QFile::permissions(base + "/docs/empty"));
    EXPECT_EQ(RunTool("unzip", {"-l", Path("entry.zip")}), 0);
    if (!password.isEmpty()) {
        EXPECT_NE(RunTool("unzip", {"-q", "-o", "-P", "wrong", Path("entry.zip"), "docs/a/b.txt", "-d", Path("wrong")}), 0);
        EXPECT_NE(ReadFile(Path("wrong/docs/a/b.txt")), "nested text\n");
    }
}

INSTANTIATE_TEST_SUITE_P(Passwords, ZipRoundTripTest,
                         ::testing::Values(TRoundTrip{"", false}, TRoundTrip{"pässwörd \"x\"", false},
                                           TRoundTrip{"pässwörd \"x\"", true}));

TEST_F(ZipArchiveTest, AesArchivesOf7ZipExtractWithTheirPassword)
{
    const QString sevenZip = QStandardPaths::findExecutable("7z").isEmpty() ? "7zz" : "7z";
    WriteFile(Path("src/notes/one.txt"), "first file\n");
    WriteFile(Path("src/two.bin"), QByteArray(70000, 'x') + "end");
    ASSERT_EQ(RunTool(sevenZip, {"a", "-tzip", "-mem=AES256", "-pgeheim", "-bso0", Path("seven.zip"), Path("src") + "/."}),
              0);
    TZipArchive::ExtractArchive(Path("seven.zip"), Path("out"), {}, "geheim");
    EXPECT_EQ(ReadFile(Path("out/notes/one.txt")), "first file\n");
    EXPECT_EQ(ReadFile(Path("out/two.bin")), QByteArray(70000, 'x') + "end");
    EXPECT_EQ(ErrorOf([&] { TZipArchive::ExtractArchive(Path("seven.zip"), Path("wrong"), {}, "nicht"); }),
              "wrong password");
    EXPECT_FALSE(QFileInfo::exists(Path("wrong")));
}

struct TInfoZipCase {
    const char* name;
    QStringList zipOptions;
    QString password;
};

class ZipInfoZipTest : public ZipArchiveTest, public ::testing::WithParamInterface<TInfoZipCase> {};

TEST_P(ZipInfoZipTest, InfoZipArchivesExtractWithTheirContent)
{
    const QString base = Path("base");
    MakeSampleTree(base);
    ASSERT_EQ(RunTool("zip", GetParam().zipOptions + QStringList{"-q", "-9", "-r", Path("info.zip"), "."}, base), 0);
    TZipArchive::ExtractArchive(Path("info.zip"), Path("target"), {}, GetParam().password);
    EXPECT_EQ(Snapshot(Path("target")), Snapshot(base));
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, ZipInfoZipTest,
    ::testing::Values(TInfoZipCase{"plain", {}, {}}, TInfoZipCase{"protected", {"-e", "-P", "pw 1"}, "pw 1"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------

TEST_F(ZipArchiveTest, SpecsPickExactMembersAndWholeFolders)
{
    const QString base = Path("base");
    for (const char* file : {"page.html", "page_files/style.css", "page_files/img/p.png", "page_files_more.txt",
                             "other.html", "docs/x.txt", "docsx/y.txt"})
        WriteFile(base + "/" + file, file);
    QDir().mkpath(base + "/page_files/empty");
    QDir().mkpath(base + "/docs/sub");
    TZipArchive::CreateArchive(Path("entry.zip"), base, QDir(base).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), {});

    const struct {
        QStringList specs;
        std::vector<std::string> expected;
    } cases[] = {
        {{"page.html", "page_files/*"},
         {"page.html", "page_files/", "page_files/empty/", "page_files/img/", "page_files/img/p.png",
          "page_files/style.css"}},
        {{"docs/*"}, {"docs/", "docs/sub/", "docs/x.txt"}},
        {{"docs/x.txt"}, {"docs/", "docs/x.txt"}},
        {{"Docs/*", "PAGE.html", "missing.txt"}, {}},
    };
    const TSnapshot source = Snapshot(base);
    int number = 0;
    for (const auto& c : cases) {
        const QString target = Path(QStringLiteral("target%1/sub").arg(++number));
        TZipArchive::ExtractArchive(Path("entry.zip"), target, c.specs, {});
        const TSnapshot extracted = Snapshot(target);
        EXPECT_EQ(Keys(extracted), c.expected) << c.specs.join(",").toStdString();
        for (const auto& [name, value] : extracted)
            EXPECT_EQ(value, source.at(name)) << name;
    }
}

// ---------------------------------------------------------------------------

struct TWrongPasswordCase {
    const char* name;
    const char* password;
    bool targetExists;
    bool targetHasFiles;
};

class ZipWrongPasswordTest : public ZipArchiveTest, public ::testing::WithParamInterface<TWrongPasswordCase> {};

TEST_P(ZipWrongPasswordTest, LeavesTheFolderAsItWas)
{
    const TWrongPasswordCase& c = GetParam();
    WriteFile(Path("base/docs/a.txt"), "new a");
    WriteFile(Path("base/docs/b/c.txt"), QByteArray(5000, 'c'));
    WriteFile(Path("base/top.txt"), "top");
    TZipArchive::CreateArchive(Path("entry.zip"), Path("base"), {"docs", "top.txt"}, "right");

    const QString target = Path("out/nested/target");
    if (c.targetExists)
        QDir().mkpath(target);
    if (c.targetHasFiles)
        WriteFile(target + "/docs/a.txt", "old a");
    const TSnapshot before = Snapshot(Path("out"));

    EXPECT_EQ(ErrorOf([&] { TZipArchive::ExtractArchive(Path("entry.zip"), target, {}, c.password); }),
              "wrong password");
    EXPECT_EQ(Snapshot(Path("out")), before);
    EXPECT_EQ(QFileInfo::exists(Path("out")), c.targetExists);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ZipWrongPasswordTest,
    ::testing::Values(TWrongPasswordCase{"missing_target", "wrong", false, false},
                      TWrongPasswordCase{"empty_target", "wrong", true, false},
                      TWrongPasswordCase{"target_with_files", "wrong", true, true},
                      TWrongPasswordCase{"no_password", "", true, true}),
    [](const auto& info) { return std::string(info.param.name); });

// About one wrong password in 256 passes the header check of traditional
// encryption; the data then fails to inflate or fails its CRC. Find such
// passwords and make sure each of them is still reported as wrong.
TEST_F(ZipArchiveTest, WrongPasswordPassingTheHeaderCheckIsStillWrong)
{
    // the one-byte header check belongs to the traditional encryption
    TZipArchive::SetTraditionalEncryption(true);
    struct TReset {
        ~TReset() { TZipArchive::SetTraditionalEncryption(false); }
    } reset;
    WriteFile(Path("base/small.txt"), "hello");
    TZipArchive::CreateArchive(Path("entry.zip"), Path("base"), {"small.txt"}, "right");
    zip_t* archive = zip_open(QFile::encodeName(Path("entry.zip")).constData(), ZIP_RDONLY, nullptr);
    ASSERT_NE(archive, nullptr);

    std::map<int, QString> byError; // libzip's read error -> first password causing it
    for (int i = 0; i < 5000 && byError.count(ZIP_ER_CRC) == 0; ++i) {
        const QString password = QStringLiteral("wrong%1").arg(i);
        zip_file_t* file = zip_fopen_index_encrypted(archive, 0, 0, password.toUtf8().constData());
        if (!file)
            continue;
        char buffer[256];
        zip_int64_t read;
        while ((read = zip_fread(file, buffer, sizeof buffer)) > 0) {
        }
        byError.emplace(read < 0 ? zip_error_code_zip(zip_file_get_error(file)) : ZIP_ER_OK, password);
        zip_fclose(file);
    }
    zip_close(archive);
    ASSERT_EQ(byError.count(ZIP_ER_CRC), 1u) << "no wrong password reached the CRC check";

    for (const auto& [error, password] : byError) {
        SCOPED_TRACE(password.toStdString());
        EXPECT_EQ(ErrorOf([&] { TZipArchive::ExtractArchive(Path("entry.zip"), Path("target"), {}, password); }),
                  "wrong password");
        EXPECT_FALSE(QFileInfo::exists(Path("target")));
    }
}

// AES members carry a 16-bit password check and an authentication code over
// the encrypted data: once the password check passed, a failure further on
// is damage, not a wrong password.
TEST_F(ZipArchiveTest, ADamagedAesMemberIsReportedAsDamagedNotAsAWrongPassword)
{
    const QString sevenZip = QStandardPaths::findExecutable("7z").isEmpty() ? "7zz" : "7z";
    QRandomGenerator random(7);
    QByteArray content;
    for (int i = 0; i < 3000; ++i)
        content += QByteArray::number(random.bounded(1000)) + ' ';
    WriteFile(Path("base/data.txt"), content);
    TZipArchive::CreateArchive(Path("own.zip"), Path("base"), {"data.txt"}, "right");
    ASSERT_EQ(RunTool(sevenZip, {"a", "-tzip", "-mem=AES256", "-pright", "-bso0", Path("seven.zip"), Path("base/data.txt")}),
              0);

    // Where the member's stored bytes lie, from its local header: the salt and
    // the password check first, the 10-byte authentication code last.
    struct TDamage {
        const char* where;
        qint64 (*offset)(qint64 dataStart, qint64 dataSize);
    };
    const TDamage damages[] = {
        {"encrypted data", [](qint64 start, qint64 size) { return start + 18 + (size - 28) / 2; }},
        {"authentication code", [](qint64 start, qint64 size) { return start + size - 5; }},
    };
    for (const char* archive : {"own.zip", "seven.zip"}) {
        const QByteArray bytes = ReadFile(Path(archive));
        ASSERT_EQ(bytes.left(4), QByteArray("PK\x03\x04", 4));
        const auto le = [&bytes](int at, int width) {
            qint64 value = 0;
            for (int i = width - 1; i >= 0; --i)
                value = (value << 8) | quint8(bytes[at + i]);
            return value;
        };
        const qint64 dataStart = 30 + le(26, 2) + le(28, 2);
        const qint64 dataSize = le(18, 4);
        ASSERT_GT(dataSize, 100);
        for (const TDamage& damage : damages) {
            SCOPED_TRACE(std::string(archive) + ", " + damage.where);
            QByteArray damaged = bytes;
            const qint64 at = damage.offset(dataStart, dataSize);
            damaged[at] = char(damaged[at] ^ 0x5A);
            WriteFile(Path("damaged.zip"), damaged);
            const std::string error =
                ErrorOf([&] { TZipArchive::ExtractArchive(Path("damaged.zip"), Path("target"), {}, "right"); });
            EXPECT_NE(error.find("\"data.txt\" is damaged"), std::string::npos) << error;
            EXPECT_FALSE(QFileInfo::exists(Path("target")));
            // A wrong password is still told as such: the password check comes first.
            EXPECT_EQ(ErrorOf([&] { TZipArchive::ExtractArchive(Path("damaged.zip"), Path("target"), {}, "wrong"); }),
                      "wrong password");
        }
        TZipArchive::ExtractArchive(Path(archive), Path("good"), {}, "right");
        EXPECT_EQ(ReadFile(Path("good/data.txt")), content);
        QDir(Path("good")).removeRecursively();
    }
}

TEST_F(ZipArchiveTest, OnlyTheFirst255PasswordCharactersCount)
{
    const QString password = QString(150, QChar(0x00E4)) + QString(150, QLatin1Char('k'));
    WriteFile(Path("base/a.txt"), "secret");
    TZipArchive::CreateArchive(Path("entry.zip"), Path("base"), {"a.txt"}, password);
    EXPECT_EQ(ErrorOf([&] { TZipArchive::ExtractArchive(Path("entry.zip"), Path("t1"), {}, password.left(254)); }),
              "wrong password");
    TZipArchive::ExtractArchive(Path("entry.zip"), Path("t2"), {}, password.left(255));
    EXPECT_EQ(Snapshot(Path("t2")), Snapshot(Path("base")));
}

// ---------------------------------------------------------------------------

// Archives as a hostile tool could make them: one harmless member first, then
// one that tries to leave the target folder.
class ZipTraversalTest : public ZipArchiveTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(ZipTraversalTest, RefusesBeforeWritingAnything)
{
    QString badName = QString::fromUtf8(GetParam());
    badName.replace("<root>", m_root.path());
    const bool symlink = badName == "link";
    zip_t* archive = zip_open(QFile::encodeName(Path("evil.zip")).constData(), ZIP_CREATE, nullptr);
    ASSERT_NE(archive, nullptr);
    ASSERT_GE(zip_file_add(archive, "good.txt", zip_source_buffer(archive, "good", 4, 0), 0), 0);
    const QByteArray payload = symlink ? "../outside.txt" : "evil";
    const zip_int64_t index = zip_file_add(archive, badName.toUtf8().constData(),
                                           zip_source_buffer(archive, payload.constData(), payload.size(), 0),
                                           ZIP_FL_ENC_UTF_8);
    ASSERT_GE(index, 0);
    if (symlink) {
        ASSERT_EQ(zip_file_set_external_attributes(archive, zip_uint64_t(index), 0, ZIP_OPSYS_UNIX,
                                                   zip_uint32_t(S_IFLNK | 0777) << 16),
                  0);
    }
    ASSERT_EQ(zip_close(archive), 0);
    ASSERT_EQ(TZipArchive::ListMembers(Path("evil.zip")), QStringList({"good.txt", badName}));

    QDir().mkpath(Path("work/target"));
    const TSnapshot before = Snapshot(m_root.path());
    const std::string error =
        ErrorOf([&] { TZipArchive::ExtractArchive(Path("evil.zip"), Path("work/target"), {}, {}); });
    EXPECT_NE(error.find(badName.toStdString()), std::string::npos) << error;
    EXPECT_EQ(Snapshot(m_root.path()), before);
}

INSTANTIATE_TEST_SUITE_P(Names, ZipTraversalTest,
                         ::testing::Values("../evil.txt", "a/../../evil.txt", "docs/../../../evil.txt",
                                           "<root>/work/abs.txt", "..\\evil.txt", "a\\..\\..\\evil.txt",
                                           "\\evil.txt", "C:/evil.txt", "C:evil.txt", "link"));

TEST_F(ZipArchiveTest, NeverWritesThroughALinkInTheTargetFolder)
{
    WriteFile(Path("base/a.txt"), "new");
    WriteFile(Path("base/docs/x.txt"), "x");
    TZipArchive::CreateArchive(Path("entry.zip"), Path("base"), {"a.txt", "docs"}, {});
    QDir().mkpath(Path("outside"));
    WriteFile(Path("target/a.txt"), "old");
    ASSERT_TRUE(QFile::link(Path("outside"), Path("target/docs")));
    const TSnapshot before = Snapshot(Path("target"));

    // Refused before the first member is placed, so a.txt keeps its content.
    EXPECT_NE(ErrorOf([&] { TZipArchive::ExtractArchive(Path("entry.zip"), Path("target"), {}, {}); }),
              "no error");
    EXPECT_EQ(Snapshot(Path("target")), before);
    EXPECT_TRUE(Snapshot(Path("outside")).empty());
}

TEST_F(ZipArchiveTest, BrokenArchivesAreErrorsAndLeaveNothing)
{
    WriteFile(Path("base/text.txt"), QByteArray(20000, 't') + "end");
    TZipArchive::CreateArchive(Path("good.zip"), Path("base"), {"text.txt"}, {});
    QFile good(Path("good.zip"));
    ASSERT_TRUE(good.open(QIODevice::ReadOnly));
    const QByteArray bytes = good.readAll();
    WriteFile(Path("truncated.zip"), bytes.left(bytes.size() / 2));
    WriteFile(Path("text.zip"), "this is not an archive");
    // Damage the deflated data (right after the 30-byte header and the name)
    // while the directory stays intact: opening works, reading fails.
    QByteArray damaged = bytes;
    for (int i = 40; i < 60; ++i)
        damaged[i] = char(~damaged[i]);
    WriteFile(Path("damaged.zip"), damaged);

    for (const char* name : {"missing.zip", "truncated.zip", "text.zip", "damaged.zip"}) {
        SCOPED_TRACE(name);
        const std::string error =
            ErrorOf([&] { TZipArchive::ExtractArchive(Path(name), Path("target"), {}, {}); });
        EXPECT_NE(error, "no error");
        EXPECT_NE(error, "wrong password");
        EXPECT_FALSE(QFileInfo::exists(Path("target")));
    }
    for (const char* name : {"missing.zip", "text.zip"})
        EXPECT_NE(ErrorOf([&] { TZipArchive::ListMembers(Path(name)); }), "no error") << name;
}

TEST_F(ZipArchiveTest, AFullDiskIsReportedWithTheSystemsReason)
{
    // Small files declare little, but each takes a whole page of the file
    // system: they pass the check of the free space and fill the disk.
    QStringList names;
    for (int i = 0; i < 100; ++i) {
        names << QString("f%1.txt").arg(i);
        WriteFile(Path("base/" + names.last()), QByteArray(100, char('a' + i % 26)));
    }
    TZipArchive::CreateArchive(Path("big.zip"), Path("base"), names, {});
    const TestEnv::TScopedTmpfs small(Path("small"), "128k");
    if (!small.Mounted())
        GTEST_SKIP() << "no tmpfs can be mounted here";
    const std::string error =
        ErrorOf([&] { TZipArchive::ExtractArchive(Path("big.zip"), Path("small/target"), {}, {}); });
    EXPECT_NE(error.find(strerror(ENOSPC)), std::string::npos) << error;
    EXPECT_FALSE(QFileInfo::exists(Path("small/target")));
}

TEST_F(ZipArchiveTest, AnArchiveLargerThanTheFreeSpaceIsRefusedBeforeWriting)
{
    // 64 MB of zeros pack into a few kilobytes
    {
        QFile big(Path("zeros/zeros.bin"));
        QDir().mkpath(Path("zeros"));
        ASSERT_TRUE(big.open(QIODevice::WriteOnly));
        ASSERT_TRUE(big.resize(64 * 1024 * 1024));
    }
    TZipArchive::CreateArchive(Path("bomb.zip"), Path("zeros"), {"zeros.bin"}, {});
    EXPECT_LT(QFileInfo(Path("bomb.zip")).size(), 1024 * 1024);
    const TestEnv::TScopedTmpfs small(Path("small"), "1m");
    if (!small.Mounted())
        GTEST_SKIP() << "no tmpfs can be mounted here";
    const std::string error =
        ErrorOf([&] { TZipArchive::ExtractArchive(Path("bomb.zip"), Path("small/target"), {}, {}); });
    EXPECT_NE(error.find("need 64 MB of disk space"), std::string::npos) << error;
    EXPECT_FALSE(QFileInfo::exists(Path("small/target")));
}

// ---------------------------------------------------------------------------

TEST_F(ZipArchiveTest, FailedBuildLeavesNoArchiveAndGoodBuildReplacesOne)
{
    WriteFile(Path("base/a.txt"), "a");
    WriteFile(Path("outside.txt"), "o");
    for (const QStringList& items : {QStringList{"a.txt", "missing.txt"}, QStringList{"../outside.txt"},
                                     QStringList{}}) {
        WriteFile(Path("entry.zip"), "previous archive");
        EXPECT_NE(ErrorOf([&] { TZipArchive::CreateArchive(Path("entry.zip"), Path("base"), items, {}); }),
                  "no error")
            << items.join(",").toStdString();
        EXPECT_FALSE(QFileInfo::exists(Path("entry.zip")));
    }
    WriteFile(Path("entry.zip"), "previous archive");
    EXPECT_NE(ErrorOf([&] { TZipArchive::CreateArchive(Path("entry.zip"), Path("no-base"), {"a.txt"}, {}); }),
              "no error");
    EXPECT_FALSE(QFileInfo::exists(Path("entry.zip")));
    EXPECT_NE(ErrorOf([&] { TZipArchive::CreateArchive(Path("no/such/folder/entry.zip"), Path("base"), {"a.txt"}, {}); }),
              "no error");

    WriteFile(Path("entry.zip"), "previous archive");
    TZipArchive::CreateArchive(Path("entry.zip"), Path("base"), {"a.txt"}, {});
    EXPECT_EQ(TZipArchive::ListMembers(Path("entry.zip")), QStringList{"a.txt"});
}

TEST_F(ZipArchiveTest, LinksToFilesStoreTheirContentAndOtherLinksAreRefused)
{
    const QString base = Path("base");
    WriteFile(base + "/real.txt", "real");
    WriteFile(Path("outside.txt"), "outside");
    WriteFile(base + "/docs/x.txt", "x");
    ASSERT_TRUE(QFile::link(base + "/real.txt", base + "/inner_link"));
    ASSERT_TRUE(QFile::link(Path("outside.txt"), base + "/outer_link"));
    ASSERT_TRUE(QFile::link(base + "/docs", base + "/docs_alias"));

    // links to files are stored as the files' content, wherever they lie;
    // a link to a folder of the entry adds nothing of its own
    TZipArchive::CreateArchive(Path("entry.zip"), base, {"real.txt", "inner_link", "outer_link", "docs", "docs_alias"},
                               {});
    EXPECT_EQ(TZipArchive::ListMembers(Path("entry.zip")),
              QStringList({"real.txt", "inner_link", "outer_link", "docs/", "docs/x.txt"}));
    TZipArchive::ExtractArchive(Path("entry.zip"), Path("target"), {}, {});
    EXPECT_EQ(ReadFile(Path("target/outer_link")), "outside");
    EXPECT_FALSE(QFileInfo(Path("target/inner_link")).isSymLink());

    // a link that leads nowhere, up into its own folder or out of the
    // entry to a folder refuses the store, naming it, and leaves no archive
    ASSERT_TRUE(QDir().mkpath(Path("elsewhere")));
    const struct {
        const char* link;
        QString target;
        const char* said;
    } refused[] = {
        {"/dangling", base + "/nowhere", "points to nothing"},
        {"/docs/loop", base + "/docs", "contains the link itself"},
        {"/away", Path("elsewhere"), "outside the entry's folder"},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.link);
        ASSERT_TRUE(QFile::link(c.target, base + c.link));
        const std::string error = ErrorOf([&] {
            TZipArchive::CreateArchive(Path("refused.zip"), base, {"real.txt", "docs", QString(c.link).mid(1)}, {});
        });
        EXPECT_NE(error.find(c.said), std::string::npos) << error;
        EXPECT_FALSE(QFileInfo::exists(Path("refused.zip")));
        QFile::remove(base + c.link);
    }
}

TEST_F(ZipArchiveTest, ANameThatIsNotUtf8RefusesTheStoreByName)
{
    const QString base = Path("base");
    WriteFile(base + "/docs/plain.txt", "plain");
    // "café-latin1.txt" with the é as the single Latin-1 byte 0xE9
    const QByteArray latin1 = QFile::encodeName(base + "/docs/caf") + "\xe9" + "-latin1.txt";
    {
        std::ofstream out(latin1.constData());
        out << "latin";
    }
    const std::string error = ErrorOf([&] { TZipArchive::CreateArchive(Path("entry.zip"), base, {"docs"}, {}); });
    EXPECT_NE(error.find("-latin1.txt\" is not valid UTF-8"), std::string::npos) << error;
    EXPECT_FALSE(QFileInfo::exists(Path("entry.zip")));
    // the file is where it was
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(latin1.toStdString())));
}

} // namespace
