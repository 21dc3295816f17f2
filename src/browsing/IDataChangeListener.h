#pragma once

#include <QString>

class ClientRecordSet;

// Implemented by a window that hosts an entry browser, to learn that the
// browser's current record changed (the entry picker enables its "Select"
// button this way). The browser finds its host among its parent widgets.
class IDataChangeListener {
public:
    static constexpr const char* InterfaceId = "{8A3B7EA4-8ABA-42CD-8BC4-41F3EA734440}";

    virtual ~IDataChangeListener() = default;
    // source: the record set whose data changed; field: the changed field,
    // empty when the current record moved to another one.
    virtual void DataChanged(ClientRecordSet* source, const QString& field) = 0;
};
