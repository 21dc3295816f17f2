#include "settings/MruDropDown.h"

#include "app/Errors.h"
#include "controls/SizeGripPanel.h"
#include "search/SearchKeyParser.h"
#include "settings/ISettingsManager.h"
#include "settings/MruLists.h"

#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSizeGrip>
#include <QVBoxLayout>

namespace {

QPointer<TfrmMRUList> g_dropDown;

void SelectScope(ISettingsManager& settings, int scope)
{
    switch (scope) {
    case 1:
        settings.UseAllUsersThisComputer();
        break;
    case 2:
        settings.UseAllUsersAllComputers();
        break;
    case 3:
        settings.UseUserThisComputer();
        break;
    default:
        settings.UseUserAllComputers();
        break;
    }
}

} // namespace

// --- TMRUListGrid ------------------------------------------------------------

const QString TMRUListGrid::EmptyText = QStringLiteral("< >");

TMRUListGrid::TMRUListGrid(QWidget* parent) : QAbstractScrollArea(parent)
{
    setObjectName(QStringLiteral("grMRU"));
    setFocusPolicy(Qt::NoFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    verticalScrollBar()->setFocusPolicy(Qt::NoFocus);
    viewport()->setMouseTracking(true);
}

void TMRUListGrid::SetItems(const QStringList& items)
{
    m_items = items;
    // Nothing is chosen until the user walks the list.
    m_current = -1;
    UpdateScrollRange();
    verticalScrollBar()->setValue(0);
    viewport()->update();
}

void TMRUListGrid::SetCurrentRow(int row)
{
    if (row < -1 || row >= m_items.size())
        return;
    m_current = row;
    if (row >= 0) {
        QScrollBar* bar = verticalScrollBar();
        if (row < bar->value())
            bar->setValue(row);
        else if (row >= bar->value() + VisibleRows())
            bar->setValue(row - VisibleRows() + 1);
    }
    viewport()->update();
}

int TMRUListGrid::RowAt(const QPoint& viewportPos) const
{
    if (viewportPos.y() < 0)
        return -1;
    const int row = verticalScrollBar()->value() + viewportPos.y() / RowHeight();
    return row < m_items.size() ? row : -1;
}

int TMRUListGrid::VisibleRows() const
{
    return std::max(1, viewport()->height() / RowHeight());
}

void TMRUListGrid::SetColours(const QColor& background, const QColor& highlightStart, const QColor& highlightEnd,
                              const QColor& text)
{
    m_background = background;
    m_highlightStart = highlightStart;
    m_highlightEnd = highlightEnd;
    m_text = text;
    viewport()->update();
}

void TMRUListGrid::UpdateScrollRange()
{
    // The bar scrolls by whole rows.
    const int hidden = std::max(0, int(m_items.size()) - VisibleRows());
    verticalScrollBar()->setRange(0, hidden);
    verticalScrollBar()->setPageStep(VisibleRows());
    verticalScrollBar()->setSingleStep(1);
}

void TMRUListGrid::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollRange();
}

void TMRUListGrid::paintEvent(QPaintEvent*)
{
    QPainter painter(viewport());
    const int width = viewport()->width();
    painter.fillRect(viewport()->rect(), m_background);
    painter.setPen(m_text);
    if (m_items.isEmpty()) {
        painter.drawText(QRect(TextLeft, 0, width - TextLeft, RowHeight()), Qt::AlignVCenter | Qt::AlignLeft, EmptyText);
        return;
    }
    const QFontMetrics metrics(font());
    const int first = verticalScrollBar()->value();
    for (int row = first, y = 0; row < m_items.size() && y < viewport()->height(); ++row, y += RowHeight()) {
        const QRect rect(0, y, width, RowHeight());
        if (row == m_current) {
            QLinearGradient gradient(rect.topLeft(), QPoint(rect.left(), rect.bottom()));
            gradient.setColorAt(0, m_highlightStart);
            gradient.setColorAt(1, m_highlightEnd);
            painter.fillRect(rect.adjusted(0, 0, 0, -1), gradient);
        }
        const QRect textRect = rect.adjusted(TextLeft, 0, -2, 0);
        painter.drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft,
                         metrics.elidedText(m_items.at(row), Qt::ElideRight, textRect.width()));
    }
}

void TMRUListGrid::mouseMoveEvent(QMouseEvent* event)
{
    const int row = RowAt(event->position().toPoint());
    if (row >= 0 && row != m_current) {
        m_current = row;
        viewport()->update();
    }
    QAbstractScrollArea::mouseMoveEvent(event);
}

void TMRUListGrid::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const int row = RowAt(event->position().toPoint());
    if (row >= 0)
        emit RowClicked(row);
}

// --- TfrmMRUList --------------------------------------------------------------

