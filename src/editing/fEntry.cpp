#include "editing/fEntry.h"

#include "controls/BTransparentButton.h"
#include "controls/EllipsisLabel.h"
#include "controls/FrameLabel.h"
#include "controls/ResBitBtn.h"

#include "app/Errors.h"
#include "app/IDesktop.h"
#include "controls/BPageControl.h"
#include "editing/FolderFilesGridObserver.h"
#include "engine/Category.h"
#include "engine/EntryManager.h"
#include "engine/EventAssistant.h"
#include "engine/FileHelpers.h"
#include "engine/FileLists.h"
#include "engine/dDB.h"
#include "engine/frmQuickNote.h"
#include "mainwindow/CategoryMenu.h"
#include "mainwindow/FolderFilesMenu.h"
#include "settings/MruDropDown.h"
#include "settings/MruLists.h"

#include <QAction>
#include <QApplication>
#include <QFontMetrics>
#include <algorithm>
#include <QCloseEvent>
#include <QCursor>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedLayout>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const QString kNewEntryTitle = QStringLiteral("<Enter title here>");
const QString kNoCategory = QStringLiteral("< Not assigned to any category >");
const QColor kWindowColour(235, 233, 216);
const QColor kTitleBackground(255, 240, 210);
const QColor kProtectedColour(184, 108, 86);
const QColor kUnprotectedColour(112, 167, 131);

constexpr int kToolButtonSize = 30;

QLabel* CaptionLabel(const QString& text, QWidget* parent)
{
    auto* label = new TEllipsisLabel(text, parent);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    // room for a leader of dots even after the longest caption
    label->setMinimumWidth(label->sizeHint().width() + 16);
    return label;
}

