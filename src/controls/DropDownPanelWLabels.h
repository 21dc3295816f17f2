#pragma once

#include "controls/DropDownPanel.h"

#include <QColor>
#include <QFont>
#include <QList>
#include <QString>

// One link of a TDropDownPanelWLabels.
struct TDropDownLink {
    QString Caption;
    QString Hint;
    QString Name;
};

// A drop-down panel with a header caption and, below it, a column of links
// that behave like hyperlinks. A link has four looks: normal, highlighted
// (under the pointer), clicked (the last one clicked) and disabled. The
// fancier look frames the panel with rounded corners and paints the header
// band as a gradient.
class TDropDownPanelWLabels : public TDropDownPanel
{
    Q_OBJECT

public:
    explicit TDropDownPanelWLabels(QWidget* parent = nullptr);

    const QList<TDropDownLink>& Lines() const { return m_lines; }
    // Copies the links; every link is enabled again and shown in this order.
    void SetLines(const QList<TDropDownLink>& lines);

    QString HeaderCaption() const { return m_headerCaption; }
    void SetHeaderCaption(const QString& caption);
    QColor HeaderColor() const { return m_headerColor; }
    void SetHeaderColor(const QColor& colour);
    bool FancierLook() const { return m_fancierLook; }
    void SetFancierLook(bool fancier);
    int LabelSpacing() const { return m_labelSpacing; }
    void SetLabelSpacing(int spacing);
    bool AutoHeight() const { return m_autoHeight; }
    void SetAutoHeight(bool autoHeight);
    bool ShowClickedLabel() const { return m_showClickedLabel; }
    void SetShowClickedLabel(bool show);

    QFont LabelFont;
    QFont LabelHighlightFont;
    QFont LabelClickedFont;
    QFont LabelDisabledFont;
    QColor LabelColor = QColor(Qt::black);
    QColor LabelHighlightColor = QColor(Qt::blue);
    QColor LabelClickedColor = QColor(Qt::blue);
    QColor LabelDisabledColor = QColor(192, 192, 192);
    // Re-derives the four looks from the panel's font.
    void ResetLabelFonts();

    // The first link named exactly so; an unknown name does nothing.
    void SetLabelEnabled(const QString& name, bool enabled);
    bool LabelEnabled(const QString& name) const;
    // As if the first link named exactly so had been clicked.
    void ClickLabel(const QString& name);

    int HighlightedLabel() const { return m_highlighted; }
    int ClickedLabel() const { return m_clicked; }
    bool HeaderHot() const { return m_headerHot; }
    // Row of the link at that display position, and the part of it that
    // responds to the pointer.
    QRect LabelRow(int index) const;
    QRect LabelRect(int index) const;
    int LabelAt(const QPoint& at) const;
    QRect HeaderArea() const override;

signals:
    void OnLabelClick(TDropDownPanelWLabels* sender, const QString& name, const QString& caption);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    const QFont& FontOf(int index) const;
    QColor ColourOf(int index) const;
    void Click(int index);
    void SetHighlighted(int index);
    void UpdateAutoHeight();

    QList<TDropDownLink> m_lines;
    QList<bool> m_enabled;
    QString m_headerCaption = QStringLiteral("<Header caption>");
    QColor m_headerColor = QColor(234, 234, 234);
    bool m_fancierLook = true;
    int m_labelSpacing = 20;
    bool m_autoHeight = false;
    bool m_showClickedLabel = true;
    int m_highlighted = -1;
    int m_clicked = -1;
    bool m_headerHot = false;
    QPixmap m_collapse[2];
    QPixmap m_expand[2];
};
