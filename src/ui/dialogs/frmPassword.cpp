// The password editor: fields, type-ahead in the two drop-down lists, saving and closing.
#include "ui/dialogs/frmPassword.h"

#include "app/FileHelper.h"
#include "app/PasswordGenerator.h"
#include "app/PasswordStrength.h"
#include "app/clsApp.h"
#include "app/modGeneral.h"
#include "app/modSubMain.h"
#include "platform/AppError.h"
#include "platform/MsgBox.h"
#include "platform/SecretText.h"
#include "ui/controls/GradientPanel.h"
#include "ui/controls/modImage.h"
#include "ui/dialogs/modEditor.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QToolButton>
#include <QWidgetAction>
#include <algorithm>
#include <utility>

namespace {

// The layout in twips.
constexpr int kClientWidth = 7230;
constexpr int kClientHeight = 4110;
constexpr int kBannerHeight = 600;
constexpr int kLabelLeft = 225;
constexpr int kTitleLimit = 50;
constexpr int kWebLimit = 255;
constexpr int kNotesLimit = 50;
constexpr int kHelpTopic = 17;

const QString kMaxLengthMessage = QStringLiteral("This field's max length is 50 characters.");

// The generated password must fit the password box, and the stored length the generator.
static_assert(PasswordGenerator::MAX_LENGTH <= frmPassword::COMBO_MAX_LENGTH);
static_assert(clsApp::MIN_GENERATOR_LENGTH == PasswordGenerator::MIN_LENGTH &&
              clsApp::MAX_GENERATOR_LENGTH == PasswordGenerator::MAX_LENGTH);

// The generator's classes of characters in its menu, each with the setting that keeps it.
const struct
{
    PasswordGenerator::CharClass eClass;
    const char16_t* caption;
    bool (clsApp::*get)() const;
    void (clsApp::*set)(bool);
} kGenerateClasses[] = {
    {PasswordGenerator::Upper, u"&Upper-case letters (A–Z)", &clsApp::GeneratorUpper,
     &clsApp::setGeneratorUpper},
    {PasswordGenerator::Lower, u"L&ower-case letters (a–z)", &clsApp::GeneratorLower,
     &clsApp::setGeneratorLower},
    {PasswordGenerator::Digits, u"&Digits (0–9)", &clsApp::GeneratorDigits,
     &clsApp::setGeneratorDigits},
    {PasswordGenerator::Punctuation, u"&Punctuation (!#$%&&…)", &clsApp::GeneratorPunctuation,
     &clsApp::setGeneratorPunctuation},
};

// A stored choice that cannot be read counts as its default; the others still count.
int storedGenerateLength()
{
    try {
        return clsApp::shared().GeneratorLength();
    } catch (const AppError&) {
        return PasswordGenerator::DEFAULT_LENGTH;
    }
}

bool storedGenerateClass(std::size_t lIndex)
{
    try {
        return (clsApp::shared().*kGenerateClasses[lIndex].get)();
    } catch (const AppError&) {
        return true;
    }
}

// The first lLength characters, one fewer where the cut would split a surrogate pair.
QString leftChars(const QString& sText, int lLength)
{
    if (sText.size() <= lLength) {
        return sText;
    }
    qsizetype length = lLength;
    if (length > 0 && sText[length - 1].isHighSurrogate() && sText[length].isLowSurrogate()) {
        --length;
    }
    return sText.left(length);
}

// The character a key press types, as the classic key-press event numbers it: Backspace 8, the
// control characters of Ctrl+letter (the paste key 22), other text by its code. 0 for keys that
// type nothing here: moving keys, Delete (whose event may carry the text DEL), Alt+key (access
// keys), and Tab, Enter and Esc, which the window handles. Ctrl+Alt with text is AltGr and types
// its character.
int keyAscii(const QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
    case Qt::Key_Delete:
        return 0;
    case Qt::Key_Backspace:
        return modGeneral::vbKeyBack;
    default:
        break;
    }
    if (event->matches(QKeySequence::Paste)) {
        return 22;
    }
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    const bool alt = event->modifiers() & (Qt::AltModifier | Qt::MetaModifier);
    if (ctrl && !alt && event->key() >= Qt::Key_A && event->key() <= Qt::Key_Z) {
        return event->key() - Qt::Key_A + 1;
    }
    const QString text = event->text();
    if (text.isEmpty() || (alt && !ctrl)) {
        return 0;
    }
    // Text of more than one unit (a character beyond the basic plane) counts by its first unit.
    return text[0].unicode();
}

} // namespace