QPushButton* Button(const char* name, const QString& caption, QWidget* parent)
{
    auto* button = new TResBitBtn(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    // Enter in a text field must never save or close the entry by itself.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

// Switches the monitored folder's notices back to a value when the scope
// ends, also when an error leaves it.
class TMonitoringRestore {
public:
    TMonitoringRestore(TdmMain& main, bool value) : m_main(main), m_value(value) {}
    ~TMonitoringRestore() { m_main.SetMonitorFolder(m_value); }
    TMonitoringRestore(const TMonitoringRestore&) = delete;
    TMonitoringRestore& operator=(const TMonitoringRestore&) = delete;

private:
    TdmMain& m_main;
    bool m_value;
};

} // namespace

// --- texts ------------------------------------------------------------------

QString TfrmEntry::NoTitleText()
{
    return QStringLiteral("You must enter a title for the entry before saving it.");
}

QString TfrmEntry::NoCategoryText()
{
    return QStringLiteral("You must select a category before saving the entry.");
}

QString TfrmEntry::NoFilesText()
{
    return QStringLiteral("You haven't selected any files to be stored in the entry. \r\nGo to the \"Embedded files\" "
                          "tab and select at least one file before saving this entry.");
}

QString TfrmEntry::TooManyFilesText()
{
    return QStringLiteral("The number of selected file(s) exceeds %1.\r\nIt is not recommended to store too many files "
                          "in a single entry, \r\nbecause this will adversely affect performance when extracting this "
                          "entry at a later time.\r\n\r\nPlease select fewer files to store.")
        .arg(MaxFileCount);
}

QString TfrmEntry::TooLargeText()
{
    return QStringLiteral("The size of selected file(s) exceeds %1.\r\nIt is not recommended to store too many (or too "
                          "large) files in a single entry, \r\nbecause this will adversely affect performance when "
                          "extracting this entry at a later time.\r\n\r\nPlease select fewer (or smaller) files to "
                          "store.")
        .arg(MaxFileSize);
}

QString TfrmEntry::ConfirmLargeText()
{
    return QStringLiteral("The size of selected file(s) exceeds %1.\r\nThis will probably take  several seconds (or "
                          "even minutes, for very large files) to store in the database.\r\n\r\nAre you sure you want "
                          "to proceed?")
        .arg(ConfirmFileSize);
}

QString TfrmEntry::SaveChangesText()
{
    return QStringLiteral("You have made changes to the entry. Do you want to save these changes?");
}

QString TfrmEntry::PasswordLabelText(bool passwordProtected)
{
    return QStringLiteral("( this entry is%1password protected )")
        .arg(passwordProtected ? QStringLiteral(" ") : QStringLiteral(" NOT "));
}

// --- construction -----------------------------------------------------------

TfrmEntry::TfrmEntry(TdmMain& dmMain, QWidget* owner)
    : TFrmStatusBar(dmMain, owner)
{
    setObjectName(QStringLiteral("frmEntry"));
    setWindowTitle(QStringLiteral("Entry:"));
    setAcceptDrops(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, kWindowColour);
    setPalette(palette);
    setAutoFillBackground(true);

    BuildActions();
    BuildControls();
    m_dmMain.AddColorSchemeObserver(this);
    ApplyColorScheme();
    UpdatePasswordDisplay();
    UpdateSaveCommands();
}

TfrmEntry::~TfrmEntry()
{
    // The histories go before their edit boxes.
    m_sourceHistory.reset();
    m_keywordsHistory.reset();
    m_dmMain.RemoveColorSchemeObserver(this);
    AttachEntry(nullptr);
    ResumeMonitoring();
}

void TfrmEntry::BuildActions()
{
    m_menuBar = new QMenuBar(this);
    m_menuBar->setObjectName(QStringLiteral("mmEntry"));
    m_actionsMenu = m_menuBar->addMenu(QStringLiteral("Actions"));
    m_actionsMenu->setObjectName(QStringLiteral("miActions"));
    m_actionsMenu->menuAction()->setStatusTip(QStringLiteral("Actions you can perform on this entry"));

    auto add = [this](const char* name, const QString& caption, const QString& hint) {
        QAction* action = m_actionsMenu->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        action->setStatusTip(hint);
        return action;
    };
    acAddClipboard = add("acAddClipboard", QStringLiteral("Add clipboard contents"),
                         QStringLiteral("Adds clipboard contents to this entry"));
    acAddMonitoredFiles = add("acAddMonitoredFiles", QStringLiteral("Add monitored folder files"),
                              QStringLiteral("Adds monitored folder files to this entry"));
    acAddQuickNote = add("acAddQuickNote", QStringLiteral("Add a Quick Note"),
                         QStringLiteral("Lets you write some text in an editor window and adds it as a text file to "
                                        "the current entry"));
    m_actionsMenu->addSeparator();
    acAddClipboardAsText = add("acAddClipboardAsText", QStringLiteral("Add clipboard contents (as plain text)"),
                               QStringLiteral("Adds clipboard contents (in plain text format) to this entry"));
    acAddClipboardAsHtml = add("acAddClipboardAsHtml", QStringLiteral("Add clipboard contents (as HTML)"),
                               QStringLiteral("Adds clipboard contents (in HTML format) to this entry"));
    m_actionsMenu->addSeparator();
    acPassword = add("acPassword", QStringLiteral("Password"), QString());
    m_actionsMenu->addSeparator();
    acSave = add("acSave", QStringLiteral("Save"), QStringLiteral("Saves changes to entry data "));
    acSaveAndClose = add("acSaveAndClose", QStringLiteral("Save and close"),
                         QStringLiteral("Saves changes to entry data and closes this entry"));
    m_actionsMenu->addSeparator();
    acClose = add("acClose", QStringLiteral("Close"), QStringLiteral("Closes this entry without saving changes"));

    QStyle* style = this->style();
    acAddClipboard->setIcon(style->standardIcon(QStyle::SP_FileIcon));
    acAddMonitoredFiles->setIcon(style->standardIcon(QStyle::SP_DirIcon));
    acAddQuickNote->setIcon(style->standardIcon(QStyle::SP_FileDialogContentsView));
    acAddClipboardAsText->setIcon(style->standardIcon(QStyle::SP_FileDialogDetailedView));
    acAddClipboardAsHtml->setIcon(style->standardIcon(QStyle::SP_FileDialogListView));

    connect(acAddClipboard, &QAction::triggered, this, [this] { AddClipboardContents(0); });
    connect(acAddMonitoredFiles, &QAction::triggered, this, [this] { AddMonitoredFolderFiles(); });
    connect(acAddQuickNote, &QAction::triggered, this, [this] { AddQuickNote(); });
    connect(acAddClipboardAsText, &QAction::triggered, this, [this] { AddClipboardContents(3); });
    connect(acAddClipboardAsHtml, &QAction::triggered, this, [this] { AddClipboardContents(2); });
    connect(acPassword, &QAction::triggered, this, [this] { btnPasswordClick(); });
    connect(acSave, &QAction::triggered, this, [this] { SaveEntryChanges(); });
    connect(acSaveAndClose, &QAction::triggered, this, [this] { SaveEntryChangesAndExit(); });
    connect(acClose, &QAction::triggered, this, [this] { DoFormClose(); });

    layout()->setMenuBar(m_menuBar);
}

void TfrmEntry::BuildControls()
{
    QWidget* client = ClientArea();

    laEntryID = new TFrameLabel(client);
    laEntryID->setObjectName(QStringLiteral("laEntryID"));
    laEntryID->SetFrameColor(Qt::gray);
    // as high as a plain label with a margin of 5 would be
    laEntryID->setMargin(5);
    QFont bold = font();
    bold.setBold(true);

    edTitle = new QLineEdit(client);
    edTitle->setObjectName(QStringLiteral("edTitle"));
    edTitle->setStatusTip(QStringLiteral("Enter the title of the entry here"));
    edTitle->setFont(bold);
    QPalette titlePalette = edTitle->palette();
    titlePalette.setColor(QPalette::Base, kTitleBackground);
    titlePalette.setColor(QPalette::Text, QColor(0, 0, 128));
    edTitle->setPalette(titlePalette);

    auto* toolBar = new QWidget(client);
    toolBar->setObjectName(QStringLiteral("tbEntry"));
    auto* tools = new QHBoxLayout(toolBar);
    tools->setContentsMargins(0, 0, 0, 0);
    tools->setSpacing(1);
    const std::pair<const char*, QAction*> toolActions[] = {
        {"btnAddClipboard", acAddClipboard}, {"btnAddMonitoredFiles", acAddMonitoredFiles},
        {"btnAddQuickNote", acAddQuickNote}, {"btnAddClipboardAsText", acAddClipboardAsText},
        {"btnAddClipboardAsHtml", acAddClipboardAsHtml}};
    for (const auto& [name, action] : toolActions) {
        auto* button = new TBTransparentButton(toolBar);
        button->setObjectName(QString::fromLatin1(name));
        button->setDefaultAction(action);
        button->setFixedSize(kToolButtonSize, kToolButtonSize);
        button->setIconSize(QSize(20, 20));
        tools->addWidget(button);
    }

    pc = new TBPageControl(client);
    pc->setObjectName(QStringLiteral("pc"));
    tsEntryData = BuildEntryDataPage();
    tsEmbeddedFiles = BuildEmbeddedFilesPage();
    pc->addTab(tsEntryData, QStringLiteral("Entry data"));
    pc->addTab(tsEmbeddedFiles, QStringLiteral("Embedded files"));
    connect(pc, &QTabWidget::currentChanged, this, [this] { ResizeFilesGrid(); });

    btnExplore = Button("btnExplore", QStringLiteral("Explore folder"), client);
    btnExplore->setStatusTip(QStringLiteral("Click to explore the folder of this entry"));
    btnSave = Button("btnSave", QStringLiteral("Save and close"), client);
    btnSave->setStatusTip(QStringLiteral("Saves changes to entry data and closes this entry"));
    btnSave->setEnabled(false);
    btnCancel = Button("btnCancel", QStringLiteral("Close"), client);
    btnCancel->setStatusTip(QStringLiteral("Closes this entry without saving changes"));
    connect(btnExplore, &QPushButton::clicked, this, [this] { ExploreFolder(); });
    connect(btnSave, &QPushButton::clicked, this, [this] { SaveEntryChangesAndExit(); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { DoFormClose(); });

    auto* titleRow = new QHBoxLayout;
    titleRow->addWidget(edTitle, 1);
    titleRow->addWidget(toolBar);
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addWidget(btnExplore);
    buttonRow->addStretch(1);
    buttonRow->addWidget(btnSave);
    buttonRow->addWidget(btnCancel);

    auto* column = new QVBoxLayout(client);
    column->setContentsMargins(6, 6, 6, 6);
    column->setSpacing(6);
    column->addWidget(laEntryID);
    column->addLayout(titleRow);
    column->addWidget(pc, 1);
    column->addLayout(buttonRow);

    // The keyboard walks through the entry's fields in the order they are
    // read, then to the buttons. The capture tool buttons come last: beside
    // the title they would take the first Tab, and a Space meant for the
    // next field would paste the clipboard into the entry.
    QList<QWidget*> tabOrder = {edTitle,       edKeywords, btnSelectCategory, edSource, meComments, btnPassword,
                                grFolderFiles, btnExplore, btnSave,           btnCancel, pc->tabBar()};
    for (QToolButton* tool : toolBar->findChildren<QToolButton*>(Qt::FindDirectChildrenOnly))
        tabOrder.append(tool);
    for (qsizetype i = 1; i < tabOrder.size(); ++i)
        QWidget::setTabOrder(tabOrder[i - 1], tabOrder[i]);
    // Comments are prose: Tab leaves them like any other field.
    meComments->setTabChangesFocus(true);

    for (QWidget* field : std::initializer_list<QWidget*>{edTitle, edKeywords, edSource, meComments})
        field->installEventFilter(this);
    auto store = [this] {
        if (isVisible() && !m_loading)
            StoreControlValues();
    };
    connect(edTitle, &QLineEdit::textChanged, this, store);
    connect(edKeywords, &QLineEdit::textChanged, this, store);
    connect(edSource, &QLineEdit::textChanged, this, store);
    connect(meComments, &QPlainTextEdit::textChanged, this, store);

    setMinimumSize(610, 420 + paBottom->height());
    resize(656, 440 + paBottom->height());
}

QWidget* TfrmEntry::BuildEntryDataPage()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("tsEntryData"));

    edKeywords = new QLineEdit(page);
    edKeywords->setObjectName(QStringLiteral("edKeywords"));
    edKeywords->setStatusTip(QStringLiteral("Enter the keywords for the entry here"));

    const QString categoryHint = QStringLiteral("Click to select the category to which the entry belongs");
    paCategory = new QFrame(page);
    paCategory->setObjectName(QStringLiteral("paCategory"));
    paCategory->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    paCategory->setStatusTip(categoryHint);
    laCategory = new QLabel(QStringLiteral("<Category>"), paCategory);
    laCategory->setObjectName(QStringLiteral("laCategory"));
    laCategory->setStatusTip(categoryHint);
    laCategory->setCursor(Qt::PointingHandCursor);
    laCategory->installEventFilter(this);
    btnSelectCategory = new QToolButton(paCategory);
    btnSelectCategory->setObjectName(QStringLiteral("btnSelectCategory"));
    btnSelectCategory->setStatusTip(categoryHint);
    btnSelectCategory->setArrowType(Qt::DownArrow);
    btnSelectCategory->setFixedSize(16, 16);
    btnSelectCategory->setAutoRaise(true);
    connect(btnSelectCategory, &QToolButton::clicked, this, [this] { CategoryMenuPopup(); });
    auto* categoryRow = new QHBoxLayout(paCategory);
    categoryRow->setContentsMargins(4, 2, 2, 2);
    categoryRow->addWidget(laCategory, 1);
    categoryRow->addWidget(btnSelectCategory);

    edSource = new QLineEdit(page);
    edSource->setObjectName(QStringLiteral("edSource"));
    edSource->setStatusTip(
        QStringLiteral("Optionally, enter the name of the source of this entry e.g. \"Internet newsgroups\""));
    // The source is one remembered text, the keywords a list of words each
    // looked up on its own. The histories react to typing only, so the
    // texts an entry brings are set without opening a drop-down.
    m_sourceHistory = std::make_unique<TEditMRUListObserver>(edSource, false, m_dmMain.SourceMRU(), &m_dmMain);
    m_keywordsHistory = std::make_unique<TEditMRUListObserver>(edKeywords, true, m_dmMain.KeywordsMRU(), &m_dmMain);

    meComments = new QPlainTextEdit(page);
    meComments->setObjectName(QStringLiteral("meComments"));
    meComments->setStatusTip(QStringLiteral("Enter (optionally) your comments for this entry"));

    laPassword = new QLabel(page);
    laPassword->setObjectName(QStringLiteral("laPassword"));
    laPassword->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    btnPassword = Button("btnPassword", QStringLiteral("Password"), page);
    connect(btnPassword, &QPushButton::clicked, this, [this] { btnPasswordClick(); });

    auto* grid = new QGridLayout(page);
    grid->setContentsMargins(8, 8, 8, 8);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(6);
    grid->addWidget(CaptionLabel(QStringLiteral("Keywords"), page), 0, 0);
    grid->addWidget(edKeywords, 0, 1, 1, 2);
    grid->addWidget(CaptionLabel(QStringLiteral("Category"), page), 1, 0);
    grid->addWidget(paCategory, 1, 1, 1, 2);
    grid->addWidget(CaptionLabel(QStringLiteral("Source"), page), 2, 0);
    grid->addWidget(edSource, 2, 1, 1, 2);
    grid->addWidget(CaptionLabel(QStringLiteral("Comments"), page), 3, 0, Qt::AlignTop);
    grid->addWidget(meComments, 3, 1, 1, 2);
    grid->addWidget(laPassword, 4, 1);
    grid->addWidget(btnPassword, 4, 2);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(3, 1);
    return page;
}

