#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <QVariantList>

#include <functional>

class ISettingsManager;

// Positions of the values in a search request, the ordered list that
// TOstrivaleSearchOptions::ToRequest builds and the server side reads.
enum TSearchRequestIndex : int {
    srCustomSelect = 0,
    srCustomFrom = 1,
    srCustomWhere = 2,
    srCustomOrder = 3,
    srKeys = 4,
    srOperator = 5,
    srCategoryCodes = 6,         // codes to search in, subcategories already added, joined by ","
    srIncludeSubcategories = 7,  // informative only: srCategoryCodes already reflects it
    srAllCategories = 8,
    srSearchTitles = 9,          // 9..14: the content flags, bit 0 to bit 5
    srSearchKeywords = 10,
    srSearchComments = 11,
    srSearchFileNames = 12,
    srSearchSource = 13,
    srSearchCategoryNames = 14,
    srDateRange = 15,
    srFromDate = 16,
    srToDate = 17,
    srRequestSize = 18,
};

// What to search: where to look for the keys, which categories and which
// creation days, and, for listings that are not searches (a bookmark set),
// replacement parts of the statement. The application keeps one shared
// instance; every browser works on its own copy.
class TOstrivaleSearchOptions {
public:
    // Content flag bits.
    enum TContent : int {
        scTitles = 0,
        scKeywords = 1,
        scComments = 2,
        scFileNames = 3,
        scSource = 4,
        scCategoryNames = 5,
    };
    static constexpr int ContentFlagCount = 6;

    // Values of Operator.
    static constexpr int OperatorAll = 0;
    static constexpr int OperatorAny = 1;

    // The section the search options are kept in.
    static const QString SettingsSection;

    int ContentFlags = (1 << scTitles) | (1 << scKeywords) | (1 << scComments);
    bool DateRange = false;
    bool AllCategories = false;
    // Day zero of the program's calendar until a range is chosen.
    QDate FromDate = QDate(1899, 12, 30);
    QDate ToDate = QDate(1899, 12, 30);
    QList<int> CategoryCodes;
    bool IncludeSubcategories = false;
    QString Keys;
    int Operator = OperatorAll;
    QString CustomWhere;   // a complete condition ("where ...") replacing the built one
    QString CustomOrder;   // one line added at the end of the entries statement
    QString CustomSelect;  // a select list replacing the standard one
    QString CustomFrom;    // a from clause replacing the standard one

    // The descendants of a category, depth first in pre-order, the category
    // itself not included. The category tree lives elsewhere; whoever owns
    // it installs this. Without it a category stands for itself alone.
    std::function<QList<int>(int code)> DescendantCodes;

    // Copies every field, the category list and the descendants source included.
    void Assign(const TOstrivaleSearchOptions& other);

    // Content bit i (0..5); any other i reads false and changes nothing.
    bool GetContentFlag(int i) const;
    void SetContentFlag(int i, bool on);

    // The category codes joined by "," without blanks.
    QString GetCategoryCodesText() const;
    // Replaces the category codes by the integers of a list split like the
    // search keys; elements that are no integer are skipped without error.
    void SetCategoryCodesText(const QString& text);
    // The codes to filter by: with IncludeSubcategories every listed code
    // followed by its descendants, depth first, each code once; otherwise the
    // listed codes. Joined by ",".
    QString GetSearchCategoryCodes() const;

    // Reads and writes the kept values in SettingsSection. The keys and the
    // operator are not kept. The caller selects the scope beforehand: the
    // search options belong to the current user on all computers
    // (ISettingsManager::UseUserAllComputers).
    void LoadFromSettings(ISettingsManager& settings);
    void SaveToSettings(ISettingsManager& settings) const;

    // The options as the ordered list of srRequestSize values the search
    // request carries (see TSearchRequestIndex).
    QVariantList ToRequest() const;
};