frmPassword::frmPassword(QWidget* parent) : QDialog(parent, modEditor::WINDOW_FLAGS)
{
    const modEditor::Banner banner = modEditor::SetUpWindow(
        this, QStringLiteral("frmPassword"), QStringLiteral(":/images/banner_password.svg"),
        kClientWidth, kClientHeight, kBannerHeight);
    picTop = banner.picTop;
    imgTop = banner.imgTop;
    lblTop = banner.lblTop;
    imgDropShadow = banner.imgDropShadow;

    // The fields, each with its label on the same row.
    const struct
    {
        int index;
        const char16_t* caption;
        int left, top, width, height;
    } fields[] = {
        {0, u"&Title", 1350, 855, 3780, 300},     {1, u"&User Name", 1350, 1395, 3780, 315},
        {2, u"&Password", 1350, 1905, 3780, 315}, {3, u"&Web URL", 1350, 2415, 5340, 300},
        {4, u"N&otes", 1350, 2955, 5715, 300},
    };
    for (const auto& field : fields) {
        QWidget* box = nullptr;
        if (field.index == 1 || field.index == 2) {
            auto* combo = new QComboBox(this);
            combo->setEditable(true);
            // Type-ahead is ComboAutoComplete's alone, and typed text never joins the list.
            combo->setCompleter(nullptr);
            combo->setInsertPolicy(QComboBox::NoInsert);
            connect(combo, &QComboBox::editTextChanged, this, &frmPassword::UpdateSaveState);
            connect(combo, &QComboBox::activated, this, &frmPassword::UpdateSaveState);
            cbo[field.index] = combo;
            box = combo;
        } else {
            auto* edit = new QLineEdit(this);
            edit->setMaxLength(field.index == 3 ? kWebLimit : kTitleLimit);
            connect(edit, &QLineEdit::textChanged, this, &frmPassword::txt_Change);
            txt[field.index] = edit;
            box = edit;
        }
        box->setObjectName(QStringLiteral("field%1").arg(field.index));
        box->setGeometry(
            modGeneral::TwipsToPixels(field.left, field.top, field.width, field.height));
        auto* label = new QLabel(QString::fromUtf16(field.caption), this);
        label->setGeometry(modGeneral::TwipsToPixelsX(kLabelLeft), box->y(),
                           modGeneral::TwipsToPixelsX(field.left - kLabelLeft - 60), box->height());
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        label->setBuddy(box);
        lbl[field.index] = label;
    }

    imgWeb = new QLabel(this);
    imgWeb->setObjectName(QStringLiteral("imgWeb"));
    imgWeb->setGeometry(modGeneral::TwipsToPixels(6750, 2445, 240, 240));
    imgWeb->setPixmap(modImage::SvgPixmap(QStringLiteral(":/images/web.svg"), imgWeb->size()));
    imgWeb->setToolTip(QStringLiteral("Open the web address"));
    imgWeb->setAccessibleName(imgWeb->toolTip());
    // Reached by Tab after the generator button; a frame shows when it has the focus.
    imgWeb->setFocusPolicy(Qt::TabFocus);
    imgWeb->setStyleSheet(QStringLiteral("QLabel:focus { border: 1px dotted palette(text); }"));

    // The generator button stands in the free room right of the password box. Tab reaches it
    // after Cancel; a click leaves the focus where it was.
    cmdGenerate = new QToolButton(this);
    cmdGenerate->setObjectName(QStringLiteral("cmdGenerate"));
    cmdGenerate->setGeometry(modGeneral::TwipsToPixels(5205, 1905, 570, 315));
    cmdGenerate->setFocusPolicy(Qt::TabFocus);
    cmdGenerate->setIcon(QIcon(QStringLiteral(":/images/generate.svg")));
    cmdGenerate->setToolTip(QStringLiteral("Generate a password"));
    cmdGenerate->setAccessibleName(QStringLiteral("Generate password"));
    cmdGenerate->setPopupMode(QToolButton::MenuButtonPopup);
    cmdGenerate->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(cmdGenerate, &QToolButton::clicked, this, &frmPassword::cmdGenerate_Click);

    // Its menu: the length, then one item per class of characters. Every change is stored at
    // once; the next generated password reads it.
    mnuGenerate = new QMenu(this);
    mnuGenerate->setObjectName(QStringLiteral("mnuGenerate"));
    auto* lengthRow = new QWidget(mnuGenerate);
    auto* lengthLayout = new QHBoxLayout(lengthRow);
    lengthLayout->setContentsMargins(
        modGeneral::TwipsToPixelsX(420), modGeneral::TwipsToPixelsY(30),
        modGeneral::TwipsToPixelsX(150), modGeneral::TwipsToPixelsY(30));
    lengthLayout->addWidget(new QLabel(QStringLiteral("Length"), lengthRow));
    lengthLayout->addStretch();
    spnGenerateLength = new QSpinBox(lengthRow);
    spnGenerateLength->setObjectName(QStringLiteral("spnGenerateLength"));
    spnGenerateLength->setRange(PasswordGenerator::MIN_LENGTH, PasswordGenerator::MAX_LENGTH);
    lengthLayout->addWidget(spnGenerateLength);
    auto* lengthItem = new QWidgetAction(mnuGenerate);
    lengthItem->setDefaultWidget(lengthRow);
    mnuGenerate->addAction(lengthItem);
    mnuGenerate->addSeparator();
    connect(spnGenerateLength, &QSpinBox::valueChanged, this, [](int lValue) {
        try {
            clsApp::shared().setGeneratorLength(lValue);
        } catch (const AppError&) {
            // The menu shows what the settings hold the next time it opens.
        }
    });
    for (int i = 0; i < 4; ++i) {
        QAction* item = mnuGenerate->addAction(QString::fromUtf16(kGenerateClasses[i].caption));
        item->setCheckable(true);
        connect(item, &QAction::toggled, this,
                [this, i](bool bChecked) { mnuGenerateClass_Toggled(i, bChecked); });
        mnuGenerateClass[i] = item;
    }
    connect(mnuGenerate, &QMenu::aboutToShow, this, &frmPassword::mnuGenerate_AboutToShow);
    cmdGenerate->setMenu(mnuGenerate);
    connect(cmdGenerate, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { mnuGenerate->popup(cmdGenerate->mapToGlobal(pos)); });

    // The strength: a thin bar in the room under the password box, its word right of the
    // generator button on the box's row. Neither takes the focus.
    barStrength = new QProgressBar(this);
    barStrength->setObjectName(QStringLiteral("barStrength"));
    barStrength->setRange(0, PasswordStrength::Excellent + 1);
    barStrength->setTextVisible(false);
    barStrength->setFocusPolicy(Qt::NoFocus);
    barStrength->setGeometry(cbo[2]->x(), cbo[2]->geometry().bottom() + 3, cbo[2]->width(),
                             std::max(4, modGeneral::TwipsToPixelsY(75)));
    lblStrength = new QLabel(this);
    lblStrength->setObjectName(QStringLiteral("lblStrength"));
    lblStrength->setGeometry(cmdGenerate->geometry().right() + modGeneral::TwipsToPixelsX(90),
                             cbo[2]->y(), modGeneral::TwipsToPixelsX(1300), cbo[2]->height());
    lblStrength->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    barStrength->hide();
    lblStrength->hide();
    for (QLineEdit* edit : {txt[0], txt[3]}) {
        connect(edit, &QLineEdit::textChanged, this, &frmPassword::updateStrength);
    }
    for (QComboBox* combo : {cbo[1], cbo[2]}) {
        connect(combo, &QComboBox::editTextChanged, this, &frmPassword::updateStrength);
    }

    const struct
    {
        const char16_t* caption;
        int left, width;
    } buttons[] = {{u"Save And New", 2970, 1635}, {u"Save", 4755, 1080}, {u"Cancel", 6000, 1080}};
    for (int i = 0; i < 3; ++i) {
        cmd[i] = new QPushButton(QString::fromUtf16(buttons[i].caption), this);
        cmd[i]->setGeometry(
            modGeneral::TwipsToPixels(buttons[i].left, 3570, buttons[i].width, 375));
        connect(cmd[i], &QPushButton::clicked, this, [this, i] { cmd_Click(i); });
    }

    // The fields and buttons first, as a user types an entry field by field; the generator
    // button and the web icon after Cancel.
    setTabOrder(txt[0], cbo[1]);
    setTabOrder(cbo[1], cbo[2]);
    setTabOrder(cbo[2], txt[3]);
    setTabOrder(txt[3], txt[4]);
    setTabOrder(txt[4], cmd[0]);
    setTabOrder(cmd[0], cmd[1]);
    setTabOrder(cmd[1], cmd[2]);
    setTabOrder(cmd[2], cmdGenerate);
    setTabOrder(cmdGenerate, imgWeb);

    // Keys are seen here before the controls get them; the same filter takes the focus of the
    // text boxes, the presses on the banner and the clicks on the web icon.
    installEventFilter(this);
    for (QWidget* w : {static_cast<QWidget*>(txt[0]), static_cast<QWidget*>(cbo[1]),
                       static_cast<QWidget*>(cbo[2]), static_cast<QWidget*>(txt[3]),
                       static_cast<QWidget*>(txt[4]), static_cast<QWidget*>(cmd[0]),
                       static_cast<QWidget*>(cmd[1]), static_cast<QWidget*>(cmd[2]),
                       static_cast<QWidget*>(picTop), static_cast<QWidget*>(lblTop),
                       static_cast<QWidget*>(imgWeb), static_cast<QWidget*>(mnuGenerate)}) {
        w->installEventFilter(this);
    }
}

