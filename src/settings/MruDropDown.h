#pragma once

#include "settings/dmMain.h"

#include <QAbstractScrollArea>
#include <algorithm>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

class ISettingsManager;
class QComboBox;
class QLineEdit;
class TMRUList;
class TSizeGripPanel;

// The rows of the history drop-down: one text per row, the current row drawn
// with the highlight gradient. It never takes the keyboard focus; the mouse
// makes a row current by hovering and chooses it by a left click.
class TMRUListGrid : public QAbstractScrollArea
{
    Q_OBJECT

public:
    // A row is a line of the font with its padding, never lower than 18.
    static constexpr int MinimumRowHeight = 18;
    int RowHeight() const { return std::max(int(MinimumRowHeight), fontMetrics().height() + 4); }
    // Where the text of a row starts.
    static constexpr int TextLeft = 5;
    // Shown by an empty grid.
    static const QString EmptyText;

    explicit TMRUListGrid(QWidget* parent = nullptr);

    void SetItems(const QStringList& items);
    const QStringList& Items() const { return m_items; }
    // -1 when there is no current row. Setting scrolls the row into view.
    int CurrentRow() const { return m_current; }
    void SetCurrentRow(int row);
    int RowAt(const QPoint& viewportPos) const;
    // The rows that fit into the viewport without scrolling.
    int VisibleRows() const;
    void SetColours(const QColor& background, const QColor& highlightStart, const QColor& highlightEnd,
                    const QColor& text);

signals:
    void RowClicked(int row);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void UpdateScrollRange();

    QStringList m_items;
    int m_current = -1;
    QColor m_background = Qt::white;
    QColor m_highlightStart = QColor(0xAF, 0xB9, 0xC3);
    QColor m_highlightEnd = QColor(0xD7, 0xE1, 0xEB);
    QColor m_text = Qt::black;
};

// The drop-down window of remembered texts under an edit box: borderless,
// sizable through its grip, always on top of its window, and never active, so
// that the edit box keeps the keyboard focus and the user types on while it
// is shown. At most one exists at a time.
class TfrmMRUList : public QWidget, public IColorSchemeObserver
{
    Q_OBJECT

public:
    static const QString Caption;   // "History (MRU) list"
    static constexpr int MaxRows = 5;
    // Room for the grid's frame and the space around the grip.
    static constexpr int ExtraHeight = 6;

    // The window belongs to the edit box's window; colours come from the
    // main data module's scheme (the default look without one).
    TfrmMRUList(QWidget* editBox, TdmMain* dmMain);
    ~TfrmMRUList() override;

    // The one drop-down that exists, or nullptr.
    static TfrmMRUList* Instance();

    TMRUListGrid* Grid() const { return grMRU; }
    TSizeGripPanel* SizeGrip() const { return paSizeGrip; }
    QWidget* EditBox() const { return m_editBox; }

    // Shows the texts, at most MaxRows rows high, none of them current.
    void ShowItems(const QStringList& items);
    // Directly below the edit box, as wide as it.
    void PlaceBelowEditBox();
    // Hides the drop-down and frees it once the current event is done (it
    // may be closing from inside its own mouse handling). From now on
    // Instance() no longer returns it.
    void Dismiss();

    void ApplyColorScheme() override;

private:
    int HeightForRows(int rows) const;

    TMRUListGrid* grMRU;
    TSizeGripPanel* paSizeGrip;
    QPointer<QWidget> m_editBox;
    TdmMain* m_dmMain;
};

// Attaches a remembered-text list to an edit box: while the user types, the
// texts that begin with what was typed (the current word in multi-word mode)
// are offered in the drop-down, and the arrow keys walk through them.
//
// Single mode: the whole text is one item (source, search box). Multi-word
// mode: the text is a list of words split like search keys (keywords), and
// only the word being typed is looked up and replaced.
//
// Destroy the observer before its edit box; it then closes its drop-down and
// leaves the edit box as it found it.
class TEditMRUListObserver : public QObject
{
    Q_OBJECT

public:
    TEditMRUListObserver(QLineEdit* editBox, bool multiWord, TMRUList& list, TdmMain* dmMain = nullptr,
                         QObject* parent = nullptr);
    ~TEditMRUListObserver() override;

    QLineEdit* EditBox() const;
    TMRUList& List() const { return m_list; }
    bool MultiWord() const { return m_multiWord; }
    // The drop-down while this observer shows it, else nullptr.
    TfrmMRUList* DropDown() const;

    // The text looked up: the whole text, or in multi-word mode the selection
    // or else the word that ends at the caret.
    QString CurrentText() const;
    // Remembers every word of the edit box (split like search keys).
    void AddAllWords();
    // Closes (and frees) the drop-down.
    void CloseDropDown();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The part of the text that CurrentText() returns, as start and length.
    std::pair<int, int> CurrentSpan() const;
    void EditTextEdited();
    void FollowEditWindow();
    // Loads the texts beginning with prefix and shows them (closes the
    // drop-down when there are none).
    void LoadAndShow(const QString& prefix);
    void ShowDropDown(const QStringList& items);
    QStringList LoadedTexts() const;
    void TakeText(const QString& text);
    void RowClicked(int row);
    bool EditKeyDown(QKeyEvent* event);
    void MoveCurrent(int step);

    QPointer<QLineEdit> m_editBox;
    QPointer<QWidget> m_editWindow;
    TMRUList& m_list;
    TdmMain* m_dmMain;
    bool m_multiWord;
    // False while the observer itself changes the edit box's text.
    bool m_active = true;
    QString m_lastLookup;
    QPointer<TfrmMRUList> m_dropDown;
};

// Combo-box histories, kept in the settings store below the combo box's own
// section (ISettingsManager::GetControlKey). Scopes: 0 the current user on
// all computers, 1 all users on this computer, 2 all users on all computers,
// 3 the current user on this computer.
namespace ComboHistory {
constexpr int MaxTexts = 30;
// Stands for the combo box's current text.
inline const QString CurrentTextMarker = QStringLiteral("___");
} // namespace ComboHistory

// Remembers text in the combo box's list, newest on top (at its place in a
// list kept in alphabetical order), at most ComboHistory::MaxTexts texts.
// Blank texts and texts already listed are ignored.
void AddToHistory(QComboBox* combo, const QString& text);
// Replace the combo box's list by the stored one / store its list in place of
// the stored one. 0 on success, 1 on failure; they never raise.
int LoadComboHistory(ISettingsManager& settings, QComboBox* combo, int scope);
int SaveComboHistory(ISettingsManager& settings, QComboBox* combo, int scope);