QWidget* TfrmEntry::BuildEmbeddedFilesPage()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("tsEmbeddedFiles"));
    grFolderFiles = new QTableWidget(page);
    grFolderFiles->setObjectName(QStringLiteral("grFolderFiles"));
    QFont small = grFolderFiles->font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    small.setBold(true);
    grFolderFiles->setFont(small);
    grFolderFiles->setColumnCount(1);
    grFolderFiles->horizontalHeader()->hide();
    grFolderFiles->verticalHeader()->hide();
    grFolderFiles->verticalHeader()->setDefaultSectionSize(std::max(16, QFontMetrics(small).height() + 4));
    page->installEventFilter(this);

    m_folderFilesMenu = new TFolderFilesMenu(m_dmMain, this);

    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(4, 4, 4, 4);
    column->addWidget(grFolderFiles);
    return page;
}

// --- the entry ----------------------------------------------------------------

void TfrmEntry::AttachEntry(TEntryData* entry)
{
    if (m_entry) {
        TFolderFiles* files = &m_entry->FolderFiles();
        m_entry->RemoveObserver(this);
        m_filesObserver.reset();
        if (m_dmMain.CurrentFolderFiles() == files)
            m_dmMain.SetCurrentFolderFiles(nullptr);
    }
    m_entry = entry;
    if (!entry) {
        UpdateSaveCommands();
        return;
    }
    entry->AddObserver(this);
    laEntryID->setText(QStringLiteral("Entry #%1").arg(entry->Code()));
    m_filesObserver = std::make_unique<TFolderFilesGridObserver>(m_dmMain, grFolderFiles, &entry->FolderFiles(),
                                                                 m_folderFilesMenu);
    LoadControlValues();

    // Files this window moves in or out of the monitored folder are the
    // user's own doing: no notices about them while the window exists.
    if (!m_monitoringSuspended && m_dmMain.App.NotifyMonitoredFolderChanges
        && entry->GetFolder().compare(IncludeTrailingBackslash(m_dmMain.App.MonitoredFolder), Qt::CaseInsensitive) == 0) {
        m_dmMain.SetMonitorFolder(false);
        m_monitoringSuspended = true;
    }
}