void frmPassword::showEvent(QShowEvent* event)
{
    if (!m_loaded) {
        m_loaded = true;
        Form_Load();
    }
    QDialog::showEvent(event);
    modGeneral::CenterOnScreen(this);
}

void frmPassword::Form_Load()
{
    IsLoading = true;
    modGeneral::SetHandCursor(imgWeb);
    FillCombos();
    if (ADDING) {
        setWindowTitle(QStringLiteral("Add new password"));
        lblTop->setText(QStringLiteral("[Title]"));
        cmd[0]->setDefault(true);
    } else {
        setWindowTitle(QStringLiteral("Edit password"));
        cmd[1]->setDefault(true);
        roPWD.OpenRecord(PASSWORD_ID);
        setFieldText(txt[0], kTitleLimit, roPWD.TITLE_TX);
        cbo[1]->setEditText(roPWD.USER_NM);
        cbo[2]->setEditText(roPWD.PASSWORD_TX);
        setFieldText(txt[3], kWebLimit, roPWD.WEB_SITE_TX);
        setFieldText(txt[4], kNotesLimit, roPWD.NOTES_TX);
    }
    IsLoading = false;
    UpdateSaveState();
}

frmPassword::~frmPassword()
{
    WipeLists();
    if (cbo[2] && cbo[2]->lineEdit()) {
        QLineEdit* edit = cbo[2]->lineEdit();
        QString typed = edit->text();
        SecretText::Wipe(typed);
        // The box draws a copy of its own (its display text), not shared with the text above.
        QString shown = edit->displayText();
        SecretText::Wipe(shown);
    }
    SecretText::Release(roPWD.PASSWORD_TX);
}

