#pragma once

#include <QColor>
#include <QList>
#include <QString>
#include <QWidget>

class QTimer;

// A box that scrolls a few lines of credits upwards, one pixel every 30 ms,
// in an endless loop: the lines come in at the bottom edge, and once the last
// one has left at the top they start again from the bottom.
//
// The text is one line per credit line, with a small markup at the start of a
// line: "[b]" for a bold heading, "[c]" for a name in the accent colour.
class TScrollingCredits : public QWidget
{
    Q_OBJECT

public:
    static constexpr int LineSpacing = 18;
    static constexpr int StepMs = 30;

    explicit TScrollingCredits(QWidget* parent = nullptr);

    void SetCredits(const QString& markup);
    void SetAccentColor(const QColor& colour) { m_accent = colour; }
    void Start();
    void Stop();
    bool IsScrolling() const;
    // How far the lines have moved up since they started at the bottom edge.
    int Offset() const { return m_offset; }
    int LineCount() const { return int(m_lines.size()); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct TLine {
        QString text;
        bool bold = false;
        bool accent = false;
    };

    void Step();

    QList<TLine> m_lines;
    QColor m_accent = QColor(0, 0, 128);
    QTimer* m_timer;
    int m_offset = 0;
};
