#include "prefs/dialog_preference.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <utility>

#include "gdip_button.h"
#include "prefs/dialog_folder.h"
#include "prefs/preference_rules.h"

namespace kvx::prefs {

namespace {

const QColor kLabelWhite(255, 255, 255);
const QColor kLabelGrey(100, 100, 100);

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}
std::string S(const QString& s) {
    return s.toStdString();
}

void Enable(CGdipButton* button, bool on) {
    button->setEnabled(on);
    button->SetDisabledLook(!on);
}

void SetLabelColour(QLabel* label, const QColor& colour) {
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, colour);
    pal.setColor(QPalette::Disabled, QPalette::WindowText, colour);
    label->setPalette(pal);
}

bool IsPrintable(const QString& text) {
    return !text.isEmpty() && text.at(0).isPrint();
}

}  // namespace

CDialogPreference::CDialogPreference(QWidget* parent, engine::AppSettings& settings,
                                     std::string settingsFile,
                                     std::optional<std::string> rawDeveloper)
    : CPictureDialog(parent, kBackground, "Preferences"),
      settings_(settings),
      settingsFile_(std::move(settingsFile)),
      rawDeveloper_(std::move(rawDeveloper)) {
    chooseApplication_ = [this](const std::string& current) -> std::optional<std::string> {
        const QString dir = current.empty() ? QString("/usr/bin") : QFileInfo(Q(current)).path();
        const QString file =
            QFileDialog::getOpenFileName(this, "Choose Application", dir, "Programs (*)");
        if (file.isEmpty()) return std::nullopt;
        return S(file);
    };
    chooseFolder_ = [this](const std::string& current) -> std::optional<std::string> {
        CDialogFolder picker(this, current);
        if (picker.exec() != QDialog::Accepted || picker.ChosenPath().empty()) return std::nullopt;
        return picker.ChosenPath();
    };
    BuildControls();
    ShowValues();
}