void frmPassword::WipeLists()
{
    for (int i : {1, 2}) {
        QComboBox* combo = cbo[i];
        if (!combo || combo->count() == 0) {
            continue;
        }
        QLineEdit* edit = combo->lineEdit();
        // The box may show a text picked from the list, sharing its buffer: it keeps a copy of
        // its own, put back after the list has gone.
        const QString shown = edit ? edit->text() : QString();
        QString kept(shown.constData(), shown.size());
        const int cursor = edit ? edit->cursorPosition() : 0;
        const QSignalBlocker block(combo);
        for (int j = 0; j < combo->count(); ++j) {
            QString item = combo->itemText(j);
            SecretText::Wipe(item);
        }
        combo->clear();
        if (edit) {
            edit->setText(kept);
            edit->setCursorPosition(cursor);
        }
        SecretText::Release(kept);
    }
}

void frmPassword::RefillLists()
{
    if (!m_loaded) {
        return;
    }
    const bool loading = std::exchange(IsLoading, true);
    std::array<QString, 3> kept;
    for (int i : {1, 2}) {
        kept[i] = cbo[i]->currentText();
    }
    FillCombos();
    for (int i : {1, 2}) {
        cbo[i]->setEditText(kept[i]);
        SecretText::Release(kept[i]);
    }
    IsLoading = loading;
}

