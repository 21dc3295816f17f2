#include "organisation/fCategories.h"

#include "app/Errors.h"
#include "app/IDesktop.h"
#include "app/User.h"
#include "controls/BTreeView.h"
#include "controls/CommandButton.h"
#include "db/ClientRecordSet.h"
#include "db/dmConnection.h"
#include "engine/Category.h"
#include "engine/EntryManager.h"
#include "engine/OpenEntries.h"
#include "engine/FillCategoryTree.h"
#include "engine/MostUsedCategories.h"

#include <QBoxLayout>
#include <algorithm>
#include <QFormLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

// --- TfrmEditCategory --------------------------------------------------------------------

const QString TfrmEditCategory::NameTooLongText =
    QStringLiteral("The name of a category can be at most %1 characters long; this one has %2.");
const QString TfrmEditCategory::DescriptionTooLongText =
    QStringLiteral("The description of a category can be at most %1 characters long; this one has %2.");

TfrmEditCategory::TfrmEditCategory(TdmMain& dmMain, QWidget* parent)
    : TNameDescriptionDialog(dmMain, HelpContext,
                             {QStringLiteral("TfrmEditCategory"), QStringLiteral("Edit / Add Category"),
                              QStringLiteral("Type the category name here"),
                              QStringLiteral("Type the description of the category here"),
                              QStringLiteral("Saves changes to categories "),
                              QStringLiteral("Exits without saving changes to categories"), NameTooLongText,
                              DescriptionTooLongText},
                             parent)
{
}

void TfrmEditCategory::Fill(TCategory* category)
{
    m_category = category;
    edName->setText(category ? category->Name() : QString());
    edDescription->setText(category ? category->Description() : QString());
    edName->selectAll();
    edName->setFocus();
}

void TfrmEditCategory::ShowForEdit(TCategory* category)
{
    setWindowTitle(QStringLiteral("Edit category"));
    Fill(category);
}

void TfrmEditCategory::ShowForNew(TCategory* category)
{
    setWindowTitle(QStringLiteral("New category"));
    Fill(category);
}

void TfrmEditCategory::Commit()
{
    if (m_category) {
        m_category->SetName(edName->text());
        m_category->SetDescription(edDescription->text());
    }
}

// --- TfrmCategories --------------------------------------------------------------------

const QString TfrmCategories::NewCategoryName = QStringLiteral("<New category>");
const QString TfrmCategories::HasEntriesText =
    QStringLiteral("You cannot delete this category because it has entries assigned to it. Before deleting it, you "
                   "must fisrt delete all its entries.");
const QString TfrmCategories::HasSubcategoriesText =
    QStringLiteral("You cannot delete this category because it has subcategories. Before deleting it, you must first "
                   "delete all its subcategories.");
const QString TfrmCategories::OnlyCategoryText =
    QStringLiteral("You cannot delete the only category. You must first create a new one if you want to delete this "
                   "category.");
const QString TfrmCategories::ConfirmDeleteText = QStringLiteral("Are you sure you want to delete the selected category?");
const QString TfrmCategories::SaveChangesText =
    QStringLiteral("You have made changes to the list of categories. Do you want to save these changes?");

TfrmCategories::TfrmCategories(TdmMain& dmMain, QWidget* parent) : TFrmStatusBar(dmMain, parent)
{
    setObjectName(QStringLiteral("TfrmCategories"));
    SetHelpContext(HelpContext);
    BuildControls();

    TCategories& categories = m_dmMain.Categories();
    if (!m_dmMain.User().CanManageCategories()) {
        tv->SetAllowNodeMoving(false);
        tv->setContextMenuPolicy(Qt::NoContextMenu);
    }
    // What the user can throw away again: the categories as they are now.
    if (ClientRecordSet* records = categories.RecordSet()) {
        cdsOriginalState = records->ToPacket();
        records->SetOnChange([this] { UpdateButtons(); });
    }
    FillCategoryTree(*tv, categories);
    tv->ExpandAll();
    UpdateButtons();
    m_dmMain.AddColorSchemeObserver(this);
}

