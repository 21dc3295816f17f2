#pragma once

#include <QColor>
#include <QPointer>
#include <QSplitter>
#include <QSplitterHandle>
#include <functional>

class TCustomDrawnSplitter;

// The bar of a TCustomDrawnSplitter: paints its grip dots and the minimize
// button, and turns a click on the button into a minimize or a restore while
// leaving every other press to the ordinary drag of the bar.
class TCustomDrawnSplitterHandle : public QSplitterHandle
{
    Q_OBJECT

public:
    enum TButtonState { bsNormal = 0, bsHot = 1, bsPressed = 2 };

    TCustomDrawnSplitterHandle(Qt::Orientation orientation, TCustomDrawnSplitter* parent);

    QRect ButtonRect() const;
    // The button's rectangle widened by one pixel on both sides across the bar.
    bool OverButton(const QPoint& at) const;
    int ButtonState() const { return m_buttonState; }
    // The hint for a pointer at that point: a button text or the drag text.
    QString HintAt(const QPoint& at) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    TCustomDrawnSplitter* Owner() const;
    friend class TCustomDrawnSplitter;
    void SetButtonState(int state);
    void UpdateHover(const QPoint& at);
    void DrawDots(QPainter& painter, const QRect& region, int dotLength, int dotWidth, int spacing,
                  bool raised) const;

    int m_buttonState = bsNormal;
    QPoint m_pressPos;
    // The bar's own sizing cursor, shown everywhere but over the button.
    QCursor m_sizingCursor;
};

// A splitter whose bar resizes one panel (the Control: the splitter's first
// or last widget) and carries a button that minimizes that panel to MinSize
// with one click and restores it with the next. The side is that of the
// panel: left or top when it is the first widget, right or bottom when it
// is the last.
//
// The bar keeps the ordinary splitter behaviour: dragging with the mouse,
// the platform's sizing cursor, and the keyboard once it has the focus
// (arrow keys move it, Space or Return presses the button).
class TCustomDrawnSplitter : public QSplitter
{
    Q_OBJECT

public:
    enum class TSide { Left, Right, Top, Bottom };
    // How far the keyboard moves the bar per key press.
    static constexpr int KeyboardStep = 10;
    // A press on the button that moves no further than this is a click.
    static constexpr int ClickTolerance = 5;

    explicit TCustomDrawnSplitter(Qt::Orientation orientation, QWidget* parent = nullptr);

    QWidget* Control() const { return m_control; }
    // The panel must already be the splitter's first or last widget. Its
    // minimum size becomes MinSize, so that the bar can bring it down that far.
    void SetControl(QWidget* control);
    TSide Side() const;
    // The bar next to the Control, or null without one.
    TCustomDrawnSplitterHandle* ControlHandle() const;

    bool ShowButton() const { return m_showButton; }
    void SetShowButton(bool show);
    int ButtonLength() const { return m_buttonLength; }
    void SetButtonLength(int length);
    QColor ButtonColor() const { return m_buttonColor; }
    void SetButtonColor(const QColor& colour);
    QColor ButtonColorHigh() const { return m_buttonColorHigh; }
    void SetButtonColorHigh(const QColor& colour);
    QColor ArrowColor() const { return m_arrowColor; }
    void SetArrowColor(const QColor& colour);
    int ButtonDotMargin() const { return m_buttonDotMargin; }
    void SetButtonDotMargin(int margin);
    QCursor ButtonCursor() const { return m_buttonCursor; }
    void SetButtonCursor(const QCursor& cursor);
    int DotLength() const { return m_dotLength; }
    int DotWidth() const { return m_dotWidth; }
    int DotSpacing() const { return m_dotSpacing; }
    int DotMargin() const { return m_dotMargin; }
    void SetDots(int length, int width, int spacing, int margin);
    int MinSize() const { return m_minSize; }
    void SetMinSize(int size);

    bool Minimized() const { return m_minimized; }
    int RestoreSize() const { return m_restoreSize; }
    void SetRestoreSize(int size) { m_restoreSize = size; }

    // The Control's width (left, right) or height (top, bottom); MinSize
    // without a Control.
    int PanelSize() const;
    // Gives the Control that size, moving the bar with it; Moved follows,
    // as after a drag.
    void SetPanelSize(int size);
    // What a click on the button does: restore a minimized panel, minimize
    // an open one.
    void Toggle();
    // The two halves of Toggle, for owners that know which one they want;
    // each does nothing when the panel is in that state already.
    void Minimize();
    void Restore();
    // The bookkeeping after the bar was dragged (or moved by the keyboard).
    void EndDrag();

    // Let the owner replace the hint texts; the text arrives with the
    // splitter's own wording and may be changed in place.
    std::function<void(TCustomDrawnSplitter& sender, QString& hint)> OnGetButtonHint;
    std::function<void(TCustomDrawnSplitter& sender, QString& hint)> OnGetSplitterHint;

    static QString ClickToRestoreText() { return QStringLiteral("Click to restore"); }
    static QString ClickToMinimizeText() { return QStringLiteral("Click to minimize"); }
    static QString DragToResizeText() { return QStringLiteral("Drag to resize"); }

signals:
    void OnMinimize(TCustomDrawnSplitter* sender);
    void OnRestore(TCustomDrawnSplitter* sender);
    void OnClickButton(TCustomDrawnSplitter* sender);
    // A drag, a keyboard move or SetPanelSize has ended; the panel has its
    // new size.
    void Moved(TCustomDrawnSplitter* sender);

protected:
    QSplitterHandle* createHandle() override;

private:
    friend class TCustomDrawnSplitterHandle;
    int ControlIndex() const;
    void RepaintHandles();

    QPointer<QWidget> m_control;
    bool m_showButton = false;
    int m_buttonLength = 100;
    QColor m_buttonColor;
    QColor m_buttonColorHigh = QColor(207, 207, 255);
    QColor m_arrowColor = QColor(255, 0, 0);
    int m_buttonDotMargin = 7;
    QCursor m_buttonCursor = QCursor(Qt::ArrowCursor);
    int m_dotLength = 3;
    int m_dotWidth = 3;
    int m_dotSpacing = 8;
    int m_dotMargin = 7;
    int m_minSize = 1;
    bool m_minimized = false;
    int m_restoreSize = 0;
};
