#pragma once

#include "settings/fPersistent.h"

#include <QString>

class QPlainTextEdit;
class QPushButton;
class TdmMain;

// A short note typed by the user. When the window closes with "Save" the note
// is put on the clipboard as plain text, replacing what the clipboard held,
// and the caller pastes it like any clipboard content (a new entry, or into
// an open entry).
class TFrmQuickNote : public TFrmPersistent
{
    Q_OBJECT

public:
    explicit TFrmQuickNote(TdmMain& dmMain, QWidget* parent = nullptr);

    // Shows the window modally; true when it closed with "Save", the note
    // then being on the clipboard.
    static bool Execute(TdmMain& dmMain, QWidget* parent = nullptr);

    // The note, its lines joined with CR LF.
    QString Text() const;

    void done(int result) override;
    // Ctrl+S and Ctrl+Return save the note, as "Save" does; with nothing
    // worth saving they do nothing.
    bool FormKeyDown(QKeyEvent* event) override;

private:
    void BuildControls();
    // Saving a note of nothing but blanks and line breaks makes no sense.
    void meTextChange();

    QPlainTextEdit* meText = nullptr;
    QPushButton* btnSave = nullptr;
    QPushButton* btnCancel = nullptr;
};
