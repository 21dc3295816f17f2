#include "settings/DatabaseSettingsManager.h"

#include "app/Errors.h"
#include "app/User.h"
#include "db/ClientRecordSet.h"
#include "db/dmConnection.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QMetaObject>
#include <QObject>
#include <QSaveFile>
#include <QSysInfo>
#include <QVariant>

namespace {

const QString kUser = QStringLiteral("_user");
const QString kComputer = QStringLiteral("computer");
const QString kKey = QStringLiteral("_key");
const QString kValues = QStringLiteral("_values");
const QString kScopeFields = QStringLiteral("_user;computer;_key");
const QString kAll = QStringLiteral("ALL");
const QString kCurrent = QStringLiteral("*");
const QString kLineBreak = QStringLiteral("\r\n");
const QString kEmptyList = QStringLiteral(" ");

// --- lines of a section -------------------------------------------------------

QStringList SplitLines(const QString& text)
{
    if (text.isEmpty())
        return {};
    return text.split(kLineBreak);
}

// The name part of a line: the text before the first "=", empty without one.
QString NamePart(const QString& line)
{
    const int eq = line.indexOf(QLatin1Char('='));
    return eq < 0 ? QString() : line.left(eq);
}

int IndexOfName(const QStringList& lines, const QString& name)
{
    for (int i = 0; i < lines.size(); ++i) {
        const int eq = lines[i].indexOf(QLatin1Char('='));
        if (eq >= 0 && QStringView(lines[i]).left(eq).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

// --- value encodings ----------------------------------------------------------

QString EncodeBool(bool value)
{
    return value ? QStringLiteral("1") : QStringLiteral("0");
}

int DecodeInteger(const QString& text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    if (!ok)
        throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return value;
}

// Written with the locale's decimal separator but plain digits, so that a
// value written under one locale is still read under another.
QString EncodeFloat(double value)
{
    QString text = QString::number(value, 'g', QLocale::FloatingPointShortest);
    return text.replace(QLatin1Char('.'), QLocale().decimalPoint());
}

double DecodeFloat(const QString& text)
{
    QString normal = text.trimmed();
    normal.replace(QLocale().decimalPoint(), QStringLiteral("."));
    normal.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double value = QLocale::c().toDouble(normal, &ok);
    if (!ok)
        throw EConvertError(QStringLiteral("'%1' is not a valid floating point value").arg(text));
    return value;
}

QString EncodeDate(const QDate& date)
{
    return QString::asprintf("%.2d/%.2d/%.4d", date.month(), date.day(), date.year());
}

// Digits at a fixed position of a stored date or date-time text.
bool DigitsAt(const QString& text, int position, int length, int& value)
{
    if (text.size() < position + length)
        return false;
    bool ok = false;
    value = QStringView(text).mid(position, length).toInt(&ok, 10);
    return ok;
}

QDate DecodeDate(const QString& text)
{
    int month = 0, day = 0, year = 0;
    QDate date;
    if (DigitsAt(text, 0, 2, month) && DigitsAt(text, 3, 2, day) && DigitsAt(text, 6, 4, year))
        date = QDate(year, month, day);
    if (!date.isValid())
        throw EConvertError(QStringLiteral("'%1' is not a valid date").arg(text));
    return date;
}

QString EncodeDateTime(const QDateTime& value)
{
    const QDate d = value.date();
    const QTime t = value.time();
    return QString::asprintf("%.2d/%.2d/%.4d, %.2d:%.2d:%.2d", d.month(), d.day(), d.year(), t.hour(), t.minute(),
                             t.second());
}

QDateTime DecodeDateTime(const QString& text)
{
    int month = 0, day = 0, year = 0, hour = 0, minute = 0, second = 0;
    QDate date;
    QTime time;
    if (DigitsAt(text, 0, 2, month) && DigitsAt(text, 3, 2, day) && DigitsAt(text, 6, 4, year)
        && DigitsAt(text, 12, 2, hour) && DigitsAt(text, 15, 2, minute) && DigitsAt(text, 18, 2, second)) {
        date = QDate(year, month, day);
        time = QTime(hour, minute, second);
    }
    if (!date.isValid() || !time.isValid())
        throw EConvertError(QStringLiteral("'%1' is not a valid date and time").arg(text));
    return QDateTime(date, time);
}

// The locale's long time format without its time zone, which cannot be read back.
QString LocaleTimeFormat()
{
    const QString format = QLocale().timeFormat(QLocale::LongFormat);
    QString result;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        if (!quoted && c == QLatin1Char('t'))
            continue;
        result += c;
    }
    result.remove(QStringLiteral("()"));
    return result.simplified();
}

QString EncodeTime(const QTime& time)
{
    return QLocale().toString(time, LocaleTimeFormat());
}

QTime DecodeTime(const QString& text)
{
    QTime time = QLocale().toTime(text.trimmed(), LocaleTimeFormat());
    if (!time.isValid())
        time = QTime::fromString(text.trimmed(), Qt::ISODate);
    if (!time.isValid())
        throw EConvertError(QStringLiteral("'%1' is not a valid time").arg(text));
    return time;
}

// --- cache file -------------------------------------------------------------
//
// A QDataStream: magic, version, the field definitions, the rows as last read
// from or written to the database, then the change log made since (the delta
// rows in their order), and the magic again as an end mark, so that a
// truncated file is recognised as damaged.

constexpr quint32 kCacheMagic = 0x54534331;   // "TSC1"
constexpr qint32 kCacheVersion = 1;

void WriteValues(QDataStream& out, const QList<QVariant>& values)
{
    out << qint32(values.size());
    for (const QVariant& value : values) {
        out << bool(value.isNull());
        if (!value.isNull())
            out << value;
    }
}

bool ReadValues(QDataStream& in, QList<QVariant>& values, qsizetype expected)
{
    qint32 count = -1;
    in >> count;
    if (in.status() != QDataStream::Ok || count != expected)
        return false;
    values.clear();
    values.reserve(count);
    for (qint32 i = 0; i < count; ++i) {
        bool isNull = true;
        in >> isNull;
        QVariant value;
        if (!isNull)
            in >> value;
        values.append(value);
    }
    return in.status() == QDataStream::Ok;
}

QString BuildCacheFileName(const QString& folder, const QString& user, const QString& computer)
{
    const QString fallback = folder + QStringLiteral("AppSettings.dat");
    const QString name = user + computer + QStringLiteral("AppSettings.dat");
    // A name that cannot be a file name here (a folder separator, a NUL, too long)
    if (name.contains(QLatin1Char('/')) || name.contains(QChar(0)) || name.toUtf8().size() > 255)
        return fallback;
    return folder + name;
}

} // namespace

// --- creation -----------------------------------------------------------------

TDatabaseSettingsManager::TDatabaseSettingsManager(TdmConnection& connection, const TUser& user,
                                                   const QString& cacheFolder, const QString& computerName,
                                                   const QString& keyPrefix)
    : m_connection(connection),
      m_userName(user.Name()),
      m_computerName(computerName.isEmpty() ? LocalComputerName() : computerName),
      m_keyPrefix(keyPrefix.isEmpty() ? ExecutableKeyPrefix() : keyPrefix)
{
    m_scopeUser = m_userName;
    m_scopeComputer = m_computerName;
    QString folder = cacheFolder;
    if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    if (!folder.isEmpty())
        QDir().mkpath(folder);
    m_cacheFileName = BuildCacheFileName(folder, m_userName, m_computerName);

    // The cache is rebuilt from the database at every start, whatever the
    // previous run left in the file.
    m_cache = std::make_unique<ClientRecordSet>();
    try {
        LoadCacheFromDatabase();
        SaveCache();
    } catch (...) {
        CloseCache();
        throw;
    }
    CloseCache();
}

TDatabaseSettingsManager::~TDatabaseSettingsManager()
{
    if (m_cache) {
        try {
            SaveCache();
        } catch (...) {
            // Nothing more can be done for the file while the store goes away.
        }
    }
}

QString TDatabaseSettingsManager::ExecutableKeyPrefix()
{
    const QString path = QCoreApplication::instance()
                             ? QCoreApplication::applicationFilePath()
                             : QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    return QFileInfo(path).fileName().section(QLatin1Char('.'), 0, 0).toUpper() + QLatin1Char('\\');
}

QString TDatabaseSettingsManager::LocalComputerName()
{
    const QString name = QSysInfo::machineHostName();
    return name.isEmpty() ? QStringLiteral("< COMPUTER NOT SPECIFIED >") : name;
}

// --- cache --------------------------------------------------------------------

void TDatabaseSettingsManager::BeginAccess()
{
    if (!m_cache)
        OpenCache();
    ++m_nesting;
}

void TDatabaseSettingsManager::EndAccess()
{
    if (m_nesting == 0)
        return;
    --m_nesting;
    if (m_nesting > 0 || !m_cache)
        return;
    m_relocate = true;
    try {
        SaveCache();
    } catch (...) {
        // The cache stays open in memory with all its changes; the next close
        // writes it again and Flush sends it from memory.
        return;
    }
    CloseCache();
}

void TDatabaseSettingsManager::OpenCache()
{
    m_cache = std::make_unique<ClientRecordSet>();
    try {
        // A cache file that has gone or cannot be read is rebuilt as at start.
        if (!LoadCacheFromFile())
            LoadCacheFromDatabase();
        m_cache->SetIndexFieldNames(kScopeFields);
    } catch (...) {
        CloseCache();
        throw;
    }
    m_relocate = true;
}

void TDatabaseSettingsManager::CloseCache()
{
    m_cache.reset();
    m_baseRows = DataPacket();
    m_relocate = true;
}

void TDatabaseSettingsManager::LoadCacheFromDatabase()
{
    const DataPackets packets = m_connection.GetSettings(m_userName, m_computerName);
    if (packets.isEmpty())
        throw EDatabaseError(QStringLiteral("The settings could not be read"));
    m_baseRows = packets.first();
    m_cache->LoadFromPacket(m_baseRows);
}

void TDatabaseSettingsManager::SaveCache() const
{
    QSaveFile file(m_cacheFileName);
    const auto fail = [&](const QString& reason) {
        return ETessarynError(QStringLiteral("Cannot write the settings cache \"%1\": %2").arg(m_cacheFileName, reason));
    };
    if (!file.open(QIODevice::WriteOnly))
        throw fail(file.errorString());
    QDataStream out(&file);
    out.setVersion(QDataStream::Qt_6_0);
    out << kCacheMagic << kCacheVersion;
    out << qint32(m_baseRows.fields.size());
    for (const TFieldDef& field : m_baseRows.fields)
        out << field.name << qint32(field.type);
    out << qint32(m_baseRows.rows.size());
    for (const auto& row : m_baseRows.rows)
        WriteValues(out, row);
    const Delta delta = m_cache->GetDelta();
    out << qint32(delta.rows.size());
    for (const TDeltaRow& row : delta.rows) {
        out << qint32(row.kind);
        WriteValues(out, row.oldValues);
        WriteValues(out, row.newValues);
        out << row.assigned;
    }
    out << kCacheMagic;
    if (out.status() != QDataStream::Ok)
        throw fail(file.errorString());
    if (!file.commit())
        throw fail(file.errorString());
}

bool TDatabaseSettingsManager::LoadCacheFromFile()
{
    QFile file(m_cacheFileName);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QDataStream in(&file);
    in.setVersion(QDataStream::Qt_6_0);
    quint32 magic = 0;
    qint32 version = 0, fieldCount = -1;
    in >> magic >> version >> fieldCount;
    if (in.status() != QDataStream::Ok || magic != kCacheMagic || version != kCacheVersion || fieldCount < 0
        || fieldCount > 1000)
        return false;
    DataPacket base;
    for (qint32 i = 0; i < fieldCount; ++i) {
        TFieldDef field;
        qint32 type = -1;
        in >> field.name >> type;
        if (type < int(TFieldType::Integer) || type > int(TFieldType::Boolean))
            return false;
        field.type = TFieldType(type);
        base.fields.append(field);
    }
    for (const QString& name : {kUser, kComputer, kKey, kValues})
        if (base.FieldIndex(name) < 0)
            return false;
    qint32 rowCount = -1;
    in >> rowCount;
    if (in.status() != QDataStream::Ok || rowCount < 0)
        return false;
    for (qint32 i = 0; i < rowCount; ++i) {
        QList<QVariant> row;
        if (!ReadValues(in, row, fieldCount))
            return false;
        base.rows.append(row);
    }

    // The change log is replayed on the stored rows, which logs every change
    // again, in the same order.
    ClientRecordSet& cache = *m_cache;
    cache.LoadFromPacket(base);
    const int user = base.FieldIndex(kUser), computer = base.FieldIndex(kComputer), key = base.FieldIndex(kKey);
    qint32 changeCount = -1;
    in >> changeCount;
    if (in.status() != QDataStream::Ok || changeCount < 0)
        return false;
    for (qint32 i = 0; i < changeCount; ++i) {
        qint32 kind = -1;
        TDeltaRow row;
        in >> kind;
        if (kind < int(TChangeKind::Insert) || kind > int(TChangeKind::Delete))
            return false;
        row.kind = TChangeKind(kind);
        const qsizetype oldCount = row.kind == TChangeKind::Insert ? 0 : fieldCount;
        const qsizetype newCount = row.kind == TChangeKind::Delete ? 0 : fieldCount;
        if (!ReadValues(in, row.oldValues, oldCount) || !ReadValues(in, row.newValues, newCount))
            return false;
        in >> row.assigned;
        if (in.status() != QDataStream::Ok || row.assigned.size() != newCount)
            return false;
        if (row.kind == TChangeKind::Insert) {
            cache.Append();
        } else {
            if (!cache.Locate(kScopeFields, {row.oldValues[user], row.oldValues[computer], row.oldValues[key]}))
                return false;
            if (row.kind == TChangeKind::Delete) {
                cache.Delete();
                continue;
            }
            cache.Edit();
        }
        for (int f = 0; f < fieldCount; ++f)
            if (row.assigned[f])
                cache.SetValue(base.fields[f].name, row.newValues[f]);
        cache.Post();
    }
    quint32 endMark = 0;
    in >> endMark;
    if (in.status() != QDataStream::Ok || endMark != kCacheMagic || !in.atEnd())
        return false;
    m_baseRows = base;
    return true;
}

// --- sections -----------------------------------------------------------------

bool TDatabaseSettingsManager::LocateSection(const QString& key)
{
    return m_cache->Locate(kScopeFields, {m_scopeUser, m_scopeComputer, key}, true);
}

void TDatabaseSettingsManager::LoadValues()
{
    m_values = SplitLines(m_cache->AsString(kValues));
}

bool TDatabaseSettingsManager::DoSelectSection(const QString& section)
{
    QString path = section;
    if (path != kCurrent && !path.isEmpty() && !path.endsWith(QLatin1Char('\\')))
        path += QLatin1Char('\\');
    if (path == kCurrent) {
        if (!m_relocate)
            return true;
        path = m_currentSection;
    } else if (path == m_currentSection && !m_relocate) {
        return true;
    }

    const QString key = m_keyPrefix + path;
    if (!LocateSection(key)) {
        try {
            m_cache->Append();
            m_cache->SetValue(kUser, m_scopeUser);
            m_cache->SetValue(kComputer, m_scopeComputer);
            m_cache->SetValue(kKey, key);
            m_cache->Post();
        } catch (const ETessarynError&) {
            m_cache->Cancel();
            return false;
        }
        if (!LocateSection(key))
            return false;
    }
    m_currentSection = path;
    LoadValues();
    m_relocate = false;
    return true;
}

bool TDatabaseSettingsManager::SelectSection(const QString& section)
{
    TSettingsAccess access(*this);
    try {
        return DoSelectSection(section);
    } catch (const ETessarynError&) {
        return false;
    }
}

void TDatabaseSettingsManager::SetKeyPrefix(const QString& prefix)
{
    if (prefix != m_keyPrefix)
        m_relocate = true;
    m_keyPrefix = prefix;
}

// --- scopes -------------------------------------------------------------------

void TDatabaseSettingsManager::SetScope(const QString& user, const QString& computer)
{
    if (user != m_scopeUser || computer != m_scopeComputer)
        m_relocate = true;
    m_scopeUser = user;
    m_scopeComputer = computer;
}

void TDatabaseSettingsManager::UseAllUsersAllComputers() { SetScope(kAll, kAll); }
void TDatabaseSettingsManager::UseAllUsersThisComputer() { SetScope(kAll, m_computerName); }
void TDatabaseSettingsManager::UseUserAllComputers() { SetScope(m_userName, kAll); }
void TDatabaseSettingsManager::UseUserThisComputer() { SetScope(m_userName, m_computerName); }

// --- reading and writing values -------------------------------------------------

bool TDatabaseSettingsManager::ReadText(const QString& name, const QString& section, QString& text)
{
    TSettingsAccess access(*this);
    try {
        if (!DoSelectSection(section))
            return false;
        const int index = IndexOfName(m_values, name);
        if (index < 0)
            return false;
        const QString& line = m_values[index];
        const QString value = line.mid(line.indexOf(QLatin1Char('=')) + 1);
        if (value.isEmpty())
            return false;
        text = value;
        return true;
    } catch (const ETessarynError&) {
        return false;
    }
}

void TDatabaseSettingsManager::StoreValuesText(const QString& text)
{
    m_cache->Edit();
    m_cache->SetValue(kValues, text);
    m_cache->Post();
    m_values = SplitLines(text);
}

void TDatabaseSettingsManager::WriteValue(const QString& name, const QString& value, const QString& section)
{
    TSettingsAccess access(*this);
    if (!DoSelectSection(section))
        throw ETessarynError(QStringLiteral("The settings section \"%1\" could not be created").arg(section));
    QStringList lines = m_values;
    const QString line = name + QLatin1Char('=') + value;
    const int index = IndexOfName(lines, name);
    if (index >= 0)
        lines[index] = line;
    else
        lines.append(line);
    StoreValuesText(lines.join(kLineBreak));
}

bool TDatabaseSettingsManager::ReadObjectState(QObject* object, const QString& section)
{
    Q_UNUSED(object);
    Q_UNUSED(section);
    return true;
}

void TDatabaseSettingsManager::WriteObjectState(QObject* object, const QString& section)
{
    Q_UNUSED(object);
    Q_UNUSED(section);
}

QString TDatabaseSettingsManager::ReadString(const QString& name, const QString& defaultValue, const QString& section)
{
    QString text;
    return ReadText(name, section, text) ? text : defaultValue;
}

// A typed read of a missing value gives the default itself: encoding it and
// decoding it again would give the same value.
bool TDatabaseSettingsManager::ReadBool(const QString& name, bool defaultValue, const QString& section)
{
    QString text;
    return ReadText(name, section, text) ? text == QLatin1String("1") : defaultValue;
}

int TDatabaseSettingsManager::ReadInteger(const QString& name, int defaultValue, const QString& section)
{
    QString text;
    return ReadText(name, section, text) ? DecodeInteger(text) : defaultValue;
}

double TDatabaseSettingsManager::ReadFloat(const QString& name, const QString& section, double defaultValue)
{
    QString text;
    return ReadText(name, section, text) ? DecodeFloat(text) : defaultValue;
}

QDate TDatabaseSettingsManager::ReadDate(const QString& name, const QString& section, const QDate& defaultValue)
{
    QString text;
    return ReadText(name, section, text) ? DecodeDate(text) : defaultValue;
}

QDateTime TDatabaseSettingsManager::ReadDateTime(const QString& name, const QString& section,
                                                 const QDateTime& defaultValue)
{
    QString text;
    return ReadText(name, section, text) ? DecodeDateTime(text) : defaultValue;
}

QTime TDatabaseSettingsManager::ReadTime(const QString& name, const QString& section, const QTime& defaultValue)
{
    QString text;
    return ReadText(name, section, text) ? DecodeTime(text) : defaultValue;
}

void TDatabaseSettingsManager::WriteString(const QString& name, const QString& value, const QString& section)
{
    WriteValue(name, value, section);
}

void TDatabaseSettingsManager::WriteBool(const QString& name, bool value, const QString& section)
{
    WriteValue(name, EncodeBool(value), section);
}

void TDatabaseSettingsManager::WriteInteger(const QString& name, int value, const QString& section)
{
    WriteValue(name, QString::number(value), section);
}

void TDatabaseSettingsManager::WriteFloat(const QString& name, const QString& section, double value)
{
    WriteValue(name, EncodeFloat(value), section);
}

// An invalid date or time is written as an empty value, which reads back as
// absent (the caller's default) instead of as text that no read accepts.
void TDatabaseSettingsManager::WriteDate(const QString& name, const QString& section, const QDate& value)
{
    WriteValue(name, value.isValid() ? EncodeDate(value) : QString(), section);
}

void TDatabaseSettingsManager::WriteDateTime(const QString& name, const QString& section, const QDateTime& value)
{
    WriteValue(name, value.isValid() ? EncodeDateTime(value) : QString(), section);
}

void TDatabaseSettingsManager::WriteTime(const QString& name, const QString& section, const QTime& value)
{
    WriteValue(name, value.isValid() ? EncodeTime(value) : QString(), section);
}

// --- string lists and whole sections -----------------------------------------

bool TDatabaseSettingsManager::ReadStrings(QStringList& list, const QString& section)
{
    list.clear();
    try {
        TSettingsAccess access(*this);
        if (!DoSelectSection(section))
            return false;
        const QVariant text = m_cache->Value(kValues);
        if (!text.isNull() && text.toString() != kEmptyList)
            list = SplitLines(text.toString());
        return true;
    } catch (const ETessarynError&) {
        return false;
    }
}

void TDatabaseSettingsManager::WriteStrings(const QStringList& list, const QString& section)
{
    TSettingsAccess access(*this);
    if (!DoSelectSection(section))
        throw ETessarynError(QStringLiteral("The settings section \"%1\" could not be created").arg(section));
    StoreValuesText(list.isEmpty() ? kEmptyList : list.join(kLineBreak));
}

int TDatabaseSettingsManager::ReadSection(QStringList& names, QStringList* values, const QString& section)
{
    try {
        TSettingsAccess access(*this);
        if (!DoSelectSection(section))
            return 1;
        for (const QString& line : std::as_const(m_values)) {
            const QString name = NamePart(line);
            if (name.isEmpty())
                continue;
            names.append(name);
            if (values)
                values->append(line.mid(name.size() + 1));
        }
        return 0;
    } catch (const ETessarynError&) {
        return 1;
    }
}

void TDatabaseSettingsManager::ReadSectionNames(QStringList& names)
{
    for (const QString& line : std::as_const(m_values))
        names.append(NamePart(line));
}

int TDatabaseSettingsManager::WriteSection(const QStringList& names, const QStringList* values, const QString& section)
{
    try {
        TSettingsAccess access(*this);
        if (!DoSelectSection(section))
            return 1;
        for (int i = 0; i < names.size(); ++i) {
            if (values && i >= values->size())
                return 1;
            WriteValue(names[i], values ? values->at(i) : QString(), kCurrent);
        }
        return 0;
    } catch (const ETessarynError&) {
        return 1;
    }
}

bool TDatabaseSettingsManager::ValueExists(const QString& name)
{
    const int index = IndexOfName(m_values, name);
    return index >= 0 && m_values[index].size() > m_values[index].indexOf(QLatin1Char('=')) + 1;
}

// --- erasing ------------------------------------------------------------------

void TDatabaseSettingsManager::EraseSection(const QString& section)
{
    QString path = section == kCurrent ? m_currentSection : section;
    if (!path.endsWith(QLatin1Char('\\')))
        path += QLatin1Char('\\');
    const QString prefix = m_keyPrefix + path;
    {
        TSettingsAccess access(*this);
        ClientRecordSet& cache = *m_cache;
        // The section and every section below it, in the selected scope only.
        cache.First();
        while (!cache.Eof()) {
            if (cache.AsString(kUser).compare(m_scopeUser, Qt::CaseInsensitive) == 0
                && cache.AsString(kComputer).compare(m_scopeComputer, Qt::CaseInsensitive) == 0
                && cache.AsString(kKey).startsWith(prefix, Qt::CaseInsensitive))
                cache.Delete();   // the cursor moves on to the next row
            else
                cache.Next();
        }
    }
    m_currentSection.clear();
    m_values.clear();
    m_relocate = true;
}

// --- control keys ---------------------------------------------------------------

QString TDatabaseSettingsManager::GetControlKey(const QObject* control)
{
    const QString unknown = QStringLiteral("Unknown\\");
    try {
        if (!control || control->objectName().isEmpty())
            return unknown;
        const QObject* window = nullptr;
        for (const QObject* parent = control->parent(); parent; parent = parent->parent()) {
            const QString className = QString::fromLatin1(parent->metaObject()->className());
            if (className.startsWith(QLatin1String("Tfrm")) || className.startsWith(QLatin1String("TFrm"))) {
                window = parent;
                break;
            }
            if (!parent->parent())
                window = parent;
        }
        if (!window)
            return unknown;
        const QString windowSection = QString::fromLatin1(window->metaObject()->className()) + QLatin1Char('\\');
        const QString controlPart = control->objectName() + QLatin1Char('\\');
        if (window->property(PersistentWindowProperty).toBool())
            return windowSection + controlPart;
        return QStringLiteral("Forms\\") + windowSection + controlPart;
    } catch (...) {
        return unknown;
    }
}

// --- sending the changes ------------------------------------------------------

void TDatabaseSettingsManager::DiscardCache()
{
    m_nesting = 0;
    CloseCache();
    QFile::remove(m_cacheFileName);
}

void TDatabaseSettingsManager::Flush()
{
    TSettingsAccess access(*this);
    if (m_cache->HasChanges()) {
        const Delta delta = m_cache->GetDelta();
        if (!delta.IsEmpty())
            m_connection.ApplySettingsUpdates(delta);
        m_cache->MergeChangeLog();
        m_baseRows = m_cache->ToPacket();
    }
    m_relocate = true;
}
