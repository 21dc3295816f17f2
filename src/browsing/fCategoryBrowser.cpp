#include "browsing/fCategoryBrowser.h"

#include "controls/BTreeView.h"
#include "controls/HelpContext.h"
#include "engine/Category.h"
#include "engine/FileHelpers.h"
#include "engine/FillCategoryTree.h"
#include "settings/ISettingsManager.h"

#include <QApplication>
#include <QDropEvent>
#include <QVBoxLayout>

const QString TfrmCategoryBrowser::NodeHintText = QStringLiteral("Click to view entries in category: [%1]");
const QString TfrmCategoryBrowser::CollapsedSection = QStringLiteral("Settings\\category browser");
const QString TfrmCategoryBrowser::CollapsedValue = QStringLiteral("collapsed categories");

TfrmCategoryBrowser::TfrmCategoryBrowser(TdmMain& dmMain, QWidget* parent) : QWidget(parent), m_dmMain(dmMain)
{
    setObjectName(QStringLiteral("frmCategoryBrowser"));
    tv = new TBTreeView(this);
    tv->setObjectName(QStringLiteral("tv"));
    tv->SetDefaultRowHeight(16);
    tv->SetShowLines(true);
    tv->SetShowBitmaps(false);
    tv->SetLevelIndentation(20);
    tv->SetAllowNodeMoving(false);
    tv->SetMultiSelect(false);
    tv->SetExtendedSelection(false);
    tv->SetAllowSelection(false);
    tv->setAcceptDrops(true);
    tv->setFrameShape(QFrame::NoFrame);
    SetControlHelpContext(tv, HelpContext);

    tv->OnSelectCell = [this](int row) { tvSelectCell(row); };
    tv->OnGetFont = [this](TBTreeViewNode* node, QFont& font) { font.setBold(node == tv->CurrentNode()); };
    tv->OnGetColor = [this](TBTreeViewNode* node, QColor& back, QColor&, QColor&) {
        if (node == m_dropTarget)
            back = DropTargetColour();
    };
    tv->OnDragOver = [this](QDropEvent* event) { return tvDragOver(event); };
    tv->OnDragDrop = [this](QDropEvent* event) { tvDragDrop(event); };
    tv->OnDragLeave = [this] { SetDropTarget(nullptr); };

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(tv);

    FillTree();
    TBTreeViewUpdate update(*tv);
    for (int i = 0; i < tv->Nodes().Count(); ++i)
        tv->Nodes().Items(i)->ExpandRecursive();
    CollapseStored();
    update.End();
    m_dmMain.AddColorSchemeObserver(this);
}

TfrmCategoryBrowser::~TfrmCategoryBrowser()
{
    m_dmMain.RemoveColorSchemeObserver(this);
    try {
        SaveCollapsed();
    } catch (const std::exception&) {
        // The state is a convenience; a closing window reports nothing.
    }
}

void TfrmCategoryBrowser::FillTree()
{
    TBTreeViewUpdate update(*tv);
    tv->Clear();
    m_codes.clear();
    FillCategoryTree(*tv, m_dmMain.Categories());
    // The nodes keep their category's code and hint, not the object: while
    // the category manager is open the objects may be freed or recreated,
    // and the tree must still paint and save its state.
    m_codes.clear();
    const TTreeNodesIterator all(&tv->Nodes(), false, true);
    for (TBTreeViewNode* node : all.List()) {
        const auto* category = node->DataAs<TCategory>();
        node->Hint = NodeHintText.arg(category->Description());
        node->Data = nullptr;
        m_codes.insert(node, category->Code());
    }
    update.End();
}

int TfrmCategoryBrowser::NodeCode(const TBTreeViewNode* node) const
{
    return m_codes.value(node, -1);
}

void TfrmCategoryBrowser::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_shown)
        FormShow();
}

void TfrmCategoryBrowser::FormShow()
{
    ApplyColorScheme();
    SetDropTarget(nullptr);
    m_shown = true;
    tvSelectCell(tv->CurrentRow());
}

void TfrmCategoryBrowser::tvSelectCell(int row)
{
    if (!m_shown || m_freezeCount > 0 || tv->IsUpdating())
        return;
    const int code = NodeCode(tv->NodeAtRow(row));
    if (code < 0 || !OnBrowseCategory)
        return;
    // The search runs while the user may go on looking at the tree.
    QApplication::setOverrideCursor(Qt::BusyCursor);
    try {
        OnBrowseCategory(code);
    } catch (...) {
        QApplication::restoreOverrideCursor();
        throw;
    }
    QApplication::restoreOverrideCursor();
}

