// The file-folder editor: fields, the folder picker, saving and closing.
#include "ui/dialogs/frmFile.h"

#include "app/modGeneral.h"
#include "app/modSubMain.h"
#include "ui/controls/GradientPanel.h"
#include "ui/controls/modImage.h"
#include "ui/dialogs/frmFindFile.h"
#include "ui/dialogs/modEditor.h"

#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>

namespace {

// The layout in twips.
constexpr int kClientWidth = 7230;
constexpr int kClientHeight = 3135;
constexpr int kBannerHeight = 600;
constexpr int kLabelLeft = 225;
constexpr int kHelpTopic = 13;
// The characters each box takes: Name, File Folder, Notes.
constexpr std::array<int, 3> kLimits = {50, 255, 50};

} // namespace

frmFile::frmFile(QWidget* parent) : QDialog(parent, modEditor::WINDOW_FLAGS)
{
    const modEditor::Banner banner = modEditor::SetUpWindow(
        this, QStringLiteral("frmFile"), QStringLiteral(":/images/banner_folder.svg"), kClientWidth,
        kClientHeight, kBannerHeight);
    picTop = banner.picTop;
    imgTop = banner.imgTop;
    lblTop = banner.lblTop;
    imgDropShadow = banner.imgDropShadow;

    const struct
    {
        const char16_t* caption;
        int top, width;
    } fields[] = {{u"&Name", 855, 3780}, {u"&File Folder", 1410, 5340}, {u"N&otes", 1950, 5715}};
    for (int i = 0; i < 3; ++i) {
        txt[i] = new QLineEdit(this);
        txt[i]->setObjectName(QStringLiteral("field%1").arg(i));
        txt[i]->setMaxLength(kLimits[i]);
        txt[i]->setGeometry(modGeneral::TwipsToPixels(1350, fields[i].top, fields[i].width, 300));
        connect(txt[i], &QLineEdit::textChanged, this, &frmFile::txt_Change);
        lbl[i] = new QLabel(QString::fromUtf16(fields[i].caption), this);
        lbl[i]->setGeometry(modGeneral::TwipsToPixelsX(kLabelLeft), txt[i]->y(),
                            modGeneral::TwipsToPixelsX(1350 - kLabelLeft - 60), txt[i]->height());
        lbl[i]->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        lbl[i]->setBuddy(txt[i]);
    }
    cmdFile = new QPushButton(QStringLiteral("..."), this);
    cmdFile->setObjectName(QStringLiteral("cmdFile"));
    cmdFile->setGeometry(modGeneral::TwipsToPixels(6705, 1410, 360, 315));
    cmdFile->setAutoDefault(false);
    cmdFile->setToolTip(QStringLiteral("Pick the folder"));
    cmdFile->setAccessibleName(cmdFile->toolTip());
    connect(cmdFile, &QPushButton::clicked, this, &frmFile::cmdFile_Click);

    const struct
    {
        const char16_t* caption;
        int left, width;
    } buttons[] = {{u"Save And New", 2970, 1635}, {u"Save", 4755, 1080}, {u"Cancel", 6000, 1080}};
    for (int i = 0; i < 3; ++i) {
        cmd[i] = new QPushButton(QString::fromUtf16(buttons[i].caption), this);
        cmd[i]->setGeometry(
            modGeneral::TwipsToPixels(buttons[i].left, 2580, buttons[i].width, 375));
        connect(cmd[i], &QPushButton::clicked, this, [this, i] { cmd_Click(i); });
    }

    setTabOrder(txt[0], txt[1]);
    setTabOrder(txt[1], cmdFile);
    setTabOrder(cmdFile, txt[2]);
    setTabOrder(txt[2], cmd[0]);
    setTabOrder(cmd[0], cmd[1]);
    setTabOrder(cmd[1], cmd[2]);

    // Keys are seen here before the controls get them; the same filter takes the focus of the
    // text boxes.
    installEventFilter(this);
    for (QWidget* w : {static_cast<QWidget*>(txt[0]), static_cast<QWidget*>(txt[1]),
                       static_cast<QWidget*>(txt[2]), static_cast<QWidget*>(cmdFile),
                       static_cast<QWidget*>(cmd[0]), static_cast<QWidget*>(cmd[1]),
                       static_cast<QWidget*>(cmd[2])}) {
        w->installEventFilter(this);
    }
}

