#include "preferences/fPreferences.h"

#include "app/Errors.h"
#include "app/IDesktop.h"
#include "controls/BGroupBox.h"
#include "controls/CommandButton.h"
#include "db/ClientRecordSet.h"
#include "db/dmConnection.h"
#include "editing/fSelectCategories.h"
#include "engine/Category.h"
#include "engine/EntryManager.h"
#include "engine/FileHelpers.h"
#include "preferences/ColourSchemePreview.h"
#include "preferences/MailSettingsPage.h"
#include "mainwindow/TaskAssistant.h"
#include "preferences/ToolbarButtonsGrid.h"
#include "search/SearchOptions.h"
#include "settings/AppSettingsCatalogue.h"
#include "settings/ISettingsManager.h"
#include "settings/dmMain.h"

#include <QBoxLayout>
#include <QButtonGroup>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTemporaryFile>
#include <QToolButton>

const QString TFrmPreferences::RestoreDefaultsQuestion =
    QStringLiteral("Are you sure you want to restore the default settings for the application?");
const QString TFrmPreferences::ClearFolderQuestion = QStringLiteral("Are you sure you want to clear folder:\r\n%1 ?");

std::function<int(TFrmPreferences&)> TFrmPreferences::ExecuteHook;
std::function<std::optional<QColor>(const QColor&, QWidget*)> TFrmPreferences::PickColour =
    [](const QColor& start, QWidget* parent) -> std::optional<QColor> {
    const QColor chosen = QColorDialog::getColor(start, parent);
    if (!chosen.isValid())
        return std::nullopt;
    return chosen;
};