void TfrmEntry::ResumeMonitoring()
{
    if (!m_monitoringSuspended)
        return;
    m_monitoringSuspended = false;
    m_dmMain.SetMonitorFolder(true);
}

void TfrmEntry::LoadControlValues()
{
    if (!m_entry)
        return;
    m_loading = true;
    struct TReset {
        bool& flag;
        ~TReset() { flag = false; }
    } reset{m_loading};
    edTitle->setText(m_entry->Title());
    const TCategory* category = m_entry->Category();
    laCategory->setText(category ? category->GetPath() : kNoCategory);
    edSource->setText(m_entry->Source());
    edKeywords->setText(m_entry->Keywords());
    meComments->setPlainText(m_entry->Comments());
    UpdatePasswordDisplay();
    UpdateSaveCommands();
}

void TfrmEntry::StoreControlValues()
{
    if (!m_entry || m_readOnly)
        return;
    m_entry->SetTitle(edTitle->text());
    m_entry->SetKeywords(edKeywords->text());
    m_entry->SetSource(edSource->text());
    // The memo's lines joined by line breaks, as the other writers of
    // comments do. A stored entry without comments holds a single blank (its
    // row never holds empty comments); an empty memo says the same.
    const QString comments = meComments->toPlainText().split(u'\n').join(QStringLiteral("\r\n"));
    if (!(comments.isEmpty() && m_entry->Comments() == QStringLiteral(" ")))
        m_entry->SetComments(comments);
}