void frmFile::showEvent(QShowEvent* event)
{
    if (!m_loaded) {
        m_loaded = true;
        Form_Load();
    }
    QDialog::showEvent(event);
    modGeneral::CenterOnScreen(this);
}

void frmFile::Form_Load()
{
    IsLoading = true;
    if (ADDING) {
        setWindowTitle(QStringLiteral("Add new file folder"));
        lblTop->setText(QStringLiteral("[Name]"));
        cmd[0]->setDefault(true);
    } else {
        setWindowTitle(QStringLiteral("Edit file folder"));
        cmd[1]->setDefault(true);
        roMY_FILE.OpenRecord(MY_FILE_ID);
        setFieldText(0, roMY_FILE.MY_FILE_NM);
        setFieldText(1, roMY_FILE.MY_FILE_PATH_TX);
        setFieldText(2, roMY_FILE.NOTES_TX);
    }
    IsLoading = false;
    UpdateSaveState();
}

void frmFile::setFieldText(int lIndex, const QString& sText)
{
    // A stored or picked text longer than the box takes is shown whole, never cut by the box.
    txt[lIndex]->setMaxLength(std::max<int>(kLimits[lIndex], static_cast<int>(sText.size())));
    txt[lIndex]->setText(sText);
}

void frmFile::txt_Change()
{
    lblTop->setText(txt[0]->text());
    UpdateSaveState();
}

void frmFile::UpdateSaveState()
{
    if (IsLoading) {
        return;
    }
    const bool changed = txt[0]->text() != roMY_FILE.MY_FILE_NM ||
                         txt[1]->text() != roMY_FILE.MY_FILE_PATH_TX ||
                         txt[2]->text() != roMY_FILE.NOTES_TX;
    const bool complete = !txt[0]->text().isEmpty() && !txt[1]->text().isEmpty();
    CanSave = changed && complete;
    cmd[0]->setEnabled(CanSave);
    cmd[1]->setEnabled(CanSave);
}

bool frmFile::SaveRecord()
{
    // A failed save leaves the record as it was, so the fields still count as changes.
    const clsMY_FILE previous = roMY_FILE;
    roMY_FILE.MY_FILE_NM = txt[0]->text();
    roMY_FILE.MY_FILE_PATH_TX = txt[1]->text();
    roMY_FILE.NOTES_TX = modGeneral::TrimCrLf(txt[2]->text());
    if (!roMY_FILE.Save(ADDING)) {
        roMY_FILE = previous;
        return false;
    }
    roMY_FILE.OpenRecord(roMY_FILE.MY_FILE_ID);
    Q_EMIT Change(roMY_FILE);
    UpdateSaveState();
    return true;
}

void frmFile::cmd_Click(int lIndex)
{
    if (lIndex == 2) {
        reject();
        return;
    }
    if (!SaveRecord()) {
        return;
    }
    roMY_FILE = clsMY_FILE();
    if (lIndex == 1) {
        CanSave = false;
        accept();
        return;
    }
    ADDING = true;
    for (int i = 0; i < 3; ++i) {
        setFieldText(i, QString());
    }
    setWindowTitle(QStringLiteral("Add new file folder"));
    lblTop->setText(QStringLiteral("[Name]"));
    txt[0]->setFocus();
}

void frmFile::reject()
{
    if (CanSave) {
        switch (modEditor::AskSaveChanges(this, [this] { return SaveRecord(); })) {
        case modEditor::CloseAnswer::Saved:
            CanSave = false;
            accept();
            return;
        case modEditor::CloseAnswer::Stay:
            return;
        case modEditor::CloseAnswer::Discard:
            break;
        }
    }
    QDialog::reject();
}

void frmFile::cmdFile_Click()
{
    auto* picker = new frmFindFile(this);
    picker->setAttribute(Qt::WA_DeleteOnClose);
    mfrmFindFile = picker;
    connect(picker, &frmFindFile::FolderSelected, this, &frmFile::mfrmFindFile_FolderSelected);
    picker->exec();
}

void frmFile::mfrmFindFile_FolderSelected(const QString& rsFolder)
{
    setFieldText(1, rsFolder);
}

bool frmFile::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_F1) {
        modGeneral::ShowHelpTopic(kHelpTopic);
        return true;
    }
    if (event->type() == QEvent::FocusIn &&
        (watched == txt[0] || watched == txt[1] || watched == txt[2])) {
        modGeneral::SelectAllText(static_cast<QWidget*>(watched));
    }
    return QDialog::eventFilter(watched, event);
}
