#include "editing/fSelectBookmarkSet.h"

#include "browsing/fBookmarkSetBrowser.h"
#include "controls/RecordListGrid.h"
#include "controls/ResBitBtn.h"

#include <QBoxLayout>
#include <QKeyEvent>
#include <QPushButton>

std::function<int(TFrmSelectBookmarkSet&)> TFrmSelectBookmarkSet::ExecuteHook;

TFrmSelectBookmarkSet::TFrmSelectBookmarkSet(TdmMain& dmMain, QWidget* parent) : TFrmStatusBar(dmMain, parent)
{
    setObjectName(QStringLiteral("TFrmSelectBookmarkSet"));
    SetHelpContext(HelpContext);
    setWindowTitle(QStringLiteral("Select bookmark set"));
    setModal(true);
    resize(360, 340);

    QWidget* client = ClientArea();
    auto* paBrowse = new QWidget(client);
    paBrowse->setObjectName(QStringLiteral("paBrowse"));
    m_browser = new TfrmBookmarkSetBrowser(dmMain, paBrowse);
    m_browser->ListEntries = false;
    auto* browse = new QVBoxLayout(paBrowse);
    browse->setContentsMargins(0, 0, 0, 0);
    browse->addWidget(m_browser);
    // A double click or Enter on a set chooses it.
    m_browser->Grid()->OnDoubleClick = [this] {
        if (btnSelect->isEnabled())
            accept();
    };

    btnSelect = new TResBitBtn(QStringLiteral("Select"), client);
    btnSelect->setObjectName(QStringLiteral("btnSelect"));
    btnSelect->setStatusTip(QStringLiteral("Selects the currently highlighted bookmark set and proceeds"));
    btnSelect->setToolTip(btnSelect->statusTip());
    btnSelect->setDefault(true);
    btnSelect->setEnabled(false);
    btnCancel = new TResBitBtn(QStringLiteral("Cancel"), client);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setStatusTip(QStringLiteral("Cancels the operation"));
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
    m_dmMain.AddColorSchemeObserver(this);
}

TFrmSelectBookmarkSet::~TFrmSelectBookmarkSet()
{
    m_dmMain.RemoveColorSchemeObserver(this);
    m_browser->Grid()->OnDoubleClick = nullptr;
}

void TFrmSelectBookmarkSet::FormShow()
{
    TFrmStatusBar::FormShow();
    ApplyColorScheme();
    UpdateButtons();
    m_browser->Grid()->setFocus();
}

void TFrmSelectBookmarkSet::UpdateButtons()
{
    const ClientRecordSet& sets = m_browser->SetsRecordSet();
    btnSelect->setEnabled(sets.Active() && sets.RecordCount() > 0);
}

void TFrmSelectBookmarkSet::ApplyColorScheme()
{
    QPalette own = palette();
    own.setColor(QPalette::Window, m_dmMain.Colour(csWindow));
    own.setColor(QPalette::WindowText, m_dmMain.Colour(csWindowText));
    setPalette(own);
    m_browser->ApplyColorScheme();
}

int TFrmSelectBookmarkSet::Run()
{
    UpdateButtons();
    return ExecuteHook ? ExecuteHook(*this) : exec();
}

bool TFrmSelectBookmarkSet::PickBookmarkSet(TdmMain& dmMain, int& setCode, QWidget* parent)
{
    TFrmSelectBookmarkSet picker(dmMain, parent);
    if (picker.Run() != QDialog::Accepted)
        return false;
    const int code = picker.Browser()->CurrentSetCode();
    if (code < 0)
        return false;
    setCode = code;
    return true;
}
