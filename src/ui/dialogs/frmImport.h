// The preview of an import: the file's encoding, whether its first line names the columns, the
// recognised format (or a choice of column for each field), the first rows as they will be stored
// with their passwords masked, the rows that will be skipped with their line and reason, and the
// counts; "Import" stores the rows.
#pragma once

#include <QDialog>
#include <array>
#include <functional>

class CsvImport;
class QCheckBox;
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

    // Reads the file, with a progress dialog for a long read, and shows its preview; a file that
    // cannot be read is told.
    static void Run(const QString& sPath, QWidget* parent);

    // How many rows the preview and its list of skipped rows show at most.
    static constexpr int PREVIEW_ROWS = 20;
    // How many characters of a cell the preview shows at most.
    static constexpr int CELL_CHARACTERS = 200;

    // The controls, reachable for tests that drive the window.
    QLabel* lblFormat = nullptr;
    QComboBox* cboEncoding = nullptr;
    QCheckBox* chkHeader = nullptr;
    QCheckBox* chkKeepOthers = nullptr;
    QWidget* picColumns = nullptr;
    std::array<QComboBox*, 5> cboColumn = {};
    QTableWidget* grdPreview = nullptr;
    QLabel* lblCounts = nullptr;
    QLabel* lblSkipped = nullptr;
    QTableWidget* grdSkipped = nullptr;
    QPushButton* cmdShowSkipped = nullptr;
    QPushButton* cmdImport = nullptr;
    QPushButton* cmdCancel = nullptr;

protected:
    // Shows the whole text of a cut cell as its tool tip.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fillColumns();
    void fillPreview();
    // Empties both tables, wiping each text that no other holder shares.
    void wipePreview();
    // Changes the import with a progress dialog. A cancel closes the window; so does a failure,
    // unless undo is given: it then sets the import back and the window stays open.
    void change(const std::function<void()>& step, const std::function<void()>& undo = {});
    void cboColumn_Change();
    void cmdShowSkipped_Click();
    void cmdImport_Click();

    CsvImport& m_import;
};