const QString TfrmMRUList::Caption = QStringLiteral("History (MRU) list");

// A tool-tip window is the one kind of top-level window that no platform
// activates when it is shown (others are activated by some window managers
// and by the offscreen platform whatever their hints say), so the edit box
// keeps the focus and its window stays active.
TfrmMRUList::TfrmMRUList(QWidget* editBox, TdmMain* dmMain)
    : QWidget(editBox ? editBox->window() : nullptr,
              Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus),
      grMRU(new TMRUListGrid(this)), paSizeGrip(new TSizeGripPanel(this)), m_editBox(editBox), m_dmMain(dmMain)
{
    if (g_dropDown && g_dropDown != this)
        g_dropDown->Dismiss();
    g_dropDown = this;

    setObjectName(QStringLiteral("frmMRUList"));
    setWindowTitle(Caption);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_DeleteOnClose);
    setFocusPolicy(Qt::NoFocus);
    if (editBox)
        setFont(editBox->font());

    paSizeGrip->setObjectName(QStringLiteral("paSizeGrip"));
    paSizeGrip->setFrameShape(QFrame::NoFrame);
    paSizeGrip->setFixedHeight(paSizeGrip->Grip()->sizeHint().height());
    paSizeGrip->SetSizeGrip(true);
    paSizeGrip->setAutoFillBackground(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(grMRU, 1);
    layout->addWidget(paSizeGrip);

    if (m_dmMain)
        m_dmMain->AddColorSchemeObserver(this);
    ApplyColorScheme();
}

TfrmMRUList::~TfrmMRUList()
{
    if (m_dmMain)
        m_dmMain->RemoveColorSchemeObserver(this);
}

void TfrmMRUList::Dismiss()
{
    if (g_dropDown == this)
        g_dropDown = nullptr;
    hide();
    deleteLater();
}

TfrmMRUList* TfrmMRUList::Instance()
{
    return g_dropDown.data();
}

int TfrmMRUList::HeightForRows(int rows) const
{
    return rows * grMRU->RowHeight() + paSizeGrip->height() + ExtraHeight;
}

void TfrmMRUList::ShowItems(const QStringList& items)
{
    const int width = m_editBox ? m_editBox->width() : 100;
    setMinimumSize(width, HeightForRows(1));
    // The grid's frame takes part of the extra height; the rest stays below
    // the last row.
    resize(std::max(this->width(), width), HeightForRows(std::min<int>(int(items.size()), MaxRows)));
    grMRU->SetItems(items);
}

void TfrmMRUList::PlaceBelowEditBox()
{
    if (!m_editBox)
        return;
    const QPoint below = m_editBox->mapToGlobal(QPoint(0, m_editBox->height()));
    setGeometry(below.x(), below.y(), m_editBox->width(), height());
}

void TfrmMRUList::ApplyColorScheme()
{
    QColor grid = Qt::white, start(0xAF, 0xB9, 0xC3), end(0xD7, 0xE1, 0xEB), window = palette().color(QPalette::Window);
    QColor text = Qt::black;
    if (m_dmMain) {
        grid = m_dmMain->Colour(csGrid);
        start = m_dmMain->Colour(csHighlightStart);
        end = m_dmMain->Colour(csHighlightEnd);
        window = m_dmMain->Colour(csWindow);
        text = m_dmMain->Colour(csGridText);
    }
    grMRU->SetColours(grid, start, end, text);
    QPalette gripPalette = paSizeGrip->palette();
    gripPalette.setColor(QPalette::Window, window);
    paSizeGrip->setPalette(gripPalette);
}

// --- TEditMRUListObserver ---------------------------------------------------

TEditMRUListObserver::TEditMRUListObserver(QLineEdit* editBox, bool multiWord, TMRUList& list, TdmMain* dmMain,
                                           QObject* parent)
    : QObject(parent), m_editBox(editBox), m_list(list), m_dmMain(dmMain), m_multiWord(multiWord)
{
    // Only the user's typing looks texts up: a program filling the box (an
    // entry loaded into its window) must not pop the list up.
    connect(editBox, &QLineEdit::textEdited, this, &TEditMRUListObserver::EditTextEdited);
    editBox->installEventFilter(this);
    FollowEditWindow();
}

void TEditMRUListObserver::FollowEditWindow()
{
    // The edit box may have been made before its window took it in.
    QWidget* window = m_editBox ? m_editBox->window() : nullptr;
    if (window == m_editWindow)
        return;
    if (m_editWindow)
        m_editWindow->removeEventFilter(this);
    m_editWindow = window;
    if (m_editWindow && m_editWindow != m_editBox)
        m_editWindow->installEventFilter(this);
}