TfrmCategories::~TfrmCategories()
{
    m_dmMain.RemoveColorSchemeObserver(this);
    if (ClientRecordSet* records = m_dmMain.Categories().RecordSet())
        records->SetOnChange(nullptr);
}

void TfrmCategories::BuildControls()
{
    setWindowTitle(QStringLiteral("Manage categories"));
    setModal(true);
    resize(460, 420);

    QWidget* client = ClientArea();
    tv = new TBTreeView(client);
    tv->setObjectName(QStringLiteral("tv"));
    tv->SetAllowNodeMoving(true);
    tv->SetAllowSelection(false);
    tv->SetMultiSelect(false);
    tv->SetShowLines(true);
    tv->SetLevelIndentation(20);
    tv->OnGetNodeCaption = [](TBTreeViewNode* node, QString& text) {
        if (auto* category = node->DataAs<TCategory>())
            text = category->Name();
    };
    tv->OnGetNodeHint = [](TBTreeViewNode* node, QString& text) {
        if (auto* category = node->DataAs<TCategory>())
            text = category->Description();
    };
    tv->OnMoveNode = [this](TBTreeViewNode* node, TBTreeViewNode* newParent) { tvMoveNode(node, newParent); };
    tv->OnSelectCell = [this](int) { UpdateButtons(); };
    tv->OnDblClick = [this] { EditCategory(); };

    btnNewPeer = NewCommandButton(client, "btnNewPeer", QStringLiteral("New category"),
                           QStringLiteral("Create a new category below the currently selected category"));
    btnNewChild = NewCommandButton(client, "btnNewChild", QStringLiteral("New subcategory"),
                            QStringLiteral("Create a new category as a subcategory of the currently selected category"));
    btnEdit = NewCommandButton(client, "btnEdit", QStringLiteral("Edit"), QStringLiteral("Edit the currently selected category"));
    btnDelete = NewCommandButton(client, "btnDelete", QStringLiteral("Delete"),
                          QStringLiteral("Delete the currently selected category"));
    btnSave = NewCommandButton(client, "btnSave", QStringLiteral("Save"),
                        QStringLiteral("Saves changes to categories and exits this form"));
    btnCancel = NewCommandButton(client, "btnCancel", QStringLiteral("Exit"),
                          QStringLiteral("Exits without saving changes to categories"));
    btnSave->setEnabled(false);
    connect(btnNewPeer, &QPushButton::clicked, this, &TfrmCategories::NewPeer);
    connect(btnNewChild, &QPushButton::clicked, this, &TfrmCategories::NewChild);
    connect(btnEdit, &QPushButton::clicked, this, &TfrmCategories::EditCategory);
    connect(btnDelete, &QPushButton::clicked, this, &TfrmCategories::DeleteCategory);
    connect(btnSave, &QPushButton::clicked, this, [this] {
        if (DoSaveCategories())
            done(QDialog::Accepted);
    });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    pop = new QMenu(this);
    pop->setObjectName(QStringLiteral("pop"));
    QAction* child = pop->addAction(QStringLiteral("New child category"));
    child->setObjectName(QStringLiteral("miNewChild"));
    QAction* peer = pop->addAction(QStringLiteral("New peer category"));
    peer->setObjectName(QStringLiteral("miNewPeer"));
    pop->addSeparator();
    QAction* edit = pop->addAction(QStringLiteral("Edit"));
    edit->setObjectName(QStringLiteral("miEdit"));
    QAction* remove = pop->addAction(QStringLiteral("Delete"));
    remove->setObjectName(QStringLiteral("miDelete"));
    // The menu's two "new" items do what the buttons of the same name do.
    connect(child, &QAction::triggered, this, &TfrmCategories::NewChild);
    connect(peer, &QAction::triggered, this, &TfrmCategories::NewPeer);
    connect(edit, &QAction::triggered, this, &TfrmCategories::EditCategory);
    connect(remove, &QAction::triggered, this, &TfrmCategories::DeleteCategory);
    tv->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(tv, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { pop->popup(tv->viewport()->mapToGlobal(at)); });

    auto* side = new QVBoxLayout;
    for (QPushButton* button : {btnNewPeer, btnNewChild, btnEdit, btnDelete})
        side->addWidget(button);
    side->addStretch(1);
    side->addWidget(btnSave);
    side->addWidget(btnCancel);
    auto* row = new QHBoxLayout(client);
    row->addWidget(tv, 1);
    row->addLayout(side);
}

