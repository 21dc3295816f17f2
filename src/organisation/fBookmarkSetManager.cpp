#include "organisation/fBookmarkSetManager.h"

#include "app/Errors.h"
#include "app/IDesktop.h"
#include "browsing/dBookmarkSets.h"
#include "browsing/fBookmarkSetBrowser.h"
#include "controls/CommandButton.h"
#include "controls/RecordListGrid.h"
#include "db/dmConnection.h"
#include "engine/FileHelpers.h"

#include <QBoxLayout>
#include <QFormLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>

const QString TfrmBookmarkSetManager::NewSetName = QStringLiteral("< New bookmark set >");
const QString TfrmBookmarkSetManager::ReservedSetText =
    QStringLiteral("You cannot modify or delete the default bookmark set of the application.");
const QString TfrmBookmarkSetManager::ConfirmDeleteText =
    QStringLiteral("Are you sure you want to delete the selected bookmark set?");
const QString TfrmBookmarkSetManager::SaveChangesText =
    QStringLiteral("You have made changes to the bookmark sets. Do you want to save these changes?");

namespace {

const QString kCode = QStringLiteral("code");
const QString kName = QStringLiteral("name");
const QString kDescription = QStringLiteral("description");

} // namespace

// --- the set window ---------------------------------------------------------------

const QString TFrmEditBookmarkSet::NameTooLongText =
    QStringLiteral("The name of a bookmark set can be at most %1 characters long; this one has %2.");
const QString TFrmEditBookmarkSet::DescriptionTooLongText =
    QStringLiteral("The description of a bookmark set can be at most %1 characters long; this one has %2.");

TFrmEditBookmarkSet::TFrmEditBookmarkSet(TdmMain& dmMain, QWidget* parent)
    : TNameDescriptionDialog(dmMain, HelpContext,
                             {QStringLiteral("TFrmEditBookmarkSet"), QStringLiteral("Edit / Add bookmark set"),
                              QStringLiteral("Type a name for the bookmark set here"),
                              QStringLiteral("Type a description for the bookmark set here"),
                              QStringLiteral("Saves changes to bookmark sets"),
                              QStringLiteral("Exits without saving changes to bookmark sets"), NameTooLongText,
                              DescriptionTooLongText},
                             parent)
{
}

void TFrmEditBookmarkSet::SetAddMode(bool adding)
{
    setWindowTitle(adding ? QStringLiteral("New bookmark set") : QStringLiteral("Edit bookmark set"));
}

QString TFrmEditBookmarkSet::Name() const
{
    return edName->text();
}

QString TFrmEditBookmarkSet::Description() const
{
    return edDescription->text();
}

void TFrmEditBookmarkSet::SetName(const QString& name)
{
    edName->setText(name);
    edName->selectAll();
}

void TFrmEditBookmarkSet::SetDescription(const QString& description)
{
    edDescription->setText(description);
}

std::function<bool(TFrmEditBookmarkSet&)> TFrmEditBookmarkSet::ExecuteHook;

int AskNewBookmarkSet(TdmMain& dmMain, QWidget* parent)
{
    TFrmEditBookmarkSet dialog(dmMain, parent);
    dialog.SetAddMode(true);
    const bool ok = TFrmEditBookmarkSet::ExecuteHook ? TFrmEditBookmarkSet::ExecuteHook(dialog)
                                                     : dialog.exec() == QDialog::Accepted;
    if (!ok)
        return -1;
    TdmBookmarkSets module(dmMain.Connection());
    return module.CreateBookmarkSet(dialog.Name().trimmed(), dialog.Description().trimmed());
}

// --- the manager ------------------------------------------------------------------

