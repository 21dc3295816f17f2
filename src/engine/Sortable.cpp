#include "engine/Sortable.h"

void ShellSort(ISortable& sortable)
{
    const int low = sortable.LowIndex();
    const int high = sortable.HighIndex();
    if (high < low)
        return;

    int gap = (high - low + 1) / 2;
    while (gap > 0) {
        int limit = high - gap;
        int last;
        // Each pass only needs to go as far as the last exchange of the
        // previous one. A pass whose last exchange happened at index 0 ends
        // the gap just like a pass without exchanges; the resulting order of
        // equal items depends on this, so it is kept as it is.
        do {
            last = 0;
            for (int i = low; i <= limit; ++i) {
                if (sortable.Compare(i, i + gap) > 0) {
                    sortable.Exchange(i, i + gap);
                    last = i;
                }
            }
            limit = last - gap;
        } while (last != 0);
        gap /= 2;
    }
}
