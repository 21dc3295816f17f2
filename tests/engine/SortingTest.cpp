#include "engine/EntryItem.h"
#include "engine/Sortable.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

// Items with a key to sort by and a tag that tells equal keys apart; every
// exchange is recorded so the exact path of the sort can be checked.
class TRecordingSortable : public ISortable {
public:
    struct TItem {
        int key;
        char tag;
    };

    explicit TRecordingSortable(std::vector<TItem> items, int low = 0)
        : m_items(std::move(items)), m_low(low) {}

    int Compare(int i, int j) const override
    {
        ++m_compares;
        return m_items.at(i).key - m_items.at(j).key;
    }
    void Exchange(int i, int j) override
    {
        m_exchanges.emplace_back(i, j);
        std::swap(m_items.at(i), m_items.at(j));
    }
    int LowIndex() const override { return m_low; }
    int HighIndex() const override { return int(m_items.size()) - 1; }

    std::string Tags() const
    {
        std::string tags;
        for (const TItem& item : m_items)
            tags += item.tag;
        return tags;
    }

    std::vector<TItem> m_items;
    int m_low;
    mutable int m_compares = 0;
    std::vector<std::pair<int, int>> m_exchanges;
};

TEST(ShellSort, EmptyAndSingleItemListsAreLeftAlone)
{
    TRecordingSortable empty({});
    ShellSort(empty);
    EXPECT_EQ(empty.m_compares, 0);
    EXPECT_TRUE(empty.m_exchanges.empty());

    TRecordingSortable single({{7, 'a'}});
    ShellSort(single);
    EXPECT_EQ(single.m_compares, 0);
    EXPECT_TRUE(single.m_exchanges.empty());
    EXPECT_EQ(single.Tags(), "a");
}

// Traced by hand, keys 1 0 1 0 0 tagged a b c d e:
//   gap 2, limit 2: (0,2) equal, (1,3) equal, (2,4) exchanged -> a b e d c, last 2, limit 0
//          limit 0: (0,2) exchanged -> e b a d c, last 0: gap done
//   gap 1, limit 3: (0,1) (1,2) in order, (2,3) exchanged -> e b d a c, last 2, (3,4) equal; limit 1
//          limit 1: (0,1) (1,2) equal: last 0, done
// The equal zeros end as e b d, not in their original order b d e.
TEST(ShellSort, FollowsTheExactExchangeSequenceWithEqualKeys)
{
    TRecordingSortable list({{1, 'a'}, {0, 'b'}, {1, 'c'}, {0, 'd'}, {0, 'e'}});
    ShellSort(list);
    const std::vector<std::pair<int, int>> expected{{2, 4}, {0, 2}, {2, 3}};
    EXPECT_EQ(list.m_exchanges, expected);
    EXPECT_EQ(list.Tags(), "ebdac");
    EXPECT_EQ(list.m_compares, 3 + 1 + 4 + 2);
}

TEST(ShellSort, SortsRandomListsAndLeavesItemsBelowLowIndexAlone)
{
    QRandomGenerator random(20240131);
    for (int size = 0; size < 40; ++size) {
        for (const int low : {0, 3}) {
            std::vector<TRecordingSortable::TItem> items;
            for (int i = 0; i < size; ++i)
                items.push_back({int(random.bounded(6)), char('A' + i % 26)});
            const auto original = items;
            TRecordingSortable list(items, low);
            ShellSort(list);

            std::vector<int> multisetBefore, multisetAfter;
            for (int i = 0; i < size; ++i) {
                if (i < low) {
                    EXPECT_EQ(list.m_items[i].tag, original[i].tag) << "size " << size;
                    continue;
                }
                if (i > low) {
                    EXPECT_LE(list.m_items[i - 1].key, list.m_items[i].key) << "size " << size;
                }
                multisetBefore.push_back(original[i].key);
                multisetAfter.push_back(list.m_items[i].key);
            }
            std::sort(multisetBefore.begin(), multisetBefore.end());
            std::sort(multisetAfter.begin(), multisetAfter.end());
            EXPECT_EQ(multisetBefore, multisetAfter) << "size " << size;
        }
    }
}

struct TSorterCase {
    const char* label;
    int sortKind;
    std::vector<TEntryItem> items;
    QStringList expectedNames;
};

