#pragma once

#include "db/DataPacket.h"
#include "settings/ISettingsManager.h"

#include <QString>
#include <QStringList>
#include <memory>

class ClientRecordSet;
class TdmConnection;
class TUser;

// The settings store over the *settings* table. Each row is one section
// (INI-like "name=value" lines in _values) of one scope (user or "ALL",
// computer or "ALL"), keyed by the key prefix followed by the section path.
//
// The database is read once, at creation, into a private cache file in the
// data folder; every read and write works on that file (opened between the
// outermost BeginAccess and EndAccess), and Flush sends everything that changed
// back as one delta. The cache file keeps the rows as they were last read from
// or written to the database together with the change log made since, so
// pending changes survive closing and reopening the cache.
//
// The window of a control (GetControlKey) is its nearest ancestor whose class
// name begins with "Tfrm" or "TFrm" (window classes declare Q_OBJECT), or its
// top-most ancestor when there is none. A window is a persistent window when
// it carries the dynamic property PersistentWindowProperty set to true; its
// controls then keep their data below the window's own section.
class TDatabaseSettingsManager : public ISettingsManager {
public:
    static constexpr const char* PersistentWindowProperty = "tessarynPersistent";

    // computerName: empty for the operating system's host name. keyPrefix:
    // empty for the running executable's upper-cased base name followed by a
    // backslash. cacheFolder ends with "/". Reads the scope's rows from the
    // database and rewrites the cache file; errors propagate.
    TDatabaseSettingsManager(TdmConnection& connection, const TUser& user, const QString& cacheFolder,
                             const QString& computerName = QString(), const QString& keyPrefix = QString());
    ~TDatabaseSettingsManager() override;
    TDatabaseSettingsManager(const TDatabaseSettingsManager&) = delete;
    TDatabaseSettingsManager& operator=(const TDatabaseSettingsManager&) = delete;

    // The key prefix derived from the running executable, e.g. "TESSARYN\".
    static QString ExecutableKeyPrefix();
    // The computer name used when the caller gives none.
    static QString LocalComputerName();

    QString CacheFileName() const { return m_cacheFileName; }
    QString UserName() const { return m_userName; }
    QString ComputerName() const { return m_computerName; }
    bool CacheOpen() const { return m_cache != nullptr; }
    int AccessDepth() const { return m_nesting; }

    // ISettingsManager
    QString GetKeyPrefix() const override { return m_keyPrefix; }
    void SetKeyPrefix(const QString& prefix) override;
    QString GetCurrentSection() const override { return m_currentSection; }
    bool SelectSection(const QString& section) override;

    bool ReadObjectState(QObject* object, const QString& section) override;
    bool ReadBool(const QString& name, bool defaultValue, const QString& section = QStringLiteral("*")) override;
    QDate ReadDate(const QString& name, const QString& section, const QDate& defaultValue) override;
    QDateTime ReadDateTime(const QString& name, const QString& section, const QDateTime& defaultValue) override;
    double ReadFloat(const QString& name, const QString& section, double defaultValue) override;
    int ReadInteger(const QString& name, int defaultValue, const QString& section = QStringLiteral("*")) override;
    QString ReadString(const QString& name, const QString& defaultValue,
                       const QString& section = QStringLiteral("*")) override;
    bool ReadStrings(QStringList& list, const QString& section = QStringLiteral("*")) override;
    QTime ReadTime(const QString& name, const QString& section, const QTime& defaultValue) override;

    void WriteObjectState(QObject* object, const QString& section) override;
    void WriteBool(const QString& name, bool value, const QString& section = QStringLiteral("*")) override;
    void WriteDate(const QString& name, const QString& section, const QDate& value) override;
    void WriteDateTime(const QString& name, const QString& section, const QDateTime& value) override;
    void WriteFloat(const QString& name, const QString& section, double value) override;
    void WriteInteger(const QString& name, int value, const QString& section = QStringLiteral("*")) override;
    void WriteString(const QString& name, const QString& value, const QString& section = QStringLiteral("*")) override;
    void WriteStrings(const QStringList& list, const QString& section = QStringLiteral("*")) override;
    void WriteTime(const QString& name, const QString& section, const QTime& value) override;

    void UseAllUsersAllComputers() override;
    void UseAllUsersThisComputer() override;
    void UseUserAllComputers() override;
    void UseUserThisComputer() override;

    void EraseSection(const QString& section) override;
    QString GetControlKey(const QObject* control) override;
    void ReadSectionNames(QStringList& names) override;
    int ReadSection(QStringList& names, QStringList* values, const QString& section = QStringLiteral("*")) override;
    int WriteSection(const QStringList& names, const QStringList* values,
                     const QString& section = QStringLiteral("*")) override;
    bool ValueExists(const QString& name) override;

    void BeginAccess() override;
    // Never raises: when the cache file cannot be written the cache stays
    // open in memory, so no change is lost, and the next close tries again.
    void EndAccess() override;
    void Flush() override;
    // Forgets every setting held here or in the cache file, changes not yet
    // sent included: the next access reads the database afresh (after the
    // database was replaced by a restore).
    void DiscardCache();

private:
    void SetScope(const QString& user, const QString& computer);

    // Cache file
    void OpenCache();
    void LoadCacheFromDatabase();
    bool LoadCacheFromFile();
    void SaveCache() const;
    void CloseCache();

    // Sections and values (inside a bracket)
    bool DoSelectSection(const QString& section);
    bool LocateSection(const QString& key);
    void LoadValues();
    void StoreValuesText(const QString& text);
    // The non-empty stored text of a value; false when there is none.
    bool ReadText(const QString& name, const QString& section, QString& text);
    void WriteValue(const QString& name, const QString& value, const QString& section);

    TdmConnection& m_connection;
    QString m_userName;
    QString m_computerName;
    QString m_cacheFileName;
    QString m_keyPrefix;
    QString m_scopeUser;
    QString m_scopeComputer;
    QString m_currentSection;
    bool m_relocate = true;
    int m_nesting = 0;
    QStringList m_values;

    // Present only while the cache is open: the rows as last read from or
    // written to the database, and the record set holding them with the
    // changes made since.
    DataPacket m_baseRows;
    std::unique_ptr<ClientRecordSet> m_cache;
};