namespace {

const QColor kBackground(235, 233, 216);
const QColor kCream(255, 251, 240);
const QColor kGroupBar(234, 234, 234);
const QColor kCaptionBack(231, 237, 236);
const QDate kNoStartDate(1950, 1, 1);
const QDate kNoEndDate(2078, 12, 31);
constexpr int kMostUsedMax = 100;
constexpr int kMailLimitMax = 1024 * 1024;   // KB: a message of 1 GB is far beyond any server

const QStringList kCleanupTexts = {
    QStringLiteral("This option provides the maximum security, at the expense of speed, however, since each time you "
                   "open the entry the files will be extracted again. Also note that if you \"view\" an entry (with a "
                   "file's associated application), or if you open / extract individual files from the \"Entry files "
                   "preview\" window, they will be removed when the application terminates."),
    QStringLiteral("If you are not particularly concerned about the security of the files extracted by Tessaryn, you "
                   "may choose this option. All temporary files created by Tessaryn will be deleted when the "
                   "application terminates."),
    QStringLiteral("If you intend to work on files extracted by Tessaryn AFTER the application terminates, then you "
                   "should choose this option so that extracted files are preserved until you restart Tessaryn."),
};

const QString kEditMultipleAdvanced = QStringLiteral(
    "ADVANCED USERS ONLY: Check the box below if you wish to edit multiple entries, each entry in a separate window.");
const QString kEditMultipleLocked =
    QStringLiteral("You cannot change this setting while entries are open for editing. Close all open entries and "
                   "then return here to change it.");
const QString kExtractFolderInfo = QStringLiteral(
    "Specify the folder into which all the entries are extracted (each in its own subfolder) so that you can view or "
    "edit them.");
const QString kExtractFolderLocked =
    QStringLiteral("You cannot change the application's extract folder while entries are open for editing. Close all "
                   "open entries and then return here to change the extract folder.");

template <class T>
T* Named(T* widget, const char* name, const QString& hint = {})
{
    widget->setObjectName(QString::fromLatin1(name));
    if (!hint.isEmpty()) {
        widget->setStatusTip(hint);
        widget->setToolTip(hint);
    }
    return widget;
}

QString WithSlash(QString folder)
{
    folder = QDir::cleanPath(folder);
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

bool CanWriteInto(const QString& folder)
{
    QTemporaryFile probe(WithSlash(folder) + QStringLiteral(".tessaryn-write-test-XXXXXX"));
    return probe.open();
}

} // namespace

const QList<TFrmPreferences::TLink>& TFrmPreferences::Links()
{
    static const QString general = QStringLiteral("General preferences");
    static const QString appearance = QStringLiteral("Appearance / behaviour");
    static const QString files = QStringLiteral("Files and folders");
    static const QString exports = QStringLiteral("Exports");
    static const QList<TLink> links = {
        {general, QStringLiteral("laDragDrop"), QStringLiteral("Drag and drop"),
         QStringLiteral("Options that affect the way Tessaryn handles dropped files and text"), QStringLiteral("gbDragDrop"), 21},
        {general, QStringLiteral("laEntryBrowsing"), QStringLiteral("Entry browsing"),
         QStringLiteral("Options that affect the actions performed when browsing the entries"),
         QStringLiteral("paEntryBrowsing"), 22},
        {general, QStringLiteral("laEntryEditing"), QStringLiteral("Entry editing"),
         QStringLiteral("Options that affect editing entry data and embedded files"), QStringLiteral("paEntryEditing"), 23},
        {general, QStringLiteral("tsEntrySelection"), QStringLiteral("Entry selection"),
         QStringLiteral("Options that affect the search for entries in \"Select Entry\" dialog"),
         QStringLiteral("gbEntrySelection"), 24},
        {general, QStringLiteral("laTextHandling"), QStringLiteral("Clipboard text handling"),
         QStringLiteral("Clipboard text handling options"), QStringLiteral("paTextHandling"), 25},
        {general, QStringLiteral("laMRUCategories"), QStringLiteral("Most used categories"),
         QStringLiteral("Most used categories"), QStringLiteral("gbMRUCategories"), 26},
        {general, QStringLiteral("tsSearchOptions"), QStringLiteral("Search options"),
         QStringLiteral("Advanced search options, category filters, etc."), QStringLiteral("paSearch"), 27},
        {general, QStringLiteral("laLimits"), QStringLiteral("Limits"),
         QStringLiteral("Restrictions imposed on file size and count"), QStringLiteral("paLimits"), 28},
        {appearance, QStringLiteral("laColours"), QStringLiteral("Colours"), QStringLiteral("Colour preferences"),
         QStringLiteral("gbColours"), 29},
        {appearance, QStringLiteral("laLayout"), QStringLiteral("Layout"), QStringLiteral("Main window layout"),
         QStringLiteral("gbLayout"), 30},
        {appearance, QStringLiteral("laTrayBarOptions"), QStringLiteral("Tray bar options"),
         QStringLiteral("Options for the tray bar icon of the application"), QStringLiteral("paTrayBarOptions"), 31},
        {appearance, QStringLiteral("laTaskAssistantPanels"), QStringLiteral("Task assistant panels"),
         QStringLiteral("Which of the panels on the task assistant window are visible"), QStringLiteral("gbTaskPanels"), 32},
        {appearance, QStringLiteral("laToolbarButtons"), QStringLiteral("Toolbar buttons"),
         QStringLiteral("Which buttons appear on the toolbar"), QStringLiteral("gbToolbar"), 33},
        {files, QStringLiteral("laCleanupTemp"), QStringLiteral("Temporary files"),
         QStringLiteral("Clean up of temporary files extracted during a session"), QStringLiteral("gbCleanUpTemp"), 34},
        {files, QStringLiteral("laFolders"), QStringLiteral("Application folders"),
         QStringLiteral("Folders into which entries are extracted / fodler the application monitors for changes"),
         QStringLiteral("paFolders"), 35},
        {exports, QStringLiteral("laMail"), QStringLiteral("e-Mail"), QStringLiteral("Settings for sending entries by e-mail"),
         QStringLiteral("gbMail"), 36},
        {exports, QStringLiteral("laHTML"), QStringLiteral("HTML"),
         QStringLiteral("Settings for the HTML pages created by the application"), QStringLiteral("paHTML"), 37},
    };
    return links;
}

// --- creation -------------------------------------------------------------------------------

TFrmPreferences::TFrmPreferences(TdmMain& dmMain, TLayoutOwners owners, QWidget* parent)
    : TFrmStatusBar(dmMain, parent), m_owners(owners)
{
    setObjectName(QStringLiteral("TFrmPreferences"));
    SetHelpContext(HelpContext);
    m_schemeAtOpening = m_dmMain.App.ColorScheme;
    BuildWindow();
    TToolbarButtonList toolbar;
    toolbar.SetArrangement(m_owners.Toolbar.Arrangement());
    LoadControls(m_dmMain.App, m_dmMain.SearchOptions(), toolbar, TaskAssistantChoice());
    SelectLink(QStringLiteral("laEntryBrowsing"));
}

TFrmPreferences::~TFrmPreferences() = default;

int TFrmPreferences::ShowPreferences(TdmMain& dmMain, TLayoutOwners owners, const QString& linkName, QWidget* parent)
{
    TFrmPreferences window(dmMain, owners, parent);
    window.SelectLink(linkName);
    return ExecuteHook ? ExecuteHook(window) : window.exec();
}

void TFrmPreferences::BuildWindow()
{
    setWindowTitle(QStringLiteral("Settings"));
    setModal(true);
    setMinimumSize(662, 483);
    resize(700, 560);
    QPalette own = palette();
    own.setColor(QPalette::Window, kBackground);
    setPalette(own);
    setAutoFillBackground(true);

    QWidget* client = ClientArea();
    sbLinks = Named(new QScrollArea(client), "sbLinks");
    sbLinks->setWidget(BuildLinks());
    sbLinks->setWidgetResizable(true);
    sbLinks->setFixedWidth(200);
    sbLinks->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    laCaption = Named(new QLabel(QStringLiteral("Settings"), client), "laCaption");
    laCaption->setFrameStyle(QFrame::Box | QFrame::Plain);
    laCaption->setLineWidth(1);
    laCaption->setAutoFillBackground(true);
    QPalette cp = laCaption->palette();
    cp.setColor(QPalette::Window, kCaptionBack);
    cp.setColor(QPalette::WindowText, QColor(64, 64, 64));
    laCaption->setPalette(cp);
    QFont cf = laCaption->font();
    cf.setBold(true);
    cf.setPointSizeF(cf.pointSizeF() * 1.15);
    laCaption->setFont(cf);
    laCaption->setMargin(4);

    paContainer = Named(new QStackedWidget(client), "paContainer");
    BuildPages();

    btnRestoreDefaults = NewCommandButton(client, "btnRestoreDefaults", QStringLiteral("Restore defaults"),
                                          QStringLiteral("Restores settings to default values"));
    btnOK = NewCommandButton(client, "btnOK", QStringLiteral("Save"),
                             QStringLiteral("Saves changes to settings and closes this form"));
    btnCancel = NewCommandButton(client, "btnCancel", QStringLiteral("Cancel"),
                                 QStringLiteral("Closes this form without saving any changes to application settings"));
    btnOK->setDefault(true);
    connect(btnRestoreDefaults, &QPushButton::clicked, this, &TFrmPreferences::btnRestoreDefaultsClick);
    connect(btnOK, &QPushButton::clicked, this, &TFrmPreferences::accept);
    connect(btnCancel, &QPushButton::clicked, this, &TFrmPreferences::reject);

    // A page taller than the window (large fonts) scrolls instead of
    // squeezing its texts.
    auto* pageScroller = Named(new QScrollArea(client), "sbPage");
    pageScroller->setWidget(paContainer);
    pageScroller->setWidgetResizable(true);
    pageScroller->setFrameShape(QFrame::NoFrame);
    pageScroller->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    pageScroller->viewport()->setAutoFillBackground(false);
    auto* right = new QVBoxLayout;
    right->addWidget(laCaption);
    right->addWidget(pageScroller, 1);
    auto* top = new QHBoxLayout;
    top->addWidget(sbLinks);
    top->addLayout(right, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnRestoreDefaults);
    buttons->addStretch(1);
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    auto* column = new QVBoxLayout(client);
    column->setContentsMargins(6, 6, 6, 6);
    column->addLayout(top, 1);
    column->addLayout(buttons);
}

QWidget* TFrmPreferences::BuildLinks()
{
    auto* holder = new QWidget;
    holder->setObjectName(QStringLiteral("paLinks"));
    holder->setAutoFillBackground(true);
    QPalette hp = holder->palette();
    hp.setColor(QPalette::Window, kCream);
    holder->setPalette(hp);
    auto* column = new QVBoxLayout(holder);
    column->setContentsMargins(4, 4, 4, 4);
    column->setSpacing(0);
    QString group;
    QWidget* linksBox = nullptr;
    QVBoxLayout* linksColumn = nullptr;
    for (const TLink& link : Links()) {
        if (link.Group != group) {
            group = link.Group;
            // A header that folds its links away; all groups start open.
            auto* header = new QToolButton(holder);
            header->setObjectName(QStringLiteral("dd") + QString(group).remove(QRegularExpression(QStringLiteral("[^A-Za-z]"))));
            header->setText(group);
            header->setCheckable(true);
            header->setChecked(true);
            header->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
            header->setArrowType(Qt::DownArrow);
            header->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
            header->setAutoRaise(true);
            header->setAutoFillBackground(true);
            QPalette bp = header->palette();
            bp.setColor(QPalette::Button, kGroupBar);
            bp.setColor(QPalette::Window, kGroupBar);
            header->setPalette(bp);
            QFont bold = header->font();
            bold.setBold(true);
            header->setFont(bold);
            header->setFixedHeight(25);
            column->addSpacing(column->count() ? 6 : 0);
            column->addWidget(header);
            linksBox = new QWidget(holder);
            linksColumn = new QVBoxLayout(linksBox);
            linksColumn->setContentsMargins(14, 3, 2, 3);
            linksColumn->setSpacing(0);
            column->addWidget(linksBox);
            connect(header, &QToolButton::toggled, linksBox, [header, linksBox](bool open) {
                linksBox->setVisible(open);
                header->setArrowType(open ? Qt::DownArrow : Qt::RightArrow);
            });
        }
        auto* label = new QPushButton(link.Caption, linksBox);
        label->setObjectName(link.Name);
        label->setStatusTip(link.Hint);
        label->setToolTip(link.Hint);
        label->setFlat(true);
        label->setAutoDefault(false);
        label->setCursor(Qt::PointingHandCursor);
        label->setStyleSheet(QStringLiteral("QPushButton { text-align: left; border: none; padding: 1px 2px; }"
                                            "QPushButton:hover { color: blue; text-decoration: underline; }"
                                            "QPushButton:focus { color: #0000c0; }"));
        label->setFixedHeight(16 + 2);
        linksColumn->addWidget(label);
        m_linkButtons.insert(link.Name, label);
        const QString name = link.Name;
        connect(label, &QPushButton::clicked, this, [this, name] { SelectLink(name); });
    }
    column->addStretch(1);
    return holder;
}

bool TFrmPreferences::SelectLink(const QString& name)
{
    for (const TLink& link : Links()) {
        if (link.Name != name)
            continue;
        laCaption->setText(link.Group + QStringLiteral(" / ") + link.Caption);
        if (QWidget* page = Page(link.Page))
            paContainer->setCurrentWidget(page);
        m_helpContext = link.HelpContext;
        SetHelpContext(link.HelpContext);
        // The last chosen link stays marked, in blue bold.
        const auto mark = [this](QPushButton* button, bool marked) {
            QFont f = button->font();
            f.setBold(marked);
            button->setFont(f);
            QPalette p = button->palette();
            p.setColor(QPalette::ButtonText, marked ? QColor(Qt::blue) : palette().color(QPalette::ButtonText));
            button->setPalette(p);
        };
        if (QPushButton* previous = m_linkButtons.value(m_currentLink))
            mark(previous, false);
        m_currentLink = name;
        mark(m_linkButtons.value(name), true);
        return true;
    }
    return false;
}

QWidget* TFrmPreferences::CurrentPage() const
{
    return paContainer->currentWidget();
}

QString TFrmPreferences::CaptionText() const
{
    return laCaption->text();
}

TBGroupBox* TFrmPreferences::NewGroupBox(const QString& caption, const char* name, QWidget* parent)
{
    auto* box = new TBGroupBox(caption, parent);
    box->setObjectName(QString::fromLatin1(name));
    box->ApplyWindowLook();
    box->SetDesktop(&m_dmMain.Desktop());
    return box;
}

QLabel* TFrmPreferences::ErrorLabel(QWidget* field)
{
    auto* label = new QLabel(field->parentWidget());
    label->setObjectName(field->objectName() + QStringLiteral("Error"));
    label->setWordWrap(true);
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, QColor(192, 0, 0));
    label->setPalette(p);
    label->hide();
    m_errorLabels.insert(field, label);
    return label;
}

QString TFrmPreferences::FieldError(QWidget* field) const
{
    const QLabel* label = m_errorLabels.value(field);
    return label && !label->isHidden() ? label->text() : QString();
}

