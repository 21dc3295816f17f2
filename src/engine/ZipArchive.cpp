#include "engine/ZipArchive.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QStorageInfo>
#include <QTemporaryDir>

#include <zip.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <optional>
#include <sys/stat.h>

namespace {

constexpr zip_uint32_t kCompressionLevel = 9;
constexpr int kMaxPasswordChars = 255;
constexpr qsizetype kCopyChunk = 256 * 1024;

struct TZipDiscard {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
using TZipHandle = std::unique_ptr<zip_t, TZipDiscard>;

struct TZipFileClose {
    void operator()(zip_file_t* file) const { zip_fclose(file); }
};
using TZipFileHandle = std::unique_ptr<zip_file_t, TZipFileClose>;

std::filesystem::path ToPath(const QString& path)
{
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

QString ErrorText(int zipCode)
{
    zip_error_t error;
    zip_error_init_with_code(&error, zipCode);
    const QString text = QString::fromLocal8Bit(zip_error_strerror(&error));
    zip_error_fini(&error);
    return text;
}

QString ArchiveErrorText(zip_t* archive) { return QString::fromLocal8Bit(zip_strerror(archive)); }

// The password bytes used for encryption and decryption alike: UTF-8 of at
// most the first 255 characters, a surrogate pair counting as one character.
QByteArray PasswordBytes(const QString& password)
{
    qsizetype end = 0;
    for (int chars = 0; end < password.size() && chars < kMaxPasswordChars; ++chars) {
        const bool pair = password.at(end).isHighSurrogate() && end + 1 < password.size()
                          && password.at(end + 1).isLowSurrogate();
        end += pair ? 2 : 1;
    }
    return password.left(end).toUtf8();
}

bool IsInside(const QString& canonicalPath, const QString& canonicalFolder)
{
    return canonicalPath.startsWith(canonicalFolder + QLatin1Char('/'));
}

void SetModificationTime(const QString& path, time_t mtime)
{
    using namespace std::chrono;
    std::error_code ignored; // a time that cannot be set is no reason to lose the file
    std::filesystem::last_write_time(
        ToPath(path), file_clock::from_sys(system_clock::from_time_t(mtime)), ignored);
}

TZipHandle OpenForReading(const QString& archivePath)
{
    int code = ZIP_ER_OK;
    zip_t* archive = zip_open(QFile::encodeName(archivePath).constData(), ZIP_RDONLY, &code);
    if (!archive)
        throw ETessarynError(QStringLiteral("The archive \"%1\" could not be opened: %2")
                                 .arg(archivePath, ErrorText(code)));
    return TZipHandle(archive);
}

// ---------------------------------------------------------------------------
// Building

class TArchiveBuilder {
public:
    TArchiveBuilder(zip_t* archive, const QString& baseFolder, const QByteArray& password)
        : m_archive(archive), m_base(QDir(baseFolder).absolutePath()),
          m_canonicalBase(QFileInfo(baseFolder).canonicalFilePath()), m_password(password)
    {
    }

    void AddItem(const QString& item)
    {
        const QString path = QDir::cleanPath(QDir(m_base).absoluteFilePath(item));
        const QString relative = QDir(m_base).relativeFilePath(path);
        if (relative.isEmpty() || relative == QLatin1String(".") || relative == QLatin1String("..")
            || relative.startsWith(QLatin1String("../")))
            throw ETessarynError(QStringLiteral("The item \"%1\" is not inside the folder \"%2\".")
                                     .arg(item, m_base));
        const QFileInfo info(path);
        if (!info.exists() && !info.isSymLink())
            throw ETessarynError(QStringLiteral("The file \"%1\" does not exist.").arg(path));
        AddPath(info, relative);
    }

private:
    void AddPath(const QFileInfo& info, const QString& name)
    {
        // A link to a file is stored as that file's content, wherever the
        // file lies, as Info-ZIP's zip does. A link to a folder inside the
        // entry adds nothing of its own (that folder is the entry's already);
        // one that leads out of the entry or back up into its own folders
        // would store files twice or forever, and one that leads nowhere has
        // nothing to store: they are refused, so the store does not claim
        // to keep what it cannot.
        if (info.isSymLink()) {
            const QFileInfo target(info.canonicalFilePath());
            if (target.isFile()) {
                AddFile(target.filePath(), name);
            } else if (target.isDir()) {
                const QString linkFolder = QFileInfo(info.absolutePath()).canonicalFilePath();
                const QString folder = target.filePath();
                const bool inside = !m_canonicalBase.isEmpty()
                                    && (folder == m_canonicalBase || IsInside(folder, m_canonicalBase));
                const bool ancestor = linkFolder == folder || IsInside(linkFolder, folder);
                if (!inside || ancestor)
                    throw ETessarynError(
                        QStringLiteral("\"%1\" is a link to the folder \"%2\", %3; it cannot be stored. Replace "
                                       "it with the files themselves, or unmark it.")
                            .arg(name, folder,
                                 ancestor ? QStringLiteral("which contains the link itself")
                                          : QStringLiteral("outside the entry's folder")));
            } else {
                throw ETessarynError(QStringLiteral("\"%1\" is a link that points to nothing; it cannot be "
                                                    "stored. Remove it, or unmark it.")
                                         .arg(name));
            }
        } else if (info.isDir()) {
            AddFolder(info, name);
        } else if (info.isFile()) {
            AddFile(info.filePath(), name);
        }
        // Pipes, sockets and devices have no content to store.
    }

    void AddFolder(const QFileInfo& info, const QString& name)
    {
        if (!Claim(name + QLatin1Char('/')))
            return;
        const QDir folder(info.filePath());
        if (!folder.isReadable())
            throw ETessarynError(QStringLiteral("The folder \"%1\" cannot be read.").arg(info.filePath()));
        // libzip marks folders as writable for everyone, which unzip would
        // restore literally; store the folder's own permissions instead.
        std::error_code ignored;
        const auto permissions = std::filesystem::status(ToPath(info.filePath()), ignored).permissions()
                                 & std::filesystem::perms::mask;
        const zip_int64_t index = zip_dir_add(m_archive, name.toUtf8().constData(), ZIP_FL_ENC_UTF_8);
        if (index < 0
            || zip_file_set_mtime(m_archive, zip_uint64_t(index), info.lastModified().toSecsSinceEpoch(), 0) != 0
            || zip_file_set_external_attributes(m_archive, zip_uint64_t(index), 0, ZIP_OPSYS_UNIX,
                                                (S_IFDIR | zip_uint32_t(permissions)) << 16) != 0)
            Fail(name);
        const QFileInfoList children = folder.entryInfoList(
            QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
        for (const QFileInfo& child : children)
            AddPath(child, name + QLatin1Char('/') + child.fileName());
    }

    void AddFile(const QString& path, const QString& name)
    {
        if (!Claim(name))
            return;
        // The source streams from the file when the archive is written, so
        // no file is ever held in memory; its modification time travels along.
        zip_error_t error;
        zip_error_init(&error);
        zip_source_t* source = zip_source_file_create(QFile::encodeName(path).constData(), 0, -1, &error);
        if (!source) {
            const QString text = QString::fromLocal8Bit(zip_error_strerror(&error));
            zip_error_fini(&error);
            throw ETessarynError(QStringLiteral("The file \"%1\" could not be added to the archive: %2")
                                     .arg(path, text));
        }
        zip_error_fini(&error);
        const zip_int64_t index = zip_file_add(m_archive, name.toUtf8().constData(), source, ZIP_FL_ENC_UTF_8);
        if (index < 0) {
            zip_source_free(source);
            Fail(name);
        }
        if (zip_set_file_compression(m_archive, zip_uint64_t(index), ZIP_CM_DEFLATE, kCompressionLevel) != 0
            || (!m_password.isEmpty()
                && zip_file_set_encryption(m_archive, zip_uint64_t(index),
                                           TZipArchive::TraditionalEncryption() ? ZIP_EM_TRAD_PKWARE : ZIP_EM_AES_256,
                                           m_password.constData()) != 0))
            Fail(name);
    }

    // Items may overlap (a folder and a file inside it); each path is stored once.
    bool Claim(const QString& name)
    {
        if (m_names.contains(name))
            return false;
        m_names.insert(name);
        return true;
    }

    [[noreturn]] void Fail(const QString& name)
    {
        throw ETessarynError(QStringLiteral("\"%1\" could not be added to the archive: %2")
                                 .arg(name, ArchiveErrorText(m_archive)));
    }

    zip_t* m_archive;
    QString m_base;
    QString m_canonicalBase;
    QByteArray m_password;
    QSet<QString> m_names;
};

// ---------------------------------------------------------------------------
// Extracting

struct TMember {
    zip_uint64_t index = 0;
    QString name;     // as stored
    QString relative; // cleaned path below the target folder
    bool folder = false;
    bool encrypted = false;
    bool hasTime = false;
    time_t mtime = 0;
    // What the archive declares the member unpacks to; unknown: -1.
    qint64 size = -1;
    // Encrypted with AES (WinZip's scheme) rather than the traditional one.
    bool aes = false;
    // AES members of the AE-2 kind (7-Zip writes them) carry no CRC: their
    // HMAC authenticates them instead.
    bool aesWithoutCrc = false;
};

// The specifications of an extraction ("name" picks that member, "name/*"
// everything below folder name), held so that one member is matched in time
// proportional to the depth of its path, however many items were marked.
class TMemberPatterns {
public:
    explicit TMemberPatterns(const QStringList& patterns) : m_all(patterns.isEmpty())
    {
        for (const QString& pattern : patterns) {
            if (pattern.endsWith(QLatin1String("/*")))
                m_folders.insert(pattern.chopped(1));   // "name/"
            else
                m_names.insert(pattern);
        }
    }

    bool Matches(const QString& name) const
    {
        if (m_all || m_names.contains(name))
            return true;
        if (m_folders.isEmpty())
            return false;
        for (qsizetype slash = name.indexOf(QLatin1Char('/')); slash >= 0;
             slash = name.indexOf(QLatin1Char('/'), slash + 1))
            if (m_folders.contains(name.left(slash + 1)))
                return true;
        return false;
    }

private:
    bool m_all;
    QSet<QString> m_names;
    QSet<QString> m_folders;
};

// The member's path below the target folder with empty and "." parts dropped,
// or nothing when the name could climb out of it: an absolute path, a drive
// letter, or a ".." part. Backslashes count as separators here because other
// systems' tools treat them so, even though they stay ordinary characters in
// the names written on this system.
std::optional<QString> SafeRelativePath(const QString& name)
{
    if (name.startsWith(QLatin1Char('/')) || name.startsWith(QLatin1Char('\\'))
        || (name.size() >= 2 && name.at(1) == QLatin1Char(':') && name.at(0).isLetter()))
        return std::nullopt;
    for (const QStringView part : QStringView(name).split(QLatin1Char('/'))) {
        for (const QStringView piece : part.split(QLatin1Char('\\')))
            if (piece == QLatin1String(".."))
                return std::nullopt;
    }
    QStringList kept;
    for (const QString& part : name.split(QLatin1Char('/'), Qt::SkipEmptyParts))
        if (part != QLatin1String("."))
            kept.append(part);
    return kept.join(QLatin1Char('/'));
}

bool IsSymlinkMember(zip_t* archive, zip_uint64_t index)
{
    zip_uint8_t system = 0;
    zip_uint32_t attributes = 0;
    if (zip_file_get_external_attributes(archive, index, 0, &system, &attributes) != 0)
        return false;
    return system == ZIP_OPSYS_UNIX && S_ISLNK(attributes >> 16);
}

QList<TMember> SelectMembers(zip_t* archive, const QStringList& specs)
{
    const TMemberPatterns patterns(specs);
    QList<TMember> members;
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_uint64_t index = 0; index < zip_uint64_t(count); ++index) {
        zip_stat_t stat;
        if (zip_stat_index(archive, index, 0, &stat) != 0 || !(stat.valid & ZIP_STAT_NAME))
            throw ETessarynError(QStringLiteral("The archive member %1 cannot be read: %2")
                                     .arg(index).arg(ArchiveErrorText(archive)));
        TMember member;
        member.index = index;
        member.name = QString::fromUtf8(stat.name);
        if (!patterns.Matches(member.name))
            continue;
        if (IsSymlinkMember(archive, index))
            throw ETessarynError(QStringLiteral("The archive member \"%1\" is a symbolic link and was refused.")
                                     .arg(member.name));
        const std::optional<QString> relative = SafeRelativePath(member.name);
        member.folder = member.name.endsWith(QLatin1Char('/'));
        if (!relative || (relative->isEmpty() && !member.folder))
            throw ETessarynError(QStringLiteral("The archive member \"%1\" would be written outside "
                                                "the target folder and was refused.")
                                     .arg(member.name));
        if (relative->isEmpty())
            continue; // "./" names the target folder itself
        member.relative = *relative;
        member.encrypted = (stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && stat.encryption_method != ZIP_EM_NONE;
        member.hasTime = stat.valid & ZIP_STAT_MTIME;
        member.mtime = stat.mtime;
        member.aes = member.encrypted && stat.encryption_method != ZIP_EM_TRAD_PKWARE;
        member.aesWithoutCrc = member.aes && (stat.valid & ZIP_STAT_CRC) && stat.crc == 0;
        if (stat.valid & ZIP_STAT_SIZE)
            member.size = qint64(std::min<zip_uint64_t>(stat.size, zip_uint64_t(std::numeric_limits<qint64>::max())));
        members.append(member);
    }
    return members;
}

bool IsDamage(int zipCode)
{
    switch (zipCode) {
    case ZIP_ER_CRC:
    case ZIP_ER_ZLIB:
    case ZIP_ER_COMPRESSED_DATA:
    case ZIP_ER_INCONS:
    case ZIP_ER_EOF:
        return true;
    default:
        return false;
    }
}

// Traditional encryption cannot tell a wrong password from damaged data once
// the one-byte header check passed (about one wrong password in 256): the
// garbage then fails inflating or the CRC at the end, so for such a member
// those failures mean a wrong password. An AES member's password check has
// 16 bits and its data an authentication code: past the check, a failure is
// damage.
bool IsWrongPassword(int zipCode, const TMember& member)
{
    if (zipCode == ZIP_ER_WRONGPASSWD || zipCode == ZIP_ER_NOPASSWD)
        return true;
    return member.encrypted && !member.aes && IsDamage(zipCode);
}

[[noreturn]] void ThrowDamaged(const TMember& member, const QString& reason)
{
    throw ETessarynError(QStringLiteral("The archive member \"%1\" is damaged (%2). Nothing was extracted.")
                             .arg(member.name, reason));
}

[[noreturn]] void ThrowReadError(const TMember& member, int zipCode, const QString& text)
{
    if (IsWrongPassword(zipCode, member))
        throw EZipWrongPassword();
    if (IsDamage(zipCode))
        ThrowDamaged(member, text);
    throw ETessarynError(QStringLiteral("The archive member \"%1\" could not be extracted: %2")
                             .arg(member.name, text));
}

// One extraction into one folder. Every member is first read completely into
// a staging folder inside the target (so a wrong password or a damaged member
// is noticed before anything visible changes), then renamed into place. Until
// Commit() is called the destructor removes whatever this extraction created.
class TExtraction {
public:
    TExtraction(zip_t* archive, const QString& targetFolder, const QByteArray& password,
                const TZipArchive::TProgress& progress)
        : m_archive(archive), m_target(QDir::cleanPath(QDir(targetFolder).absolutePath())),
          m_password(password), m_progress(progress)
    {
    }

    ~TExtraction()
    {
        if (m_committed)
            return;
        m_staging.reset();
        for (const QString& file : std::as_const(m_createdFiles))
            QFile::remove(file);
        for (auto it = m_createdFolders.crbegin(); it != m_createdFolders.crend(); ++it)
            QDir().rmdir(*it);
    }

    // Refuses before anything is written when a member would be placed
    // through a link or over a file that stands where a folder must be.
    void CheckTargets(const QList<TMember>& members)
    {
        for (const TMember& member : members)
            WalkFolders(member.folder ? member.relative : member.relative.section(QLatin1Char('/'), 0, -2), false);
    }

    // Refuses, before anything is written, an archive whose members unpack
    // to more than the target's disk has free (a "zip bomb" among them).
    void CheckSpace(const QList<TMember>& members) const
    {
        qint64 needed = 0;
        for (const TMember& member : members)
            if (!member.folder && member.size > 0)
                needed = needed > std::numeric_limits<qint64>::max() - member.size ? std::numeric_limits<qint64>::max()
                                                                                   : needed + member.size;
        QString existing = m_target;
        while (!QFileInfo::exists(existing) && existing != QFileInfo(existing).path())
            existing = QFileInfo(existing).path();
        const QStorageInfo disk(existing);
        if (disk.isValid() && needed > disk.bytesAvailable())
            throw ETessarynError(QStringLiteral("The files need %1 MB of disk space to be extracted, but only %2 MB "
                                                "are free in \"%3\". Nothing was extracted.")
                                     .arg((needed + (1 << 20) - 1) >> 20)
                                     .arg(disk.bytesAvailable() >> 20)
                                     .arg(disk.rootPath()));
    }

    void Run(const QList<TMember>& members)
    {
        CheckSpace(members);
        WalkFolders(QString(), true);
        m_staging = std::make_unique<QTemporaryDir>(m_target + QStringLiteral("/.unzip-XXXXXX"));
        if (!m_staging->isValid())
            throw ETessarynError(QStringLiteral("A temporary folder could not be created in \"%1\": %2")
                                     .arg(m_target, m_staging->errorString()));
        m_total = 0;
        for (const TMember& member : members)
            m_total += std::max<qint64>(member.size, 0);
        QStringList staged;
        for (const TMember& member : members)
            staged.append(member.folder ? QString() : Stage(member, staged.size()));

        for (qsizetype i = 0; i < members.size(); ++i) {
            const TMember& member = members.at(i);
            if (member.folder)
                WalkFolders(member.relative, true);
            else
                Place(staged.at(i), member);
        }
        // Placing files touched the folders' times; restore them last.
        for (const TMember& member : members)
            if (member.folder && member.hasTime)
                SetModificationTime(m_target + QLatin1Char('/') + member.relative, member.mtime);
    }

    void Commit()
    {
        m_committed = true;
        m_staging.reset();
    }

private:
    // libzip checks an AES member's authentication code only when its
    // decryption reaches the end of the stored data, which inflating a
    // complete stream never asks for: the stored data are read through
    // once, decrypted but not inflated, so that the code is always checked.
    void Authenticate(const TMember& member)
    {
        zip_file_t* opened = zip_fopen_index_encrypted(m_archive, member.index, ZIP_FL_COMPRESSED,
                                                       m_password.isEmpty() ? nullptr : m_password.constData());
        if (!opened)
            ThrowReadError(member, zip_error_code_zip(zip_get_error(m_archive)), ArchiveErrorText(m_archive));
        TZipFileHandle file(opened);
        QByteArray buffer(kCopyChunk, Qt::Uninitialized);
        for (;;) {
            const zip_int64_t read = zip_fread(file.get(), buffer.data(), zip_uint64_t(buffer.size()));
            if (read == 0)
                return;
            if (read < 0) {
                const int code = zip_error_code_zip(zip_file_get_error(file.get()));
                if (code == ZIP_ER_CRC)
                    ThrowDamaged(member, QStringLiteral("its authentication code does not match its data"));
                ThrowReadError(member, code, QString::fromLocal8Bit(zip_file_strerror(file.get())));
            }
            if (m_progress && !m_progress(m_done, m_total))
                throw EAbort();
        }
    }

    QString Stage(const TMember& member, qsizetype number)
    {
        const QString path = m_staging->filePath(QString::number(number));
        if (member.aes)
            Authenticate(member);
        zip_file_t* opened = member.encrypted
                                 ? zip_fopen_index_encrypted(m_archive, member.index, 0,
                                                             m_password.isEmpty() ? nullptr : m_password.constData())
                                 : zip_fopen_index(m_archive, member.index, 0);
        if (!opened)
            ThrowReadError(member, zip_error_code_zip(zip_get_error(m_archive)), ArchiveErrorText(m_archive));
        TZipFileHandle file(opened);

        QFile out(path);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            throw ETessarynError(QStringLiteral("The file \"%1\" could not be written: %2")
                                     .arg(path, out.errorString()));
        QByteArray buffer(kCopyChunk, Qt::Uninitialized);
        qint64 written = 0;
        // Reading up to the end lets libzip compare the CRC.
        for (;;) {
            const zip_int64_t read = zip_fread(file.get(), buffer.data(), zip_uint64_t(buffer.size()));
            // This libzip compares the CRC of an AE-2 member with the 0 that
            // stands in for it; Authenticate has vouched for the data.
            if (read < 0 && member.aesWithoutCrc && written == member.size
                && zip_error_code_zip(zip_file_get_error(file.get())) == ZIP_ER_CRC)
                break;
            if (read < 0)
                ThrowReadError(member, zip_error_code_zip(zip_file_get_error(file.get())),
                               QString::fromLocal8Bit(zip_file_strerror(file.get())));
            if (read == 0)
                break;
            // A member may not grow past the size the archive declared.
            written += read;
            m_done += read;
            if (m_progress && !m_progress(m_done, m_total))
                throw EAbort();
            if (member.size >= 0 && written > member.size) {
                // Garbage from a wrong traditional password can inflate to
                // anything: for such a member that is the likelier cause.
                if (member.encrypted && !member.aes)
                    throw EZipWrongPassword();
                throw ETessarynError(QStringLiteral("The archive member \"%1\" unpacks to more than its declared "
                                                    "size; the archive is damaged or forged. Nothing was extracted.")
                                         .arg(member.name));
            }
            errno = 0;
            if (out.write(buffer.constData(), read) != read) {
                // Qt words a failed unbuffered write as "Unknown error"; the
                // system's reason ("No space left on device") is what helps.
                const int reason = errno;
                throw ETessarynError(QStringLiteral("The file \"%1\" could not be written: %2")
                                         .arg(path, reason ? QString::fromLocal8Bit(strerror(reason)) : out.errorString()));
            }
        }
        out.close();
        if (member.hasTime)
            SetModificationTime(path, member.mtime);
        return path;
    }

    void Place(const QString& staged, const TMember& member)
    {
        WalkFolders(member.relative.section(QLatin1Char('/'), 0, -2), true);
        const QString destination = m_target + QLatin1Char('/') + member.relative;
        const QFileInfo existing(destination);
        const bool isNew = !existing.exists() && !existing.isSymLink();
        std::error_code error;
        std::filesystem::rename(ToPath(staged), ToPath(destination), error);
        if (error)
            throw ETessarynError(QStringLiteral("The file \"%1\" could not be written: %2")
                                     .arg(destination, QString::fromLocal8Bit(error.message().c_str())));
        if (isNew)
            m_createdFiles.append(destination);
    }

    // Walks relative (a folder path below the target) from the target down,
    // refusing links and non-folders on the way; with create, also creates
    // the target itself and every missing folder, remembering them.
    void WalkFolders(const QString& relative, bool create)
    {
        // A folder already walked in this extraction (made by it, or found to
        // be a real folder) is not looked at again for each of its files.
        if (create && m_walked.contains(relative))
            return;
        QString path = m_target;
        if (create)
            EnsureTargetFolder();
        for (const QString& part : relative.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
            path += QLatin1Char('/') + part;
            const QFileInfo info(path);
            if (info.isSymLink())
                throw ETessarynError(QStringLiteral("\"%1\" is a link; nothing is extracted through it.").arg(path));
            if (info.isDir())
                continue;
            if (info.exists())
                throw ETessarynError(QStringLiteral("\"%1\" is a file where a folder is needed.").arg(path));
            if (!create)
                return; // everything below is missing too
            if (!QDir().mkdir(path))
                throw ETessarynError(QStringLiteral("The folder \"%1\" could not be created.").arg(path));
            m_createdFolders.append(path);
        }
        if (create)
            m_walked.insert(relative);
    }

    void EnsureTargetFolder()
    {
        if (QFileInfo(m_target).isDir())
            return;
        // Create the missing parents one by one so that a failed extraction
        // can take away exactly the folders it made.
        QStringList missing;
        for (QString path = m_target; !QFileInfo(path).exists(); path = QFileInfo(path).path())
            missing.prepend(path);
        for (const QString& path : std::as_const(missing)) {
            if (!QDir().mkdir(path))
                throw ETessarynError(QStringLiteral("The folder \"%1\" could not be created.").arg(path));
            m_createdFolders.append(path);
        }
    }

    zip_t* m_archive;
    QString m_target;
    QByteArray m_password;
    const TZipArchive::TProgress& m_progress;
    qint64 m_done = 0;
    qint64 m_total = 0;
    std::unique_ptr<QTemporaryDir> m_staging;
    QStringList m_createdFolders;
    QStringList m_createdFiles;
    QSet<QString> m_walked;
    bool m_committed = false;
};

} // namespace

namespace {

// Checks a written archive against what was asked to go into it, walking the
// disk by the bytes of its names: every file (or link to a file) below the
// items must be a member of its size, every folder a member of its own.
// Names that are not UTF-8 cannot be stored as they are and refuse the store.
class TArchiveCheck {
public:
    TArchiveCheck(zip_t* archive, const QString& baseFolder) : m_base(ToPath(QDir(baseFolder).absolutePath()))
    {
        const zip_int64_t count = zip_get_num_entries(archive, 0);
        for (zip_uint64_t index = 0; index < zip_uint64_t(count); ++index) {
            zip_stat_t stat;
            zip_stat_init(&stat);
            if (zip_stat_index(archive, index, 0, &stat) == 0 && (stat.valid & ZIP_STAT_NAME))
                m_members.insert(QString::fromUtf8(stat.name), (stat.valid & ZIP_STAT_SIZE) ? qint64(stat.size) : -1);
        }
    }

    void Check(const QString& item)
    {
        Walk(m_base / ToPath(QDir::cleanPath(item)), QDir::cleanPath(item));
    }

private:
    void Walk(const std::filesystem::path& path, const QString& name)
    {
        namespace fs = std::filesystem;
        std::error_code error;
        const fs::file_status own = fs::symlink_status(path, error);
        if (error)
            Missing(name);
        if (fs::is_symlink(own)) {
            const fs::file_status target = fs::status(path, error);
            if (!error && fs::is_regular_file(target))
                Expect(name, qint64(fs::file_size(path, error)));
            return;   // links to folders add nothing of their own
        }
        if (fs::is_regular_file(own)) {
            Expect(name, qint64(fs::file_size(path, error)));
        } else if (fs::is_directory(own)) {
            if (!m_members.contains(name + QLatin1Char('/')))
                Missing(name);
            for (fs::directory_iterator it(path, error), end; !error && it != end; it.increment(error)) {
                const std::string bytes = it->path().filename().native();
                const QString child = QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
                if (child.toUtf8() != QByteArray(bytes.data(), qsizetype(bytes.size())))
                    throw ETessarynError(QStringLiteral("The name of \"%1\" is not valid UTF-8, so it cannot be stored "
                                                        "as it is. Rename the file and save again; nothing was saved.")
                                             .arg(name + QLatin1Char('/') + child));
                Walk(it->path(), name + QLatin1Char('/') + child);
            }
            if (error)
                throw ETessarynError(QStringLiteral("The folder \"%1\" cannot be read: %2")
                                         .arg(name, QString::fromLocal8Bit(error.message().c_str())));
        }
        // Pipes, sockets and devices have no content to store.
    }

    void Expect(const QString& name, qint64 size)
    {
        const auto member = m_members.constFind(name);
        if (member == m_members.constEnd() || (*member >= 0 && *member != size))
            Missing(name);
    }

    [[noreturn]] void Missing(const QString& name) const
    {
        throw ETessarynError(QStringLiteral("\"%1\" did not reach the archive as it is on disk; nothing was saved.")
                                 .arg(name));
    }

    std::filesystem::path m_base;
    QHash<QString, qint64> m_members;
};

} // namespace

void TZipArchive::CreateArchive(const QString& archivePath, const QString& baseFolder,
                                const QStringList& items, const QString& password, const TProgress& progress)
{
    // A stale archive must not survive a failed build; libzip itself writes
    // to a temporary file and renames it over archivePath only on success.
    QFile::remove(archivePath);
    if (!QFileInfo(baseFolder).isDir())
        throw ETessarynError(QStringLiteral("The folder \"%1\" does not exist.").arg(baseFolder));
    int code = ZIP_ER_OK;
    TZipHandle archive(zip_open(QFile::encodeName(archivePath).constData(), ZIP_CREATE | ZIP_TRUNCATE, &code));
    if (!archive)
        throw ETessarynError(QStringLiteral("The archive \"%1\" could not be created: %2")
                                 .arg(archivePath, ErrorText(code)));

    TArchiveBuilder builder(archive.get(), baseFolder, PasswordBytes(password));
    for (const QString& item : items)
        builder.AddItem(item);
    // libzip writes no file for an archive without members.
    if (zip_get_num_entries(archive.get(), 0) <= 0)
        throw ETessarynError(QStringLiteral("There are no files to compress."));
    // Compression happens in zip_close; libzip reports its share done and
    // asks whether to go on, so a large store can show progress and stop.
    struct TCloseProgress {
        const TProgress& progress;
        bool stopped = false;
    } closeProgress{progress};
    if (progress) {
        zip_register_progress_callback_with_state(
            archive.get(), 0.002,
            [](zip_t*, double done, void* state) {
                auto* p = static_cast<TCloseProgress*>(state);
                if (!p->stopped && !p->progress(qRound64(done * 1000), 1000))
                    p->stopped = true;
            },
            nullptr, &closeProgress);
        zip_register_cancel_callback_with_state(
            archive.get(), [](zip_t*, void* state) { return static_cast<TCloseProgress*>(state)->stopped ? 1 : 0; },
            nullptr, &closeProgress);
    }
    if (zip_close(archive.get()) != 0) {
        if (closeProgress.stopped)
            throw EAbort();
        throw ETessarynError(QStringLiteral("The archive \"%1\" could not be written: %2")
                                 .arg(archivePath, ArchiveErrorText(archive.get())));
    }
    archive.release(); // zip_close freed it
    if (progress)
        progress(1000, 1000);

    // Nothing is reported stored, and no file moved away, before the written
    // archive was found to hold every marked item.
    try {
        const TZipHandle written = OpenForReading(archivePath);
        TArchiveCheck check(written.get(), baseFolder);
        for (const QString& item : items)
            check.Check(item);
    } catch (...) {
        QFile::remove(archivePath);
        throw;
    }
}

namespace {
std::atomic<bool> g_traditionalEncryption = false;
} // namespace

void TZipArchive::SetTraditionalEncryption(bool traditional)
{
    g_traditionalEncryption = traditional;
}

bool TZipArchive::TraditionalEncryption()
{
    return g_traditionalEncryption;
}

void TZipArchive::ExtractArchive(const QString& archivePath, const QString& targetFolder,
                                 const QStringList& patterns, const QString& password, const TProgress& progress)
{
    const TZipHandle archive = OpenForReading(archivePath);
    const QList<TMember> members = SelectMembers(archive.get(), patterns);
    TExtraction extraction(archive.get(), targetFolder, PasswordBytes(password), progress);
    extraction.CheckTargets(members);
    extraction.Run(members);
    extraction.Commit();
}

QStringList TZipArchive::ListMembers(const QString& archivePath, const QString& /*password*/)
{
    const TZipHandle archive = OpenForReading(archivePath);
    QStringList names;
    const zip_int64_t count = zip_get_num_entries(archive.get(), 0);
    for (zip_uint64_t index = 0; index < zip_uint64_t(count); ++index)
        names.append(QString::fromUtf8(zip_get_name(archive.get(), index, 0)));
    return names;
}