void TfrmCategories::FormShow()
{
    TFrmStatusBar::FormShow();
    ApplyColorScheme();
    UpdateButtons();
}

void TfrmCategories::ApplyColorScheme()
{
    ApplySchemeToCategoryWindow(m_dmMain, *this, *tv, {pop});
}

void TfrmCategories::UpdateButtons()
{
    const bool hasCurrent = tv->CurrentNode() != nullptr;
    // On an empty tree "New category" makes the first one.
    btnNewPeer->setEnabled(hasCurrent || tv->Nodes().Count() == 0);
    btnNewChild->setEnabled(hasCurrent);
    btnEdit->setEnabled(hasCurrent);
    btnDelete->setEnabled(hasCurrent);
    btnSave->setEnabled(m_dmMain.Categories().IsModified());
}

bool TfrmCategories::RunEditDialog(TCategory* category, bool isNew)
{
    TfrmEditCategory dialog(m_dmMain, this);
    if (isNew)
        dialog.ShowForNew(category);
    else
        dialog.ShowForEdit(category);
    if (ExecuteEditDialog)
        return ExecuteEditDialog(dialog);
    return dialog.exec() == QDialog::Accepted;
}

void TfrmCategories::NewPeer()
{
    TBTreeViewNode* node = tv->CurrentNode();
    TCategories& root = m_dmMain.Categories();
    if (!node && tv->Nodes().Count() > 0)
        return;
    try {
        TCategory* current = node ? node->DataAs<TCategory>() : nullptr;
        TCategories* list = current ? current->OwnerList() : &root;
        if (!list)
            return;
        const int index = current ? list->IndexOf(current) + 1 : -1;
        TCategory* added = list->AddCategory(std::make_unique<TCategory>(0, NewCategoryName), index);
        if (!RunEditDialog(added, true)) {
            list->DeleteCategory(added);
            return;
        }
        TBTreeViewNode* newNode = nullptr;
        if (!node)
            newNode = tv->Nodes().AddNode(added->Name(), QString(), -1, added);
        else if (node->Parent())
            newNode = tv->Nodes().AddChildNode(node->Parent(), added->Name(), QString(),
                                               node->Collection()->IndexOf(node) + 1, added);
        else
            newNode = tv->Nodes().AddNode(added->Name(), QString(), tv->Nodes().IndexOf(node) + 1, added);
        // Subcategories the user adds to it next are then in sight.
        newNode->SetExpanded(true);
        tv->MakeNodeCurrent(newNode);
    } catch (const ETessarynError& e) {
        m_dmMain.Desktop().ShowMessage(e.Message(), IDesktop::TMsgKind::Error);
    }
    UpdateButtons();
}

void TfrmCategories::NewChild()
{
    TBTreeViewNode* node = tv->CurrentNode();
    TCategory* current = node ? node->DataAs<TCategory>() : nullptr;
    if (!current)
        return;
    try {
        TCategories& list = current->Children();
        TCategory* added = list.AddCategory(std::make_unique<TCategory>(0, NewCategoryName), -1);
        if (!RunEditDialog(added, true)) {
            list.DeleteCategory(added);
            return;
        }
        tv->Nodes().AddChildNode(node, added->Name(), QString(), -1, added)->SetExpanded(true);
    } catch (const ETessarynError& e) {
        m_dmMain.Desktop().ShowMessage(e.Message(), IDesktop::TMsgKind::Error);
    }
    UpdateButtons();
}

void TfrmCategories::EditCategory()
{
    TBTreeViewNode* node = tv->CurrentNode();
    TCategory* current = node ? node->DataAs<TCategory>() : nullptr;
    if (!current)
        return;
    if (RunEditDialog(current, false)) {
        node->Caption = current->Name();
        tv->InvalidateNode(node);
    }
    UpdateButtons();
}