void CDialogPreference::BuildControls() {
    for (auto [id, text, y] :
         {std::tuple{801, "How to display after transferring the images", 6},
          std::tuple{802, "Destination", 150}, std::tuple{803, "Rename the file", 274}}) {
        QLabel* title = AddLabel(id, text, QRect(15, y + 1, 400, 14));
        QFont bold = title->font();
        bold.setBold(true);
        title->setFont(bold);
    }
    auto radio = [this](int id, const char* text, int y) {
        auto* b = new CGdipButton(this);  // owned by the dialog
        b->setObjectName(QString::number(id));
        b->SetImages(CGdipButton::kRadio, 179, 179, 179, 179, 178);
        b->setText(text);
        b->setGeometry(29, y, 300, 16);
        return b;
    };
    radioNone_ = radio(804, "Do not display", 40);
    radioRaw_ = radio(805, "Varno Dravel", 60);
    radioOther_ = radio(806, "Other", 80);
    chooseApplicationButton_ = AddTextButton(807, "Choose", QRect(47, 105, 109, 22), PanelColour());
    reviewSoftEdit_ = AddEdit(809, QRect(165, 105, 270, 22));
    reviewSoftEdit_->setReadOnly(true);

    auto check = [this](int id, const char* text, int y) {
        auto* b = new CGdipButton(this);  // owned by the dialog
        b->setObjectName(QString::number(id));
        b->SetImages(CGdipButton::kCheckBox, 175, 176, 176, 177, 0, 174);
        b->setText(text);
        b->setGeometry(28, y - 2, 250, 17);
        return b;
    };
    inCameraCheck_ = check(810, "Card in camera", 185);
    inPCCheck_ = check(811, "PC Drive", 205);
    chooseFolderButton_ = AddTextButton(812, "Choose", QRect(47, 230, 109, 22), PanelColour());
    pathEdit_ = AddEdit(813, QRect(165, 229, 270, 22));
    pathEdit_->setReadOnly(true);

    renameCheck_ = check(814, "Rename", 309);
    prefixLabel_ = AddLabel(816, "Character string", QRect(10, 334, 150, 22));
    prefixEdit_ = AddEdit(815, QRect(165, 334, 182, 22));
    startLabel_ = AddLabel(817, "Start Number", QRect(10, 367, 150, 22));
    startEdit_ = AddEdit(818, QRect(165, 367, 112, 22));
    digitsLabel_ = AddLabel(819, "Number of digit", QRect(284, 367, 100, 22));
    digitsEdit_ = AddEdit(820, QRect(384, 367, 43, 22));
    // The edits take more than they keep: the rules cut and clamp, so a long
    // paste is judged whole instead of cut first.
    for (QLineEdit* e : {prefixEdit_, startEdit_, digitsEdit_}) {
        e->setMaxLength(255);
        e->installEventFilter(this);
    }

    okButton_ = AddTextButton(146, "OK", QRect(108, 416, 109, 22), ButtonBarColour());
    cancelButton_ = AddTextButton(147, "Cancel", QRect(237, 416, 109, 22), ButtonBarColour());

    connect(radioNone_, &QAbstractButton::clicked, this, [this] { SelectReview(0); });
    connect(radioRaw_, &QAbstractButton::clicked, this, [this] { SelectReview(1); });
    connect(radioOther_, &QAbstractButton::clicked, this, &CDialogPreference::OnOtherReview);
    connect(chooseApplicationButton_, &QAbstractButton::clicked, this,
            &CDialogPreference::OnChooseApplication);
    connect(inCameraCheck_, &QAbstractButton::clicked, this, &CDialogPreference::OnInCamera);
    connect(inPCCheck_, &QAbstractButton::clicked, this, &CDialogPreference::OnInPC);
    connect(chooseFolderButton_, &QAbstractButton::clicked, this,
            &CDialogPreference::OnChooseFolder);
    connect(renameCheck_, &QAbstractButton::clicked, this, &CDialogPreference::OnRename);
    connect(prefixEdit_, &QLineEdit::textChanged, this, &CDialogPreference::OnPrefixChanged);
    connect(startEdit_, &QLineEdit::textChanged, this, &CDialogPreference::OnStartNumberChanged);
    connect(digitsEdit_, &QLineEdit::textChanged, this, &CDialogPreference::OnDigitsChanged);
    connect(okButton_, &QAbstractButton::clicked, this, [this] { TryAccept(); });
    connect(cancelButton_, &QAbstractButton::clicked, this, &QDialog::reject);
}

void CDialogPreference::ShowValues() {
    // The values held in memory: the file was read at start-up and is not
    // read again. Whatever the file held passes the same rules as typing.
    const engine::AppSettings& s = settings_;
    reviewType_ = s.reviewType >= 0 && s.reviewType <= 2 ? s.reviewType : 0;
    reviewSoftEdit_->setText(Q(s.reviewSoft));
    inCamera_ = s.inCamera != 0;
    inPC_ = s.inPC != 0;
    if (!inCamera_ && !inPC_) inCamera_ = true;  // at least one place keeps the pictures
    pathEdit_->setText(Q(s.path));
    rename_ = s.rename != 0 && inPC_;
    prefixEdit_->setText(Q(CPreferenceRules::FilterPrefix(s.prefix)));
    startEdit_->setText(Q(CPreferenceRules::NormalizeStartNumber(s.startNum)));
    digitsEdit_->setText(Q(CPreferenceRules::NormalizeDigits(s.columns)));
    UpdateEnables();
}

