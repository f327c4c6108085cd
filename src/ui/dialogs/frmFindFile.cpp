// The folder picker: folders only, the user's home folder selected at the start.
#include "ui/dialogs/frmFindFile.h"
#include "app/modGeneral.h"

#include "app/modSubMain.h"

#include <QDir>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QIcon>
#include <QPushButton>
#include <QTreeView>
#include <algorithm>

namespace {

} // namespace

frmFindFile::frmFindFile(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frmFindFile"));
    setWindowTitle(QStringLiteral("Select a File Folder"));
    setWindowIcon(QIcon(QStringLiteral(":/images/app_icon.svg")));
    QFont font(QStringLiteral("Verdana"));
    font.setPointSizeF(8.25);
    setFont(font);
    setFixedSize(modGeneral::TwipsToPixelsX(5340), modGeneral::TwipsToPixelsY(6645));

    // Folders and drives only; the tree's top items are the file system's roots.
    model = new QFileSystemModel(this);
    model->setFilter(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Drives);
    model->setRootPath(QString());
    ft = new QTreeView(this);
    ft->setObjectName(QStringLiteral("ft"));
    ft->setAccessibleName(QStringLiteral("Folders"));
    ft->setGeometry(modGeneral::TwipsToPixels(90, 105, 5145, 5820));
    ft->setModel(model);
    for (int column = 1; column < model->columnCount(); ++column) {
        ft->hideColumn(column);
    }
    ft->setHeaderHidden(true);
    ft->setSelectionMode(QAbstractItemView::SingleSelection);
    ft->setAnimated(false);

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setGeometry(modGeneral::TwipsToPixels(2925, 6105, 1080, 375));
    cmdOK->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setGeometry(modGeneral::TwipsToPixels(4170, 6105, 1080, 375));
    connect(cmdOK, &QPushButton::clicked, this, &frmFindFile::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmFindFile::reject);
    setTabOrder(ft, cmdOK);
    setTabOrder(cmdOK, cmdCancel);

    // The user's home folder to begin with, kept in view while its parents are read.
    const QString home = QDir::homePath();
    const QModelIndex homeIndex = model->index(home);
    ft->setCurrentIndex(homeIndex);
    ft->scrollTo(homeIndex, QAbstractItemView::PositionAtCenter);
    connect(model, &QFileSystemModel::directoryLoaded, this, [this, home](const QString& rsPath) {
        const QModelIndex current = ft->currentIndex();
        if (current.isValid() && model->filePath(current) == home &&
            (home + QLatin1Char('/')).startsWith(rsPath)) {
            ft->scrollTo(current, QAbstractItemView::PositionAtCenter);
        }
    });
    connect(ft->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &frmFindFile::updateOK);
    updateOK();
    ft->setFocus();
}

QString frmFindFile::SelectedPath() const
{
    const QModelIndexList rows = ft->selectionModel()->selectedRows();
    if (rows.isEmpty()) {
        return QString();
    }
    return QDir::toNativeSeparators(model->filePath(rows.first()));
}

void frmFindFile::updateOK()
{
    // OK without a folder would empty the caller's folder box.
    cmdOK->setEnabled(!SelectedPath().isEmpty());
}

void frmFindFile::cmdOK_Click()
{
    const QString folder = SelectedPath();
    if (folder.isEmpty()) {
        return;
    }
    Q_EMIT FolderSelected(folder);
    accept();
}

void frmFindFile::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    modGeneral::CenterOnScreen(this);
}
