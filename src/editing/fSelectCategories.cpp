#include "editing/fSelectCategories.h"

#include "app/IDesktop.h"
#include "controls/BTreeView.h"
#include "controls/ResBitBtn.h"
#include "engine/Category.h"
#include "engine/FillCategoryTree.h"

#include <QBoxLayout>
#include <QFrame>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

const QString TfrmSelectCategories::SeveralCaption = QStringLiteral("Select categories");
const QString TfrmSelectCategories::SingleCaption = QStringLiteral("Select category");
const QString TfrmSelectCategories::ShowShortcutsText = QStringLiteral("Click to show keyboard shortcuts");
const QString TfrmSelectCategories::HideShortcutsText = QStringLiteral("Click to hide keyboard shortcuts");
const QString TfrmSelectCategories::ShortcutsIntroText =
    QStringLiteral("Select categories to be included in the search from the list below. You may use the following "
                   "shortcut keys:");

std::function<int(TfrmSelectCategories&)> TfrmSelectCategories::ExecuteHook;

namespace {

const QColor kBackground(235, 233, 216);

const std::pair<const char*, const char*> kShortcuts[] = {
    {"<SPACE>", "(de-) select highlighted category"},
    {"<Ctrl + Shift + A>", "Select VISIBLE categories"},
    {"<CTRL + D>", "Deselect all categories"},
    {"<CTRL + I>", "Invert current selection"},
    {"<Ctrl + A>", "Select ALL categories"},
    {"<CTRL + P>", "Expand all categories"},
    {"<CTRL + L>", "Collapse all categories"},
};

} // namespace

TfrmSelectCategories::TfrmSelectCategories(TdmMain& dmMain, QWidget* parent) : TFrmStatusBar(dmMain, parent)
{
    setObjectName(QStringLiteral("TfrmSelectCategories"));
    SetHelpContext(HelpContext);
    BuildControls();
    FillCategoryTree(*tv, m_dmMain.Categories());
    tv->ExpandAll();
    m_dmMain.AddColorSchemeObserver(this);
}

TfrmSelectCategories::~TfrmSelectCategories()
{
    m_dmMain.RemoveColorSchemeObserver(this);
}

void TfrmSelectCategories::BuildControls()
{
    setWindowTitle(SeveralCaption);
    setModal(true);
    resize(420, 480);
    QPalette own = palette();
    own.setColor(QPalette::Window, kBackground);
    setPalette(own);
    setAutoFillBackground(true);

    QWidget* client = ClientArea();
    paShortcuts = new QFrame(client);
    paShortcuts->setObjectName(QStringLiteral("paShortcuts"));
    paShortcuts->setFrameStyle(QFrame::StyledPanel | QFrame::Plain);
    paShortcuts->setFixedHeight(ShortcutsClosedHeight);
    btnShortcuts = new QPushButton(ShowShortcutsText, paShortcuts);
    btnShortcuts->setObjectName(QStringLiteral("btnShortcuts"));
    btnShortcuts->setFlat(true);
    btnShortcuts->setAutoDefault(false);
    btnShortcuts->setCursor(Qt::PointingHandCursor);
    btnShortcuts->setStatusTip(ShowShortcutsText);
    laShortcuts = new QLabel(ShortcutsIntroText, paShortcuts);
    laShortcuts->setObjectName(QStringLiteral("laShortcuts"));
    laShortcuts->setWordWrap(true);
    auto* keys = new QGridLayout;
    keys->setContentsMargins(8, 0, 8, 0);
    keys->setVerticalSpacing(1);
    int line = 0;
    for (const auto& [key, text] : kShortcuts) {
        auto* laKey = new QLabel(QString::fromLatin1(key), paShortcuts);
        QFont bold = laKey->font();
        bold.setBold(true);
        laKey->setFont(bold);
        keys->addWidget(laKey, line, 0);
        keys->addWidget(new QLabel(QString::fromLatin1(text), paShortcuts), line, 1);
        ++line;
    }
    keys->setColumnStretch(1, 1);
    auto* keysHolder = new QWidget(paShortcuts);
    keysHolder->setObjectName(QStringLiteral("paShortcutKeys"));
    keysHolder->setLayout(keys);
    auto* shortcutsColumn = new QVBoxLayout(paShortcuts);
    shortcutsColumn->setContentsMargins(2, 1, 2, 1);
    shortcutsColumn->setSpacing(2);
    shortcutsColumn->addWidget(btnShortcuts, 0, Qt::AlignLeft);
    shortcutsColumn->addWidget(laShortcuts);
    shortcutsColumn->addWidget(keysHolder);
    shortcutsColumn->addStretch(1);
    laShortcuts->hide();
    keysHolder->hide();
    connect(btnShortcuts, &QPushButton::clicked, this, [this] { ShowShortcuts(paShortcuts->height() < ShortcutsOpenHeight); });

    tv = new TBTreeView(client);
    tv->setObjectName(QStringLiteral("tv"));
    tv->SetAllowSelection(true);
    tv->SetMultiSelect(true);
    tv->SetExtendedSelection(true);
    tv->SetAllowNodeMoving(false);
    tv->setStatusTip(QStringLiteral("Click on a category to select / deselect it"));
    tv->OnSelectCell = [this](int) { UpdateSelectState(); };
    tv->OnSelectionChanged = [this] { UpdateSelectState(); };
    tv->OnMouseDown = [this](QMouseEvent*) { UpdateSelectState(); };

    btnSelect = new TResBitBtn(QStringLiteral("Select"), client);
    btnSelect->setObjectName(QStringLiteral("btnSelect"));
    btnSelect->setStatusTip(QStringLiteral("Selects the currently selected categories and closes this form"));
    btnSelect->setAutoDefault(false);
    btnCancel = new TResBitBtn(QStringLiteral("Cancel"), client);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setStatusTip(QStringLiteral("Closes this form"));
    btnCancel->setAutoDefault(false);
    connect(btnSelect, &QPushButton::clicked, this, &TfrmSelectCategories::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnSelect);
    buttons->addWidget(btnCancel);
    auto* column = new QVBoxLayout(client);
    column->setContentsMargins(6, 6, 6, 6);
    column->addWidget(paShortcuts);
    column->addWidget(tv, 1);
    column->addLayout(buttons);
}

