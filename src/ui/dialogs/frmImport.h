// The preview of an import: the recognised format (or a choice of column for each field), the
// first rows as they will be stored with their passwords masked, how many rows are added,
// skipped as duplicates or have errors; "Import" stores them.
#pragma once

#include <QDialog>
#include <array>

class CsvImport;
class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;
class QWidget;

class frmImport : public QDialog
{
    Q_OBJECT

public:
    // Shows the rows of an import that has read its file; the import outlives the window.
    explicit frmImport(CsvImport& import, QWidget* parent = nullptr);
    // Wipes the preview's texts.
    ~frmImport() override;

    // How many rows the preview shows at most.
    static constexpr int PREVIEW_ROWS = 20;
    // Above this many rows to add, storing shows its progress and can be cancelled.
    static constexpr int PROGRESS_ROWS = 1000;

    // The controls, reachable for tests that drive the window.
    QLabel* lblFormat = nullptr;
    QWidget* picColumns = nullptr;
    std::array<QComboBox*, 5> cboColumn = {};
    QTableWidget* grdPreview = nullptr;
    QLabel* lblCounts = nullptr;
    QPushButton* cmdImport = nullptr;
    QPushButton* cmdCancel = nullptr;

private:
    void fillPreview();
    // Empties the preview, wiping each text that no other holder shares.
    void wipePreview();
    void cboColumn_Change();
    void cmdImport_Click();

    CsvImport& m_import;
};
