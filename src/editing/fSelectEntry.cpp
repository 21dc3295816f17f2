#include "editing/fSelectEntry.h"

#include "browsing/EntryGrid.h"
#include "browsing/fEntryBrowser.h"
#include "controls/ResBitBtn.h"
#include "search/dmSearch.h"

#include <QBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

TFrmSelectEntry::TFrmSelectEntry(TdmMain& dmMain, QWidget* parent) : TFrmStatusBar(dmMain, parent)
{
    setObjectName(QStringLiteral("TFrmSelectEntry"));
    SetHelpContext(HelpContext);
    setWindowTitle(QStringLiteral("Select an Tessaryn entry"));
    setModal(true);
    resize(640, 460);
    QPalette own = palette();
    own.setColor(QPalette::Window, QColor(235, 233, 216));
    setPalette(own);

    QWidget* client = ClientArea();
    auto* paBrowse = new QWidget(client);
    paBrowse->setObjectName(QStringLiteral("paBrowse"));
    m_browser = new TfrmEntryBrowser(dmMain, paBrowse);
    m_browser->SetEntryActionsEnabled(false);
    m_browser->SetSelectionEnabled(false);
    auto* browse = new QVBoxLayout(paBrowse);
    browse->setContentsMargins(0, 0, 0, 0);
    browse->addWidget(m_browser);
    m_browser->show();
    m_browser->HideEntryFiles();
    m_browser->ShowSearchBox();

    btnSelect = new TResBitBtn(QStringLiteral("Select"), client);
    btnSelect->setObjectName(QStringLiteral("btnSelect"));
    btnSelect->setStatusTip(
        QStringLiteral("Selects the currently highlighted entry and proceeds to the cut / copy operation you started"));
    btnSelect->setToolTip(btnSelect->statusTip());
    btnSelect->setEnabled(false);
    btnSelect->setAutoDefault(false);
    btnCancel = new TResBitBtn(QStringLiteral("Cancel"), client);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setStatusTip(QStringLiteral("Cancels the cut / copy files operation"));
    btnCancel->setToolTip(btnCancel->statusTip());
    btnCancel->setAutoDefault(false);
    connect(btnSelect, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnSelect);
    buttons->addWidget(btnCancel);
    auto* column = new QVBoxLayout(client);
    column->addWidget(paBrowse, 1);
    column->addLayout(buttons);
}

TFrmSelectEntry::~TFrmSelectEntry() = default;

void TFrmSelectEntry::DataChanged(ClientRecordSet* source, const QString& field)
{
    (void)source;
    (void)field;
    UpdateSelect();
}

void TFrmSelectEntry::UpdateSelect()
{
    // The browser tells of its first result while it is being made.
    if (!m_browser || !btnSelect)
        return;
    const ClientRecordSet& result = m_browser->Search().cdsSearch;
    btnSelect->setEnabled(result.Active() && result.RecordCount() > 0);
}

void TFrmSelectEntry::FormShow()
{
    // A picker kept from an earlier request comes back where it was left.
    if (m_shownBefore) {
        LoadPlacement();
        ApplyPlacement();
    }
    m_shownBefore = true;
    TFrmStatusBar::FormShow();
    UpdateSelect();
    if (QLineEdit* search = m_browser->SearchEdit(); search && search->isVisible() && search->isEnabled())
        search->setFocus();
}

bool TFrmSelectEntry::FormKeyDown(QKeyEvent* event)
{
    if (TFrmStatusBar::FormKeyDown(event))
        return true;
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        // In the search field Esc is the field's own.
        if (m_browser->SearchEdit() && m_browser->SearchEdit()->hasFocus())
            return false;
        reject();
        return true;
    }
    if (event->key() == Qt::Key_F && event->modifiers() == Qt::ControlModifier) {
        m_browser->ShowSearchBox();
        m_browser->SearchEdit()->setFocus();
        return true;
    }
    return false;
}

int TFrmSelectEntry::Run()
{
    UpdateSelect();
    return ExecuteHook ? ExecuteHook(*this) : exec();
}

bool TFrmSelectEntry::PickEntry(TdmMain& dmMain, int& code, QWidget* owner)
{
    const bool persistent = dmMain.App.PersistentEntrySelection;
    TFrmSelectEntry* picker = persistent ? s_kept.data() : nullptr;
    if (!persistent)
        delete s_kept.data();
    std::unique_ptr<TFrmSelectEntry> temporary;
    if (!picker) {
        auto created = std::make_unique<TFrmSelectEntry>(dmMain, owner);
        picker = created.get();
        if (persistent)
            s_kept = created.release();   // owned by the owner window from now on
        else
            temporary = std::move(created);
    }
    if (picker->Run() != QDialog::Accepted)
        return false;
    const int chosen = picker->Browser()->CurrentEntryCode();
    if (chosen <= 0)
        return false;
    code = chosen;
    return true;
}