void CDialogPreference::UpdateEnables() {
    const bool rawFound = rawDeveloper_.has_value() && !rawDeveloper_->empty();
    radioNone_->SetState(reviewType_ == 0 ? CGdipButton::kStateAlternate
                                          : CGdipButton::kStateNormal);
    radioRaw_->SetState(reviewType_ == 1 ? CGdipButton::kStateAlternate
                                         : CGdipButton::kStateNormal);
    radioOther_->SetState(reviewType_ == 2 ? CGdipButton::kStateAlternate
                                           : CGdipButton::kStateNormal);
    Enable(radioNone_, inPC_);
    Enable(radioRaw_, inPC_ && rawFound);
    Enable(radioOther_, inPC_);
    Enable(chooseApplicationButton_, inPC_ && reviewType_ == 2);
    reviewSoftEdit_->setEnabled(inPC_ && reviewType_ == 2);

    inCameraCheck_->SetState(inCamera_ ? CGdipButton::kStateChecked : CGdipButton::kStateNormal);
    inPCCheck_->SetState(inPC_ ? CGdipButton::kStateChecked : CGdipButton::kStateNormal);
    Enable(chooseFolderButton_, inPC_);
    pathEdit_->setEnabled(inPC_);

    renameCheck_->SetState(inPC_ && rename_ ? CGdipButton::kStateChecked
                                            : CGdipButton::kStateNormal);
    Enable(renameCheck_, inPC_);
    const bool renaming = inPC_ && rename_;
    for (QLineEdit* e : {prefixEdit_, startEdit_, digitsEdit_}) e->setEnabled(renaming);
    for (QLabel* l : {prefixLabel_, startLabel_, digitsLabel_})
        SetLabelColour(l, renaming ? kLabelWhite : kLabelGrey);
    Enable(okButton_, !prefixEdit_->text().isEmpty());
}

void CDialogPreference::SelectReview(int type) {
    reviewType_ = type;
    UpdateEnables();
}

void CDialogPreference::OnOtherReview() {
    if (reviewSoftEdit_->text().isEmpty()) {
        if (auto chosen = chooseApplication_(S(reviewSoftEdit_->text())))
            reviewSoftEdit_->setText(Q(*chosen));
    }
    // Without a program the choice falls back to what it was.
    if (!reviewSoftEdit_->text().isEmpty()) reviewType_ = 2;
    UpdateEnables();
}

void CDialogPreference::OnChooseApplication() {
    if (auto chosen = chooseApplication_(S(reviewSoftEdit_->text())))
        reviewSoftEdit_->setText(Q(*chosen));
    if (reviewSoftEdit_->text().isEmpty() && reviewType_ == 2) reviewType_ = 0;
    UpdateEnables();
}

void CDialogPreference::TurnPCOn() {
    inPC_ = true;
    if (pathEdit_->text().isEmpty()) OnChooseFolder();
    if (pathEdit_->text().isEmpty()) {
        // No folder, no pictures on the PC: they stay on the card.
        inCamera_ = true;
        inPC_ = false;
    }
}

void CDialogPreference::OnInCamera() {
    const bool was = inCamera_;
    inCamera_ = !inCamera_;
    if (was && !inPC_) TurnPCOn();
    UpdateEnables();
}

void CDialogPreference::OnInPC() {
    if (inPC_) {
        inPC_ = false;
        inCamera_ = true;  // at least one of the two stays checked
    } else {
        TurnPCOn();
    }
    UpdateEnables();
}

void CDialogPreference::OnChooseFolder() {
    if (auto chosen = chooseFolder_(S(pathEdit_->text()))) pathEdit_->setText(Q(*chosen));
    UpdateEnables();
}

void CDialogPreference::OnRename() {
    rename_ = !rename_;
    UpdateEnables();
}

void CDialogPreference::OnPrefixChanged(const QString& text) {
    const QString filtered = Q(CPreferenceRules::FilterPrefix(S(text)));
    if (filtered != text) {
        // Pasted, dropped or put in by an input method: what the keys may
        // not type does not get in this way either.
        const int cursor = prefixEdit_->cursorPosition() - (text.size() - filtered.size());
        prefixEdit_->setText(filtered);
        prefixEdit_->setCursorPosition(std::max(0, std::min<int>(cursor, filtered.size())));
        return;  // setText came back here with the filtered text
    }
    Enable(okButton_, !text.isEmpty());
}

