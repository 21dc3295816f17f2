#pragma once

#include "mainwindow/fStatusBar.h"
#include "preferences/ToolbarButtonList.h"
#include "settings/AppSettings.h"

#include <QColor>
#include <QHash>
#include <QList>
#include <QString>
#include <functional>
#include <optional>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QScrollArea;
class QStackedWidget;
class QToolButton;
class QVBoxLayout;
class TBGroupBox;
class TColourSchemePreview;
class TGenericTaskAssistant;
class TMailSettingsPage;
class TOstrivaleSearchOptions;
class TToolbarButtonsGrid;

// The preferences window: every application setting, the task assistant's
// side and panels and the toolbar's buttons, one page at a time, chosen from
// the link groups on the left. Nothing reaches the settings before "Save",
// and "Save" checks every value before it takes over any: a refused value
// is said next to its field and leaves all settings as they were.
//
// The window keeps no setting of its own: it shows and changes each one
// through its owner, the main data module for the application settings, the
// main window's task assistant and toolbar for theirs, and each owner writes
// what it owns.
class TFrmPreferences : public TFrmStatusBar
{
    Q_OBJECT

public:
    static constexpr int HelpContext = 20;
    static const QString RestoreDefaultsQuestion;
    static const QString ClearFolderQuestion;

    // The owners of what the window edits besides the application settings.
    struct TLayoutOwners {
        TGenericTaskAssistant& TaskAssistant;
        TToolbarAssistant& Toolbar;
    };

    struct TLink {
        QString Group;
        QString Name;
        QString Caption;
        QString Hint;
        QString Page;
        int HelpContext;
    };
    static const QList<TLink>& Links();

    TFrmPreferences(TdmMain& dmMain, TLayoutOwners owners, QWidget* parent = nullptr);
    ~TFrmPreferences() override;

    // Creates the window at the page of that link (a name no link has leaves
    // the first page), shows it modally and destroys it.
    static int ShowPreferences(TdmMain& dmMain, TLayoutOwners owners, const QString& linkName,
                               QWidget* parent = nullptr);
    // Tests answer the modal window themselves: called instead of exec().
    static std::function<int(TFrmPreferences& window)> ExecuteHook;
    // The colour dialog, replaceable by tests; nothing when cancelled.
    static std::function<std::optional<QColor>(const QColor& start, QWidget* parent)> PickColour;

    // Selects the page of a link; false when no link has that name.
    bool SelectLink(const QString& name);
    QString CurrentLink() const { return m_currentLink; }
    QWidget* CurrentPage() const;
    QString CaptionText() const;
    int CurrentHelpContext() const { return m_helpContext; }

    void accept() override;
    void reject() override;

    // Left side
    QScrollArea* sbLinks;
    QLabel* laCaption;
    QStackedWidget* paContainer;
    QPushButton* btnRestoreDefaults;
    QPushButton* btnOK;
    QPushButton* btnCancel;

