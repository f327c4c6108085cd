// The password health window: the report's worker, its list, the editor it opens, and the
// breach list it is told to use.
#include "ui/dialogs/frmHealth.h"

#include "app/PasswordHealth.h"
#include "app/clsApp.h"
#include "data/BreachList.h"
#include "data/clsPWD.h"
#include "platform/AppError.h"
#include "platform/FileDialog.h"
#include "platform/MsgBox.h"
#include "platform/WaitCursor.h"
#include "ui/dialogs/frmPassword.h"

#include <QApplication>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

enum Column { colTitle, colUser, colFindings };

} // namespace

frmHealth::frmHealth(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::WindowMaximizeButtonHint)
{
    setObjectName(QStringLiteral("frmHealth"));
    setWindowTitle(QStringLiteral("Password health"));
    QFont font(QStringLiteral("Verdana"));
    font.setPointSizeF(8.25);
    setFont(font);

    lblSummary = new QLabel(this);
    lblSummary->setObjectName(QStringLiteral("lblSummary"));
    lblSummary->setWordWrap(true);

    lstFindings = new QTreeWidget(this);
    lstFindings->setObjectName(QStringLiteral("lstFindings"));
    lstFindings->setAccessibleName(QStringLiteral("Entries with findings"));
    lstFindings->setHeaderLabels(
        {QStringLiteral("Title"), QStringLiteral("User name"), QStringLiteral("Findings")});
    lstFindings->setRootIsDecorated(false);
    lstFindings->setUniformRowHeights(true);
    lstFindings->setAllColumnsShowFocus(true);
    lstFindings->setAlternatingRowColors(true);
    lstFindings->header()->setStretchLastSection(true);
    lstFindings->setColumnWidth(colTitle, fontMetrics().averageCharWidth() * 24);
    lstFindings->setColumnWidth(colUser, fontMetrics().averageCharWidth() * 20);
    // Double-click or Enter opens the entry.
    connect(lstFindings, &QTreeWidget::itemActivated, this, &frmHealth::openEntry);

    barProgress = new QProgressBar(this);
    barProgress->setObjectName(QStringLiteral("barProgress"));
    barProgress->setAccessibleName(QStringLiteral("Entries checked"));
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    connect(cmdCancel, &QPushButton::clicked, this, [this] { m_cancel = true; });

    cmdBreachList = new QPushButton(QStringLiteral("&Breach list…"), this);
    cmdBreachList->setObjectName(QStringLiteral("cmdBreachList"));
    connect(cmdBreachList, &QPushButton::clicked, this, &frmHealth::cmdBreachList_Click);
    lblBreachList = new QLabel(this);
    lblBreachList->setObjectName(QStringLiteral("lblBreachList"));
    lblBreachList->setTextInteractionFlags(Qt::TextSelectableByMouse);
    cmdClose = new QPushButton(QStringLiteral("Close"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::reject);
    // Enter belongs to the list: no button takes it.
    for (QPushButton* cmd : {cmdCancel, cmdBreachList, cmdClose}) {
        cmd->setAutoDefault(false);
    }

    auto* progressRow = new QHBoxLayout;
    progressRow->addWidget(barProgress, 1);
    progressRow->addWidget(cmdCancel);
    auto* bottomRow = new QHBoxLayout;
    bottomRow->addWidget(cmdBreachList);
    bottomRow->addWidget(lblBreachList, 1);
    bottomRow->addWidget(cmdClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblSummary);
    layout->addWidget(lstFindings, 1);
    layout->addLayout(progressRow);
    layout->addLayout(bottomRow);

    m_progress = new QTimer(this);
    m_progress->setInterval(100);
    connect(m_progress, &QTimer::timeout, this, [this] {
        if (m_health) {
            barProgress->setValue(m_health->Done());
        }
    });

    showBreachPath();
    resize(fontMetrics().averageCharWidth() * 110, fontMetrics().height() * 28);
}

frmHealth::~frmHealth()
{
    stop();
}

void frmHealth::CloseAll()
{
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (auto* health = qobject_cast<frmHealth*>(window)) {
            health->reject();
        }
    }
}

bool frmHealth::IsRunning() const
{
    return m_worker && m_worker->isRunning();
}

void frmHealth::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!m_started) {
        m_started = true;
        // The window shows before the entries are read.
        QTimer::singleShot(0, this, &frmHealth::start);
    }
}

void frmHealth::done(int lResult)
{
    stop();
    // An editor opened from here keeps its fields, but not the lists of every password.
    if (m_editor) {
        m_editor->WipeLists();
    }
    lstFindings->clear();
    m_health.reset();
    m_completed = false;
    QDialog::done(lResult);
}

void frmHealth::stop()
{
    m_progress->stop();
    if (m_worker) {
        m_cancel = true;
        m_worker->wait();
        m_worker.reset();
    }
}