class EntryItemSorterTest : public ::testing::TestWithParam<TSorterCase> {};

QStringList SortedNames(const std::vector<TEntryItem>& source, int sortKind)
{
    std::vector<std::unique_ptr<TEntryItem>> owned;
    QList<TEntryItem*> list;
    for (const TEntryItem& item : source) {
        owned.push_back(std::make_unique<TEntryItem>(item));
        list.append(owned.back().get());
    }
    TEntryItemSorter sorter(list, sortKind);
    ShellSort(sorter);
    QStringList names;
    for (const TEntryItem* item : list)
        names.append(item->Name());
    return names;
}

TEST_P(EntryItemSorterTest, PutsItemsInDescendingKeyOrder)
{
    const TSorterCase& c = GetParam();
    EXPECT_EQ(SortedNames(c.items, c.sortKind), c.expectedNames);
}

TEntryItem File(const QString& name, qint32 size = 0)
{
    return TEntryItem(TEntryItem::KindFile, name, size);
}

TEntryItem Folder(const QString& name)
{
    return TEntryItem(TEntryItem::KindFolder, name);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EntryItemSorterTest,
    ::testing::Values(
        TSorterCase{"NameIsCaseSensitiveAndDescending", 1,
                    {File("b.txt"), File("A.txt"), File("a.txt")},
                    {"b.txt", "a.txt", "A.txt"}},
        TSorterCase{"FolderBeforeFileByTypeAndName", 0,
                    {File("zeta.txt"), Folder("docs")},
                    {"docs", "zeta.txt"}},
        TSorterCase{"TypeFirstThenNameDescending", 0,
                    {File("a.txt"), Folder("alpha"), File("z.txt"), Folder("Zulu")},
                    {"alpha", "Zulu", "z.txt", "a.txt"}},
        TSorterCase{"LargestSizeFirst", 2,
                    {File("ten", 10), File("big", 2000), File("five", 5)},
                    {"big", "ten", "five"}},
        TSorterCase{"NineDigitSizesCompareAsText", 2,
                    {File("hundred-million", 100000000), File("twenty-million", 20000000)},
                    {"twenty-million", "hundred-million"}},
        // UTF-8 bytes: U+1F600 (F0 ...) is above U+FF21 (EF ...), although its
        // UTF-16 form (D83D ...) is below.
        TSorterCase{"NamesCompareAsUtf8Bytes", 1,
                    {File(QString::fromUtf8("\xEF\xBC\xA1")), File(QString::fromUtf8("\xF0\x9F\x98\x80")),
                     File(QString::fromUtf8("\xC3\xA9")), File("z")},
                    {QString::fromUtf8("\xF0\x9F\x98\x80"), QString::fromUtf8("\xEF\xBC\xA1"),
                     QString::fromUtf8("\xC3\xA9"), "z"}}),
    [](const ::testing::TestParamInfo<TSorterCase>& info) { return info.param.label; });

TEST(EntryItemSorter, KeysAndCompareResults)
{
    EXPECT_EQ(TEntryItemSorter::SortKey(File("report.pdf"), 0), "1report.pdf");
    EXPECT_EQ(TEntryItemSorter::SortKey(Folder("images"), 0), "2images");
    EXPECT_EQ(TEntryItemSorter::SortKey(File("x", 5), 2), "00000005");
    EXPECT_EQ(TEntryItemSorter::SortKey(File("x", 123456789), 2), "123456789");
    EXPECT_EQ(TEntryItemSorter::SortKey(File("Name.txt", 5), 1), "Name.txt");

    TEntryItem a = File("a"), b = File("b"), a2 = File("a");
    QList<TEntryItem*> list{&a, &b, &a2};
    TEntryItemSorter sorter(list, 1);
    EXPECT_EQ(sorter.LowIndex(), 0);
    EXPECT_EQ(sorter.HighIndex(), 2);
    EXPECT_EQ(sorter.Compare(0, 1), 1);
    EXPECT_EQ(sorter.Compare(1, 0), -1);
    EXPECT_EQ(sorter.Compare(0, 2), 0);

    sorter.Exchange(0, 1);
    EXPECT_EQ(list.at(0), &b);
    EXPECT_EQ(list.at(1), &a);
    // The keys travel with their items.
    EXPECT_EQ(sorter.Compare(0, 1), -1);
}

} // namespace
