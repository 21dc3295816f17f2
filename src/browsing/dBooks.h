#pragma once

#include "db/ClientRecordSet.h"

class TdmConnection;

// The books stored in the database, as the book browser lists them. Nothing
// in the program makes, changes or fills books.
class TdmBooks {
public:
    explicit TdmBooks(TdmConnection& connection) : m_connection(connection) {}

    void LoadBooks();

    ClientRecordSet cdsBooks;
    // The entries of a book, in their order; nothing fills it.
    ClientRecordSet cdsBookEntries;

private:
    TdmConnection& m_connection;
};
