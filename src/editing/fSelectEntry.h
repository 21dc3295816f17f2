#pragma once

#include "browsing/IDataChangeListener.h"
#include "mainwindow/fStatusBar.h"
#include "settings/dmMain.h"

#include <QPointer>
#include <functional>

class QPushButton;
class TfrmEntryBrowser;

// Asks the user for one entry, found with an embedded entry browser (its
// entry actions, its selection and its files grid switched off). "Select"
// needs a result with at least one entry.
//
// With "Persistent entry selection search results" on, one picker serves
// every request and shows the last search and its results again; with it
// off, every request starts with a new, empty picker.
class TFrmSelectEntry : public TFrmStatusBar, public IDataChangeListener
{
    Q_OBJECT

public:
    static constexpr int HelpContext = 1000;

    explicit TFrmSelectEntry(TdmMain& dmMain, QWidget* parent = nullptr);
    ~TFrmSelectEntry() override;

    TfrmEntryBrowser* Browser() const { return m_browser; }
    int Run();

    // True with the highlighted entry's code in code.
    static bool PickEntry(TdmMain& dmMain, int& code, QWidget* owner = nullptr);
    // The picker kept between requests, if any.
    static TFrmSelectEntry* KeptPicker() { return s_kept; }
    // Tests answer the picker themselves: the hook returns its result.
    static inline std::function<int(TFrmSelectEntry& picker)> ExecuteHook;

    void DataChanged(ClientRecordSet* source, const QString& field) override;
    bool FormKeyDown(QKeyEvent* event) override;

    QPushButton* btnSelect = nullptr;
    QPushButton* btnCancel = nullptr;

protected:
    void FormShow() override;

private:
    void UpdateSelect();

    TfrmEntryBrowser* m_browser = nullptr;
    bool m_shownBefore = false;
    static inline QPointer<TFrmSelectEntry> s_kept;
};