void TfrmEntry::UpdatePasswordDisplay()
{
    const bool isProtected = m_entry && m_entry->PasswordProtected();
    laPassword->setText(PasswordLabelText(isProtected));
    QPalette palette = laPassword->palette();
    palette.setColor(QPalette::WindowText, isProtected ? kProtectedColour : kUnprotectedColour);
    laPassword->setPalette(palette);
    const QString caption = isProtected ? QStringLiteral("Remove password") : QStringLiteral("Add password");
    btnPassword->setText(caption);
    acPassword->setText(caption);
    // A password can be added only through the window that asks for it twice.
    const bool possible = m_entry && !m_readOnly && (isProtected || PasswordProtectDialog);
    btnPassword->setEnabled(possible);
    acPassword->setEnabled(possible);
}

void TfrmEntry::UpdateSaveCommands()
{
    const bool modified = m_entry && !m_readOnly && m_entry->IsModified();
    btnSave->setEnabled(modified);
    acSave->setEnabled(modified);
    acSaveAndClose->setEnabled(modified);
}

void TfrmEntry::EntryDataChanged(TEntryData* entry)
{
    if (entry == m_entry)
        UpdateSaveCommands();
}

void TfrmEntry::SetReadOnly(bool readOnly)
{
    m_readOnly = readOnly;
    tsEntryData->setEnabled(!readOnly);
    tsEmbeddedFiles->setEnabled(!readOnly);
    edTitle->setReadOnly(readOnly);
    for (QAction* capture : {acAddClipboard, acAddMonitoredFiles, acAddQuickNote, acAddClipboardAsText,
                             acAddClipboardAsHtml})
        capture->setEnabled(!readOnly);
    UpdatePasswordDisplay();
    UpdateSaveCommands();
}

void TfrmEntry::SetNewMode()
{
    setWindowTitle(QStringLiteral("New entry"));
    m_isNew = true;
}

void TfrmEntry::SetEditMode()
{
    setWindowTitle(QStringLiteral("Edit entry"));
    m_isNew = false;
}

int TfrmEntry::PageIndex() const
{
    return pc->currentIndex();
}

void TfrmEntry::SetPageIndex(int index)
{
    pc->setCurrentIndex(index);
}

void TfrmEntry::ResizeFilesGrid()
{
    if (m_filesObserver)
        m_filesObserver->FitColumn();
}

// --- category -----------------------------------------------------------------

void TfrmEntry::CategoryMenuPopup()
{
    if (!m_entry || m_readOnly)
        return;
    // With no category yet the menu would be empty: offer to make one.
    if (!TCategoryMenu::EnsureCategories(m_dmMain))
        return;
    if (!m_categoryMenu) {
        m_categoryMenu = new QMenu(this);
        m_categoryMenu->setObjectName(QStringLiteral("popCategories"));
        // The chooser rebuilds the menu from the tree each time it opens and
        // counts the use of the category picked.
        auto* chooser = new TCategoryMenu(m_dmMain, *m_categoryMenu, m_categoryMenu);
        chooser->OnCategoryPicked = [this](TCategory* category) { CategoryMenuItemClick(category); };
    }
    // Below the category field, like a drop-down list: from the keyboard
    // the mouse pointer may be anywhere on the screen.
    m_categoryMenu->popup(paCategory->mapToGlobal(QPoint(0, paCategory->height())));
}

void TfrmEntry::CategoryMenuItemClick(TCategory* category)
{
    if (!m_entry || !category)
        return;
    laCategory->setText(category->GetPath());
    m_entry->SetCategory(category);
}

// --- password -----------------------------------------------------------------

void TfrmEntry::btnPasswordClick()
{
    if (!m_entry || m_readOnly)
        return;
    if (m_entry->PasswordProtected()) {
        m_entry->SetPassword(QString());
        m_entry->SetPasswordProtected(false);
    } else {
        if (!PasswordProtectDialog)
            return;
        const std::optional<QString> password = PasswordProtectDialog(this);
        if (!password)
            return;
        m_entry->SetPassword(*password);
        m_entry->SetPasswordProtected(true);
    }
    UpdatePasswordDisplay();
}

// --- saving -------------------------------------------------------------------