TfrmBookmarkSetManager::TfrmBookmarkSetManager(TdmMain& dmMain, QWidget* parent) : TFrmStatusBar(dmMain, parent)
{
    setObjectName(QStringLiteral("TfrmBookmarkSetManager"));
    SetHelpContext(HelpContext);
    setWindowTitle(QStringLiteral("Manage bookmark sets"));
    setModal(true);
    resize(460, 380);

    QWidget* client = ClientArea();
    m_browser = new TfrmBookmarkSetBrowser(dmMain, client);
    m_browser->ListEntries = false;
    m_browser->Grid()->OnDoubleClick = [this] { EditSet(); };
    m_browser->Grid()->OnRecordSetChanged = [this] { UpdateButtons(); };
    m_browser->Grid()->AfterScroll = [this] { UpdateButtons(); };

    btnNew = NewCommandButton(client, "btnNew", QStringLiteral("New set"), QStringLiteral("Create a new bookmark set"));
    btnEdit = NewCommandButton(client, "btnEdit", QStringLiteral("Edit"),
                        QStringLiteral("Edit the currently selected bookmark set"));
    btnDelete = NewCommandButton(client, "btnDelete", QStringLiteral("Delete"),
                          QStringLiteral("Delete the currently selected bookmark set"));
    btnSave = NewCommandButton(client, "btnSave", QStringLiteral("Save"),
                        QStringLiteral("Saves changes to bookmark sets and exits this form"));
    btnCancel = NewCommandButton(client, "btnCancel", QStringLiteral("Exit"),
                          QStringLiteral("Exits without saving changes to bookmark sets"));
    connect(btnNew, &QPushButton::clicked, this, &TfrmBookmarkSetManager::NewSet);
    connect(btnEdit, &QPushButton::clicked, this, &TfrmBookmarkSetManager::EditSet);
    connect(btnDelete, &QPushButton::clicked, this, &TfrmBookmarkSetManager::DeleteSet);
    connect(btnSave, &QPushButton::clicked, this, [this] {
        if (DoSave())
            done(ResultYes);
    });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* side = new QVBoxLayout;
    for (QPushButton* button : {btnNew, btnEdit, btnDelete})
        side->addWidget(button);
    side->addStretch(1);
    side->addWidget(btnSave);
    side->addWidget(btnCancel);
    auto* row = new QHBoxLayout(client);
    row->addWidget(m_browser, 1);
    row->addLayout(side);

    UpdateButtons();
    m_dmMain.AddColorSchemeObserver(this);
}

TfrmBookmarkSetManager::~TfrmBookmarkSetManager()
{
    m_dmMain.RemoveColorSchemeObserver(this);
    m_browser->Grid()->OnRecordSetChanged = nullptr;
    m_browser->Grid()->AfterScroll = nullptr;
}

ClientRecordSet& TfrmBookmarkSetManager::SetsRecordSet() const
{
    return m_browser->SetsRecordSet();
}

bool TfrmBookmarkSetManager::HasPendingChanges() const
{
    const ClientRecordSet& sets = SetsRecordSet();
    return sets.HasChanges() || sets.HasUnpostedChange();
}

void TfrmBookmarkSetManager::FormShow()
{
    TFrmStatusBar::FormShow();
    ApplyColorScheme();
    UpdateButtons();
    btnCancel->setFocus();
}

void TfrmBookmarkSetManager::ApplyColorScheme()
{
    QPalette own = palette();
    own.setColor(QPalette::Window, m_dmMain.Colour(csWindow));
    own.setColor(QPalette::WindowText, m_dmMain.Colour(csWindowText));
    setPalette(own);
    m_browser->ApplyColorScheme();
}

bool TfrmBookmarkSetManager::CurrentIsReserved() const
{
    const int code = m_browser->CurrentSetCode();
    return code >= 0 && TdmBookmarkSets::IsReserved(code);
}

void TfrmBookmarkSetManager::UpdateButtons()
{
    const bool current = m_browser->CurrentSetCode() >= 0;
    btnEdit->setEnabled(current && !CurrentIsReserved());
    btnDelete->setEnabled(current && !CurrentIsReserved());
    btnSave->setEnabled(HasPendingChanges());
}

bool TfrmBookmarkSetManager::RunEditDialog(TFrmEditBookmarkSet& dialog)
{
    if (ExecuteEditDialog)
        return ExecuteEditDialog(dialog);
    return dialog.exec() == QDialog::Accepted;
}