TEditMRUListObserver::~TEditMRUListObserver()
{
    CloseDropDown();
    if (m_editBox) {
        m_editBox->removeEventFilter(this);
        disconnect(m_editBox, nullptr, this, nullptr);
    }
    if (m_editWindow)
        m_editWindow->removeEventFilter(this);
}

QLineEdit* TEditMRUListObserver::EditBox() const
{
    return m_editBox.data();
}

TfrmMRUList* TEditMRUListObserver::DropDown() const
{
    return m_dropDown.data();
}

void TEditMRUListObserver::CloseDropDown()
{
    if (m_dropDown) {
        m_dropDown->Dismiss();
        m_dropDown = nullptr;
    }
}

std::pair<int, int> TEditMRUListObserver::CurrentSpan() const
{
    const QString text = m_editBox->text();
    if (!m_multiWord)
        return {0, int(text.size())};
    if (m_editBox->hasSelectedText())
        return {m_editBox->selectionStart(), int(m_editBox->selectedText().size())};
    const int caret = m_editBox->cursorPosition();
    // Inside an open quote the blanks belong to the word.
    const QChar delimiter = text.count(QLatin1Char('"')) % 2 == 1 ? QLatin1Char('"') : QLatin1Char(' ');
    const int start = caret > 0 ? int(text.lastIndexOf(delimiter, caret - 1)) + 1 : 0;
    return {start, caret - start};
}

QString TEditMRUListObserver::CurrentText() const
{
    if (!m_editBox)
        return QString();
    const auto [start, length] = CurrentSpan();
    return m_editBox->text().mid(start, length);
}

void TEditMRUListObserver::AddAllWords()
{
    if (!m_editBox)
        return;
    for (const QString& word : SplitSearchKeys(m_editBox->text()))
        if (!word.trimmed().isEmpty())
            m_list.AddText(word.trimmed());
}

void TEditMRUListObserver::EditTextEdited()
{
    if (!m_active || !m_editBox)
        return;
    const QString lookup = CurrentText().toLower();
    if (lookup == m_lastLookup)
        return;
    m_lastLookup = lookup;
    LoadAndShow(lookup);
}

QStringList TEditMRUListObserver::LoadedTexts() const
{
    QStringList texts;
    const DataPacket rows = m_list.Items().ToPacket();
    const int text = rows.FieldIndex(QStringLiteral("Text"));
    if (text < 0)
        return texts;
    for (const QList<QVariant>& row : rows.rows)
        texts.append(row.at(text).toString());
    return texts;
}

void TEditMRUListObserver::LoadAndShow(const QString& prefix)
{
    // Typing goes on whatever the database says: a list that cannot be read
    // offers nothing.
    try {
        m_list.LoadItems(prefix);
    } catch (const ETessarynError&) {
        CloseDropDown();
        return;
    }
    ShowDropDown(LoadedTexts());
}

void TEditMRUListObserver::ShowDropDown(const QStringList& items)
{
    if (items.isEmpty() || !m_editBox || !m_editBox->isVisible()) {
        CloseDropDown();
        return;
    }
    if (!m_dropDown) {
        FollowEditWindow();
        m_dropDown = new TfrmMRUList(m_editBox, m_dmMain);
        m_list.Provider().StyleListWindow(m_dropDown);
        connect(m_dropDown->Grid(), &TMRUListGrid::RowClicked, this, &TEditMRUListObserver::RowClicked);
    }
    m_dropDown->ShowItems(items);
    if (!m_dropDown->isVisible()) {
        m_dropDown->PlaceBelowEditBox();
        m_dropDown->show();
        if (!m_editBox->hasFocus())
            m_editBox->setFocus(Qt::OtherFocusReason);
    }
}

void TEditMRUListObserver::RowClicked(int row)
{
    if (!m_dropDown)
        return;
    const QString text = m_dropDown->Grid()->Items().value(row);
    TakeText(text);
    CloseDropDown();
}

void TEditMRUListObserver::TakeText(const QString& text)
{
    if (!m_editBox)
        return;
    m_active = false;
    if (!m_multiWord) {
        m_editBox->setText(text);
        m_editBox->setCursorPosition(int(text.size()));
    } else {
        auto [start, length] = CurrentSpan();
        const QString current = m_editBox->text();
        // A word typed after an opening quote takes the quote with it, so a
        // quoted item does not end up with two.
        if (!m_editBox->hasSelectedText() && start > 0 && current.at(start - 1) == QLatin1Char('"')) {
            --start;
            ++length;
        }
        const QString inserted =
            text.contains(QLatin1Char(' ')) ? QLatin1Char('"') + text + QLatin1Char('"') : text;
        m_editBox->setText(current.left(start) + inserted + current.mid(start + length));
        m_editBox->setSelection(start, int(inserted.size()));
    }
    m_active = true;
}