bool TfrmEntry::ValidateAndSave()
{
    if (!m_entry || m_readOnly)
        return false;
    IDesktop& desktop = m_dmMain.Desktop();
    const auto refuse = [this, &desktop](const QString& text, IDesktop::TMsgKind kind) {
        desktop.ShowMessage(text, kind);
        m_modalResult = QDialog::Rejected;
        return false;
    };

    StoreControlValues();
    const QString title = edTitle->text().trimmed();
    if (title != edTitle->text()) {
        edTitle->setText(title);
        StoreControlValues();
    }
    if (title.isEmpty() || title == kNewEntryTitle) {
        refuse(NoTitleText(), IDesktop::TMsgKind::Information);
        pc->setCurrentIndex(0);
        edTitle->setFocus();
        return false;
    }
    if (!m_entry->Category()) {
        if (m_dmMain.Categories().Count() == 0) {
            // Nothing to pick from: the way to a category is the manager.
            if (TCategoryMenu::EnsureCategories(m_dmMain))
                CategoryMenuPopup();
            m_modalResult = QDialog::Rejected;
            return false;
        }
        return refuse(NoCategoryText(), IDesktop::TMsgKind::Information);
    }
    TFolderFiles& files = m_entry->FolderFiles();
    if (files.SelectedCount() == 0)
        return refuse(NoFilesText(), IDesktop::TMsgKind::Information);
    if (files.SelectedFileCount() > MaxFileCount)
        return refuse(TooManyFilesText(), IDesktop::TMsgKind::Warning);
    const qint64 size = files.SelectedSize();
    if (!m_dmMain.App.AllowAnyFileSize && size > MaxFileSize)
        return refuse(TooLargeText(), IDesktop::TMsgKind::Warning);
    if (size > ConfirmFileSize
        && desktop.MessageBox(ConfirmLargeText(), IDesktop::TMsgKind::Information, IDesktop::TButtons::YesNo)
               != IDesktop::TAnswer::Yes) {
        m_modalResult = QDialog::Rejected;
        return false;
    }

    m_dmMain.SourceMRU().AddText(edSource->text());
    m_keywordsHistory->AddAllWords();

    const bool wasNew = m_isNew;
    TdmDB& db = m_dmMain.DB();
    const bool stored = m_entry->Save([this, &db, &desktop](TEntryData& entry) {
        try {
            TCursorRestore wait(desktop);
            return db.StoreEntry(entry);
        } catch (const EAbort&) {
            return false;
        } catch (const ETessarynError& error) {
            // The database's own text first; the entry then says it was not saved.
            desktop.ShowMessage(error.Message(), IDesktop::TMsgKind::Error);
            return false;
        }
    });
    // A new entry made from the monitored folder works on that folder until
    // it is stored; then its files move to the entry's own folder. A failed
    // store leaves them where they are, with the user's other files, so that
    // discarding the entry afterwards cannot take them away.
    if (stored && wasNew && m_entry->GetFolder() == IncludeTrailingBackslash(m_dmMain.App.MonitoredFolder))
        RelocateMonitoredFiles();
    if (!stored)
        m_modalResult = QDialog::Rejected;
    UpdateSaveCommands();
    if (m_dmMain.EntryManager().RefreshBrowser)
        m_dmMain.EntryManager().RefreshBrowser();
    return stored;
}

void TfrmEntry::RelocateMonitoredFiles()
{
    TFolderFiles& files = m_entry->FolderFiles();
    const QString monitored = m_entry->FolderOverride();
    files.StopWatching();
    m_entry->SetFolderOverride(QString());
    const QString target = m_entry->GetFolder();
    m_entry->SetFolderOverride(monitored);
    QDir().mkpath(target);
    m_entry->MoveSelectedFilesTo(target);
    m_entry->SetFolderOverride(QString());
    files.ListFolder(target);
    files.ResumeWatching();
    m_entry->ClearModified();
    m_entry->NotifyObservers();
}

void TfrmEntry::SaveEntryChanges()
{
    try {
        ValidateAndSave();
    } catch (const ETessarynError&) {
    } catch (const EAbort&) {
    }
    m_modalResult = QDialog::Rejected;
}

void TfrmEntry::SaveEntryChangesAndExit()
{
    bool stored = false;
    try {
        stored = ValidateAndSave();
    } catch (const ETessarynError& error) {
        m_dmMain.Desktop().ShowMessage(error.Message(), IDesktop::TMsgKind::Error);
    } catch (const EAbort&) {
    }
    if (!stored) {
        m_modalResult = QDialog::Rejected;
        return;
    }
    m_modalResult = QDialog::Accepted;
    close();
}

bool TfrmEntry::DoFormClose()
{
    return close();
}

// --- closing ------------------------------------------------------------------

bool TfrmEntry::FormCloseQuery()
{
    if (!m_entry)
        return true;
    if (!m_entry->IsModified())
        return true;
    IDesktop& desktop = m_dmMain.Desktop();
    switch (desktop.MessageBox(SaveChangesText(), IDesktop::TMsgKind::Confirmation, IDesktop::TButtons::YesNoCancel)) {
    case IDesktop::TAnswer::No:
        return true;
    case IDesktop::TAnswer::Yes:
        break;
    default:
        return false;
    }
    if (m_entry->FolderFiles().SelectedCount() == 0) {
        desktop.ShowMessage(NoFilesText(), IDesktop::TMsgKind::Information);
        return false;
    }
    try {
        return ValidateAndSave();
    } catch (const ETessarynError&) {
        return false;
    } catch (const EAbort&) {
        return false;
    }
}