int TfrmCategoryBrowser::CurrentCategoryCode() const
{
    return NodeCode(tv->CurrentNode());
}

void TfrmCategoryBrowser::SelectCategory(int code)
{
    if (code < 0)
        return;
    const TTreeNodesIterator all(&tv->Nodes(), false, true);
    for (TBTreeViewNode* node : all.List())
        if (NodeCode(node) == code) {
            tv->MakeNodeCurrent(node);
            return;
        }
}

void TfrmCategoryBrowser::FreezeSelection()
{
    ++m_freezeCount;
    m_rememberedCategory = CurrentCategoryCode();
}

void TfrmCategoryBrowser::ThawSelection()
{
    if (m_rememberedCategory >= 0)
        SelectCategory(m_rememberedCategory);
    if (m_freezeCount > 0)
        --m_freezeCount;
}

void TfrmCategoryBrowser::SaveCollapsed()
{
    QList<int> codes;
    const TTreeNodesIterator all(&tv->Nodes(), false, true);
    for (const TBTreeViewNode* node : all.List()) {
        const int code = NodeCode(node);
        if (!node->Expanded() && code >= 0)
            codes.append(code);
    }
    ISettingsManager& settings = m_dmMain.Settings();
    TSettingsAccess access(settings);
    settings.UseUserAllComputers();
    settings.WriteString(CollapsedValue, CodesToCommaText(codes), CollapsedSection);
}

void TfrmCategoryBrowser::CollapseStored()
{
    QString stored;
    {
        ISettingsManager& settings = m_dmMain.Settings();
        TSettingsAccess access(settings);
        settings.UseUserAllComputers();
        stored = settings.ReadString(CollapsedValue, QString(), CollapsedSection);
    }
    QList<int> codes;
    CommaTextToCodes(stored, codes);
    const QSet<int> collapsed(codes.cbegin(), codes.cend());
    const TTreeNodesIterator all(&tv->Nodes(), false, true);
    for (TBTreeViewNode* node : all.List())
        if (collapsed.contains(NodeCode(node)))
            node->SetExpanded(false);
}

void TfrmCategoryBrowser::ReloadTree()
{
    SetDropTarget(nullptr);
    // The settings may fail on the way (the store's cache cannot be read
    // again); the tree must come out of the update all the same.
    TBTreeViewUpdate update(*tv);
    SaveCollapsed();
    FillTree();
    for (int i = 0; i < tv->Nodes().Count(); ++i)
        tv->Nodes().Items(i)->ExpandRecursive();
    CollapseStored();
    update.End();
}

void TfrmCategoryBrowser::ExpandAll()
{
    tv->ExpandAll();
}

void TfrmCategoryBrowser::CollapseAll()
{
    tv->CollapseAll();
}

void TfrmCategoryBrowser::ApplyColorScheme()
{
    ApplySchemeToCategoryWindow(m_dmMain, *this, *tv);
    tv->SetBackgroundColor(m_dmMain.Colour(csWindow));
}

// --- entries dragged onto a category ---

void TfrmCategoryBrowser::SetDropTarget(TBTreeViewNode* node)
{
    if (node == m_dropTarget)
        return;
    TBTreeViewNode* old = m_dropTarget;
    m_dropTarget = node;
    if (old)
        tv->InvalidateNode(old);
    if (node)
        tv->InvalidateNode(node);
}

bool TfrmCategoryBrowser::tvDragOver(QDropEvent* event)
{
    if (!IsEntryGridDrag || !IsEntryGridDrag(event->source()))
        return false;
    SetDropTarget(tv->NodeAtRow(tv->RowAt(event->position().toPoint())));
    return true;
}

void TfrmCategoryBrowser::tvDragDrop(QDropEvent* event)
{
    SetDropTarget(nullptr);
    const int code = NodeCode(tv->NodeAtRow(tv->RowAt(event->position().toPoint())));
    // Dropping on the category being browsed changes nothing.
    if (code < 0 || code == CurrentCategoryCode() || !OnMoveSelectedToCategory)
        return;
    OnMoveSelectedToCategory(code);
}

void TfrmCategoryBrowser::tvEndDrag()
{
    SetDropTarget(nullptr);
}