void frmPassword::FillCombos()
{
    cbo[1]->clear();
    cbo[2]->clear();
    if (const auto names = clsPWD().GetUserNames()) {
        for (const clsPWD& entry : *names) {
            cbo[1]->addItem(entry.USER_NM);
        }
    }
    if (const auto passwords = clsPWD().GetPasswords()) {
        for (const clsPWD& entry : *passwords) {
            cbo[2]->addItem(entry.PASSWORD_TX);
        }
    }
    // The boxes start empty; the lists only offer.
    for (int i : {1, 2}) {
        cbo[i]->setCurrentIndex(-1);
        cbo[i]->setEditText(QString());
    }
}

void frmPassword::setFieldText(QLineEdit* box, int lLimit, const QString& sText)
{
    // A stored text longer than the box takes is shown whole, never cut by the box.
    box->setMaxLength(std::max<int>(lLimit, static_cast<int>(sText.size())));
    box->setText(sText);
}

void frmPassword::txt_Change()
{
    lblTop->setText(txt[0]->text());
    UpdateSaveState();
}

void frmPassword::UpdateSaveState()
{
    if (IsLoading) {
        return;
    }
    const QString title = txt[0]->text();
    const QString user = cbo[1]->currentText();
    const QString password = cbo[2]->currentText();
    const bool changed = title != roPWD.TITLE_TX || user != roPWD.USER_NM ||
                         password != roPWD.PASSWORD_TX || txt[3]->text() != roPWD.WEB_SITE_TX ||
                         txt[4]->text() != roPWD.NOTES_TX;
    const bool complete = !modGeneral::TrimSpaces(title).isEmpty() &&
                          !modGeneral::TrimSpaces(user).isEmpty() &&
                          !modGeneral::TrimSpaces(password).isEmpty();
    CanSave = changed && complete;
    cmd[0]->setEnabled(CanSave);
    cmd[1]->setEnabled(CanSave);
}

bool frmPassword::cbo_KeyPress(QComboBox* combo, QKeyEvent* event)
{
    int lKeyAscii = keyAscii(event);
    if (lKeyAscii == 0) {
        return false;
    }
    if (lKeyAscii == modGeneral::vbKeyBack || lKeyAscii == '.') {
        StopAutoComplete = true;
    }
    if (combo->currentText().size() >= COMBO_MAX_LENGTH && lKeyAscii != modGeneral::vbKeyBack) {
        MsgBox::Show(kMaxLengthMessage, MsgBox::vbOKOnly, QString(), this);
        return true;
    }
    // Only a single typed character can extend a completion.
    if (!StopAutoComplete && event->text().size() == 1) {
        modGeneral::ComboAutoComplete(combo, lKeyAscii);
        return lKeyAscii == 0;
    }
    return false;
}