void TfrmCategories::DeleteCategory()
{
    TBTreeViewNode* node = tv->CurrentNode();
    TCategory* current = node ? node->DataAs<TCategory>() : nullptr;
    if (!current || !current->OwnerList())
        return;
    IDesktop& desktop = m_dmMain.Desktop();
    try {
        if (m_dmMain.Connection().CategoryHasEntries(current->Code())) {
            desktop.ShowMessage(HasEntriesText, IDesktop::TMsgKind::Warning);
            return;
        }
    } catch (const ETessarynError& e) {
        desktop.ShowMessage(e.Message(), IDesktop::TMsgKind::Error);
        return;
    }
    if (node->HasChildren()) {
        desktop.ShowMessage(HasSubcategoriesText, IDesktop::TMsgKind::Warning);
        return;
    }
    if (tv->Nodes().CountAll() == 1) {
        desktop.ShowMessage(OnlyCategoryText, IDesktop::TMsgKind::Warning);
        return;
    }
    if (!desktop.Confirm(ConfirmDeleteText))
        return;
    current->OwnerList()->DeleteCategory(current);
    tv->DeleteNode(node);
    // An open entry filed under it must not keep the freed object.
    m_dmMain.EntryManager().OpenEntries().ResolveCategories();
    UpdateButtons();
}

void TfrmCategories::tvMoveNode(TBTreeViewNode* node, TBTreeViewNode* newParent)
{
    auto* category = node->DataAs<TCategory>();
    if (!category)
        return;
    TCategories& list = newParent && newParent->DataAs<TCategory>() ? newParent->DataAs<TCategory>()->Children()
                                                                     : m_dmMain.Categories();
    const int index = node->Collection() ? node->Collection()->IndexOf(node) : -1;
    try {
        category->MoveTo(list, index);
    } catch (const ETessarynError& e) {
        m_dmMain.Desktop().ShowMessage(e.Message(), IDesktop::TMsgKind::Error);
    }
}

bool TfrmCategories::DoSaveCategories()
{
    ClientRecordSet* records = m_dmMain.Categories().RecordSet();
    if (!records)
        return true;
    try {
        if (records->HasUnpostedChange())
            records->Post();
        if (!records->HasChanges())
            return true;
        m_dmMain.Connection().ApplyCategoryUpdates({records->GetDelta()});
        records->MergeChangeLog();
        // The snapshot is what the database holds now.
        cdsOriginalState = records->ToPacket();
    } catch (const ETessarynError& e) {
        m_dmMain.Desktop().ShowMessage(e.Message(), IDesktop::TMsgKind::Error);
        return false;
    }
    UpdateButtons();
    return true;
}

void TfrmCategories::DiscardChanges()
{
    TCategories& root = m_dmMain.Categories();
    TMostUsedCategories& mostUsed = m_dmMain.MostUsedCategories();
    mostUsed.SaveRecent();
    ClientRecordSet* records = root.RecordSet();
    // The tree's nodes point at the category objects about to be recreated.
    tv->Clear();
    if (records) {
        records->SetOnChange(nullptr);
        records->LoadFromPacket(cdsOriginalState);
        root.Clear();
        root.Load(0, records);
        records->SetOnChange([this] { UpdateButtons(); });
    }
    mostUsed.Refresh();
    m_dmMain.EntryManager().OpenEntries().ResolveCategories();
}

bool TfrmCategories::FormCloseQuery()
{
    if (!m_dmMain.Categories().IsModified())
        return true;
    switch (m_dmMain.Desktop().MessageBox(SaveChangesText, IDesktop::TMsgKind::Confirmation,
                                          IDesktop::TButtons::YesNoCancel)) {
    case IDesktop::TAnswer::Yes:
        return DoSaveCategories();
    case IDesktop::TAnswer::No:
        DiscardChanges();
        return true;
    default:
        return false;
    }
}

void TfrmCategories::done(int result)
{
    // Saved already when "Save" closes the window; any other way out asks.
    if (result != QDialog::Accepted && !FormCloseQuery())
        return;
    TFrmStatusBar::done(result);
}