void TfrmSelectCategories::ShowShortcuts(bool show)
{
    paShortcuts->setFixedHeight(show ? ShortcutsOpenHeight : ShortcutsClosedHeight);
    laShortcuts->setVisible(show);
    paShortcuts->findChild<QWidget*>(QStringLiteral("paShortcutKeys"))->setVisible(show);
    btnShortcuts->setText(show ? HideShortcutsText : ShowShortcutsText);
    btnShortcuts->setStatusTip(btnShortcuts->text());
}

void TfrmSelectCategories::SetSeveral(bool several)
{
    m_several = several;
    if (several) {
        tv->SetMultiSelect(true);
        return;
    }
    tv->SetMultiSelect(false);
    // One category: a click marks exactly it, and it shows its check.
    tv->SetAllowSelection(true);
    setWindowTitle(SingleCaption);
    paShortcuts->hide();
    UpdateSelectState();
}

void TfrmSelectCategories::UpdateSelectState()
{
    btnSelect->setEnabled(m_several || tv->SelectedCount() > 0);
}

void TfrmSelectCategories::SelectCodes(const QList<int>& codes)
{
    for (int code : codes) {
        TCategory* category = m_dmMain.Categories().FindByCode(code);
        if (TBTreeViewNode* node = category ? tv->FindNodeByData(category) : nullptr)
            tv->AddToSelection(node);
    }
    UpdateSelectState();
}

QList<int> TfrmSelectCategories::SelectedCodes() const
{
    QList<int> codes;
    for (int i = 0; i < tv->SelectedCount(); ++i)
        if (const auto* category = tv->SelectedNodes(i)->DataAs<TCategory>())
            codes.append(category->Code());
    return codes;
}

int TfrmSelectCategories::SelectedCode() const
{
    const QList<int> codes = SelectedCodes();
    return codes.isEmpty() ? 0 : codes.first();
}

void TfrmSelectCategories::FormShow()
{
    TFrmStatusBar::FormShow();
    UpdateSelectState();
    ApplyColorScheme();
    tv->setFocus();
}

void TfrmSelectCategories::ApplyColorScheme()
{
    ApplySchemeToCategoryWindow(m_dmMain, *ClientArea(), *tv);
}

void TfrmSelectCategories::accept()
{
    // One category is asked for: the window waits until one is marked.
    if (!m_several && tv->SelectedCount() == 0)
        return;
    TFrmStatusBar::accept();
}

int TfrmSelectCategories::Run()
{
    return ExecuteHook ? ExecuteHook(*this) : exec();
}

int TfrmSelectCategories::PickCategory(TdmMain& dmMain, QWidget* parent)
{
    TfrmSelectCategories picker(dmMain, parent);
    picker.SetSeveral(false);
    if (picker.Run() != QDialog::Accepted)
        return 0;
    return picker.SelectedCode();
}

std::optional<QList<int>> TfrmSelectCategories::PickCategories(TdmMain& dmMain, const QList<int>& selected,
                                                                QWidget* parent)
{
    TfrmSelectCategories picker(dmMain, parent);
    picker.SelectCodes(selected);
    if (picker.Run() != QDialog::Accepted)
        return std::nullopt;
    return picker.SelectedCodes();
}
