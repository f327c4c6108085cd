// The folder picker: a tree of the file system's folders in which the user chooses one.
#pragma once

#include <QDialog>

class QFileSystemModel;
class QPushButton;
class QTreeView;

class frmFindFile : public QDialog
{
    Q_OBJECT

public:
    explicit frmFindFile(QWidget* parent = nullptr);

    // The full native path of the folder selected in the tree; empty when none is.
    QString SelectedPath() const;

    // The controls, reachable for tests that drive the window.
    QTreeView* ft = nullptr;
    QFileSystemModel* model = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

Q_SIGNALS:
    // Raised when the user confirms a folder with OK.
    void FolderSelected(const QString& rsFolder);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void cmdOK_Click();
    void updateOK();
};
