#include "search/SearchOptions.h"

#include "search/SearchKeyParser.h"
#include "settings/ISettingsManager.h"

#include <QSet>
#include <QStringList>

const QString TOstrivaleSearchOptions::SettingsSection = QStringLiteral("Settings\\Search options");

namespace {

const QString kAllCategories = QStringLiteral("Search all categories");
const QString kCategoryFilterList = QStringLiteral("Category filter list");
const QString kIncludeSubcategories = QStringLiteral("Include subcategories");
const QString kDateRange = QStringLiteral("Search in date range");
const QString kFromDate = QStringLiteral("Search from date");
const QString kToDate = QStringLiteral("Search to date");

// Key and default of each content bit, in bit order.
struct TContentSetting {
    const char* key;
    bool defaultValue;
};
constexpr TContentSetting kContentSettings[TOstrivaleSearchOptions::ContentFlagCount] = {
    {"Search in titles", true},      {"Search in keywords", true}, {"Search in comments", true},
    {"Search in file names", true},  {"Search in source", false},  {"Search in category names", true},
};

QString JoinCodes(const QList<int>& codes)
{
    QStringList texts;
    texts.reserve(codes.size());
    for (const int code : codes)
        texts.append(QString::number(code));
    return texts.join(QLatin1Char(','));
}

} // namespace

void TOstrivaleSearchOptions::Assign(const TOstrivaleSearchOptions& other)
{
    if (this != &other)
        *this = other;
}

bool TOstrivaleSearchOptions::GetContentFlag(int i) const
{
    return i >= 0 && i < ContentFlagCount && (ContentFlags & (1 << i)) != 0;
}

void TOstrivaleSearchOptions::SetContentFlag(int i, bool on)
{
    if (i < 0 || i >= ContentFlagCount)
        return;
    if (on)
        ContentFlags |= 1 << i;
    else
        ContentFlags &= ~(1 << i);
}

QString TOstrivaleSearchOptions::GetCategoryCodesText() const
{
    return JoinCodes(CategoryCodes);
}

void TOstrivaleSearchOptions::SetCategoryCodesText(const QString& text)
{
    CategoryCodes.clear();
    for (const QString& element : SplitSearchKeys(text)) {
        bool ok = false;
        const int code = element.toInt(&ok, 10);
        if (ok)
            CategoryCodes.append(code);
    }
}

QString TOstrivaleSearchOptions::GetSearchCategoryCodes() const
{
    if (!IncludeSubcategories)
        return GetCategoryCodesText();
    QList<int> codes;
    QSet<int> seen;
    const auto add = [&](int code) {
        if (!seen.contains(code)) {
            seen.insert(code);
            codes.append(code);
        }
    };
    for (const int code : CategoryCodes) {
        add(code);
        if (DescendantCodes)
            for (const int descendant : DescendantCodes(code))
                add(descendant);
    }
    return JoinCodes(codes);
}

void TOstrivaleSearchOptions::LoadFromSettings(ISettingsManager& settings)
{
    const QString& section = SettingsSection;
    AllCategories = settings.ReadBool(kAllCategories, true, section);
    SetCategoryCodesText(settings.ReadString(kCategoryFilterList, QString(), section));
    IncludeSubcategories = settings.ReadBool(kIncludeSubcategories, true, section);
    for (int i = 0; i < ContentFlagCount; ++i)
        SetContentFlag(i, settings.ReadBool(QString::fromLatin1(kContentSettings[i].key),
                                            kContentSettings[i].defaultValue, section));
    DateRange = settings.ReadBool(kDateRange, false, section);
    FromDate = settings.ReadDate(kFromDate, section, QDate(1950, 1, 1));
    ToDate = settings.ReadDate(kToDate, section, QDate(2078, 12, 31));
}

void TOstrivaleSearchOptions::SaveToSettings(ISettingsManager& settings) const
{
    const QString& section = SettingsSection;
    settings.WriteBool(kAllCategories, AllCategories, section);
    settings.WriteString(kCategoryFilterList, GetCategoryCodesText(), section);
    settings.WriteBool(kIncludeSubcategories, IncludeSubcategories, section);
    for (int i = 0; i < ContentFlagCount; ++i)
        settings.WriteBool(QString::fromLatin1(kContentSettings[i].key), GetContentFlag(i), section);
    settings.WriteBool(kDateRange, DateRange, section);
    settings.WriteDate(kFromDate, section, FromDate);
    settings.WriteDate(kToDate, section, ToDate);
}

QVariantList TOstrivaleSearchOptions::ToRequest() const
{
    QVariantList request(srRequestSize);
    request[srCustomSelect] = CustomSelect;
    request[srCustomFrom] = CustomFrom;
    request[srCustomWhere] = CustomWhere;
    request[srCustomOrder] = CustomOrder;
    request[srKeys] = Keys;
    request[srOperator] = Operator;
    request[srCategoryCodes] = GetSearchCategoryCodes();
    request[srIncludeSubcategories] = IncludeSubcategories;
    request[srAllCategories] = AllCategories;
    for (int i = 0; i < ContentFlagCount; ++i)
        request[srSearchTitles + i] = GetContentFlag(i);
    request[srDateRange] = DateRange;
    request[srFromDate] = FromDate;
    request[srToDate] = ToDate;
    return request;
}