void TfrmEntry::FormClose()
{
    if (!m_entry)
        return;
    TEntryData* entry = m_entry;
    entry->FolderFiles().StopWatching();
    // Detached first: the registry frees the entry, and with it the list the
    // grid shows.
    AttachEntry(nullptr);
    m_dmMain.EntryManager().OpenEntries().CloseEntry(entry);
}

void TfrmEntry::closeEvent(QCloseEvent* event)
{
    if (!m_closing) {
        if (!FormCloseQuery()) {
            event->ignore();
            return;
        }
        m_closing = true;
        FormClose();
    }
    event->accept();
    // Ends the modal loop of a modal window and hides a docked one.
    QDialog::done(m_modalResult);
    if (m_docked)
        deleteLater();
}

void TfrmEntry::done(int result)
{
    if (m_closing) {
        QDialog::done(result);
        return;
    }
    m_modalResult = result;
    close();
}

void TfrmEntry::reject()
{
    // Esc reaches a docked window too; there it belongs to the open-entries window.
    if (m_docked)
        return;
    done(QDialog::Rejected);
}

// --- showing, docking, keys ----------------------------------------------------

void TfrmEntry::FormShow()
{
    TFrmStatusBar::FormShow();
    if (m_isNew)
        edTitle->setFocus();
    else
        btnCancel->setFocus();
    ApplyColorScheme();
    if (m_entry)
        m_entry->FolderFiles().SetCurrent(0);
}

void TfrmEntry::DockInto(QWidget* container)
{
    m_docked = true;
    setParent(container, Qt::Widget);
    paBottom->hide();
    m_menuBar->hide();
    if (auto* stack = qobject_cast<QStackedLayout*>(container->layout()))
        stack->addWidget(this);
    else if (container->layout())
        container->layout()->addWidget(this);
    show();
}

void TfrmEntry::ApplyPlacement()
{
    if (!m_docked)
        TFrmStatusBar::ApplyPlacement();
}

void TfrmEntry::SavePlacement()
{
    if (!m_docked)
        TFrmStatusBar::SavePlacement();
}

bool TfrmEntry::PlainKey(const QKeyEvent& event, int key)
{
    return event.key() == key && (event.modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

bool TfrmEntry::KeyOfAnotherWindow(const QWidget* window)
{
    // An open popup menu has the keyboard, and so has a modal window (Qt
    // gives the windows below it no input); otherwise the key goes to the
    // focus widget's window.
    const QWidget* owner = QApplication::activePopupWidget();
    if (!owner)
        owner = QApplication::activeModalWidget();
    if (!owner) {
        const QWidget* focus = QApplication::focusWidget();
        owner = focus ? focus->window() : nullptr;
    }
    return owner && owner != window;
}

bool TfrmEntry::FormKeyDown(QKeyEvent* event)
{
    // The key preview also shows this window the keys of a window opened
    // over it (a quick note, a prompt): those are not its own. Escape there
    // must close that window, not the entry.
    if (KeyOfAnotherWindow(window()))
        return false;
    if (TFrmStatusBar::FormKeyDown(event))
        return true;
    if (PlainKey(*event, Qt::Key_Escape)) {
        if (m_docked)
            return false;
        DoFormClose();
        return true;
    }
    if (PlainKey(*event, Qt::Key_F2) && pc->currentWidget() == tsEmbeddedFiles && m_entry && !m_readOnly) {
        m_entry->FolderFiles().RenameCurrent();
        return true;
    }
    return false;
}

void TfrmEntry::keyPressEvent(QKeyEvent* event)
{
    // A docked window leaves Esc to the window it is docked in.
    if (m_docked && event->key() == Qt::Key_Escape) {
        event->ignore();
        return;
    }
    TFrmStatusBar::keyPressEvent(event);
}

bool TfrmEntry::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::FocusIn:
        if (watched == edTitle)
            QTimer::singleShot(0, edTitle, [title = edTitle] { title->selectAll(); });
        break;
    case QEvent::FocusOut:
        if (watched == edTitle || watched == edKeywords || watched == edSource || watched == meComments)
            StoreControlValues();
        break;
    case QEvent::MouseButtonPress:
        if (watched == laCategory) {
            CategoryMenuPopup();
            return true;
        }
        break;
    case QEvent::Resize:
        if (watched == tsEmbeddedFiles)
            ResizeFilesGrid();
        break;
    default:
        break;
    }
    return TFrmStatusBar::eventFilter(watched, event);
}

// --- colours ------------------------------------------------------------------

void TfrmEntry::ApplyColorScheme()
{
    laEntryID->SetColor(m_dmMain.Colour(csHighlightStart));
    pc->SetFontColors(m_dmMain.Colour(csSelectedTitle), Qt::gray);
    grFolderFiles->viewport()->update();
}

// --- drops and captures -----------------------------------------------------------

IOstrivaleDropTarget* TfrmEntry::HostDropTarget() const
{
    for (QWidget* w = parentWidget(); w; w = w->parentWidget())
        if (auto* target = dynamic_cast<IOstrivaleDropTarget*>(w))
            return target;
    return nullptr;
}

bool TfrmEntry::DropsAccepted() const
{
    if (!m_docked)
        return m_dropsAccepted;
    const IOstrivaleDropTarget* host = HostDropTarget();
    return host && host->DropsAccepted();
}

void TfrmEntry::EnableDrops()
{
    m_dropsAccepted = true;
}