void TFrmPreferences::BuildPages()
{
    const auto addPage = [this](QWidget* page) {
        m_pages.insert(page->objectName(), page);
        paContainer->addWidget(page);
    };
    const auto plainPage = [](const char* name) {
        auto* page = new QWidget;
        page->setObjectName(QString::fromLatin1(name));
        auto* column = new QVBoxLayout(page);
        column->setContentsMargins(0, 0, 0, 0);
        return std::make_pair(page, column);
    };

    // Drag and drop
    {
        TBGroupBox* gb = NewGroupBox(QStringLiteral(" Drag and drop "), "gbDragDrop");
        auto* l = new QVBoxLayout(gb);
        l->addWidget(new QLabel(QStringLiteral("When files or text are dropped on the main window:"), gb));
        rbOnDropNewEntry = Named(new QRadioButton(QStringLiteral("Create a new entry with the dropped files / text"), gb),
                                 "rbOnDropNewEntry");
        rbOnDropSave = Named(
            new QRadioButton(QStringLiteral("Save the dropped files / text in the application \"Monitored\" folder"), gb),
            "rbOnDropSave");
        l->addWidget(rbOnDropNewEntry);
        l->addWidget(rbOnDropSave);
        l->addStretch(1);
        addPage(gb);
    }
    // Entry browsing
    {
        auto [page, column] = plainPage("paEntryBrowsing");
        TBGroupBox* single = NewGroupBox(QStringLiteral(" Double click on an entry with one file "), "gbDefActSingle", page);
        auto* ls = new QVBoxLayout(single);
        rbDefActSingleView = Named(new QRadioButton(QStringLiteral("View"), single), "rbDefActSingleView");
        rbDefActSingleEdit = Named(new QRadioButton(QStringLiteral("Edit"), single), "rbDefActSingleEdit");
        rbDefActSingleExplore =
            Named(new QRadioButton(QStringLiteral("Open folder in explorer"), single), "rbDefActSingleExplore");
        ls->addWidget(rbDefActSingleView);
        ls->addWidget(rbDefActSingleEdit);
        ls->addWidget(rbDefActSingleExplore);
        TBGroupBox* multiple =
            NewGroupBox(QStringLiteral(" Double click on an entry with several files "), "gbDefActMultiple", page);
        auto* lm = new QVBoxLayout(multiple);
        rbDefActMultipleEdit = Named(new QRadioButton(QStringLiteral("Edit"), multiple), "rbDefActMultipleEdit");
        rbDefActMultipleExplore =
            Named(new QRadioButton(QStringLiteral("Open folder in explorer"), multiple), "rbDefActMultipleExplore");
        lm->addWidget(rbDefActMultipleEdit);
        lm->addWidget(rbDefActMultipleExplore);
        TBGroupBox* list = NewGroupBox(QStringLiteral(" Entry lists "), "gbEntryLists", page);
        auto* ll = new QFormLayout(list);
        chAutoExpandSearchEntries =
            Named(new QCheckBox(QStringLiteral("Expand the highlighted entry in the search results"), list),
                  "chAutoExpandSearchEntries", QStringLiteral("Shows the files of the highlighted entry below it"));
        coEntriesSortOrder = Named(new QComboBox(list), "coEntriesSortOrder", QStringLiteral("How entry lists are sorted"));
        coEntriesSortOrder->addItems({QStringLiteral("Last modified first"), QStringLiteral("Creation order"),
                                      QStringLiteral("Reverse creation order"), QStringLiteral("Title")});
        ll->addRow(chAutoExpandSearchEntries);
        ll->addRow(QStringLiteral("Sort entries by:"), coEntriesSortOrder);
        column->addWidget(single);
        column->addWidget(multiple);
        column->addWidget(list);
        column->addStretch(1);
        addPage(page);
    }
    // Entry editing
    {
        auto [page, column] = plainPage("paEntryEditing");
        TBGroupBox* multi = NewGroupBox(QStringLiteral(" Editing "), "gbEditMultiple", page);
        auto* lm = new QVBoxLayout(multi);
        laEditMultipleAdvanced = Named(new QLabel(kEditMultipleAdvanced, multi), "laEditMultipleAdvanced");
        laEditMultipleLocked = Named(new QLabel(kEditMultipleLocked, multi), "laEditMultipleLocked");
        laEditMultipleAdvanced->setWordWrap(true);
        laEditMultipleLocked->setWordWrap(true);
        chEditMultipleEntries = Named(
            new QCheckBox(QStringLiteral("Open multiple entries for editing simultaneously"), multi), "chEditMultipleEntries");
        chAutoSelectAddedFiles = Named(
            new QCheckBox(QStringLiteral("Auto select new files added to entry folder"), multi), "chAutoSelectAddedFiles");
        chTraditionalZipEncryption = Named(
            new QCheckBox(QStringLiteral("Protect new passwords with the traditional ZIP encryption"), multi),
            "chTraditionalZipEncryption",
            QStringLiteral("Readable by old ZIP tools, but weak; otherwise AES-256 is used"));
        lm->addWidget(laEditMultipleAdvanced);
        lm->addWidget(laEditMultipleLocked);
        lm->addWidget(chEditMultipleEntries);
        lm->addWidget(chAutoSelectAddedFiles);
        lm->addWidget(chTraditionalZipEncryption);
        TBGroupBox* auto_ = NewGroupBox(QStringLiteral(" Open for editing automatically "), "gbAutoEdit", page);
        auto* la = new QVBoxLayout(auto_);
        chAutoEditMerged = Named(new QCheckBox(QStringLiteral("Merged entries"), auto_), "chAutoEditMerged");
        chAutoEditAddedFiles = Named(new QCheckBox(QStringLiteral("Entries to which files have just been added"), auto_),
                                     "chAutoEditAddedFiles");
        la->addWidget(chAutoEditMerged);
        la->addWidget(chAutoEditAddedFiles);
        column->addWidget(multi);
        column->addWidget(auto_);
        column->addStretch(1);
        addPage(page);
    }
    // Entry selection
    {
        TBGroupBox* gb = NewGroupBox(QStringLiteral(" Entry selection "), "gbEntrySelection");
        auto* l = new QVBoxLayout(gb);
        chPersistentEntryselection =
            Named(new QCheckBox(QStringLiteral("Remember \"Select Entry dialog\" search results"), gb),
                  "chPersistentEntryselection");
        l->addWidget(chPersistentEntryselection);
        l->addStretch(1);
        addPage(gb);
    }
    // Clipboard text handling
    {
        auto [page, column] = plainPage("paTextHandling");
        TBGroupBox* gb = NewGroupBox(QStringLiteral(" Text pasted from the clipboard "), "gbTextHandling", page);
        auto* l = new QVBoxLayout(gb);
        rbAutomatic = Named(new QRadioButton(QStringLiteral("Automatic"), gb), "rbAutomatic");
        rbAlwaysHTML = Named(new QRadioButton(QStringLiteral("Always save as HTML"), gb), "rbAlwaysHTML");
        rbAlwaysText = Named(new QRadioButton(QStringLiteral("Always save as text"), gb), "rbAlwaysText");
        rbAlwaysNoFormattingHTML = Named(new QRadioButton(QStringLiteral("Always save as HTML with no formatting"), gb),
                                         "rbAlwaysNoFormattingHTML");
        for (QRadioButton* rb : {rbAutomatic, rbAlwaysHTML, rbAlwaysText, rbAlwaysNoFormattingHTML})
            l->addWidget(rb);
        column->addWidget(gb);
        column->addStretch(1);
        addPage(page);
    }
    // Most used categories
    {
        TBGroupBox* gb = NewGroupBox(QStringLiteral(" Most used categories "), "gbMRUCategories");
        auto* l = new QVBoxLayout(gb);
        chShowMUCategories = Named(new QCheckBox(QStringLiteral("Show Most Recent / Common categories first"), gb),
                                   "chShowMUCategories");
        laCategoriesMRU = Named(new QLabel(QStringLiteral("Number of categories shown:"), gb), "laCategoriesMRU");
        edCategoriesMRU = Named(new QLineEdit(gb), "edCategoriesMRU",
                                QStringLiteral("How many of the most used categories the category menus show first"));
        edCategoriesMRU->setMaximumWidth(80);
        laCategoriesMRU->setBuddy(edCategoriesMRU);
        laMUCategoriesMethod =
            Named(new QLabel(QStringLiteral("Which categories should appear first?"), gb), "laMUCategoriesMethod");
        rbMUCategoriesRecent = Named(new QRadioButton(QStringLiteral("I want recent categories to appear first"), gb),
                                     "rbMUCategoriesRecent");
        rbMUCategoriesCommon = Named(new QRadioButton(QStringLiteral("I want common categories to appear first"), gb),
                                     "rbMUCategoriesCommon");
        auto* count = new QHBoxLayout;
        count->addWidget(laCategoriesMRU);
        count->addWidget(edCategoriesMRU);
        count->addStretch(1);
        l->addWidget(chShowMUCategories);
        l->addLayout(count);
        l->addWidget(ErrorLabel(edCategoriesMRU));
        l->addWidget(laMUCategoriesMethod);
        l->addWidget(rbMUCategoriesRecent);
        l->addWidget(rbMUCategoriesCommon);
        l->addStretch(1);
        connect(chShowMUCategories, &QCheckBox::clicked, this, &TFrmPreferences::UpdateDependentControls);
        addPage(gb);
    }
    // Search options
    {
        auto [page, column] = plainPage("paSearch");
        TBGroupBox* cats = NewGroupBox(QStringLiteral(" Category filter "), "gbSearchCategories", page);
        auto* lc = new QGridLayout(cats);
        chSearchAllCategories = Named(new QCheckBox(QStringLiteral("All categories"), cats), "chSearchAllCategories");
        lbCategories = Named(new QListWidget(cats), "lbCategories", QStringLiteral("The categories searched"));
        lbCategories->setMaximumHeight(90);
        btnSelectSearchCategories = NewCommandButton(cats, "btnSelectSearchCategories", QStringLiteral("Select"),
                                                     QStringLiteral("Choose the categories to search in"));
        chSearchSubategories =
            Named(new QCheckBox(QStringLiteral("Include sub-categories"), cats), "chSearchSubategories");
        lc->addWidget(chSearchAllCategories, 0, 0, 1, 2);
        lc->addWidget(lbCategories, 1, 0, 2, 1);
        lc->addWidget(btnSelectSearchCategories, 1, 1, Qt::AlignTop);
        lc->addWidget(chSearchSubategories, 3, 0, 1, 2);
        lc->setColumnStretch(0, 1);
        TBGroupBox* in = NewGroupBox(QStringLiteral(" Search in "), "gbSearchIn", page);
        auto* li = new QGridLayout(in);
        chSearchTitles = Named(new QCheckBox(QStringLiteral("Titles"), in), "chSearchTitles");
        chSearchKeywords = Named(new QCheckBox(QStringLiteral("Keywords"), in), "chSearchKeywords");
        chSearchComments = Named(new QCheckBox(QStringLiteral("Comments"), in), "chSearchComments");
        chSearchFilenames = Named(new QCheckBox(QStringLiteral("File names"), in), "chSearchFilenames");
        chSearchInSource = Named(new QCheckBox(QStringLiteral("Source"), in), "chSearchInSource");
        chSearchInCategoryNames = Named(new QCheckBox(QStringLiteral("Category names"), in), "chSearchInCategoryNames");
        const QList<QCheckBox*> flags = {chSearchTitles,   chSearchKeywords, chSearchComments,
                                         chSearchFilenames, chSearchInSource, chSearchInCategoryNames};
        for (int i = 0; i < flags.size(); ++i)
            li->addWidget(flags[i], i / 3, i % 3);
        TBGroupBox* dates = NewGroupBox(QStringLiteral(" Date range "), "gbSearchDates", page);
        auto* ld = new QHBoxLayout(dates);
        chSearchInDateRange = Named(new QCheckBox(QStringLiteral("Search within a specified date range?"), dates),
                                    "chSearchInDateRange");
        const QString format = QLocale().dateFormat(QLocale::ShortFormat);
        laSearchFromDate = Named(new QLabel(QStringLiteral("From:"), dates), "laSearchFromDate");
        edSearchFromDate = Named(new QLineEdit(dates), "edSearchFromDate", QStringLiteral("A date as ") + format);
        laSearchToDate = Named(new QLabel(QStringLiteral("To:"), dates), "laSearchToDate");
        edSearchToDate = Named(new QLineEdit(dates), "edSearchToDate", QStringLiteral("A date as ") + format);
        edSearchFromDate->setPlaceholderText(format);
        edSearchToDate->setPlaceholderText(format);
        ld->addWidget(chSearchInDateRange);
        ld->addWidget(laSearchFromDate);
        ld->addWidget(edSearchFromDate);
        ld->addWidget(laSearchToDate);
        ld->addWidget(edSearchToDate);
        column->addWidget(cats);
        column->addWidget(in);
        column->addWidget(dates);
        column->addStretch(1);
        connect(chSearchAllCategories, &QCheckBox::clicked, this, &TFrmPreferences::UpdateDependentControls);
        connect(chSearchInDateRange, &QCheckBox::clicked, this, &TFrmPreferences::UpdateDependentControls);
        connect(btnSelectSearchCategories, &QPushButton::clicked, this, &TFrmPreferences::btnSelectSearchCategoriesClick);
        addPage(page);
    }
    // Limits
    {
        auto [page, column] = plainPage("paLimits");
        TBGroupBox* gb = NewGroupBox(QStringLiteral(" File size "), "gbLimits", page);
        auto* l = new QVBoxLayout(gb);
        auto* note = new QLabel(QStringLiteral("Without this option an entry refuses to store more than 10000000 bytes "
                                               "of selected files."),
                                gb);
        note->setWordWrap(true);
        chAllowAnyFileSize = Named(new QCheckBox(QStringLiteral("Allow files of any size to be stored in an entry"), gb),
                                   "chAllowAnyFileSize");
        l->addWidget(note);
        l->addWidget(chAllowAnyFileSize);
        column->addWidget(gb);
        column->addStretch(1);
        addPage(page);
    }
    // Colours
    {
        TBGroupBox* gb = NewGroupBox(QStringLiteral(" Colours "), "gbColours");
        auto* l = new QVBoxLayout(gb);
        coColourScheme = Named(new QComboBox(gb), "coColourScheme", QStringLiteral("The colours of the windows"));
        coColourScheme->addItems({QStringLiteral("Dusk"), QStringLiteral("Simple"), QStringLiteral("Dawn"),
                                  QStringLiteral("Gold")});
        imgColourScheme = Named(new TColourSchemePreview(gb), "imgColourScheme");
        btnApplyColorScheme = NewCommandButton(gb, "btnApplyColorScheme", QStringLiteral("Apply colours"),
                                               QStringLiteral("Shows the windows in the chosen colours now"));
        auto* row = new QHBoxLayout;
        row->addWidget(new QLabel(QStringLiteral("Colour scheme:"), gb));
        row->addWidget(coColourScheme);
        row->addStretch(1);
        row->addWidget(btnApplyColorScheme);
        l->addLayout(row);
        l->addWidget(imgColourScheme, 1);
        connect(coColourScheme, &QComboBox::currentIndexChanged, this, [this](int index) {
            if (index >= 0 && index <= 3)
                imgColourScheme->SetPalette(TdmMain::SchemePalette(index, m_dmMain.ScreenDepth()));
        });
        connect(btnApplyColorScheme, &QPushButton::clicked, this, &TFrmPreferences::btnApplyColorSchemeClick);
        addPage(gb);
    }
    // Layout
    {
        TBGroupBox* gb = NewGroupBox(QStringLiteral(" Layout "), "gbLayout");
        auto* l = new QVBoxLayout(gb);
        rbLayoutLeft = Named(new QRadioButton(QStringLiteral("Task assistant left"), gb), "rbLayoutLeft");
        rbLayoutRight = Named(new QRadioButton(QStringLiteral("Task assistant right"), gb), "rbLayoutRight");
        l->addWidget(rbLayoutLeft);
        l->addWidget(rbLayoutRight);
        l->addStretch(1);
        addPage(gb);
    }
    // Tray bar options
    {
        auto [page, column] = plainPage("paTrayBarOptions");
        TBGroupBox* gb = NewGroupBox(QStringLiteral(" Tray bar icon "), "gbTrayBar", page);
        auto* l = new QVBoxLayout(gb);
        chShowInTrayBar =
            Named(new QCheckBox(QStringLiteral("Show icon in Windows \"Tray Bar\""), gb), "chShowInTrayBar");
        l->addWidget(chShowInTrayBar);
        gbNotifications = NewGroupBox(QStringLiteral(" \"Baloon tip\" tray bar notifications  "), "gbNotifications", page);
        auto* ln = new QVBoxLayout(gbNotifications);
        chNotifyOnEntryChanges =
            Named(new QCheckBox(QStringLiteral("Notify me when entries are modified / deleted / merged"), gbNotifications),
                  "chNotifyOnEntryChanges");
        chNotifyOnMonitoredFolderChanges = Named(
            new QCheckBox(QStringLiteral("Notify me when contents of \"monitored folder\" change"), gbNotifications),
            "chNotifyOnMonitoredFolderChanges");
        ln->addWidget(chNotifyOnEntryChanges);
        ln->addWidget(chNotifyOnMonitoredFolderChanges);
        column->addWidget(gb);
        column->addWidget(gbNotifications);
        column->addStretch(1);
        connect(chShowInTrayBar, &QCheckBox::clicked, this, &TFrmPreferences::UpdateDependentControls);
        addPage(page);
    }
    // Task assistant panels
    {
        TBGroupBox* gb = NewGroupBox(QStringLiteral(" Task assistant panels "), "gbTaskPanels");
        auto* l = new QVBoxLayout(gb);
        static const char* names[] = {"chTaskNewEntry",        "chTaskCurrentEntry",    "chTaskMonitoredFolder",
                                      "chTaskSelectionActions", "chTaskSelectedEntries", "chTaskBrowse",
                                      "chTaskCategories",      "chTaskBookmarks",       "chTaskSorting"};
        static const char* captions[] = {"Create new entry", "Current entry",   "Monitored folder files",
                                         "Selection actions", "Selected entries", "Browse",
                                         "Categories",       "Bookmarks",       "Sorting"};
        for (int i = 0; i < 9; ++i) {
            auto* box = Named(new QCheckBox(QLatin1Char('"') + QString::fromLatin1(captions[i]) + QLatin1Char('"'), gb),
                              names[i]);
            chTaskPanels << box;
            l->addWidget(box);
        }
        l->addStretch(1);
        addPage(gb);
    }
    // Toolbar buttons
    {
        TBGroupBox* gb = NewGroupBox(QStringLiteral(" Toolbar buttons "), "gbToolbar");
        auto* l = new QVBoxLayout(gb);
        l->addWidget(new QLabel(QStringLiteral("Select the buttons you want to appear on the toolbar:"), gb));
        grToobarButtons = Named(new TToolbarButtonsGrid(gb), "grToobarButtons",
                                QStringLiteral("Click a check box to show or hide a button; drag a row to move it"));
        btnResetToolbar = NewCommandButton(gb, "btnResetToolbar", QStringLiteral("Reset toolbar"),
                                           QStringLiteral("Restores toolbar buttons to their default position and visibility"));
        l->addWidget(grToobarButtons, 1);
        l->addWidget(btnResetToolbar, 0, Qt::AlignRight);
        connect(btnResetToolbar, &QPushButton::clicked, this, [this] {
            TToolbarButtonList defaults;
            grToobarButtons->SetList(defaults);
        });
        addPage(gb);
    }
    // Temporary files
    {
        TBGroupBox* gb = NewGroupBox(QStringLiteral(" Clean up temporary files "), "gbCleanUpTemp");
        auto* l = new QVBoxLayout(gb);
        rbCleanupOnEntryClose = Named(new QRadioButton(QStringLiteral("When each entry is closed"), gb), "rbCleanupOnEntryClose");
        rbCleanupOnAppTerminate =
            Named(new QRadioButton(QStringLiteral("When the application terminates"), gb), "rbCleanupOnAppTerminate");
        rbCleanupOnAppStart = Named(new QRadioButton(QStringLiteral("When the application starts"), gb), "rbCleanupOnAppStart");
        laCleanupExplanation = Named(new QLabel(gb), "laCleanupExplanation");
        laCleanupExplanation->setWordWrap(true);
        for (QRadioButton* rb : {rbCleanupOnEntryClose, rbCleanupOnAppTerminate, rbCleanupOnAppStart}) {
            l->addWidget(rb);
            connect(rb, &QRadioButton::toggled, this, &TFrmPreferences::UpdateDependentControls);
        }
        l->addSpacing(8);
        l->addWidget(laCleanupExplanation);
        l->addStretch(1);
        addPage(gb);
    }
    // Application folders
    {
        auto [page, column] = plainPage("paFolders");
        const auto folderBox = [&](const char* boxName, const QString& caption, QLineEdit*& edit, const char* editName,
                                   QPushButton*& browse, const char* browseName, const QString& hint) {
            TBGroupBox* gb = NewGroupBox(caption, boxName, page);
            auto* grid = new QGridLayout(gb);
            edit = Named(new QLineEdit(gb), editName, hint);
            browse = NewCommandButton(gb, browseName, QStringLiteral("..."), QStringLiteral("Browse for the folder"));
            browse->setMaximumWidth(32);
            grid->addWidget(edit, 1, 0);
            grid->addWidget(browse, 1, 1);
            grid->addWidget(ErrorLabel(edit), 2, 0, 1, 3);
            column->addWidget(gb);
            return grid;
        };
        folderBox("gbMonitoredFolder", QStringLiteral(" Monitored folder "), edMonitoredFolder, "edMonitoredFolder",
                  btnMonitoredFolder, "btnMonitoredFolder", QStringLiteral("The folder the application watches for changes"));
        QGridLayout* extract = folderBox("gbExtractFolder", QStringLiteral(" Extract folder "), edExtractFolder,
                                         "edExtractFolder", btnExtractFolder, "btnExtractFolder",
                                         QStringLiteral("The folder entries are extracted into"));
        laExtractFolderInfo = Named(new QLabel(kExtractFolderInfo, edExtractFolder->parentWidget()), "laExtractFolderInfo");
        laExtractFolderInfo->setWordWrap(true);
        extract->addWidget(laExtractFolderInfo, 0, 0, 1, 3);
        QGridLayout* exportGrid = folderBox("gbExportFolder", QStringLiteral(" Export folder "), edExportFolder,
                                            "edExportFolder", btnExportFolder, "btnExportFolder",
                                            QStringLiteral("The folder HTML exports are written to"));
        btnClearExportFolder = NewCommandButton(edExportFolder->parentWidget(), "btnClearExportFolder",
                                                QStringLiteral("Clear !"), QStringLiteral("Clear export folder"));
        exportGrid->addWidget(btnClearExportFolder, 1, 2);
        folderBox("gbBackupFolder", QStringLiteral(" Backup folder "), edBackupFolder, "edBackupFolder", btnBackupFolder,
                  "btnBackupFolder", QStringLiteral("The folder database backups are offered in first"));
        TBGroupBox* fixed = NewGroupBox(QStringLiteral(" Working folders "), "gbWorkingFolders", page);
        auto* lf = new QFormLayout(fixed);
        laCompressionFolder = Named(new QLabel(fixed), "laCompressionFolder");
        laMailFolder = Named(new QLabel(fixed), "laMailFolder");
        laCompressionFolder->setTextInteractionFlags(Qt::TextSelectableByMouse);
        laMailFolder->setTextInteractionFlags(Qt::TextSelectableByMouse);
        lf->addRow(QStringLiteral("Compression:"), laCompressionFolder);
        lf->addRow(QStringLiteral("Mail:"), laMailFolder);
        column->addWidget(fixed);
        column->addStretch(1);
        connect(btnMonitoredFolder, &QPushButton::clicked, this,
                [this] { BrowseFolder(edMonitoredFolder, QStringLiteral("Monitored folder")); });
        connect(btnExtractFolder, &QPushButton::clicked, this,
                [this] { BrowseFolder(edExtractFolder, QStringLiteral("Extract folder")); });
        connect(btnExportFolder, &QPushButton::clicked, this,
                [this] { BrowseFolder(edExportFolder, QStringLiteral("Export folder")); });
        connect(btnBackupFolder, &QPushButton::clicked, this,
                [this] { BrowseFolder(edBackupFolder, QStringLiteral("Backup folder")); });
        connect(btnClearExportFolder, &QPushButton::clicked, this, &TFrmPreferences::btnClearExportFolderClick);
        addPage(page);
    }
    // e-Mail
    {
        gbMail = new TMailSettingsPage;
        gbMail->ApplyWindowLook();
        gbMail->SetDesktop(&m_dmMain.Desktop());
        if (QLayout* form = gbMail->layout())
            if (auto* f = qobject_cast<QFormLayout*>(form))
                f->addRow(ErrorLabel(gbMail->edMailSizeLimit));
        addPage(gbMail);
    }
    // HTML
    {
        auto [page, column] = plainPage("paHTML");
        TBGroupBox* cs = NewGroupBox(QStringLiteral(" Character set "), "gbHTMLCharset", page);
        auto* lc = new QVBoxLayout(cs);
        chHTMLStoreCharset = Named(new QCheckBox(QStringLiteral("Store character set information in HTML pages"), cs),
                                   "chHTMLStoreCharset");
        laHTMLCharset = Named(new QLabel(QStringLiteral("Select the language for the HTML pages which will be produced:"), cs),
                              "laHTMLCharset");
        coHTMLCharset = Named(new QComboBox(cs), "coHTMLCharset");
        laHTMLCharset->setBuddy(coHTMLCharset);
        lc->addWidget(chHTMLStoreCharset);
        lc->addWidget(laHTMLCharset);
        lc->addWidget(coHTMLCharset);
        TBGroupBox* look = NewGroupBox(QStringLiteral(" Page appearance "), "gbHTMLAppearance", page);
        auto* la = new QGridLayout(look);
        paHTMLColor = Named(new QLabel(look), "paHTMLColor", QStringLiteral("The background of the HTML pages"));
        paHTMLColor->setFixedSize(48, 24);
        paHTMLColor->setFrameStyle(QFrame::Box | QFrame::Plain);
        paHTMLColor->setAutoFillBackground(true);
        edHTMLColor = Named(new QLineEdit(look), "edHTMLColor",
                            QStringLiteral("Six hexadecimal digits: red, green, blue (FFFFFF is white)"));
        edHTMLColor->setMaximumWidth(90);
        btnHTMLColor = NewCommandButton(look, "btnHTMLColor", QStringLiteral("Colour..."),
                                        QStringLiteral("Click to select a color for the HTML page background"));
        la->addWidget(new QLabel(QStringLiteral("Background colour:"), look), 0, 0);
        la->addWidget(paHTMLColor, 0, 1);
        la->addWidget(edHTMLColor, 0, 2);
        la->addWidget(btnHTMLColor, 0, 3);
        la->addWidget(ErrorLabel(edHTMLColor), 1, 0, 1, 5);
        la->setColumnStretch(4, 1);
        column->addWidget(cs);
        column->addWidget(look);
        column->addStretch(1);
        connect(chHTMLStoreCharset, &QCheckBox::clicked, this, &TFrmPreferences::UpdateDependentControls);
        connect(btnHTMLColor, &QPushButton::clicked, this, &TFrmPreferences::btnHTMLColorClick);
        connect(edHTMLColor, &QLineEdit::textChanged, this, [this](const QString& text) { ShowColour(text.trimmed()); });
        addPage(page);
    }
}

