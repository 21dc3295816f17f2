#pragma once

#include "RecordingDesktop.h"
#include "TestDatabase.h"
#include "TestEnv.h"

#include <QByteArray>
#include <QMap>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>
#include <ostream>

// Readable texts in the failure messages.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

class QMimeData;
class QTableWidget;
class QWidget;
class TdmMain;
class TEntryData;
class TfrmEntry;

// A real database with two categories, the main data module over it and the
// editor windows installed into its entry manager's registry, as the main
// window does at start-up.
class EditorTest : public EngineTest {
protected:
    static constexpr int kNotes = 7;
    static constexpr int kArchive = 8;
    static constexpr int kLetters = 9;   // below Archive

    void SetUp() override;
    void TearDown() override;

    // A new entry (watching its folder, as the capture commands make them)
    // with the files written into its folder, listed and all marked.
    std::unique_ptr<TEntryData> NewEntry(const QMap<QString, QByteArray>& files);
    // Same, stored with a title and the category Notes; its code.
    int StoredEntry(const QString& title, const QMap<QString, QByteArray>& files);
    // Opens the entry in a docked editor ("Edit multiple entries" on) and
    // returns the editor.
    TfrmEntry* OpenDocked(std::unique_ptr<TEntryData> entry, bool isNew);
    TfrmEntry* EditDocked(int code);
    // The docked editor of that code, its window made active.
    TfrmEntry* DockedEditor(int code);

    // Runs body on the modal editor once it is shown; an editor that body
    // leaves open is hidden (a test failure), so that the modal loop ends.
    void WhenModalEditorShown(std::function<void(TfrmEntry&)> body);

    // A drop of mime at pos of widget, delivered to the window around it
    // that takes drops, as the window system does.
    static void DropOn(QWidget* widget, const QPoint& pos, const QMimeData& mime);
    // The names the grid shows, in its order.
    static QStringList GridNames(TfrmEntry& editor);
    static QTableWidget* Grid(TfrmEntry& editor);

    QVariant Column(int code, const QString& column);
    bool RowExists(int code);
    // The members of the entry's stored archive, listed by Info-ZIP's unzip.
    QStringList ArchiveMembers(int code);

    RecordingDesktop desktop;
    std::unique_ptr<TdmMain> main;
};

#define TESSARYN_INSTANTIATE_SQLITE(Suite) \
    INSTANTIATE_TEST_SUITE_P(SQLite, Suite, ::testing::Values(TEngine::SQLite), EngineName)
