#pragma once

// A list that can be put in order by ShellSort without the routine knowing what
// the list holds: it asks the list to compare and swap positions.
class ISortable {
public:
    virtual ~ISortable() = default;

    // Positive when item i belongs after item j, negative when before, 0 when equal.
    virtual int Compare(int i, int j) const = 0;
    virtual void Exchange(int i, int j) = 0;
    virtual int LowIndex() const = 0;
    virtual int HighIndex() const = 0;
};

// Sorts the list in place. The routine is not stable: equal items end where
// this particular gap sequence and pass structure leave them, and callers
// (file lists, category lists) rely on that order staying the same.
void ShellSort(ISortable& sortable);
