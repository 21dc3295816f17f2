#pragma once

#include "mainwindow/fStatusBar.h"
#include "settings/dmMain.h"

#include <QList>
#include <QString>
#include <functional>
#include <optional>

class QFrame;
class QLabel;
class QPushButton;
class QWidget;
class TBTreeView;

// The category picker: the whole category tree, fully expanded, in which
// the user marks one category ("Select category") or several ("Select
// categories"). In the mode for several, "Select" may close the window with
// nothing marked (no category filter); picking one needs one.
//
// A panel above the tree lists the tree's keyboard shortcuts on request.
class TfrmSelectCategories : public TFrmStatusBar, public IColorSchemeObserver
{
    Q_OBJECT

public:
    static constexpr int HelpContext = 1000;
    static const QString SeveralCaption;
    static const QString SingleCaption;
    static const QString ShowShortcutsText;
    static const QString HideShortcutsText;
    static const QString ShortcutsIntroText;
    static constexpr int ShortcutsClosedHeight = 25;
    static constexpr int ShortcutsOpenHeight = 169;

    explicit TfrmSelectCategories(TdmMain& dmMain, QWidget* parent = nullptr);
    ~TfrmSelectCategories() override;

    void SetSeveral(bool several);
    bool Several() const { return m_several; }
    // Marks the categories of those codes before the window shows; codes of
    // no category are skipped.
    void SelectCodes(const QList<int>& codes);
    // The marked categories' codes in the order they were marked.
    QList<int> SelectedCodes() const;
    // The first marked category's code; 0 when none is marked.
    int SelectedCode() const;

    // Shows the picker modally for one category; 0 when cancelled.
    static int PickCategory(TdmMain& dmMain, QWidget* parent = nullptr);
    // Shows it for several, with those marked; nothing when cancelled.
    static std::optional<QList<int>> PickCategories(TdmMain& dmMain, const QList<int>& selected,
                                                    QWidget* parent = nullptr);
    // Tests answer the modal picker themselves: called instead of exec().
    static std::function<int(TfrmSelectCategories& picker)> ExecuteHook;

    TBTreeView* Tree() const { return tv; }
    QFrame* ShortcutsPanel() const { return paShortcuts; }
    void ShowShortcuts(bool show);

    void ApplyColorScheme() override;
    void accept() override;

    QPushButton* btnSelect;
    QPushButton* btnCancel;
    QPushButton* btnShortcuts;

protected:
    void FormShow() override;

private:
    void BuildControls();
    void UpdateSelectState();
    int Run();

    TBTreeView* tv;
    QFrame* paShortcuts;
    QLabel* laShortcuts;
    bool m_several = true;
};