void TfrmEntry::DisableDrops()
{
    m_dropsAccepted = false;
}

bool TfrmEntry::AcceptsMime(const QMimeData* mime) const
{
    if (!mime || !m_entry || m_readOnly || !DropsAccepted())
        return false;
    return mime->hasUrls() || mime->hasText() || mime->hasHtml() || mime->hasImage()
           || mime->hasFormat(QStringLiteral("text/x-moz-url")) || mime->hasFormat(QStringLiteral("text/rtf"));
}

void TfrmEntry::dragEnterEvent(QDragEnterEvent* event)
{
    if (!AcceptsMime(event->mimeData())) {
        event->ignore();
        return;
    }
    if (event->possibleActions() & Qt::CopyAction)
        event->setDropAction(Qt::CopyAction);
    else
        event->setDropAction(Qt::LinkAction);
    event->accept();
}

void TfrmEntry::dragMoveEvent(QDragMoveEvent* event)
{
    if (AcceptsMime(event->mimeData()))
        event->accept();
    else
        event->ignore();
}

void TfrmEntry::dropEvent(QDropEvent* event)
{
    if (!AcceptsMime(event->mimeData())) {
        event->ignore();
        return;
    }
    try {
        DropComboTarget1Drop(TDropData::FromMimeData(*event->mimeData()));
    } catch (const ETessarynError& error) {
        m_dmMain.Desktop().ShowMessage(error.Message(), IDesktop::TMsgKind::Error);
    }
    event->setDropAction((event->possibleActions() & Qt::CopyAction) ? Qt::CopyAction : Qt::LinkAction);
    event->accept();
}

QStringList TfrmEntry::DropComboTarget1Drop(const TDropData& data)
{
    if (!m_entry || m_readOnly || !DropsAccepted())
        return {};
    const QStringList written = m_dmMain.EventAssistant().StoreDroppedData(m_entry->GetFolder(), data);
    RefreshFolderFiles();
    QStringList names;
    for (const QString& path : written)
        names.append(QFileInfo(QDir::cleanPath(path)).fileName());
    ShowAdded(names);
    return written;
}

QString TfrmEntry::AddedText(const QStringList& names)
{
    return QStringLiteral("Added %1 %2: %3")
        .arg(names.size())
        .arg(names.size() == 1 ? QStringLiteral("file") : QStringLiteral("files"), names.join(QStringLiteral(", ")));
}

void TfrmEntry::ShowAdded(const QStringList& names)
{
    // The new files may sit on the other page, or look like the ones already
    // there; without a word a second paste is easily made by mistake.
    if (!names.isEmpty())
        ShowInfoHint(AddedText(names));
}

void TfrmEntry::RefreshFolderFiles()
{
    // The folder's watcher would find the new files shortly; listing them
    // now shows them (and enables saving) as soon as the command returns.
    if (m_entry)
        m_entry->FolderFiles().Refresh();
}

void TfrmEntry::AddClipboardContents(int textMode)
{
    if (!m_entry || m_readOnly)
        return;
    int& handling = m_dmMain.App.ClipboardTextHandling;
    try {
        const TRestoreOnExit<int> restore(handling, textMode != 0 ? textMode : handling);
        const QStringList written = m_dmMain.EventAssistant().PasteClipboard(
            [this](const TDropData& data) { return DropComboTarget1Drop(data); });
        if (written.isEmpty())
            ShowInfoHint(TEventAssistant::NothingToStoreText);
    } catch (const ETessarynError& error) {
        m_dmMain.Desktop().ShowMessage(error.Message(), IDesktop::TMsgKind::Error);
    }
}

void TfrmEntry::AddQuickNote()
{
    if (!m_entry || m_readOnly)
        return;
    if (TFrmQuickNote::Execute(m_dmMain, this))
        AddClipboardContents(0);
}

void TfrmEntry::AddMonitoredFolderFiles()
{
    if (!m_entry || m_readOnly)
        return;
    TFolderFiles& target = m_entry->FolderFiles();
    const QString monitored = IncludeTrailingBackslash(m_dmMain.App.MonitoredFolder);
    // An entry made from the monitored folder already holds all of it.
    if (target.FolderPath() == monitored)
        return;
    TFolderFiles source(m_dmMain, nullptr);
    source.ListFolder(monitored);
    source.SelectAll();
    if (source.SelectedCount() == 0)
        return;
    QStringList names;
    for (const int index : source.Selection())
        names.append(source.Items(index)->Name());
    try {
        const TMonitoringRestore restore(m_dmMain, m_dmMain.App.NotifyMonitoredFolderChanges);
        m_dmMain.SetMonitorFolder(false);
        QDir().mkpath(target.FolderPath());
        m_dmMain.EntryManager().MoveSelectedFiles(source, target);
        // The monitored folder's watcher hears of the move while its notices are off.
        QCoreApplication::processEvents();
    } catch (const ETessarynError& error) {
        m_dmMain.Desktop().ShowMessage(error.Message(), IDesktop::TMsgKind::Error);
        RefreshFolderFiles();
        return;
    }
    RefreshFolderFiles();
    ShowAdded(names);
}

void TfrmEntry::ExploreFolder()
{
    if (m_entry)
        m_entry->ExploreFolder();
}
