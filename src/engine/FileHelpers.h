#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

// File and folder helpers of the engine. Paths are plain text; folder paths
// end with "/". None of these functions throws: the shell-like operations
// report success through their result, the queries answer 0 or empty when
// the path is not there.

// Attribute bits for ListFiles. A file is either hidden (its name begins with
// ".") or normal; folders carry the directory bit.
enum TFileAttribute : int {
    faNormal = 0x01,
    faHidden = 0x02,
    faDirectory = 0x10,
    faAnyFile = faNormal | faHidden | faDirectory
};

// The path with a final "/" added when missing; "/" for an empty path.
QString IncludeTrailingBackslash(const QString& path);
// The path without its final "/". The root "/" is kept as it is: an empty
// path would mean the current folder to every function that gets it next.
QString ExcludeTrailingBackslash(const QString& path);

// Saved web pages: a name ending with ".htm" or ".html" (any case), and the
// folder the browser saved beside it ("page.htm" -> "page_files").
bool IsHtmlPage(const QString& name);
// Empty for a name that is no web page.
QString CompanionFolderName(const QString& name);
// The file name up to its first ".", upper-cased; the name unchanged when it
// has no ".".
QString HtmlBaseName(const QString& name);

// Size of the file at path; 0 for a folder or when nothing is there.
qint64 FileSizeOf(const QString& path);
// Sum of the sizes of all files below path, recursively (links to folders are
// not followed).
qint64 FolderSize(const QString& path);
// True when the files below path hold no bytes at all: a folder of empty
// files counts as empty.
bool IsFolderEmpty(const QString& path);
// Deletes, recursively, every file last written before moment. Files that
// cannot be deleted are left alone.
void DeleteFilesOlderThan(const QString& path, const QDateTime& moment);
// Deletes every subfolder of path (not path itself) that IsFolderEmpty,
// deepest first, together with the empty files it holds.
void DeleteEmptySubfolders(const QString& path);

// Collects files below path into list (emptied first when clear). Files are
// taken when their lower-cased name contains the lower-cased filter (an empty
// filter takes all) and their attribute bits meet attributeMask. Subfolders
// are entered only when recurse, and then listed before their content when
// includeFolders. Each folder is walked in name order (byte order), so the
// result is repeatable. Links to folders are listed as folders but not
// entered. Entries are full paths or bare names. Returns true when a folder
// that cannot be read (the starting one included) interrupted the walk.
bool ListFiles(const QString& path, const QString& filter, int attributeMask, bool clear,
               bool recurse, bool includeFolders, bool fullPaths, QStringList& list);

// Deletes a file, a folder with its content, or every entry matching a
// wildcard pattern in the last part of path ("dir/*.*" matches every name,
// also names without a dot; "*" and "?" as usual). There is no recycle bin
// and nothing is shown: confirmation is the caller's business (it asks
// through the desktop interface before calling), so confirm, silent and
// allowUndo do not change what happens. A link is removed, never followed.
// Returns false when path is empty, is the root folder, names nothing, or an
// entry could not be deleted.
bool ShellDelete(const QString& path, bool confirm = false, bool silent = true,
                 bool allowUndo = false);

// Renames from to the name to. Never replaces an existing entry: returns false
// when to is taken by something else.
bool ShellRename(const QString& from, const QString& to);

// Copy and move of a file or a whole folder, silent. from may also end in a
// wildcard pattern, which moves or copies every match into the folder to.
//
// Where the item goes: into the folder to (under its own name) when to ends
// with "/" or is an existing folder, otherwise to the path to itself. Missing
// folders on the way are created. An existing entry is never overwritten nor
// merged into: when the target name is taken, the item gets the first free
// name of the form "name (2).ext", "name (3).ext", ... (see UniqueTargetPath).
// Copies keep the last-write times of the files. Moving a folder into itself
// is refused.
bool ShellMove(const QString& from, const QString& to);
bool ShellCopy(const QString& from, const QString& to);

// path itself when nothing is there; otherwise the first of "base (2).ext",
// "base (3).ext", ... that is free. A folder's name, and a file name without
// a dot or with only a leading one (".profile"), is numbered at its end.
QString UniqueTargetPath(const QString& path, bool isFolder = false);

// The program's version, "major.minor" (shortForm) or "major.minor.patch.0";
// empty when the build did not say.
QString VersionText(bool shortForm);

// Appends value unless the list already holds it.
template <typename T>
void AddUnique(QList<T>& list, const T& value)
{
    if (!list.contains(value))
        list.append(value);
}

// Codes as decimal texts joined by "," without blanks ("4,9,12"); empty for
// an empty list.
QString CodesToCommaText(const QList<int>& codes);
// Clears codes, splits text at its commas and appends every element that is a
// decimal integer, in order; blanks around an element and double quotes
// around it are dropped, other elements are skipped ("4,,x,9" gives 4 and 9).
void CommaTextToCodes(const QString& text, QList<int>& codes);

// A new GUID: 36 characters, upper-case hexadecimal in groups 8-4-4-4-12,
// no braces.
QString NewGuidText();

// A size for a file list row: "1023 bytes", "1.0 Kb" (above 1023 bytes, in
// kilobytes with one decimal and the locale's decimal separator).
QString FormatFileSize(qint64 size);

// Local time as yyyyMMdd_hhmmsszzz (for example 20240131_235959042), used in
// generated file names.
QString TimeStampText();
QString TimeStampText(const QDateTime& moment);
