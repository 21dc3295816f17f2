#include "EditorFixture.h"

#include "app/AppResources.h"
#include "editing/fEntry.h"
#include "editing/fOpenEntries.h"
#include "engine/Category.h"
#include "engine/EntryData.h"
#include "engine/EntryManager.h"
#include "engine/FileLists.h"
#include "engine/dDB.h"
#include "settings/dmMain.h"

#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QPointer>
#include <QSqlError>
#include <QSqlQuery>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

void EditorTest::SetUp()
{
    EngineTest::SetUp();
    if (IsSkipped() || HasFatalFailure())
        return;
    qputenv("TESSARYN_HOME", TestEnv::ScratchFolder().toUtf8());
    QSqlQuery q(conn->Database());
    const struct {
        int code;
        int parent;
        const char* name;
    } categories[] = {{kNotes, 0, "Notes"}, {kArchive, 0, "Archive"}, {kLetters, kArchive, "Letters"}};
    for (const auto& c : categories)
        ASSERT_TRUE(q.exec(QString("insert into categories (code, parent, name) values (%1, %2, '%3')")
                               .arg(c.code)
                               .arg(c.parent)
                               .arg(c.name)))
            << q.lastError().text().toStdString();
    main = std::make_unique<TdmMain>(*conn, desktop);
    ASSERT_TRUE(main->IsInitialized()) << main->InitializationError().toStdString();
    InstallEntryEditors(*main);
    TAppResources::Register();
}

void EditorTest::TearDown()
{
    if (main) {
        UninstallEntryEditors(*main);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        main.reset();
    }
    EngineTest::TearDown();
}

std::unique_ptr<TEntryData> EditorTest::NewEntry(const QMap<QString, QByteArray>& files)
{
    std::unique_ptr<TEntryData> entry = main->EntryManager().CreateNewEntry(true);
    if (!entry)
        return nullptr;
    for (auto it = files.begin(); it != files.end(); ++it) {
        QFile f(entry->GetFolder() + it.key());
        EXPECT_TRUE(f.open(QIODevice::WriteOnly)) << it.key().toStdString();
        f.write(it.value());
    }
    entry->FolderFiles().ListFolder(entry->GetFolder());
    entry->FolderFiles().SelectAll();
    return entry;
}

int EditorTest::StoredEntry(const QString& title, const QMap<QString, QByteArray>& files)
{
    std::unique_ptr<TEntryData> entry = NewEntry(files);
    if (!entry)
        return 0;
    entry->SetTitle(title);
    entry->SetCategory(main->Categories().FindByCode(kNotes));
    TdmDB& db = main->DB();
    EXPECT_TRUE(entry->Save([&db](TEntryData& e) { return db.StoreEntry(e); }))
        << desktop.MessageTexts().join(" / ").toStdString();
    return entry->Code();
}

TfrmEntry* EditorTest::OpenDocked(std::unique_ptr<TEntryData> entry, bool isNew)
{
    main->App.EditMultipleEntries = true;
    const int code = entry->Code();
    main->EntryManager().ShowEntryEditor(entry.release(), isNew);
    return DockedEditor(code);
}

TfrmEntry* EditorTest::DockedEditor(int code)
{
    TfrmOpenEntries* window = TfrmOpenEntries::Instance();
    if (!window)
        return nullptr;
    // The keys typed in a test go where the user's would: into the active window.
    window->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(window, 2000));
    return window->FindEditor(code);
}

TfrmEntry* EditorTest::EditDocked(int code)
{
    main->App.EditMultipleEntries = true;
    main->EntryManager().EditEntry(code);
    return DockedEditor(code);
}

void EditorTest::WhenModalEditorShown(std::function<void(TfrmEntry&)> body)
{
    QTimer::singleShot(0, [body = std::move(body)] {
        QPointer<TfrmEntry> editor;
        const bool shown = TestEnv::WaitFor([&] {
            editor = ModalEntryEditor();
            return editor && editor->isVisible();
        });
        if (!shown) {
            ADD_FAILURE() << "no modal editor was shown";
            return;
        }
        body(*editor);
        if (editor && editor->isVisible()) {
            ADD_FAILURE() << "the editor was left open";
            editor->hide();
        }
    });
}

void EditorTest::DropOn(QWidget* widget, const QPoint& pos, const QMimeData& mime)
{
    QWidget* target = widget;
    QPoint at = pos;
    while (target && !target->acceptDrops()) {
        at = target->mapToParent(at);
        target = target->parentWidget();
    }
    ASSERT_NE(target, nullptr) << "nothing around takes drops";
    const Qt::DropActions actions = Qt::CopyAction | Qt::LinkAction;
    QDragEnterEvent enter(at, actions, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    ASSERT_TRUE(enter.isAccepted()) << "the drop was refused";
    QDropEvent drop(QPointF(at), actions, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
}

QTableWidget* EditorTest::Grid(TfrmEntry& editor)
{
    return editor.findChild<QTableWidget*>("grFolderFiles");
}

QStringList EditorTest::GridNames(TfrmEntry& editor)
{
    QStringList names;
    const TEntryData* entry = editor.Entry();
    if (!entry)
        return names;
    TFolderFiles& files = const_cast<TEntryData*>(entry)->FolderFiles();
    // The rows the grid has must be the list's rows.
    EXPECT_EQ(Grid(editor)->rowCount(), qMax(1, files.Count()));
    for (int i = 0; i < files.Count(); ++i)
        names << files.Items(i)->Name();
    return names;
}

QVariant EditorTest::Column(int code, const QString& column)
{
    QSqlQuery q(conn->Database());
    q.prepare(QString("select %1 from entries where code = ?").arg(column));
    q.addBindValue(code);
    EXPECT_TRUE(q.exec()) << q.lastError().text().toStdString();
    return q.next() ? q.value(0) : QVariant();
}

bool EditorTest::RowExists(int code)
{
    return Column(code, "code").isValid();
}

QStringList EditorTest::ArchiveMembers(int code)
{
    const QByteArray archive = Column(code, "Items").toByteArray();
    if (archive.isEmpty())
        return {};
    const QString path = TestEnv::ScratchFolder() + "stored.zip";
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return {};
    f.write(archive);
    f.close();
    QString output;
    EXPECT_EQ(TestEnv::Run("unzip", {"-Z1", path}, &output), 0) << output.toStdString();
    QStringList members = output.split('\n', Qt::SkipEmptyParts);
    members.sort();
    return members;
}
