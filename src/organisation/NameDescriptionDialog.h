#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;
class QPushButton;
class TdmMain;

// The texts of a name-and-description window.
struct TNameDescriptionTexts {
    QString objectName;
    QString caption;
    QString nameHint;
    QString descriptionHint;
    QString okHint;
    QString cancelHint;
    // "%1" the longest length allowed, "%2" the length typed.
    QString nameTooLong;
    QString descriptionTooLong;
};

// The small modal window in which a name and a description are typed (a
// category's, a bookmark set's). OK keeps it open while the name is blank,
// without a message, and while a text is longer than the database keeps,
// saying so: one engine would cut such a text and the other refuse it.
class TNameDescriptionDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr int MaxNameLength = 255;
    static constexpr int MaxDescriptionLength = 1000;

    TNameDescriptionDialog(TdmMain& dmMain, int helpContext, const TNameDescriptionTexts& texts,
                           QWidget* parent = nullptr);

    void accept() override;

    QLineEdit* edName;
    QLineEdit* edDescription;
    QPushButton* btnOK;
    QPushButton* btnCancel;

protected:
    // Runs when OK passes the checks, before the window closes.
    virtual void Commit() {}
    void keyPressEvent(QKeyEvent* event) override;

    TdmMain& m_dmMain;

private:
    int m_helpContext;
    TNameDescriptionTexts m_texts;
};
