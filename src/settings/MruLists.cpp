#include "settings/MruLists.h"

#include "app/Errors.h"
#include "app/User.h"
#include "db/EngineDialect.h"
#include "db/dmConnection.h"

// --- TMRUListProvider -------------------------------------------------------

TMRUListProvider::TMRUListProvider(TdmConnection& connection, const TUser& user)
    : m_connection(connection), m_user(user)
{
}

void TMRUListProvider::AddItem(int userCode, int listCode, const QString& text)
{
    m_connection.AddMRUListItem(userCode, listCode, text);
}

void TMRUListProvider::StyleListWindow(QObject*) {}

void TMRUListProvider::LoadList(const QString& listName, const QString& prefix, int& listCode,
                                ClientRecordSet& items)
{
    TSqlStatement texts{QStringLiteral("select MRUListItems.code, MRUListItems.MRUList, MRUListItems.aUser, "
                                       "MRUListItems.Text from MRUListItems inner join MRULists on "
                                       "MRUListItems.MRUList = MRULists.Code where MRULists.name = ?"),
                        {listName}};
    if (!prefix.isEmpty()) {
        texts.text += QStringLiteral(" and ")
                      + m_connection.Dialect().LikeCondition(QStringLiteral("MRUListItems.Text"), QStringLiteral("?"));
        texts.params.append(QString(prefix + QLatin1Char('%')));
    }
    const TSqlStatement code{QStringLiteral("select code from MRULists where name = ?"), {listName}};

    ClientRecordSet codes;
    m_connection.OpenQueries({texts, code}, {&items, &codes});
    items.SetIndexFieldNames(QStringLiteral("text"));
    codes.First();
    listCode = codes.IsEmpty() ? 0 : codes.AsInteger(QStringLiteral("code"));
}

int TMRUListProvider::GetUserCode() const
{
    return m_user.Code();
}

// --- TMRUList ---------------------------------------------------------------

const QString TMRUList::CodeOnlyPrefix = QStringLiteral("***");

TMRUList::TMRUList(const QString& name, IMRUListProvider& provider) : m_name(name), m_provider(provider) {}

void TMRUList::AddText(const QString& text)
{
    if (text.trimmed().isEmpty())
        return;
    if (m_listCode == 0) {
        LoadItems(CodeOnlyPrefix);
        // Without its list row the text would be remembered nowhere.
        if (m_listCode == 0)
            throw EDatabaseError(QStringLiteral("The MRU list '%1' does not exist").arg(m_name));
    }
    m_provider.AddItem(m_provider.GetUserCode(), m_listCode, text);
}

void TMRUList::LoadItems(const QString& prefix)
{
    m_provider.LoadList(m_name, prefix, m_listCode, m_items);
}
