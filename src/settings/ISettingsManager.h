#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QTime>

class QObject;

// The settings store as the rest of the program sees it. Values live in
// sections (INI-like "name=value" lines) identified by a section path under a
// scope (user or "ALL", computer or "ALL"). Every operation that takes a
// section accepts a path or "*" for the current section.
class ISettingsManager {
public:
    virtual ~ISettingsManager() = default;

    virtual QString GetKeyPrefix() const = 0;
    virtual void SetKeyPrefix(const QString& prefix) = 0;
    virtual QString GetCurrentSection() const = 0;
    virtual bool SelectSection(const QString& section) = 0;

    virtual bool ReadObjectState(QObject* object, const QString& section) = 0;
    virtual bool ReadBool(const QString& name, bool defaultValue, const QString& section = QStringLiteral("*")) = 0;
    virtual QDate ReadDate(const QString& name, const QString& section, const QDate& defaultValue) = 0;
    virtual QDateTime ReadDateTime(const QString& name, const QString& section, const QDateTime& defaultValue) = 0;
    virtual double ReadFloat(const QString& name, const QString& section, double defaultValue) = 0;
    virtual int ReadInteger(const QString& name, int defaultValue, const QString& section = QStringLiteral("*")) = 0;
    virtual QString ReadString(const QString& name, const QString& defaultValue,
                               const QString& section = QStringLiteral("*")) = 0;
    virtual bool ReadStrings(QStringList& list, const QString& section = QStringLiteral("*")) = 0;
    virtual QTime ReadTime(const QString& name, const QString& section, const QTime& defaultValue) = 0;

    virtual void WriteObjectState(QObject* object, const QString& section) = 0;
    virtual void WriteBool(const QString& name, bool value, const QString& section = QStringLiteral("*")) = 0;
    virtual void WriteDate(const QString& name, const QString& section, const QDate& value) = 0;
    virtual void WriteDateTime(const QString& name, const QString& section, const QDateTime& value) = 0;
    virtual void WriteFloat(const QString& name, const QString& section, double value) = 0;
    virtual void WriteInteger(const QString& name, int value, const QString& section = QStringLiteral("*")) = 0;
    virtual void WriteString(const QString& name, const QString& value, const QString& section = QStringLiteral("*")) = 0;
    virtual void WriteStrings(const QStringList& list, const QString& section = QStringLiteral("*")) = 0;
    virtual void WriteTime(const QString& name, const QString& section, const QTime& value) = 0;

    virtual void UseAllUsersAllComputers() = 0;
    virtual void UseAllUsersThisComputer() = 0;
    virtual void UseUserAllComputers() = 0;
    virtual void UseUserThisComputer() = 0;

    virtual void EraseSection(const QString& section) = 0;
    // Section path under which a control keeps its own data. `control` is any
    // QObject; its window is found through its parents.
    virtual QString GetControlKey(const QObject* control) = 0;
    virtual void ReadSectionNames(QStringList& names) = 0;
    virtual int ReadSection(QStringList& names, QStringList* values, const QString& section = QStringLiteral("*")) = 0;
    virtual int WriteSection(const QStringList& names, const QStringList* values,
                             const QString& section = QStringLiteral("*")) = 0;
    virtual bool ValueExists(const QString& name) = 0;

    virtual void BeginAccess() = 0;
    virtual void EndAccess() = 0;
    virtual void Flush() = 0;
};

// One BeginAccess/EndAccess bracket for the lifetime of the object.
class TSettingsAccess {
public:
    explicit TSettingsAccess(ISettingsManager& settings) : m_settings(settings) { m_settings.BeginAccess(); }
    ~TSettingsAccess() { m_settings.EndAccess(); }
    TSettingsAccess(const TSettingsAccess&) = delete;
    TSettingsAccess& operator=(const TSettingsAccess&) = delete;

private:
    ISettingsManager& m_settings;
};
