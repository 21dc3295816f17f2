#pragma once

#include "settings/AppSettings.h"

#include <QList>
#include <QString>
#include <variant>

// The settings catalogue: every application setting once, with its key,
// section, scope and how it is stored. Defaults live in TAppSettings.
struct TSettingDef {
    enum TScope { UserThisComputer, UserAllComputers };
    enum TKind { Plain, Folder };
    using TMember = std::variant<bool TAppSettings::*, int TAppSettings::*, QString TAppSettings::*>;

    QString key;
    QString section;
    TScope scope;
    TMember member;
    TKind kind = Plain;
    bool readOnly = false;     // read, never written
};

const QList<TSettingDef>& SettingsCatalogue();

// The defaults of a fresh installation, folders below `dataFolder` (which ends with "/").
TAppSettings DefaultAppSettings(const QString& dataFolder);
