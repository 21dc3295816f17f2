#include "browsing/dBooks.h"

#include "db/dmConnection.h"

void TdmBooks::LoadBooks()
{
    cdsBooks.LoadFromPacket(m_connection.GetBooks().value(0));
    cdsBooks.First();
}
