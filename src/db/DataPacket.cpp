#include "db/DataPacket.h"

#include "app/Errors.h"
#include "db/BlobFile.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <optional>

int FindFieldIndex(const TFieldDefs& fields, const QString& name)
{
    for (int i = 0; i < fields.size(); ++i)
        if (fields[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QVariant DataPacket::Value(int row, const QString& name) const
{
    const int index = FieldIndex(name);
    if (index < 0)
        throw EDatabaseError(QStringLiteral("Field '%1' not found").arg(name));
    return rows.at(row).at(index);
}

// "YYYY-MM-DD HH:MM:SS", the form the embedded engine stores, read by hand:
// Qt's parsers read their format anew for every value, and making a local
// date-time asks the time zone; a listing of every entry holds hundreds of
// thousands of dates over a few thousand days, so the few distinct values
// are made once.
static std::optional<QDateTime> ParseStoredDateTime(const QString& text)
{
    if (text.size() != 19 || text.at(4) != u'-' || text.at(7) != u'-' || text.at(10) != u' ' || text.at(13) != u':'
        || text.at(16) != u':')
        return std::nullopt;
    const auto number = [&](int from, int length, int& value) {
        value = 0;
        for (int i = from; i < from + length; ++i) {
            const char16_t c = text.at(i).unicode();
            if (c < u'0' || c > u'9')
                return false;
            value = value * 10 + (c - u'0');
        }
        return true;
    };
    int y, mo, d, h, mi, se;
    if (!number(0, 4, y) || !number(5, 2, mo) || !number(8, 2, d) || !number(11, 2, h) || !number(14, 2, mi)
        || !number(17, 2, se))
        return std::nullopt;
    const quint64 key = quint64(y) << 40 | quint64(mo) << 32 | quint64(d) << 24 | quint64(h) << 16 | quint64(mi) << 8 | quint64(se);
    thread_local QHash<quint64, QDateTime> made;
    const auto found = made.constFind(key);
    if (found != made.constEnd())
        return *found;
    const QDate date(y, mo, d);
    const QTime time(h, mi, se);
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    if (made.size() > 100000)
        made.clear();
    return *made.insert(key, QDateTime(date, time));
}

static QDateTime ParseDateTime(const QString& text)
{
    if (const std::optional<QDateTime> stored = ParseStoredDateTime(text))
        return *stored;
    // Stored as ISO-8601 text by the embedded engine ("YYYY-MM-DD HH:MM:SS").
    QDateTime dt = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!dt.isValid())
        dt = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    if (!dt.isValid())
        dt = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (!dt.isValid()) {
        const QDate d = QDate::fromString(text, Qt::ISODate);
        if (d.isValid())
            dt = QDateTime(d, QTime(0, 0));
    }
    return dt;
}

QVariant NormalizeValue(const QVariant& value, TFieldType type)
{
    if (value.isNull() || !value.isValid())
        return QVariant();
    switch (type) {
    case TFieldType::Integer: {
        bool ok = false;
        const qlonglong v = value.toLongLong(&ok);
        if (ok)
            return QVariant(int(v) == v ? QVariant(int(v)) : QVariant(v));
        return value;
    }
    case TFieldType::Float: {
        bool ok = false;
        const double v = value.toDouble(&ok);
        return ok ? QVariant(v) : value;
    }
    case TFieldType::Boolean:
        return QVariant(value.toBool());
    case TFieldType::DateTime: {
        if (value.typeId() == QMetaType::QDateTime)
            return value;
        if (value.typeId() == QMetaType::QDate)
            return QDateTime(value.toDate(), QTime(0, 0));
        const QDateTime dt = ParseDateTime(value.toString());
        return dt.isValid() ? QVariant(dt) : value;
    }
    case TFieldType::Blob:
        // A value kept in a file stays there: turning it into bytes would
        // read the whole archive into memory.
        return TBlobFile::Holds(value) ? value : QVariant(value.toByteArray());
    case TFieldType::Text:
    case TFieldType::LongText:
        return QVariant(value.toString());
    }
    return value;
}

int CompareValues(const QVariant& a, const QVariant& b, TFieldType type)
{
    const bool an = a.isNull(), bn = b.isNull();
    if (an || bn)
        return an == bn ? 0 : (an ? -1 : 1);
    switch (type) {
    case TFieldType::Integer: {
        const qlonglong x = a.toLongLong(), y = b.toLongLong();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    case TFieldType::Float: {
        const double x = a.toDouble(), y = b.toDouble();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    case TFieldType::Boolean:
        return int(a.toBool()) - int(b.toBool());
    case TFieldType::DateTime: {
        const QDateTime x = a.toDateTime(), y = b.toDateTime();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    case TFieldType::Blob: {
        if (TBlobFile::Holds(a) || TBlobFile::Holds(b)) {
            // Values in files are not read to be compared: one file is the
            // same value, two files count as different values (at worst an
            // unchanged archive is written again), ordered by size.
            if (TBlobFile::Holds(a) && TBlobFile::Holds(b) && a.value<TBlobFile>().SameFile(b.value<TBlobFile>()))
                return 0;
            const qint64 x = TBlobFile::ValueSize(a), y = TBlobFile::ValueSize(b);
            if (x == 0 && y == 0)
                return 0;
            return x < y ? -1 : (x > y ? 1 : (TBlobFile::Holds(a) ? 1 : -1));
        }
        const QByteArray x = a.toByteArray(), y = b.toByteArray();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    case TFieldType::Text:
    case TFieldType::LongText: {
        const QString x = a.toString(), y = b.toString();
        const int c = x.compare(y, Qt::CaseInsensitive);
        if (c != 0)
            return c < 0 ? -1 : 1;
        const int e = x.compare(y, Qt::CaseSensitive);
        return e < 0 ? -1 : (e > 0 ? 1 : 0);
    }
    }
    return 0;
}

bool ValuesEqual(const QVariant& a, const QVariant& b, TFieldType type, bool ignoreCase)
{
    if (a.isNull() || b.isNull())
        return a.isNull() && b.isNull();
    if ((type == TFieldType::Text || type == TFieldType::LongText))
        return a.toString().compare(b.toString(), ignoreCase ? Qt::CaseInsensitive : Qt::CaseSensitive) == 0;
    return CompareValues(a, b, type) == 0;
}
