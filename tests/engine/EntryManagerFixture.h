#pragma once

#include "TestFiles.h"
#include "RecordingDesktop.h"
#include "TestDatabase.h"
#include "TestEnv.h"
#include "app/Errors.h"
#include "engine/Category.h"
#include "engine/EntryData.h"
#include "engine/EntryManager.h"
#include "engine/FileHelpers.h"
#include "engine/FileLists.h"
#include "engine/OpenEntries.h"
#include "engine/dDB.h"
#include "settings/dmMain.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <utility>

// Readable texts in failure messages.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

using TFiles = std::map<QString, QByteArray>;   // relative path -> content

constexpr int kNotes = 7;
constexpr int kArchive = 8;
const QString kNoticeTitle = QStringLiteral("[Tessaryn]|");

// Every file below a folder with its content (empty when the folder is missing).
TFiles FilesBelow(const QString& folder)
{
    TFiles result;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile f(path);
        result[QDir(folder).relativeFilePath(path)] = f.open(QIODevice::ReadOnly) ? f.readAll() : "<unreadable>";
    }
    return result;
}

class EntryManagerTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        qputenv("TESSARYN_HOME", TestEnv::ScratchFolder().toUtf8());
        QSqlQuery q(conn->Database());
        for (const auto& [code, name] : {std::pair{kNotes, "Notes"}, std::pair{kArchive, "Archive"}})
            ASSERT_TRUE(q.exec(QString("insert into categories (code, parent, name) values (%1, 0, '%2')").arg(code).arg(name)))
                << q.lastError().text().toStdString();
        main = std::make_unique<TdmMain>(*conn, desktop);
        ASSERT_TRUE(main->IsInitialized()) << main->InitializationError().toStdString();
        manager = std::make_unique<TEntryManager>(*main, dbModule);
        manager->OpenEntries().ShowEditor = [this](TEntryData* entry, bool isNew) {
            editorShown.append({entry->Code(), isNew});
        };
    }
    void TearDown() override
    {
        manager.reset();
        main.reset();
        EngineTest::TearDown();
    }

    bool Save(TEntryData& entry)
    {
        return entry.Save([this](TEntryData& e) { return dbModule.StoreEntry(e); });
    }

    // A new entry made by the manager, its files written, listed, all marked
    // and stored; returns its code.
    int StoreEntry(const QString& title, const TFiles& files, const QString& password = {})
    {
        std::unique_ptr<TEntryData> entry = manager->CreateNewEntry(false);
        if (!entry)
            return 0;
        for (const auto& [name, content] : files)
            WriteFile(entry->GetFolder() + name, content);
        entry->FolderFiles().ListFolder(entry->GetFolder());
        entry->FolderFiles().SelectAll();
        entry->SetTitle(title);
        entry->SetCategory(main->Categories().FindByCode(kNotes));
        if (!password.isEmpty()) {
            entry->SetPasswordProtected(true);
            entry->SetPassword(password);
        }
        EXPECT_TRUE(Save(*entry)) << desktop.MessageTexts().join(" / ").toStdString();
        return entry->Code();
    }

    QString FolderOf(int code) const { return main->App.ExtractFolder + QString::number(code) + "/"; }

    QVariant Column(int code, const QString& column)
    {
        QSqlQuery q(conn->Database());
        q.prepare(QString("select %1 from entries where code = ?").arg(column));
        q.addBindValue(code);
        EXPECT_TRUE(q.exec()) << q.lastError().text().toStdString();
        return q.next() ? q.value(0) : QVariant();
    }

    RecordingDesktop desktop;
    TdmDB dbModule;
    std::unique_ptr<TdmMain> main;
    std::unique_ptr<TEntryManager> manager;
    QList<std::pair<int, bool>> editorShown;   // code, isNew
};

} // namespace