bool frmPassword::SaveRecord()
{
    // A failed save leaves the record as it was, so the fields still count as changes.
    const clsPWD previous = roPWD;
    roPWD.TITLE_TX = txt[0]->text();
    // A stored text longer than the limit (an imported one) is kept whole; only what goes
    // beyond both is cut.
    roPWD.USER_NM = leftChars(cbo[1]->currentText(),
                              std::max<int>(COMBO_MAX_LENGTH, int(previous.USER_NM.size())));
    roPWD.PASSWORD_TX = leftChars(
        cbo[2]->currentText(), std::max<int>(COMBO_MAX_LENGTH, int(previous.PASSWORD_TX.size())));
    roPWD.WEB_SITE_TX = txt[3]->text();
    roPWD.NOTES_TX = modGeneral::TrimCrLf(txt[4]->text());
    if (!roPWD.Save(ADDING)) {
        roPWD = previous;
        return false;
    }
    roPWD.OpenRecord(roPWD.PASSWORD_ID);
    Q_EMIT Change(roPWD);
    UpdateSaveState();
    return true;
}

void frmPassword::cmd_Click(int lIndex)
{
    if (lIndex == 2) {
        reject();
        return;
    }
    if (!SaveRecord()) {
        return;
    }
    roPWD = clsPWD();
    if (lIndex == 1) {
        CanSave = false;
        accept();
        return;
    }
    ADDING = true;
    setFieldText(txt[0], kTitleLimit, QString());
    cbo[1]->setEditText(QString());
    cbo[2]->setEditText(QString());
    setFieldText(txt[3], kWebLimit, QString());
    setFieldText(txt[4], kNotesLimit, QString());
    setWindowTitle(QStringLiteral("Add new password"));
    lblTop->setText(QStringLiteral("[Title]"));
    txt[0]->setFocus();
}

void frmPassword::reject()
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

void frmPassword::imgWeb_Click()
{
    const QString address = txt[3]->text();
    if (!address.isEmpty()) {
        FileHelper::shared().Launch(address, false);
    }
}

void frmPassword::cmdGenerate_Click()
{
    PasswordGenerator::CharClasses classes;
    for (std::size_t i = 0; i < std::size(kGenerateClasses); ++i) {
        if (storedGenerateClass(i)) {
            classes |= kGenerateClasses[i].eClass;
        }
    }
    // Set as a whole, never typed: the box's change signal runs the change handling, and no
    // type-ahead completes over the text.
    cbo[2]->setEditText(
        PasswordGenerator::Generate(std::min(storedGenerateLength(), COMBO_MAX_LENGTH), classes));
}

void frmPassword::updateStrength()
{
    const SecretText::Scoped password(cbo[2]->currentText());
    const bool shown = !password.text().isEmpty();
    barStrength->setVisible(shown);
    lblStrength->setVisible(shown);
    if (!shown) {
        cbo[2]->setAccessibleDescription(QString());
        return;
    }
    const auto band = PasswordStrength::BandOf(PasswordStrength::Bits(
        password.text(),
        PasswordStrength::UserWords(txt[0]->text(), cbo[1]->currentText(), txt[3]->text())));
    // Strong colours on the bar only; the word keeps the window's own text colour.
    static const char* const colours[] = {"#b00020", "#c43e00", "#b07800", "#2e7d32", "#1b5e20"};
    if (barStrength->value() != band + 1) {
        barStrength->setValue(band + 1);
        barStrength->setStyleSheet(
            QStringLiteral("QProgressBar { border: none; background: palette(midlight); }"
                           "QProgressBar::chunk { background: %1; }")
                .arg(QLatin1String(colours[band])));
    }
    const QString word = PasswordStrength::BandName(band);
    const QString spoken = QStringLiteral("Password strength: ") + word;
    lblStrength->setText(word);
    lblStrength->setAccessibleName(spoken);
    barStrength->setAccessibleName(spoken);
    cbo[2]->setAccessibleDescription(spoken);
}

void frmPassword::mnuGenerate_AboutToShow()
{
    const QSignalBlocker blockLength(spnGenerateLength);
    spnGenerateLength->setValue(storedGenerateLength());
    for (std::size_t i = 0; i < mnuGenerateClass.size(); ++i) {
        const QSignalBlocker blockItem(mnuGenerateClass[i]);
        mnuGenerateClass[i]->setChecked(storedGenerateClass(i));
    }
    updateGenerateClassItems();
}