void TFrmPreferences::UpdateDependentControls()
{
    const bool all = chSearchAllCategories->isChecked();
    chSearchSubategories->setVisible(!all);
    lbCategories->setVisible(!all);
    btnSelectSearchCategories->setVisible(!all);
    const bool range = chSearchInDateRange->isChecked();
    for (QWidget* w : {static_cast<QWidget*>(laSearchFromDate), static_cast<QWidget*>(edSearchFromDate),
                       static_cast<QWidget*>(laSearchToDate), static_cast<QWidget*>(edSearchToDate)})
        w->setVisible(range);
    const bool mostUsed = chShowMUCategories->isChecked();
    for (QWidget* w : {static_cast<QWidget*>(laCategoriesMRU), static_cast<QWidget*>(edCategoriesMRU),
                       static_cast<QWidget*>(laMUCategoriesMethod), static_cast<QWidget*>(rbMUCategoriesRecent),
                       static_cast<QWidget*>(rbMUCategoriesCommon)})
        w->setEnabled(mostUsed);
    laHTMLCharset->setEnabled(chHTMLStoreCharset->isChecked());
    coHTMLCharset->setEnabled(chHTMLStoreCharset->isChecked());
    gbNotifications->setVisible(chShowInTrayBar->isChecked());
    const int cleanup = rbCleanupOnEntryClose->isChecked() ? 0 : rbCleanupOnAppTerminate->isChecked() ? 1
                        : rbCleanupOnAppStart->isChecked()  ? 2
                                                            : -1;
    laCleanupExplanation->setText(cleanup < 0 ? QString() : kCleanupTexts[cleanup]);
}

