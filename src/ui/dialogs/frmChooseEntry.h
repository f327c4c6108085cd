// The small list that opens at the pointer when several password entries fit the window to type
// into: title and user name of each, typing filters the list, Enter chooses, Escape cancels.
#pragma once

#include <QDialog>
#include <QList>
#include <QString>

class QLineEdit;
class QTreeWidget;

class frmChooseEntry : public QDialog
{
    Q_OBJECT

public:
    struct Choice
    {
        long id = 0;
        QString title;
        QString userName;
    };

    explicit frmChooseEntry(const QList<Choice>& aoChoices, QWidget* parent = nullptr);

    // The entry chosen; 0 before a choice is made.
    long SelectedID() const { return m_selected; }

    QLineEdit* txtFilter = nullptr;
    QTreeWidget* lstEntries = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void applyFilter();
    void choose();

    long m_selected = 0;
};