void frmPassword::mnuGenerateClass_Toggled(int lIndex, bool bChecked)
{
    QAction* item = mnuGenerateClass[lIndex];
    if (!bChecked && std::none_of(mnuGenerateClass.begin(), mnuGenerateClass.end(),
                                  [](const QAction* a) { return a->isChecked(); })) {
        const QSignalBlocker block(item);
        item->setChecked(true);
        return;
    }
    const auto store = kGenerateClasses[static_cast<std::size_t>(lIndex)].set;
    try {
        (clsApp::shared().*store)(bChecked);
    } catch (const AppError&) {
        // The menu shows what the settings hold the next time it opens.
    }
    updateGenerateClassItems();
}

void frmPassword::updateGenerateClassItems()
{
    const auto chosen = std::count_if(mnuGenerateClass.begin(), mnuGenerateClass.end(),
                                      [](const QAction* a) { return a->isChecked(); });
    for (QAction* item : mnuGenerateClass) {
        item->setEnabled(chosen > 1 || !item->isChecked());
    }
}

bool frmPassword::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress: {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_F1) {
            modGeneral::ShowHelpTopic(kHelpTopic);
            return true;
        }
        if (watched == cbo[1] || watched == cbo[2]) {
            return cbo_KeyPress(static_cast<QComboBox*>(watched), key);
        }
        // The web icon, reached by Tab, opens the address on Space or Enter as on a click.
        if (watched == imgWeb && key->modifiers() == Qt::NoModifier &&
            (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter ||
             key->key() == Qt::Key_Space)) {
            imgWeb_Click();
            return true;
        }
        // A class item chosen by key toggles and leaves the menu open for the next one.
        if (watched == mnuGenerate &&
            (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter ||
             key->key() == Qt::Key_Space)) {
            QAction* item = mnuGenerate->activeAction();
            if (item && item->isEnabled() &&
                std::find(mnuGenerateClass.begin(), mnuGenerateClass.end(), item) !=
                    mnuGenerateClass.end()) {
                item->toggle();
                return true;
            }
        }
        break;
    }
    case QEvent::FocusIn:
        if (watched == txt[0] || watched == txt[3] || watched == txt[4]) {
            modGeneral::SelectAllText(static_cast<QWidget*>(watched));
        }
        break;
    case QEvent::MouseButtonPress: {
        const bool left = static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
        if (watched == picTop || watched == lblTop) {
            if (left) {
                modGeneral::DragWindow(this);
            }
            return true;
        }
        if (watched == imgWeb) {
            m_webPressed = left;
            return true;
        }
        if (watched == mnuGenerate) {
            QAction* item =
                mnuGenerate->actionAt(static_cast<QMouseEvent*>(event)->position().toPoint());
            const bool isClass = std::find(mnuGenerateClass.begin(), mnuGenerateClass.end(),
                                           item) != mnuGenerateClass.end();
            m_generatePressed = left && isClass ? item : nullptr;
        }
        break;
    }
    case QEvent::MouseButtonRelease:
        if (watched == imgWeb) {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::LeftButton && std::exchange(m_webPressed, false) &&
                imgWeb->rect().contains(mouse->position().toPoint())) {
                imgWeb_Click();
            }
            return true;
        }
        // A class item clicked toggles and leaves the menu open for the next one; a release
        // without its own press (the one that opened the menu) does nothing.
        if (watched == mnuGenerate) {
            auto* mouse = static_cast<QMouseEvent*>(event);
            QAction* pressed = std::exchange(m_generatePressed, nullptr);
            if (mouse->button() == Qt::LeftButton && pressed && pressed->isEnabled() &&
                mnuGenerate->actionAt(mouse->position().toPoint()) == pressed) {
                pressed->toggle();
                return true;
            }
        }
        break;
    default:
        break;
    }
    return QDialog::eventFilter(watched, event);
}
