#pragma once

#include "browsing/dBookmarkSets.h"
#include "settings/dmMain.h"

#include <QWidget>
#include <functional>

class TRecordListGrid;

// The list of bookmark sets, by name. In the main window's left panel the
// current set's entries are listed by the entry browser (OnBrowseSet); the
// bookmark-set manager and picker embed their own copy with that listing
// switched off (ListEntries false).
class TfrmBookmarkSetBrowser : public QWidget, public IColorSchemeObserver
{
    Q_OBJECT

public:
    static constexpr int HelpContext = 5;
    static const QString NoSetsText;

    // Loads every set; a refusal of the database is raised.
    explicit TfrmBookmarkSetBrowser(TdmMain& dmMain, QWidget* parent = nullptr);
    ~TfrmBookmarkSetBrowser() override;

    bool ListEntries = true;
    // Lists a set's entries in the entry browser (the host's BrowseBookmarkSet).
    std::function<void(int setCode)> OnBrowseSet;

    // -1 when there is no set.
    int CurrentSetCode() const;
    // Makes the set current; an unknown code changes nothing.
    void LocateSet(int code);
    void RememberCurrentSet() { m_rememberedSet = CurrentSetCode(); }
    void LocateRememberedSet() { LocateSet(m_rememberedSet); }
    void BeginGridUpdate();
    void EndGridUpdate();
    // Takes a copy of another list of sets (the manager's, after it saved),
    // keeping the current set.
    void ReloadFrom(const ClientRecordSet& sets);
    ClientRecordSet& SetsRecordSet() { return m_module.cdsBookMarksets; }
    TdmBookmarkSets& Module() { return m_module; }
    TRecordListGrid* Grid() const { return gr; }

    void ApplyColorScheme() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void grAfterScroll();

    TdmMain& m_dmMain;
    TdmBookmarkSets m_module;
    TRecordListGrid* gr;
    int m_rememberedSet = -1;
    bool m_shown = false;
};
