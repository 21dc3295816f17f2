#include "editing/EntryTransferWindows.h"

#include "app/IDesktop.h"
#include "editing/fEntry.h"
#include "editing/fSelectEntry.h"
#include "engine/EntryManager.h"
#include "engine/fMergeEntries.h"
#include "engine/frmPasswordProtect.h"
#include "engine/frmRequestPassword.h"
#include "settings/dmMain.h"

#include <QPointer>

void InstallEntryTransferWindows(TdmMain& dmMain, QWidget* owner)
{
    TEntryManager& manager = dmMain.EntryManager();
    QPointer<QWidget> parent(owner);
    manager.ShowMergeDialog = [&dmMain, parent](const QList<TEntryData*>& sources) {
        return TfrmMergeEntries::Execute(dmMain, sources, parent.data());
    };
    manager.ShowPasswordProtect = [parent] { return TFrmPasswordProtect::AskNewPassword(parent.data()); };
    manager.PickEntry = [&dmMain, parent]() -> std::optional<int> {
        int code = 0;
        if (!TFrmSelectEntry::PickEntry(dmMain, code, parent.data()))
            return std::nullopt;
        return code;
    };
    TFrmPasswordProtect::ShowWarning = [&dmMain](const QString& text) {
        dmMain.Desktop().ShowMessage(text, IDesktop::TMsgKind::Warning);
    };
    TfrmEntry::PasswordProtectDialog = [](QWidget* window) { return TFrmPasswordProtect::AskNewPassword(window); };
    TFrmRequestPassword::PlacementSettings = &dmMain.Settings();
}

void UninstallEntryTransferWindows(TdmMain& dmMain)
{
    TEntryManager& manager = dmMain.EntryManager();
    manager.ShowMergeDialog = nullptr;
    manager.ShowPasswordProtect = nullptr;
    manager.PickEntry = nullptr;
    TFrmPasswordProtect::ShowWarning = nullptr;
    TfrmEntry::PasswordProtectDialog = nullptr;
    TFrmRequestPassword::PlacementSettings = nullptr;
    delete TFrmSelectEntry::KeptPicker();
}
