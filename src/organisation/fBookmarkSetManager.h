#pragma once

#include "mainwindow/fStatusBar.h"
#include "organisation/NameDescriptionDialog.h"
#include "settings/dmMain.h"

#include <QDialog>
#include <QString>
#include <functional>

class ClientRecordSet;
class QLineEdit;
class QPushButton;
class TfrmBookmarkSetBrowser;

// The small window in which a bookmark set's name and description are
// typed.
class TFrmEditBookmarkSet : public TNameDescriptionDialog
{
    Q_OBJECT

public:
    static constexpr int HelpContext = 49;
    static const QString NameTooLongText;
    static const QString DescriptionTooLongText;

    explicit TFrmEditBookmarkSet(TdmMain& dmMain, QWidget* parent = nullptr);

    void SetAddMode(bool adding);
    QString Name() const;
    QString Description() const;
    void SetName(const QString& name);
    void SetDescription(const QString& description);

    // Tests answer the window themselves where it is opened for a quick
    // creation (AskNewBookmarkSet): the hook returns whether OK was chosen.
    static std::function<bool(TFrmEditBookmarkSet& dialog)> ExecuteHook;
};

// Creating, renaming, re-describing and deleting bookmark sets. The edits
// stay in the window's own list of sets until "Save"; the program's own
// sets (codes below 100) cannot be changed here.
class TfrmBookmarkSetManager : public TFrmStatusBar, public IColorSchemeObserver
{
    Q_OBJECT

public:
    static constexpr int HelpContext = 49;
    // The result after "Save".
    static constexpr int ResultYes = 6;
    static const QString NewSetName;
    static const QString ReservedSetText;
    static const QString ConfirmDeleteText;
    static const QString SaveChangesText;

    // Loads every set; a refusal of the database is raised.
    explicit TfrmBookmarkSetManager(TdmMain& dmMain, QWidget* parent = nullptr);
    ~TfrmBookmarkSetManager() override;

    TfrmBookmarkSetBrowser* Browser() const { return m_browser; }
    ClientRecordSet& SetsRecordSet() const;
    bool HasPendingChanges() const;

    void NewSet();
    void EditSet();
    void DeleteSet();
    // Sends the changes; false (with the database's message shown) when
    // they could not be stored, which leaves them pending.
    bool DoSave();

    // Shows the set window modally; tests answer it themselves.
    std::function<bool(TFrmEditBookmarkSet& dialog)> ExecuteEditDialog;

    void ApplyColorScheme() override;
    void done(int result) override;

    QPushButton* btnNew;
    QPushButton* btnEdit;
    QPushButton* btnDelete;
    QPushButton* btnSave;
    QPushButton* btnCancel;

protected:
    void FormShow() override;

private:
    void UpdateButtons();
    bool CurrentIsReserved() const;
    bool RunEditDialog(TFrmEditBookmarkSet& dialog);
    bool FormCloseQuery();

    TfrmBookmarkSetBrowser* m_browser;
};

// The set window in new mode with empty fields; on OK a set with the
// trimmed name and description is stored at once. Its code, or -1.
int AskNewBookmarkSet(TdmMain& dmMain, QWidget* parent = nullptr);