void TfrmBookmarkSetManager::NewSet()
{
    TFrmEditBookmarkSet dialog(m_dmMain, this);
    dialog.SetAddMode(true);
    dialog.SetName(NewSetName);
    dialog.SetDescription(QString());
    if (!RunEditDialog(dialog))
        return;
    ClientRecordSet& sets = SetsRecordSet();
    m_browser->RememberCurrentSet();
    m_browser->BeginGridUpdate();
    try {
        const int code = m_dmMain.Connection().GetNextRecID(QStringLiteral("bookmarkSets"));
        sets.Append();
        sets.SetValue(kCode, code);
        sets.SetValue(QStringLiteral("GUID"), NewGuidText());
        sets.SetValue(kName, dialog.Name());
        sets.SetValue(kDescription, dialog.Description());
        sets.Post();
    } catch (const ETessarynError& e) {
        if (sets.HasUnpostedChange())
            sets.Cancel();
        m_browser->EndGridUpdate();
        m_dmMain.Desktop().ShowMessage(e.Message(), IDesktop::TMsgKind::Error);
        UpdateButtons();
        return;
    }
    m_browser->EndGridUpdate();
    m_browser->LocateRememberedSet();
    UpdateButtons();
}

void TfrmBookmarkSetManager::EditSet()
{
    if (m_browser->CurrentSetCode() < 0)
        return;
    if (CurrentIsReserved()) {
        m_dmMain.Desktop().MessageBox(ReservedSetText, IDesktop::TMsgKind::Confirmation, IDesktop::TButtons::Ok);
        return;
    }
    ClientRecordSet& sets = SetsRecordSet();
    TFrmEditBookmarkSet dialog(m_dmMain, this);
    dialog.SetAddMode(false);
    dialog.SetName(sets.AsString(kName));
    dialog.SetDescription(sets.AsString(kDescription));
    if (!RunEditDialog(dialog))
        return;
    sets.Edit();
    sets.SetValue(kName, dialog.Name());
    sets.SetValue(kDescription, dialog.Description());
    sets.Post();
    UpdateButtons();
}

void TfrmBookmarkSetManager::DeleteSet()
{
    if (m_browser->CurrentSetCode() < 0)
        return;
    if (CurrentIsReserved()) {
        m_dmMain.Desktop().MessageBox(ReservedSetText, IDesktop::TMsgKind::Confirmation, IDesktop::TButtons::Ok);
        return;
    }
    if (m_dmMain.Desktop().MessageBox(ConfirmDeleteText, IDesktop::TMsgKind::Confirmation, IDesktop::TButtons::YesNo)
        != IDesktop::TAnswer::Yes)
        return;
    SetsRecordSet().Delete();
    m_browser->Grid()->Resync();
    UpdateButtons();
}

bool TfrmBookmarkSetManager::DoSave()
{
    try {
        m_browser->Module().ApplySetChanges();
    } catch (const ETessarynError& e) {
        m_dmMain.Desktop().ShowMessage(e.Message(), IDesktop::TMsgKind::Error);
        UpdateButtons();
        return false;
    }
    UpdateButtons();
    return true;
}

bool TfrmBookmarkSetManager::FormCloseQuery()
{
    if (!HasPendingChanges())
        return true;
    switch (m_dmMain.Desktop().MessageBox(SaveChangesText, IDesktop::TMsgKind::Confirmation,
                                          IDesktop::TButtons::YesNoCancel)) {
    case IDesktop::TAnswer::Yes:
        if (!DoSave())
            return false;
        // Saved: the window ends as "Save" ends it.
        TFrmStatusBar::done(ResultYes);
        return false;
    case IDesktop::TAnswer::No:
        return true;
    default:
        return false;
    }
}

void TfrmBookmarkSetManager::done(int result)
{
    if (result != ResultYes && !FormCloseQuery())
        return;
    TFrmStatusBar::done(result);
}