void CDialogPreference::OnStartNumberChanged(const QString& text) {
    const QString normal = Q(CPreferenceRules::NormalizeStartNumber(S(text)));
    if (normal != text) startEdit_->setText(normal);
}

void CDialogPreference::OnDigitsChanged(const QString& text) {
    const QString normal = Q(CPreferenceRules::NormalizeDigits(S(text)));
    if (normal != text) digitsEdit_->setText(normal);
}

bool CDialogPreference::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress ||
        (watched != prefixEdit_ && watched != startEdit_ && watched != digitsEdit_))
        return CPictureDialog::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
        case Qt::Key_Alt:
            return true;  // neither confirms nor cancels the dialog
        default:
            break;
    }
    const QString text = key->text();
    if (!IsPrintable(text)) return false;  // editing keys, shortcuts (paste) pass
    if (watched == prefixEdit_) return Q(CPreferenceRules::FilterPrefix(S(text))) != text;
    const bool digit = text.size() == 1 && text.at(0).isDigit() && text.at(0).unicode() < 0x80;
    if (!digit) return true;
    if (watched == startEdit_) {
        if (startEdit_->hasSelectedText()) return false;
        if (auto full = CPreferenceRules::StartNumberOnFullDigit(S(startEdit_->text()),
                                                                 text.at(0).toLatin1())) {
            startEdit_->setText(Q(*full));
            return true;
        }
        return false;
    }
    // The number of digits: the typed digit replaces the content.
    digitsEdit_->setText(Q(CPreferenceRules::NormalizeDigits(S(text))));
    return true;
}

void CDialogPreference::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
        case Qt::Key_Alt:
            event->accept();  // neither confirms nor cancels the dialog
            return;
        default:
            CPictureDialog::keyPressEvent(event);
    }
}

bool CDialogPreference::TryAccept() {
    PreferenceValues v;
    v.reviewType = reviewType_;
    v.reviewSoft = S(reviewSoftEdit_->text());
    v.rawDeveloperFound = rawDeveloper_.has_value() && !rawDeveloper_->empty();
    v.inCamera = inCamera_;
    v.inPC = inPC_;
    v.path = S(pathEdit_->text());
    v.rename = inPC_ && rename_;
    v.prefix = S(prefixEdit_->text());
    v.startNum = S(startEdit_->text());
    v.columns = S(digitsEdit_->text());
    if (v.prefix.empty()) {
        Notice("Character string: type the text the names begin with.");
        return false;
    }
    if (auto problem = CPreferenceRules::Check(v)) {
        Notice(Q(problem->field + ": " + problem->message));
        return false;
    }

    engine::AppSettings next = settings_;
    next.reviewType = v.reviewType;
    next.reviewSoft = v.reviewSoft;
    next.inCamera = v.inCamera ? 1 : 0;
    next.inPC = v.inPC ? 1 : 0;
    next.path = v.path;
    next.rename = v.rename ? 1 : 0;
    next.prefix = v.prefix;
    next.startNum = v.startNum;
    next.columns = v.columns;
    destinationChanged_ = next.inCamera != settings_.inCamera || next.inPC != settings_.inPC ||
                          next.path != settings_.path;
    const bool saved = !settingsFile_.empty() && next.WritePreferences(settingsFile_);
    settings_ = std::move(next);
    if (!saved) {
        Notice(QString("The preferences are used from now on, but they could not be saved in "
                       "%1, so the next start will not have them.")
                   .arg(Q(settingsFile_)));
    }
    accept();
    return true;
}

engine::NamingOptions CDialogPreference::Naming() const {
    return engine::NamingOptions::FromSettings(settings_, rawDeveloper_.value_or(""));
}

}  // namespace kvx::prefs
