#include "app/AccessChecks.h"

#include "db/dmConnection.h"

QString ReadOnlyDatabaseText()
{
    return QStringLiteral("The database can only be read: its file or its folder is write-protected. Nothing can be "
                          "changed or added.");
}

bool CheckWritable(TdmConnection& connection, IDesktop& desktop)
{
    if (!connection.ReadOnly())
        return true;
    desktop.ShowMessage(ReadOnlyDatabaseText(), IDesktop::TMsgKind::Warning);
    return false;
}

bool CheckAccess(TdmConnection& connection, IDesktop& desktop, const QList<int>& codes, int accessKind,
                 const QString& refusalText, IDesktop::TMsgKind kind)
{
    if ((accessKind & (akModify | akDelete)) && !CheckWritable(connection, desktop))
        return false;
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
