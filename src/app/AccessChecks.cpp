#include "app/AccessChecks.h"

#include "db/dmConnection.h"

bool CheckAccess(TdmConnection& connection, IDesktop& desktop, const QList<int>& codes, int accessKind,
                 const QString& refusalText, IDesktop::TMsgKind kind)
{
    for (const int code : codes) {
        if (!connection.CanAccess(code, accessKind)) {
            desktop.ShowMessage(refusalText, kind);
            return false;
        }
    }
    return true;
}

bool CheckCreateRight(const TUser& user, IDesktop& desktop)
{
    if (user.HasRight(TUser::urCreateEntries))
        return true;
    desktop.ShowMessage(AccessTexts::CreateEntries, IDesktop::TMsgKind::Warning);
    return false;
}
