#pragma once

#include <QString>

class ClientRecordSet;
class TEntryData;
class TEntryFiles;

// Stores an entry's files into its database row and brings them out again.
// Holds no state of its own.
class TdmDB {
public:
    // Packs the marked items (only when they or the password changed), puts the
    // archive into the row, writes the row and its file rows in one
    // transaction, and removes the stored files from the folder when the
    // entry is not open in an editor. False after a message; database errors
    // of the final write propagate.
    bool StoreEntry(TEntryData& entry);

    // Reads the row, asks for the password of a protected entry (cancel ends
    // the calling operation silently), and unpacks everything (name empty, no
    // entryFiles), one item, or the items marked in entryFiles.
    void ExtractEntry(TEntryData& entry, const QString& name = QString(), TEntryFiles* entryFiles = nullptr,
                      int kind = 1);
    // Like ExtractEntry for the whole entry, into a folder emptied first
    // (once the password was given), so that it holds exactly what the
    // stored archive holds: nothing an earlier extraction left there can be
    // stored again, nor pass for the content of an archive that yields
    // nothing. Only for a folder no open entry works in: the caller knows
    // which entries are open. A folder the entry was pointed at (the
    // monitored folder) is never emptied.
    void ExtractEntryAfresh(TEntryData& entry);

    // GetEntry for the entry's code, then LoadFromPacket (which writes the
    // archive to the extract folder).
    void LoadEntryRecord(TEntryData& entry);
    // BuildEntryDelta, then ApplyEntryUpdates.
    void ApplyEntry(TEntryData& entry);

    static bool HasPendingChanges(std::initializer_list<ClientRecordSet*> recordSets);

    // The message of an extraction that left the entry's folder empty.
    static QString NotExtractedText();

private:
    void Extract(TEntryData& entry, const QString& name, TEntryFiles* entryFiles, int kind, bool emptyFolder);
};
