#include "browsing/fBookBrowser.h"

#include "controls/CustomDrawnSplitter.h"
#include "controls/RecordListGrid.h"

#include <QVBoxLayout>

TfrmBookBrowser::TfrmBookBrowser(TdmMain& dmMain, QWidget* parent)
    : QWidget(parent), m_dmMain(dmMain), m_module(dmMain.Connection())
{
    setObjectName(QStringLiteral("frmBookBrowser"));
    setWindowTitle(QStringLiteral("Book Browser"));
    setAutoFillBackground(true);
    splitter = new TCustomDrawnSplitter(Qt::Vertical, this);
    splitter->setObjectName(QStringLiteral("splitter"));
    splitter->setChildrenCollapsible(false);
    grBooks = new TRecordListGrid(splitter);
    grBooks->setObjectName(QStringLiteral("grBooks"));
    grBooks->SetTitle(QStringLiteral("Book title"));
    grBooks->SetField(QStringLiteral("name"));
    grBooks->setMinimumHeight(50);
    grBookEntries = new TRecordListGrid(splitter);
    grBookEntries->setObjectName(QStringLiteral("grBookEntries"));
    grBookEntries->setMinimumHeight(50);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(splitter);

    m_module.LoadBooks();
    grBooks->SetSource(&m_module.cdsBooks);
    ApplyColorScheme();
    m_dmMain.AddColorSchemeObserver(this);
}

TfrmBookBrowser::~TfrmBookBrowser()
{
    m_dmMain.RemoveColorSchemeObserver(this);
    grBooks->SetSource(nullptr);
}

void TfrmBookBrowser::ApplyColorScheme()
{
    QPalette own = palette();
    own.setColor(QPalette::Window, m_dmMain.Colour(csWindow));
    own.setColor(QPalette::WindowText, m_dmMain.Colour(csWindowText));
    setPalette(own);
    splitter->SetArrowColor(m_dmMain.Colour(csSplitterArrow));
    splitter->SetButtonColor(m_dmMain.Colour(csSplitterButton));
    splitter->SetButtonColorHigh(m_dmMain.Colour(csSplitterButtonHighlight));
    for (TRecordListGrid* grid : {grBooks, grBookEntries})
        grid->SetColours(m_dmMain.Colour(csGrid), m_dmMain.Colour(csHighlightStart), m_dmMain.Colour(csHighlightEnd),
                         m_dmMain.Colour(csGridText));
}