    // Drag and drop
    QRadioButton* rbOnDropNewEntry;
    QRadioButton* rbOnDropSave;
    // Entry browsing
    QRadioButton* rbDefActSingleView;
    QRadioButton* rbDefActSingleEdit;
    QRadioButton* rbDefActSingleExplore;
    QRadioButton* rbDefActMultipleEdit;
    QRadioButton* rbDefActMultipleExplore;
    QCheckBox* chAutoExpandSearchEntries;
    QComboBox* coEntriesSortOrder;
    // Entry editing
    QLabel* laEditMultipleAdvanced;
    QLabel* laEditMultipleLocked;
    QCheckBox* chEditMultipleEntries;
    QCheckBox* chAutoSelectAddedFiles;
    QCheckBox* chAutoEditMerged;
    QCheckBox* chAutoEditAddedFiles;
    QCheckBox* chTraditionalZipEncryption;
    // Entry selection
    QCheckBox* chPersistentEntryselection;
    // Clipboard text handling
    QRadioButton* rbAutomatic;
    QRadioButton* rbAlwaysHTML;
    QRadioButton* rbAlwaysText;
    QRadioButton* rbAlwaysNoFormattingHTML;
    // Most used categories
    QCheckBox* chShowMUCategories;
    QLabel* laCategoriesMRU;
    QLineEdit* edCategoriesMRU;
    QLabel* laMUCategoriesMethod;
    QRadioButton* rbMUCategoriesRecent;
    QRadioButton* rbMUCategoriesCommon;
    // Search options
    QCheckBox* chSearchAllCategories;
    QListWidget* lbCategories;
    QPushButton* btnSelectSearchCategories;
    QCheckBox* chSearchSubategories;
    QCheckBox* chSearchTitles;
    QCheckBox* chSearchKeywords;
    QCheckBox* chSearchComments;
    QCheckBox* chSearchFilenames;
    QCheckBox* chSearchInSource;
    QCheckBox* chSearchInCategoryNames;
    QCheckBox* chSearchInDateRange;
    QLabel* laSearchFromDate;
    QLineEdit* edSearchFromDate;
    QLabel* laSearchToDate;
    QLineEdit* edSearchToDate;
    // Limits
    QCheckBox* chAllowAnyFileSize;
    // Colours
    QComboBox* coColourScheme;
    TColourSchemePreview* imgColourScheme;
    QPushButton* btnApplyColorScheme;
    // Layout
    QRadioButton* rbLayoutLeft;
    QRadioButton* rbLayoutRight;
    // Tray bar options
    QCheckBox* chShowInTrayBar;
    TBGroupBox* gbNotifications;
    QCheckBox* chNotifyOnEntryChanges;
    QCheckBox* chNotifyOnMonitoredFolderChanges;
    // Task assistant panels, in panel index order
    QList<QCheckBox*> chTaskPanels;
    // Toolbar buttons
    TToolbarButtonsGrid* grToobarButtons;
    QPushButton* btnResetToolbar;
    // Temporary files
    QRadioButton* rbCleanupOnEntryClose;
    QRadioButton* rbCleanupOnAppTerminate;
    QRadioButton* rbCleanupOnAppStart;
    QLabel* laCleanupExplanation;
    // Application folders
    QLineEdit* edMonitoredFolder;
    QPushButton* btnMonitoredFolder;
    QLineEdit* edExtractFolder;
    QPushButton* btnExtractFolder;
    QLabel* laExtractFolderInfo;
    QLineEdit* edExportFolder;
    QPushButton* btnExportFolder;
    QPushButton* btnClearExportFolder;
    QLineEdit* edBackupFolder;
    QPushButton* btnBackupFolder;
    QLabel* laCompressionFolder;
    QLabel* laMailFolder;
    // e-Mail
    TMailSettingsPage* gbMail;
    // HTML
    QCheckBox* chHTMLStoreCharset;
    QLabel* laHTMLCharset;
    QComboBox* coHTMLCharset;
    QLabel* paHTMLColor;
    QLineEdit* edHTMLColor;
    QPushButton* btnHTMLColor;

    // The text shown next to a field that refused its value (empty when none).
    QString FieldError(QWidget* field) const;

private:
    // What the task assistant's pages show: its side and its panels' visibility.
    struct TTaskChoice {
        int Side = 4;
        QList<bool> Visible;
    };

    void BuildWindow();
    QWidget* BuildLinks();
    void BuildPages();
    QWidget* Page(const QString& name) const { return m_pages.value(name); }
    TBGroupBox* NewGroupBox(const QString& caption, const char* name, QWidget* parent = nullptr);
    QLabel* ErrorLabel(QWidget* field);
    void UpdateDependentControls();

    void LoadControls(const TAppSettings& app, const TOstrivaleSearchOptions& search, const TToolbarButtonList& toolbar,
                      const TTaskChoice& tasks);
    void LoadCharsets(const QString& selected);
    void LoadCategoryList(const QList<int>& codes);
    TTaskChoice TaskAssistantChoice() const;

    // Checks every value; on the first that is refused, shows its page and the
    // reason next to the field and returns false.
    bool ValidateControls(TAppSettings& checked);
    bool CheckFolder(QLineEdit* edit, const QString& role, QString& result);
    void Refuse(QWidget* field, const QString& text);
    void ClearRefusals();
    void SaveControls(const TAppSettings& checked);
    void ReadSearchControls(TOstrivaleSearchOptions& search) const;
    QList<QCheckBox*> SearchFlagBoxes() const;

    void btnRestoreDefaultsClick();
    void btnApplyColorSchemeClick();
    void btnSelectSearchCategoriesClick();
    void btnClearExportFolderClick();
    void btnHTMLColorClick();
    void BrowseFolder(QLineEdit* edit, const QString& caption);
    void ShowColour(const QString& rgb);

    QHash<QString, QWidget*> m_pages;
    QHash<QString, QPushButton*> m_linkButtons;
    QHash<QWidget*, QLabel*> m_errorLabels;
    QString m_currentLink;
    int m_helpContext = HelpContext;
    int m_schemeAtOpening = 0;
    TLayoutOwners m_owners;
    // "Restore defaults" was chosen: "Save" gives the task assistant its
    // default panels (the collapsed ones too) before the boxes' choice.
    bool m_taskDefaults = false;
    QList<std::pair<QString, QString>> m_charsets;   // usercode, name
};
