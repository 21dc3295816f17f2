#pragma once

#include <QFrame>
#include <QPixmap>

// A panel that collapses to its header band and expands to its full height
// with a click on its small toggle button (or on the whole header row).
// While LockOpen it stays expanded and shows no toggle.
class TDropDownPanel : public QFrame
{
    Q_OBJECT

public:
    // The toggle button: 9 × 9 pixels, vertically centred in the header band.
    static constexpr int ToggleSize = 9;

    explicit TDropDownPanel(QWidget* parent = nullptr);

    bool Expanded() const { return m_expanded; }
    // Sets the state and the height that goes with it.
    void SetExpanded(bool expanded);
    int HeightCollapsed() const { return m_heightCollapsed; }
    void SetHeightCollapsed(int height);
    int HeightExpanded() const { return m_heightExpanded; }
    void SetHeightExpanded(int height);
    bool LockOpen() const { return m_lockOpen; }
    void SetLockOpen(bool lock);
    bool AllowClickOnWholeRow() const { return m_allowClickOnWholeRow; }
    void SetAllowClickOnWholeRow(bool allow);

    QRect ToggleRect() const;
    // Where a click expands or collapses the panel.
    virtual QRect HeaderArea() const;

signals:
    void OnExpand(TDropDownPanel* sender);
    void OnCollapse(TDropDownPanel* sender);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    // Inverts Expanded after a click on the header area; false when the
    // click was elsewhere or the panel is locked open.
    bool HeaderClick(const QPoint& at);
    void ApplyHeight();

    QPixmap m_plus;
    QPixmap m_minus;

private:
    bool m_expanded = true;
    int m_heightCollapsed = 20;
    int m_heightExpanded = 150;
    bool m_lockOpen = false;
    bool m_allowClickOnWholeRow = false;
};
