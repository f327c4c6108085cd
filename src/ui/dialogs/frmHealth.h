// The password health window: runs the report on a worker thread with a progress bar and
// Cancel, lists every entry with a finding worst first, opens an entry in the editor and checks
// it again after a save, and keeps the offline breach list's path.
#pragma once

#include <QDialog>
#include <QPointer>
#include <atomic>
#include <memory>

class PasswordHealth;
class QLabel;
class QProgressBar;
class QPushButton;
class QThread;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;
class clsPWD;
class frmPassword;

class frmHealth : public QDialog
{
    Q_OBJECT

public:
    explicit frmHealth(QWidget* parent = nullptr);
    // Stops the worker and wipes every password the report held.
    ~frmHealth() override;

    // Closes every open health window, wiping what it held; the lock calls it first.
    static void CloseAll();

    // The controls, reachable for tests that drive the window.
    QLabel* lblSummary = nullptr;
    QTreeWidget* lstFindings = nullptr;
    QProgressBar* barProgress = nullptr;
    QPushButton* cmdCancel = nullptr;
    QPushButton* cmdBreachList = nullptr;
    QLabel* lblBreachList = nullptr;
    QPushButton* cmdClose = nullptr;

    // True while the worker runs.
    bool IsRunning() const;

public Q_SLOTS:
    void done(int lResult) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void start();
    void stop();
    void workerFinished();
    void fillList(const QString& sSelectID);
    void openEntry(QTreeWidgetItem* item);
    void entryChanged(const clsPWD& roPWD);
    void cmdBreachList_Click();
    void showBreachPath();

    std::unique_ptr<PasswordHealth> m_health;
    std::atomic<bool> m_cancel{false};
    std::unique_ptr<QThread> m_worker;
    QTimer* m_progress = nullptr;
    bool m_completed = false;
    bool m_started = false;
    QPointer<frmPassword> m_editor;
};