void TFrmPreferences::ShowColour(const QString& rgb)
{
    static const QRegularExpression six(QStringLiteral("^[0-9A-Fa-f]{6}$"));
    if (!six.match(rgb).hasMatch())
        return;
    QPalette p = paHTMLColor->palette();
    p.setColor(QPalette::Window, QColor(QStringLiteral("#") + rgb));
    paHTMLColor->setPalette(p);
}

// --- loading --------------------------------------------------------------------------------

TFrmPreferences::TTaskChoice TFrmPreferences::TaskAssistantChoice() const
{
    TTaskChoice choice;
    choice.Side = m_owners.TaskAssistant.Side();
    for (int i = 0; i < chTaskPanels.size(); ++i)
        choice.Visible << m_owners.TaskAssistant.PanelVisible(i);
    return choice;
}

void TFrmPreferences::LoadCharsets(const QString& selected)
{
    m_charsets.clear();
    coHTMLCharset->clear();
    try {
        const DataPackets packets = m_dmMain.Connection().GetCharsets();
        ClientRecordSet cds;
        cds.LoadFromPacket(packets.value(0));
        for (cds.First(); !cds.Eof(); cds.Next())
            m_charsets.append({cds.Value(QStringLiteral("usercode")).toString(),
                               cds.Value(QStringLiteral("name")).toString()});
    } catch (const ETessarynError& failure) {
        ShowErrorHint(failure.Message());
    }
    int found = -1;
    for (int i = 0; i < m_charsets.size(); ++i) {
        coHTMLCharset->addItem(m_charsets[i].second, m_charsets[i].first);
        if (m_charsets[i].first.compare(selected, Qt::CaseInsensitive) == 0)
            found = i;
    }
    coHTMLCharset->setCurrentIndex(found);
}

