#pragma once

#include "db/ClientRecordSet.h"

#include <QString>

class QObject;
class TdmConnection;
class TUser;

// Data access of the remembered-text lists ("source", "keywords",
// "Recent searches"), behind an interface so the lists can be served by
// something else than the database in tests.
class IMRUListProvider {
public:
    virtual ~IMRUListProvider() = default;

    // Remembers text in the list unless the list already holds it (compared
    // without regard to case).
    virtual void AddItem(int userCode, int listCode, const QString& text) = 0;
    // Gives the drop-down window of a list its colours.
    virtual void StyleListWindow(QObject* window) = 0;
    // Loads the list's texts into items (only those beginning with prefix
    // when a prefix is given), indexed on text, and the list's code into
    // listCode (0 when there is no list of that name).
    virtual void LoadList(const QString& listName, const QString& prefix, int& listCode, ClientRecordSet& items) = 0;
    virtual int GetUserCode() const = 0;
};

// The provider over the database gateway.
//
// Prefixes are matched at the start of the text ignoring case for every
// letter, on both engines. A "%" or "_" in a prefix keeps its wildcard
// meaning (any run of characters, one character), as in every other search
// of the program; any other character, quotes and backslashes included, is
// matched as itself: names and prefixes travel as bound values and never
// become part of the statement.
class TMRUListProvider : public IMRUListProvider {
public:
    TMRUListProvider(TdmConnection& connection, const TUser& user);

    void AddItem(int userCode, int listCode, const QString& text) override;
    // Does nothing: the colours belong to the colour scheme of the main data
    // module, and the drop-down window takes its highlight and window colours
    // from there itself when it is created and whenever the scheme changes.
    void StyleListWindow(QObject* window) override;
    void LoadList(const QString& listName, const QString& prefix, int& listCode, ClientRecordSet& items) override;
    int GetUserCode() const override;

private:
    TdmConnection& m_connection;
    const TUser& m_user;
};

// One remembered-text list. Items() holds the texts of the last load
// (columns code, MRUList, aUser, Text; indexed on text).
class TMRUList {
public:
    TMRUList(const QString& name, IMRUListProvider& provider);
    TMRUList(const TMRUList&) = delete;
    TMRUList& operator=(const TMRUList&) = delete;

    // The list's code in the database; 0 until the list was first loaded.
    int ListCode() const { return m_listCode; }
    const QString& Name() const { return m_name; }
    ClientRecordSet& Items() { return m_items; }
    const ClientRecordSet& Items() const { return m_items; }
    IMRUListProvider& Provider() { return m_provider; }

    // Remembers text for everyone (blank texts are ignored). A list that was
    // never loaded is first loaded with a prefix that matches nothing in
    // practice, only to learn its code. Throws EDatabaseError when the
    // database has no list of this name, and passes on database errors.
    void AddText(const QString& text);
    // The texts beginning with prefix; every text of the list for an empty prefix.
    void LoadItems(const QString& prefix);

    // The prefix used to learn the code of a list never loaded.
    static const QString CodeOnlyPrefix;

private:
    QString m_name;
    IMRUListProvider& m_provider;
    int m_listCode = 0;
    ClientRecordSet m_items;
};
