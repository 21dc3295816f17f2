#pragma once

#include "settings/fPersistent.h"

#include <QElapsedTimer>
#include <QString>

class QColor;
class QFrame;
class QLabel;
class TSizeGripPanel;

// A window with the program's status bar, which shows the hint of the control
// under the mouse (THintManager) and the windows' own error and information
// texts.
class IStatusBarWindow {
public:
    virtual ~IStatusBarWindow() = default;

    // Red text with the stop picture.
    virtual void ShowErrorHint(const QString& text) = 0;
    // Blue text with the information picture.
    virtual void ShowInfoHint(const QString& text) = 0;
    // The application's current hint in black, with the pinned note, or with
    // the empty picture when the hint is blank.
    virtual void ShowApplicationHint() = 0;
};

// The status bar behaviour on top of a remembering window (TFrmPersistent or
// TFrmPersistentMain; see fPersistent.h for why there are two).
//
// The bottom row paBottom (19 pixels) holds, from left to right, paImg with
// the hint picture imgHint, the hint text paHint and the size grip panel
// SizeGripPanel1. Derived windows put their controls into ClientArea(), which
// fills the window above that row.
//
// A window embedded into another window (not a window of its own any more)
// hands the three hint operations to the nearest status bar window around it.
template <class TPersistentBase>
class TStatusBarWindow : public TPersistentBase, public IStatusBarWindow {
public:
    explicit TStatusBarWindow(TdmMain& dmMain, QWidget* parent = nullptr);

    void ShowErrorHint(const QString& text) override;
    void ShowInfoHint(const QString& text) override;
    void ShowApplicationHint() override;

    QWidget* ClientArea() const { return m_clientArea; }

protected:
    QFrame* paBottom;
    QFrame* paImg;
    QLabel* imgHint;
    QLabel* paHint;
    TSizeGripPanel* SizeGripPanel1;

private:
    IStatusBarWindow* EnclosingStatusBar() const;
    void ShowHint(const QString& text, const QColor& colour, const QString& picture);

    QWidget* m_clientArea;
    QString m_hintPicture;
    // Since the last notice or error was shown: for a few seconds the empty
    // hint of whatever lies under the pointer (after a menu or a dialog
    // closes, say) does not wipe it before it could be read.
    QElapsedTimer m_sinceNotice;
};

extern template class TStatusBarWindow<TFrmPersistent>;
extern template class TStatusBarWindow<TFrmPersistentMain>;

// The base of the dialogs and editor windows with a status bar.
class TFrmStatusBar : public TStatusBarWindow<TFrmPersistent>
{
    Q_OBJECT

public:
    explicit TFrmStatusBar(TdmMain& dmMain, QWidget* parent = nullptr);

    // F1 opens the help page of this context; 0 (the default) opens none.
    void SetHelpContext(int context) { m_helpContext = context; }
    bool FormKeyDown(QKeyEvent* event) override;

private:
    int m_helpContext = 0;
};

// The base of the main window with a status bar.
class TFrmStatusBarMain : public TStatusBarWindow<TFrmPersistentMain>
{
    Q_OBJECT

public:
    explicit TFrmStatusBarMain(TdmMain& dmMain, QWidget* parent = nullptr);
};