void TFrmPreferences::LoadCategoryList(const QList<int>& codes)
{
    lbCategories->clear();
    for (const int code : codes)
        if (TCategory* category = m_dmMain.Categories().FindByCode(code)) {
            auto* item = new QListWidgetItem(category->GetPath(), lbCategories);
            item->setData(Qt::UserRole, code);
        }
}

void TFrmPreferences::LoadControls(const TAppSettings& app, const TOstrivaleSearchOptions& search,
                                   const TToolbarButtonList& toolbar, const TTaskChoice& tasks)
{
    LoadCharsets(app.HtmlCharset);
    coColourScheme->setCurrentIndex(std::clamp(app.ColorScheme, 0, 3));
    imgColourScheme->SetPalette(TdmMain::SchemePalette(coColourScheme->currentIndex(), m_dmMain.ScreenDepth()));
    (tasks.Side == 3 ? rbLayoutLeft : rbLayoutRight)->setChecked(true);

    (app.OnDropAction == 0 ? rbOnDropNewEntry : rbOnDropSave)->setChecked(true);
    (app.DefaultActionSingleFile == 0   ? rbDefActSingleView
     : app.DefaultActionSingleFile == 1 ? rbDefActSingleEdit
                                        : rbDefActSingleExplore)
        ->setChecked(true);
    (app.DefaultActionMultipleFiles == 1 ? rbDefActMultipleEdit : rbDefActMultipleExplore)->setChecked(true);
    chAutoExpandSearchEntries->setChecked(app.AutoExpandSearchEntries);
    coEntriesSortOrder->setCurrentIndex(app.EntriesSortOrder >= 0 && app.EntriesSortOrder <= 3 ? app.EntriesSortOrder : 2);
    chAutoEditMerged->setChecked(app.AutoEditMergedEntries);
    chAutoEditAddedFiles->setChecked(app.AutoEditEntriesIfFilesAdded);
    chEditMultipleEntries->setChecked(app.EditMultipleEntries);
    chTraditionalZipEncryption->setChecked(app.TraditionalZipEncryption);
    chAllowAnyFileSize->setChecked(app.AllowAnyFileSize);
    chAutoSelectAddedFiles->setChecked(app.AutoSelectAddedFiles);
    const bool entriesOpen = m_dmMain.EntryManager().OpenEntries().Count() > 0;
    laEditMultipleAdvanced->setVisible(!entriesOpen);
    laEditMultipleLocked->setVisible(entriesOpen);
    chEditMultipleEntries->setEnabled(!entriesOpen);
    chPersistentEntryselection->setChecked(app.PersistentEntrySelection);

    LoadCategoryList(search.CategoryCodes);
    chSearchAllCategories->setChecked(search.AllCategories || lbCategories->count() == 0);
    chSearchSubategories->setChecked(search.IncludeSubcategories);
    const QList<QCheckBox*> flags = SearchFlagBoxes();
    for (int i = 0; i < flags.size(); ++i)
        flags[i]->setChecked(search.GetContentFlag(i));
    chSearchInDateRange->setChecked(search.DateRange);
    const QLocale locale;
    edSearchFromDate->setText(search.FromDate == kNoStartDate || !search.FromDate.isValid()
                                  ? QString()
                                  : locale.toString(search.FromDate, QLocale::ShortFormat));
    edSearchToDate->setText(search.ToDate == kNoEndDate || !search.ToDate.isValid()
                                ? QString()
                                : locale.toString(search.ToDate, QLocale::ShortFormat));

    edHTMLColor->setText(app.HtmlBackgroundColor.toUpper());
    ShowColour(app.HtmlBackgroundColor);
    chHTMLStoreCharset->setChecked(app.StoreCharsetInHtml);
    for (QRadioButton* rb : {rbAutomatic, rbAlwaysHTML, rbAlwaysText, rbAlwaysNoFormattingHTML}) {
        rb->setAutoExclusive(false);
        rb->setChecked(false);
        rb->setAutoExclusive(true);
    }
    const QList<QRadioButton*> handling = {rbAutomatic, rbAlwaysHTML, rbAlwaysText, rbAlwaysNoFormattingHTML};
    if (app.ClipboardTextHandling >= 1 && app.ClipboardTextHandling <= 4)
        handling[app.ClipboardTextHandling - 1]->setChecked(true);

    chShowInTrayBar->setChecked(app.ShowTrayIcon);
    chNotifyOnEntryChanges->setChecked(app.NotifyEntriesChanged);
    chNotifyOnMonitoredFolderChanges->setChecked(app.NotifyMonitoredFolderChanges);
    chShowMUCategories->setChecked(app.ShowMostUsedCategoriesFirst);
    edCategoriesMRU->setText(QString::number(app.MostUsedCategoriesShown));
    (app.MostUsedCategoriesMethod == 0 ? rbMUCategoriesRecent : rbMUCategoriesCommon)->setChecked(true);
    const QList<QRadioButton*> cleanup = {rbCleanupOnEntryClose, rbCleanupOnAppTerminate, rbCleanupOnAppStart};
    if (app.CleanupTemporaryFiles >= 0 && app.CleanupTemporaryFiles <= 2)
        cleanup[app.CleanupTemporaryFiles]->setChecked(true);

    edMonitoredFolder->setText(app.MonitoredFolder);
    edExtractFolder->setText(app.ExtractFolder);
    edExportFolder->setText(app.ExportFolder);
    edBackupFolder->setText(app.BackupFolder);
    laCompressionFolder->setText(app.CompressionFolder);
    laMailFolder->setText(app.MailFolder);
    edExtractFolder->setEnabled(!entriesOpen);
    btnExtractFolder->setVisible(!entriesOpen);
    laExtractFolderInfo->setText(entriesOpen ? kExtractFolderLocked : kExtractFolderInfo);

    for (int i = 0; i < chTaskPanels.size(); ++i)
        chTaskPanels[i]->setChecked(tasks.Visible.value(i, true));
    gbMail->LoadControls(app);
    grToobarButtons->SetList(toolbar);
    grToobarButtons->SetHighlight(m_dmMain.Colour(csHighlightStart), m_dmMain.Colour(csHighlightEnd));
    UpdateDependentControls();
}

