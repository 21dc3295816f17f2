#include "browsing/fBookmarkSetBrowser.h"

#include "controls/HelpContext.h"
#include "controls/RecordListGrid.h"

#include <QApplication>
#include <QVBoxLayout>

const QString TfrmBookmarkSetBrowser::NoSetsText = QStringLiteral(" < No bookmark sets found > ");

TfrmBookmarkSetBrowser::TfrmBookmarkSetBrowser(TdmMain& dmMain, QWidget* parent)
    : QWidget(parent), m_dmMain(dmMain), m_module(dmMain.Connection())
{
    setObjectName(QStringLiteral("frmBookmarkSetBrowser"));
    setWindowTitle(QStringLiteral("frmBookmarkSetBrowser"));
    QPalette own = palette();
    own.setColor(QPalette::Window, QColor(235, 233, 216));
    setPalette(own);
    setAutoFillBackground(true);

    gr = new TRecordListGrid(this);
    gr->setObjectName(QStringLiteral("gr"));
    gr->SetField(QStringLiteral("name"));
    gr->SetEmptyText(NoSetsText);
    SetControlHelpContext(gr, HelpContext);
    gr->AfterScroll = [this] { grAfterScroll(); };
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(gr);

    m_module.LoadBookmarkSets();
    m_dmMain.AddColorSchemeObserver(this);
}

TfrmBookmarkSetBrowser::~TfrmBookmarkSetBrowser()
{
    m_dmMain.RemoveColorSchemeObserver(this);
    gr->AfterScroll = nullptr;
    gr->SetSource(nullptr);
}

void TfrmBookmarkSetBrowser::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    ApplyColorScheme();
    // Bound only now: the first set is listed when the window shows.
    gr->SetSource(&m_module.cdsBookMarksets);
}

void TfrmBookmarkSetBrowser::ApplyColorScheme()
{
    QPalette own = palette();
    own.setColor(QPalette::Window, m_dmMain.Colour(csWindow));
    setPalette(own);
    gr->SetColours(m_dmMain.Colour(csGrid), m_dmMain.Colour(csHighlightStart), m_dmMain.Colour(csHighlightEnd),
                   m_dmMain.Colour(csGridText));
}

int TfrmBookmarkSetBrowser::CurrentSetCode() const
{
    const ClientRecordSet& sets = m_module.cdsBookMarksets;
    if (!sets.Active() || sets.IsEmpty())
        return -1;
    return sets.AsInteger(QStringLiteral("code"));
}

void TfrmBookmarkSetBrowser::LocateSet(int code)
{
    ClientRecordSet& sets = m_module.cdsBookMarksets;
    if (code < 0 || !sets.Active())
        return;
    const int before = CurrentSetCode();
    const int recNo = sets.RecNo();
    if (!sets.Locate(QStringLiteral("code"), code)) {
        sets.SetRecNo(recNo);
        return;
    }
    if (gr->Source() && !gr->Updating() && CurrentSetCode() != before)
        gr->Resync();
}

void TfrmBookmarkSetBrowser::BeginGridUpdate()
{
    gr->BeginUpdate();
}

void TfrmBookmarkSetBrowser::EndGridUpdate()
{
    gr->EndUpdate();
}

void TfrmBookmarkSetBrowser::ReloadFrom(const ClientRecordSet& sets)
{
    RememberCurrentSet();
    BeginGridUpdate();
    bool same = false;
    try {
        ClientRecordSet& own = m_module.cdsBookMarksets;
        own.LoadFromPacket(sets.ToPacket());
        own.SetIndexFieldNames(QStringLiteral("name"));
        own.First();
        LocateRememberedSet();
        same = CurrentSetCode() == m_rememberedSet;
    } catch (...) {
        EndGridUpdate();
        throw;
    }
    // The same set stays current: its entries are listed already.
    const bool listing = ListEntries;
    ListEntries = listing && !same;
    EndGridUpdate();
    ListEntries = listing;
}

void TfrmBookmarkSetBrowser::grAfterScroll()
{
    if (!ListEntries || !OnBrowseSet || !m_shown)
        return;
    QApplication::setOverrideCursor(Qt::BusyCursor);
    try {
        OnBrowseSet(CurrentSetCode());
    } catch (...) {
        QApplication::restoreOverrideCursor();
        throw;
    }
    QApplication::restoreOverrideCursor();
}
