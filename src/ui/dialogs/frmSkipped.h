// The whole list of the rows an import skips, each with its line and reason, to read and copy.
#pragma once

#include <QDialog>

class CsvImport;
class QPushButton;
class QTableView;

class frmSkipped : public QDialog
{
    Q_OBJECT

public:
    // Lists the skipped rows of an import that outlives the window.
    explicit frmSkipped(const CsvImport& import, QWidget* parent = nullptr);

    // The controls, reachable for tests that drive the window.
    QTableView* grdRows = nullptr;
    QPushButton* cmdCopy = nullptr;
    QPushButton* cmdClose = nullptr;

    // Every listed row as "line<Tab>reason" lines.
    QString Text() const;

private:
    void cmdCopy_Click();
};