// --- saving ---------------------------------------------------------------------------------

void TFrmPreferences::ClearRefusals()
{
    for (QLabel* label : std::as_const(m_errorLabels))
        label->hide();
}

void TFrmPreferences::Refuse(QWidget* field, const QString& text)
{
    for (QWidget* page = field; page; page = page->parentWidget())
        if (paContainer->indexOf(page) >= 0) {
            for (const TLink& link : Links())
                if (link.Page == page->objectName())
                    SelectLink(link.Name);
            break;
        }
    if (QLabel* label = m_errorLabels.value(field)) {
        label->setText(text);
        label->show();
    }
    ShowErrorHint(text);
    field->setFocus();
    if (auto* edit = qobject_cast<QLineEdit*>(field))
        edit->selectAll();
    m_dmMain.Desktop().ShowMessage(text, IDesktop::TMsgKind::Error);
}

bool TFrmPreferences::CheckFolder(QLineEdit* edit, const QString& role, QString& result)
{
    const QString text = edit->text();
    const QString path = text.trimmed();
    const QString cannot = QStringLiteral(", you cannot use it as the application's %1.").arg(role);
    if (path.isEmpty()) {
        Refuse(edit, QStringLiteral("Enter the folder to use as the application's %1.").arg(role));
        return false;
    }
    if (QDir::isRelativePath(path)) {
        Refuse(edit, QStringLiteral("Folder [%1] is not a full path").arg(text) + cannot);
        return false;
    }
    const QFileInfo info(path);
    if (info.exists() && !info.isDir()) {
        Refuse(edit, QStringLiteral("[%1] is a file, not a folder").arg(text) + cannot);
        return false;
    }
    if (!info.exists()) {
        if (!m_dmMain.Desktop().Confirm(
                QStringLiteral("Folder [%1] does not exist. Do you want to create it?").arg(text))) {
            Refuse(edit, QStringLiteral("Folder [%1] does not exist").arg(text) + cannot);
            return false;
        }
        if (!QDir().mkpath(path)) {
            Refuse(edit, QStringLiteral("Folder [%1] could not be created").arg(text) + cannot);
            return false;
        }
        if (edit == edExportFolder)
            TdmMain::MarkExportFolder(path);
    }
    if (!CanWriteInto(path)) {
        Refuse(edit, QStringLiteral("Folder [%1] cannot be written to").arg(text) + cannot);
        return false;
    }
    result = WithSlash(path);
    return true;
}

bool TFrmPreferences::ValidateControls(TAppSettings& checked)
{
    ClearRefusals();
    checked = m_dmMain.App;

    bool ok = false;
    const QString mruText = edCategoriesMRU->text().trimmed();
    const int mru = mruText.toInt(&ok);
    if (!ok) {
        Refuse(edCategoriesMRU, QStringLiteral("'%1' is not a valid integer value").arg(edCategoriesMRU->text()));
        return false;
    }
    if (mru > kMostUsedMax) {
        Refuse(edCategoriesMRU, QStringLiteral("At most %1 categories can be shown first.").arg(kMostUsedMax));
        return false;
    }
    checked.MostUsedCategoriesShown = std::max(mru, 1);

    const QString limitText = gbMail->edMailSizeLimit->text().trimmed();
    if (!limitText.isEmpty()) {
        const qlonglong limit = limitText.toLongLong(&ok);
        if (!ok) {
            Refuse(gbMail->edMailSizeLimit,
                   QStringLiteral("'%1' is not a valid integer value").arg(gbMail->edMailSizeLimit->text()));
            return false;
        }
        if (limit < 1 || limit > kMailLimitMax) {
            Refuse(gbMail->edMailSizeLimit,
                   QStringLiteral("The mail size limit must be a whole number from 1 to %1 (KB).").arg(kMailLimitMax));
            return false;
        }
    }

    static const QRegularExpression six(QStringLiteral("^[0-9A-Fa-f]{6}$"));
    const QString colour = edHTMLColor->text().trimmed();
    if (!six.match(colour).hasMatch()) {
        Refuse(edHTMLColor, QStringLiteral("'%1' is not a colour: enter six hexadecimal digits, two each for red, "
                                           "green and blue (FFFFFF is white).")
                                .arg(edHTMLColor->text()));
        return false;
    }
    checked.HtmlBackgroundColor = colour.toUpper();

    // Folders last: they may ask to create a folder, which should not happen
    // for a save that a mistyped number stops anyway.
    if (!CheckFolder(edMonitoredFolder, QStringLiteral("monitored folder"), checked.MonitoredFolder)
        || !CheckFolder(edExtractFolder, QStringLiteral("extract folder"), checked.ExtractFolder)
        || !CheckFolder(edExportFolder, QStringLiteral("export folder"), checked.ExportFolder)
        || !CheckFolder(edBackupFolder, QStringLiteral("backup folder"), checked.BackupFolder))
        return false;
    // Everything inside the extract folder is deleted when temporary files
    // are cleaned up: a folder that already holds files must not become it
    // unasked.
    if (QDir::cleanPath(checked.ExtractFolder) != QDir::cleanPath(m_dmMain.App.ExtractFolder)
        && !QDir(checked.ExtractFolder).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)
        && !m_dmMain.Desktop().Confirm(
            QStringLiteral("Folder [%1] is not empty. Everything in the extract folder is deleted when temporary files "
                           "are cleaned up, these files too.\r\nDo you want to use it as the extract folder all the same?")
                .arg(edExtractFolder->text()))) {
        Refuse(edExtractFolder, QStringLiteral("Folder [%1] is not empty").arg(edExtractFolder->text())
                                    + QStringLiteral(", choose an empty folder as the application's extract folder."));
        return false;
    }
    return true;
}

void TFrmPreferences::ReadSearchControls(TOstrivaleSearchOptions& search) const
{
    search.CategoryCodes.clear();
    for (int i = 0; i < lbCategories->count(); ++i)
        search.CategoryCodes << lbCategories->item(i)->data(Qt::UserRole).toInt();
    search.AllCategories = chSearchAllCategories->isChecked();
    search.IncludeSubcategories = chSearchSubategories->isChecked();
    const QList<QCheckBox*> flags = SearchFlagBoxes();
    for (int i = 0; i < flags.size(); ++i)
        search.SetContentFlag(i, flags[i]->isChecked());
    search.DateRange = chSearchInDateRange->isChecked();
    const QString from = edSearchFromDate->text().trimmed();
    const QString to = edSearchToDate->text().trimmed();
    if (search.DateRange && from.isEmpty() && to.isEmpty())
        search.DateRange = false;
    // A date the locale cannot read means no limit on that side.
    const QLocale locale;
    const QDate fromDate = locale.toDate(from, QLocale::ShortFormat);
    const QDate toDate = locale.toDate(to, QLocale::ShortFormat);
    search.FromDate = fromDate.isValid() ? fromDate : kNoStartDate;
    search.ToDate = toDate.isValid() ? toDate : kNoEndDate;
}

