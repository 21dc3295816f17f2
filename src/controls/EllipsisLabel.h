#pragma once

#include <QLabel>

// A field caption that runs out in a row of dots up to the field it names:
// "Keywords......". A right-aligned caption has the dots in front of it.
// The dots fill whatever width the label has and are cut at its edge.
class TEllipsisLabel : public QLabel
{
    Q_OBJECT

public:
    static constexpr int DotCount = 300;

    explicit TEllipsisLabel(QWidget* parent = nullptr);
    explicit TEllipsisLabel(const QString& caption, QWidget* parent = nullptr);

    bool ShowEllipsis() const { return m_showEllipsis; }
    void SetShowEllipsis(bool show);

    // What is drawn instead of the caption.
    QString ShownText() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_showEllipsis = true;
};
