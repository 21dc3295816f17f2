#pragma once

#include "engine/FileLists.h"

#include <QAbstractScrollArea>
#include <QColor>
#include <QHash>
#include <QIcon>
#include <QPixmap>
#include <QPoint>
#include <algorithm>
#include <functional>

// A one-column grid showing a file list: per row the mark, the item's icon,
// its name and its size. It observes the list and follows its changes; marks
// and the current item are the list's own.
class TEntryFilesGrid : public QAbstractScrollArea, public IFilesObserver
{
    Q_OBJECT

public:
    // A row is one line of the grid's font with its padding, never lower
    // than the 16-pixel icons with a pixel above and below.
    static constexpr int MinimumRowHeight = 18;
    int RowHeight() const { return std::max(int(MinimumRowHeight), fontMetrics().height() + 4); }
    static constexpr int MarkLeft = 10;
    // The strip at the left of a row where its mark is drawn: a click there
    // marks or unmarks the file.
    static constexpr int MarkColumnWidth = MarkLeft + 18;
    static constexpr int SizeWidth = 100;
    static const QString NoFilesText;

    // Registers with the list, which sends the first rebuild at once.
    explicit TEntryFilesGrid(TGenericFiles* files, QWidget* parent = nullptr);
    ~TEntryFilesGrid() override;

    TGenericFiles* Files() const { return m_files; }
    bool MarkingAllowed() const { return m_markingAllowed; }
    void SetMarkingAllowed(bool allowed) { m_markingAllowed = allowed; }
    bool OpeningAllowed() const { return m_openingAllowed; }
    void SetOpeningAllowed(bool allowed) { m_openingAllowed = allowed; }

    // Background, highlight gradient, text and accent colours.
    void SetColours(const QColor& list, const QColor& highlightStart, const QColor& highlightEnd, const QColor& text,
                    const QColor& accent);

    int RowAt(int y) const;
    QRect RowRect(int row) const;

    // The size column's text: "1023 bytes", "1.0 Kb" (with the locale's
    // decimal separator).
    static QString SizeText(qint64 size);

    // Paths of files to drag out of the grid, made ready on disk when the
    // drag starts; empty refuses the drag.
    std::function<QStringList()> FilesToDrag;

    void FilesChanged(TGenericFiles* files, int kind, int index) override;
    void FilesDestroyed(TGenericFiles* files) override;

signals:
    void ContextMenuRequested(const QPoint& globalPos);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void RebuildRows();
    void UpdateScrollRange();
    void ScrollToRow(int row);
    void MakeCurrent(int row);
    bool OnMark(const QPoint& pos) const;
    QIcon IconFor(const TEntryItem& item);

    TGenericFiles* m_files;
    bool m_markingAllowed = true;
    bool m_openingAllowed = true;
    QColor m_list = Qt::white;
    QColor m_highlightStart = QColor(0xAF, 0xB9, 0xC3);
    QColor m_highlightEnd = QColor(0xD7, 0xE1, 0xEB);
    QColor m_text = Qt::black;
    QColor m_accent = QColor(0x80, 0x00, 0x00);
    QPixmap m_mark;
    QPoint m_pressPos;
    bool m_dragArmed = false;
};