void TEditMRUListObserver::MoveCurrent(int step)
{
    if (!m_dropDown || !m_dropDown->isVisible()) {
        // The first press loads the list and takes its first text.
        LoadAndShow(CurrentText().toLower());
        if (m_dropDown && !m_dropDown->Grid()->Items().isEmpty())
            m_dropDown->Grid()->SetCurrentRow(0);
    } else {
        TMRUListGrid* grid = m_dropDown->Grid();
        const int count = int(grid->Items().size());
        if (count > 0) {
            int row = grid->CurrentRow() + step;
            if (row >= count)
                row = 0;
            else if (row < 0)
                row = count - 1;
            grid->SetCurrentRow(row);
        }
    }
    if (m_dropDown && m_dropDown->Grid()->CurrentRow() >= 0)
        TakeText(m_dropDown->Grid()->Items().at(m_dropDown->Grid()->CurrentRow()));
}

bool TEditMRUListObserver::EditKeyDown(QKeyEvent* event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    switch (event->key()) {
    case Qt::Key_Down:
        if (modifiers == Qt::ControlModifier) {
            LoadAndShow(CurrentText().toLower());
            return true;
        }
        if (modifiers == Qt::NoModifier) {
            MoveCurrent(1);
            return true;
        }
        return false;
    case Qt::Key_Up:
        if (modifiers == Qt::NoModifier) {
            MoveCurrent(-1);
            return true;
        }
        return false;
    case Qt::Key_End:
        if (modifiers == Qt::NoModifier && m_multiWord) {
            const QString text = m_editBox->text();
            if (!text.endsWith(QLatin1Char(' '))) {
                m_active = false;
                m_editBox->setText(text + QLatin1Char(' '));
                m_active = true;
            }
            m_editBox->setCursorPosition(int(m_editBox->text().size()));
        }
        CloseDropDown();
        return false;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        // The edit box's owner still sees these keys (search on Enter, hide on Escape).
        CloseDropDown();
        return false;
    default:
        return false;
    }
}

bool TEditMRUListObserver::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_editBox) {
        switch (event->type()) {
        case QEvent::KeyPress:
            if (EditKeyDown(static_cast<QKeyEvent*>(event)))
                return true;
            break;
        case QEvent::FocusOut:
        case QEvent::Hide:
            // The drop-down never takes the focus, so losing it means the
            // user went elsewhere.
            CloseDropDown();
            break;
        default:
            break;
        }
    } else if (watched == m_editWindow && m_dropDown) {
        switch (event->type()) {
        case QEvent::Move:
        case QEvent::Resize:
            m_dropDown->PlaceBelowEditBox();
            break;
        case QEvent::Hide:
        case QEvent::WindowDeactivate:
            CloseDropDown();
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

// --- combo-box histories ----------------------------------------------------

void AddToHistory(QComboBox* combo, const QString& text)
{
    if (!combo)
        return;
    const QString value = text == ComboHistory::CurrentTextMarker ? combo->currentText() : text;
    if (value.trimmed().isEmpty() || combo->findText(value, Qt::MatchFixedString | Qt::MatchCaseSensitive) >= 0)
        return;
    const QString editText = combo->currentText();
    int at = 0;
    if (combo->insertPolicy() == QComboBox::InsertAlphabetically) {
        while (at < combo->count() && combo->itemText(at).compare(value, Qt::CaseInsensitive) < 0)
            ++at;
    }
    combo->insertItem(at, value);
    while (combo->count() > ComboHistory::MaxTexts)
        combo->removeItem(ComboHistory::MaxTexts);
    if (combo->isEditable())
        combo->setEditText(editText);
}

int LoadComboHistory(ISettingsManager& settings, QComboBox* combo, int scope)
{
    if (!combo)
        return 1;
    try {
        SelectScope(settings, scope);
        QStringList names;
        if (settings.ReadSection(names, nullptr, settings.GetControlKey(combo)) != 0)
            return 1;
        const QString editText = combo->currentText();
        combo->clear();
        combo->addItems(names.mid(0, ComboHistory::MaxTexts));
        if (combo->isEditable())
            combo->setEditText(editText);
        return 0;
    } catch (...) {
        return 1;
    }
}

int SaveComboHistory(ISettingsManager& settings, QComboBox* combo, int scope)
{
    if (!combo)
        return 1;
    try {
        SelectScope(settings, scope);
        const QString section = settings.GetControlKey(combo);
        QStringList names;
        for (int i = 0; i < combo->count(); ++i)
            names.append(combo->itemText(i));
        TSettingsAccess access(settings);
        // Texts that left the list must not come back with the next load.
        settings.EraseSection(section);
        return settings.WriteSection(names, nullptr, section);
    } catch (...) {
        return 1;
    }
}
