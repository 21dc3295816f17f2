#pragma once

#include "engine/EntryManager.h"

#include <QDialog>
#include <QList>
#include <functional>

class QComboBox;
class QGroupBox;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class TCategory;
class TCategoryMenu;
class TdmMain;
class TEntryData;

// Lets the user choose the title, keywords, source, comments and category of
// the entry that merged entries become: all of them from one of the entries,
// or each one separately among the entries' values (or typed).
class TfrmMergeEntries : public QDialog
{
    Q_OBJECT

public:
    TfrmMergeEntries(TdmMain& main, const QList<TEntryData*>& sources, QWidget* parent = nullptr);
    ~TfrmMergeEntries() override;

    // Shows the dialog modally (or hands it to ExecuteHook); nothing when cancelled.
    static std::optional<TEntryManager::TMergeValues> Execute(TdmMain& main, const QList<TEntryData*>& sources,
                                                              QWidget* parent = nullptr);
    static inline std::function<int(TfrmMergeEntries& dialog)> ExecuteHook;

    TEntryManager::TMergeValues Values() const;
    TCategory* ChosenCategory() const { return m_category; }
    // Makes the source at index the one whose values are taken.
    void SelectSource(int index);
    void SetChosenCategory(TCategory* category);

    QRadioButton* rbOneEntry;
    QRadioButton* chSeparate;
    QGroupBox* gbOneEntry;
    QComboBox* coOneEntry;
    QGroupBox* gbSeparate;
    QComboBox* coTitle;
    QComboBox* coKeywords;
    QComboBox* coSource;
    QPlainTextEdit* meComments;
    QComboBox* coCategory;
    QPushButton* btnSelectCategory;
    QPushButton* btnSave;
    QPushButton* btnCancel;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void btnSaveClick();
    void UpdateGroups();

    TdmMain& m_main;
    QList<TEntryData*> m_sources;
    TCategory* m_category = nullptr;
    QMenu* m_categoryMenu;
    TCategoryMenu* m_categoryChooser;
};
