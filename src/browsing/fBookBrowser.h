#pragma once

#include "browsing/dBooks.h"
#include "settings/dmMain.h"

#include <QWidget>

class TCustomDrawnSplitter;
class TRecordListGrid;

// The titles of the books stored in the database. Books are only listed:
// there is no current book to remember and none to select.
class TfrmBookBrowser : public QWidget, public IColorSchemeObserver
{
    Q_OBJECT

public:
    explicit TfrmBookBrowser(TdmMain& dmMain, QWidget* parent = nullptr);
    ~TfrmBookBrowser() override;

    int CurrentBookCode() const { return -1; }
    void SelectBook(int) {}
    TRecordListGrid* BooksGrid() const { return grBooks; }
    TdmBooks& Module() { return m_module; }

    void ApplyColorScheme() override;

private:
    TdmMain& m_dmMain;
    TdmBooks m_module;
    TRecordListGrid* grBooks;
    TRecordListGrid* grBookEntries;
    TCustomDrawnSplitter* splitter;
};
