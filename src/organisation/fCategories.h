#pragma once

#include "db/DataPacket.h"
#include "settings/dmMain.h"
#include "mainwindow/fStatusBar.h"
#include "settings/fPersistent.h"
#include "organisation/NameDescriptionDialog.h"

#include <QDialog>
#include <QString>
#include <functional>

class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class TBTreeView;
class TBTreeViewNode;
class TCategory;

// The small window in which a category's name and description are typed.
// OK writes both into the category (and its record) at once; a name of
// blanks only keeps the window open.
class TfrmEditCategory : public TNameDescriptionDialog
{
    Q_OBJECT

public:
    static constexpr int HelpContext = 48;
    static const QString NameTooLongText;
    static const QString DescriptionTooLongText;

    TfrmEditCategory(TdmMain& dmMain, QWidget* parent = nullptr);

    void ShowForEdit(TCategory* category);
    void ShowForNew(TCategory* category);
    TCategory* Category() const { return m_category; }

protected:
    // OK writes both texts into the category (and its record) at once.
    void Commit() override;

private:
    void Fill(TCategory* category);

    TCategory* m_category = nullptr;
};

// The window in which the user adds, renames, re-describes, deletes and
// re-parents categories. It works on the program's one category tree and
// its record set, so other windows see the edits at once; a snapshot of the
// record set taken at opening lets the user throw everything away again.
// Nothing reaches the database before "Save".
class TfrmCategories : public TFrmStatusBar, public IColorSchemeObserver
{
    Q_OBJECT

public:
    static constexpr int HelpContext = 48;
    static const QString NewCategoryName;
    static const QString HasEntriesText;
    static const QString HasSubcategoriesText;
    static const QString OnlyCategoryText;
    static const QString ConfirmDeleteText;
    static const QString SaveChangesText;

    explicit TfrmCategories(TdmMain& dmMain, QWidget* parent = nullptr);
    ~TfrmCategories() override;

    TBTreeView* Tree() const { return tv; }
    QMenu* PopupMenu() const { return pop; }

    // The four editing commands act on the current node.
    void NewPeer();
    void NewChild();
    void EditCategory();
    void DeleteCategory();
    // Sends the changes; true when there was nothing to send or all went.
    bool DoSaveCategories();

    // Shows the category window modally; tests answer it themselves.
    std::function<bool(TfrmEditCategory& dialog)> ExecuteEditDialog;

    void ApplyColorScheme() override;
    void done(int result) override;

    QPushButton* btnNewPeer;
    QPushButton* btnNewChild;
    QPushButton* btnEdit;
    QPushButton* btnDelete;
    QPushButton* btnSave;
    QPushButton* btnCancel;

protected:
    void FormShow() override;

private:
    void BuildControls();
    void UpdateButtons();
    bool RunEditDialog(TCategory* category, bool isNew);
    // Restores the tree and its record set to the snapshot taken at opening.
    void DiscardChanges();
    void tvMoveNode(TBTreeViewNode* node, TBTreeViewNode* newParent);
    // Closing question; true when the window may close.
    bool FormCloseQuery();

    TBTreeView* tv;
    QMenu* pop = nullptr;
    DataPacket cdsOriginalState;
    bool m_closing = false;
};
