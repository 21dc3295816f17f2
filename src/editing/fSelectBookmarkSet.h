#pragma once

#include "mainwindow/fStatusBar.h"
#include "settings/dmMain.h"

#include <functional>

class QPushButton;
class TfrmBookmarkSetBrowser;

// Asks the user for one bookmark set, among all of them (the program's own
// sets included). "Select" needs a set to choose.
class TFrmSelectBookmarkSet : public TFrmStatusBar, public IColorSchemeObserver
{
    Q_OBJECT

public:
    static constexpr int HelpContext = 51;

    // Loads every set; a refusal of the database is raised.
    explicit TFrmSelectBookmarkSet(TdmMain& dmMain, QWidget* parent = nullptr);
    ~TFrmSelectBookmarkSet() override;

    TfrmBookmarkSetBrowser* Browser() const { return m_browser; }
    // Shows the picker modally (or hands it to ExecuteHook).
    int Run();

    // True with the chosen set's code in setCode.
    static bool PickBookmarkSet(TdmMain& dmMain, int& setCode, QWidget* parent = nullptr);
    // Tests answer the picker themselves: the hook returns its result.
    static std::function<int(TFrmSelectBookmarkSet& picker)> ExecuteHook;

    void ApplyColorScheme() override;

    QPushButton* btnSelect;
    QPushButton* btnCancel;

protected:
    void FormShow() override;

private:
    void UpdateButtons();

    TfrmBookmarkSetBrowser* m_browser;
};
