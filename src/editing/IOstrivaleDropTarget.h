#pragma once

// A window that takes drops and pastes of files, text and links. A list that
// drags one of its files out tells its window to refuse drops until the drag
// has ended, so that the file is never dropped back into the window it came
// from.
class IOstrivaleDropTarget {
public:
    virtual ~IOstrivaleDropTarget() = default;

    virtual bool DropsAccepted() const = 0;
    virtual void EnableDrops() = 0;
    virtual void DisableDrops() = 0;
};