void frmHealth::start()
{
    stop();
    if (!isVisible()) {
        return;
    }
    m_cancel = false;
    m_completed = false;
    lstFindings->clear();
    QList<PasswordHealth::Entry> entries;
    {
        const WaitCursor busy;
        clsPWD().ReadRecords([&entries](clsPWD& entry) {
            entries.append({std::move(entry.PASSWORD_ID), std::move(entry.TITLE_TX),
                            std::move(entry.USER_NM), std::move(entry.PASSWORD_TX),
                            std::move(entry.WEB_SITE_TX)});
        });
    }
    QString breachPath;
    try {
        breachPath = clsApp::shared().BreachListPath();
    } catch (const AppError&) {
    }
    m_health = std::make_unique<PasswordHealth>(std::move(entries), clsPWD::Master().PASSWORD_TX,
                                                breachPath);
    lblSummary->setText(QStringLiteral("Checking %1 entries…").arg(m_health->Count()));
    barProgress->setRange(0, std::max(1, m_health->Count()));
    barProgress->setValue(0);
    barProgress->setVisible(true);
    cmdCancel->setVisible(true);
    m_worker.reset(
        QThread::create([health = m_health.get(), cancel = &m_cancel] { health->Run(*cancel); }));
    connect(m_worker.get(), &QThread::finished, this, &frmHealth::workerFinished);
    m_worker->start();
    m_progress->start();
}

void frmHealth::workerFinished()
{
    if (!m_worker || m_worker->isRunning()) {
        return;
    }
    m_worker.reset();
    m_progress->stop();
    barProgress->setVisible(false);
    cmdCancel->setVisible(false);
    if (m_cancel || !m_health) {
        // The run wiped what it held; nothing is left to open.
        m_health.reset();
        lblSummary->setText(QStringLiteral("The check was cancelled."));
        return;
    }
    m_completed = true;
    fillList(QString());
    lstFindings->setFocus();
    if (!m_health->BreachProblem().isEmpty()) {
        MsgBox::Show(m_health->BreachProblem(), MsgBox::vbExclamation | MsgBox::vbOKOnly, QString(),
                     this);
    }
}

void frmHealth::fillList(const QString& sSelectID)
{
    lstFindings->clear();
    lblSummary->setText(m_health->Summary());
    QList<QTreeWidgetItem*> items;
    QTreeWidgetItem* selected = nullptr;
    for (int index : m_health->Ranked()) {
        const PasswordHealth::Entry& entry = m_health->EntryAt(index);
        auto* item =
            new QTreeWidgetItem({entry.TITLE_TX, entry.USER_NM, m_health->FindingAt(index).Text()});
        item->setData(colTitle, Qt::UserRole, entry.PASSWORD_ID);
        item->setToolTip(colFindings, item->text(colFindings));
        if (entry.PASSWORD_ID == sSelectID) {
            selected = item;
        }
        items << item;
    }
    lstFindings->addTopLevelItems(items);
    if (!selected && !items.isEmpty()) {
        selected = items.first();
    }
    if (selected) {
        lstFindings->setCurrentItem(selected);
    }
}

void frmHealth::openEntry(QTreeWidgetItem* item)
{
    if (!item || !m_completed || m_editor) {
        return;
    }
    frmPassword editor(this);
    m_editor = &editor;
    editor.ADDING = false;
    editor.PASSWORD_ID = item->data(colTitle, Qt::UserRole).toString();
    connect(&editor, &frmPassword::Change, this, &frmHealth::entryChanged);
    editor.exec();
}

void frmHealth::entryChanged(const clsPWD& roPWD)
{
    // A window closed by the lock meanwhile holds nothing more to check against.
    if (!m_health || !m_completed) {
        return;
    }
    m_health->Update(
        {roPWD.PASSWORD_ID, roPWD.TITLE_TX, roPWD.USER_NM, roPWD.PASSWORD_TX, roPWD.WEB_SITE_TX});
    fillList(roPWD.PASSWORD_ID);
}

void frmHealth::showBreachPath()
{
    QString path;
    try {
        path = clsApp::shared().BreachListPath();
    } catch (const AppError&) {
    }
    lblBreachList->setText(path.isEmpty()
                               ? QStringLiteral("No breach list chosen.")
                               : QStringLiteral("Breach list: ") + QDir::toNativeSeparators(path));
}

void frmHealth::cmdBreachList_Click()
{
    const QString path = FileDialog::OpenFileName(
        this, QStringLiteral("Breach list"), QStringLiteral("Breach lists (*.txt);;All files (*)"));
    if (path.isEmpty()) {
        return;
    }
    try {
        const BreachList check(path);
        clsApp::shared().setBreachListPath(path);
    } catch (const AppError& error) {
        MsgBox::Show(error.Description(), MsgBox::vbExclamation | MsgBox::vbOKOnly, QString(),
                     this);
        return;
    }
    showBreachPath();
    start();
}