QList<QCheckBox*> TFrmPreferences::SearchFlagBoxes() const
{
    return {chSearchTitles, chSearchKeywords, chSearchComments, chSearchFilenames, chSearchInSource, chSearchInCategoryNames};
}

void TFrmPreferences::SaveControls(const TAppSettings& checked)
{
    TAppSettings& app = m_dmMain.App;
    app.DefaultActionSingleFile = rbDefActSingleView->isChecked() ? 0 : rbDefActSingleEdit->isChecked() ? 1 : 2;
    app.DefaultActionMultipleFiles = rbDefActMultipleEdit->isChecked() ? 1 : 2;
    app.AutoExpandSearchEntries = chAutoExpandSearchEntries->isChecked();
    app.EntriesSortOrder = coEntriesSortOrder->currentIndex();
    app.AutoEditMergedEntries = chAutoEditMerged->isChecked();
    app.AutoEditEntriesIfFilesAdded = chAutoEditAddedFiles->isChecked();
    app.EditMultipleEntries = chEditMultipleEntries->isChecked();
    app.AllowAnyFileSize = chAllowAnyFileSize->isChecked();
    app.AutoSelectAddedFiles = chAutoSelectAddedFiles->isChecked();
    app.TraditionalZipEncryption = chTraditionalZipEncryption->isChecked();
    app.OnDropAction = rbOnDropNewEntry->isChecked() ? 0 : 1;
    app.PersistentEntrySelection = chPersistentEntryselection->isChecked();

    ReadSearchControls(m_dmMain.SearchOptions());

    m_dmMain.SetShowTrayIcon(chShowInTrayBar->isChecked());
    app.NotifyEntriesChanged = chNotifyOnEntryChanges->isChecked();
    if (app.NotifyMonitoredFolderChanges != chNotifyOnMonitoredFolderChanges->isChecked())
        m_dmMain.SetMonitorFolder(chNotifyOnMonitoredFolderChanges->isChecked());

    app.HtmlBackgroundColor = checked.HtmlBackgroundColor;
    app.StoreCharsetInHtml = chHTMLStoreCharset->isChecked();
    // Without a chosen charset the stored one stays, rather than whatever
    // happened to be first in the list.
    if (coHTMLCharset->currentIndex() >= 0)
        app.HtmlCharset = coHTMLCharset->currentData().toString();
    const QList<QRadioButton*> handling = {rbAutomatic, rbAlwaysHTML, rbAlwaysText, rbAlwaysNoFormattingHTML};
    for (int i = 0; i < handling.size(); ++i)
        if (handling[i]->isChecked())
            app.ClipboardTextHandling = i + 1;
    app.ShowMostUsedCategoriesFirst = chShowMUCategories->isChecked();
    app.MostUsedCategoriesShown = checked.MostUsedCategoriesShown;
    app.MostUsedCategoriesMethod = rbMUCategoriesRecent->isChecked() ? 0 : 1;
    app.CleanupTemporaryFiles = rbCleanupOnEntryClose->isChecked() ? 0 : rbCleanupOnAppTerminate->isChecked() ? 1 : 2;
    m_dmMain.SetFolders(checked);
    if (coColourScheme->currentIndex() != app.ColorScheme)
        m_dmMain.SetColourScheme(coColourScheme->currentIndex());
    const QString passwordError = gbMail->SaveControls(app);
    m_dmMain.SaveSettings();

    // The task assistant and the toolbar change at once, and each writes
    // what it owns.
    TGenericTaskAssistant& tasks = m_owners.TaskAssistant;
    tasks.SetSide(rbLayoutLeft->isChecked() ? TGenericTaskAssistant::SideLeft : TGenericTaskAssistant::SideRight);
    if (m_taskDefaults)
        tasks.RestoreDefaults();
    for (int i = 0; i < chTaskPanels.size(); ++i)
        tasks.SetPanelVisible(i, chTaskPanels[i]->isChecked());
    tasks.SaveState();
    m_owners.Toolbar.SetArrangement(grToobarButtons->List().Arrangement());
    m_owners.Toolbar.SaveOrder();
    m_taskDefaults = false;
    // Saved means kept: written through to the database now, not only when
    // the program ends.
    m_dmMain.Settings().Flush();
    m_schemeAtOpening = app.ColorScheme;
    if (!passwordError.isEmpty())
        m_dmMain.Desktop().ShowMessage(passwordError, IDesktop::TMsgKind::Warning);
}

void TFrmPreferences::accept()
{
    TAppSettings checked;
    if (!ValidateControls(checked))
        return;
    try {
        SaveControls(checked);
    } catch (const ETessarynError& failure) {
        m_dmMain.Desktop().ShowMessage(failure.Message(), IDesktop::TMsgKind::Error);
        return;
    }
    TFrmStatusBar::accept();
}

void TFrmPreferences::reject()
{
    // "Apply colours" showed the scheme only for a look: Cancel takes it back.
    if (m_dmMain.App.ColorScheme != m_schemeAtOpening)
        m_dmMain.SetColourScheme(m_schemeAtOpening);
    TFrmStatusBar::reject();
}

// --- commands -------------------------------------------------------------------------------

void TFrmPreferences::btnRestoreDefaultsClick()
{
    if (!m_dmMain.Desktop().Confirm(RestoreDefaultsQuestion))
        return;
    // The defaults go into the fields only: "Save" keeps them, "Cancel"
    // leaves every setting as it was.
    const TAppSettings& app = m_dmMain.App;
    TAppSettings defaults = DefaultAppSettings(TdmMain::ProgramFolder());
    defaults.MonitoredFolder = edMonitoredFolder->text();
    defaults.ExtractFolder = edExtractFolder->text();
    defaults.ExportFolder = edExportFolder->text();
    defaults.BackupFolder = edBackupFolder->text();
    defaults.CompressionFolder = app.CompressionFolder;
    defaults.MailFolder = app.MailFolder;
    defaults.MailAddress = gbMail->edMailAddress->text();
    defaults.MailSmtpHost = gbMail->edMailHost->text();
    defaults.MailSmtpPort = gbMail->edMailPort->value();
    defaults.MailSecurity = gbMail->coMailSecurity->currentIndex();
    defaults.MailUserName = gbMail->edMailUserName->text();
    defaults.TraditionalZipEncryption = chTraditionalZipEncryption->isChecked();

    // Of the search options only "Search all categories" has a default.
    TOstrivaleSearchOptions search;
    ReadSearchControls(search);
    search.AllCategories = true;

    TTaskChoice tasks;
    tasks.Side = TGenericTaskAssistant::SideRight;
    tasks.Visible = QList<bool>(chTaskPanels.size(), true);
    m_taskDefaults = true;
    LoadControls(defaults, search, TToolbarButtonList(), tasks);
    // The defaults' charset and colour even when the charset list is empty.
    edHTMLColor->setText(defaults.HtmlBackgroundColor);
}

void TFrmPreferences::btnApplyColorSchemeClick()
{
    m_dmMain.SetColourScheme(coColourScheme->currentIndex());
    grToobarButtons->SetHighlight(m_dmMain.Colour(csHighlightStart), m_dmMain.Colour(csHighlightEnd));
}

void TFrmPreferences::btnSelectSearchCategoriesClick()
{
    QList<int> codes;
    for (int i = 0; i < lbCategories->count(); ++i)
        codes << lbCategories->item(i)->data(Qt::UserRole).toInt();
    const std::optional<QList<int>> chosen = TfrmSelectCategories::PickCategories(m_dmMain, codes, this);
    if (chosen)
        LoadCategoryList(*chosen);
}

void TFrmPreferences::btnClearExportFolderClick()
{
    // A folder that must not be emptied is not even offered.
    if (const QString refusal = m_dmMain.ExportFolderClearRefusal(); !refusal.isEmpty()) {
        m_dmMain.Desktop().ShowMessage(refusal, IDesktop::TMsgKind::Warning);
        return;
    }
    if (!m_dmMain.Desktop().Confirm(ClearFolderQuestion.arg(m_dmMain.App.ExportFolder)))
        return;
    m_dmMain.ClearExportFolder();
}

void TFrmPreferences::btnHTMLColorClick()
{
    QColor start(QStringLiteral("#") + edHTMLColor->text().trimmed());
    if (!start.isValid())
        start = Qt::white;
    if (const std::optional<QColor> chosen = PickColour(start, this))
        edHTMLColor->setText(chosen->name(QColor::HexRgb).mid(1).toUpper());
}

void TFrmPreferences::BrowseFolder(QLineEdit* edit, const QString& caption)
{
    const QString chosen = m_dmMain.Desktop().PickFolder(caption, edit->text());
    if (!chosen.isEmpty())
        edit->setText(chosen);
}
