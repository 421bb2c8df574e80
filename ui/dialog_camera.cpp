#include "dialog_camera.h"

#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <algorithm>

#include "gdip_button.h"
#include "model/record_layout.h"
#include "model/setting_commands.h"
#include "model/setting_dispatcher.h"
#include "static_a_farea2.h"
#include "static_combo.h"

namespace {
struct Row {
    uint32_t label;
    int label_y, label_h, y;
    VARNO::ValueTable table;
};
constexpr Row kRows[] = {
    {21010, 171, 14, 168, VARNO::ValueTable::FrameSize},
    {21003, 203, 14, 200, VARNO::ValueTable::AfMode},
    {21002, 263, 14, 260, VARNO::ValueTable::Metering},  // one line: 263, not 256
    {21004, 293, 14, 290, VARNO::ValueTable::DriveMode},
};
// Offered here: AF-S and AF-C, not MANUAL; every drive mode but auto
// bracketing, which has its own dialog.
constexpr uint32_t kAfModeOffered = 0x03;
constexpr uint32_t kDriveOffered = ~uint32_t{0x20};
constexpr uint32_t kQmdDriveMask = 0x0D;  // single frame and the two self-timers
constexpr uint8_t kIntervalDrive = 7;
constexpr uint8_t kColumns[3] = {18, 32, 46};
constexpr uint8_t kRowsPos[3] = {12, 21, 30};

int CellOf(uint8_t value, uint8_t first, uint8_t second) {
    return value == first ? 0 : value == second ? 1 : 2;
}
}  // namespace

CDialogCamera::CDialogCamera(QWidget* parent, VARNO::CCamera& camera, kvx::ui::ICommandSink& sink)
    : CDialogPanel(parent, camera, sink) {
    AddLabel(21000, QRect(10, 69, 103, 14));
    area_ = new CStaticAFarea2(this);
    area_->move(120, 10);
    connect(area_, &CStaticAFarea2::changed, this, &CDialogCamera::SendFocusFrame);
    free_move_ = AddCheckButton(21001, QRect(118, 147, 180, 13));
    connect(free_move_, &CGdipButton::clicked, this, [this] {
        free_move_on_ = !free_move_on_;
        SetChecked(free_move_, free_move_on_);
        area_->SetFreeMove(free_move_on_);
        SendFocusFrame();
    });
    for (int i = 0; i < kCount; ++i) {
        AddLabel(kRows[i].label, QRect(10, kRows[i].label_y, 130, kRows[i].label_h));
        combos_[i] = AddSelector(150, kRows[i].y);
        connect(combos_[i], &CStaticCombo::picked, this,
                [this, i](int index) { Pick(static_cast<Selector>(i), index); });
    }
    FillSelector(combos_[kFrameSize], VARNO::ValueTable::FrameSize, 0xFFFF, -1);
    FillSelector(combos_[kAfMode], VARNO::ValueTable::AfMode, kAfModeOffered, -1);
    FillSelector(combos_[kMetering], VARNO::ValueTable::Metering, 0xFFFF, -1);
    FillSelector(combos_[kDrive], VARNO::ValueTable::DriveMode, kDriveOffered, -1);
    face_ = AddCheckButton(21009, QRect(119, 231, 200, 13));
    connect(face_, &CGdipButton::clicked, this, [this] {
        face_on_ = !face_on_;
        SetChecked(face_, face_on_);
        Queue(VARNO::MakeSettingCommand(VARNO::Setting::FaceDetection, face_on_ ? 1 : 2));
    });

    // Interval timer: a dark frame with minutes, seconds and shot count.
    interval_frame_ = new QWidget(this);
    interval_frame_->setGeometry(119, 323, 212, 21);
    interval_frame_->setAutoFillBackground(true);
    QPalette frame = interval_frame_->palette();
    frame.setColor(QPalette::Window, QColor(0x1E, 0x1E, 0x1E));
    interval_frame_->setPalette(frame);
    auto make_edit = [this](int x) {
        auto* edit = new QLineEdit(this);
        edit->setGeometry(x, 327, 25, 14);
        edit->setMaxLength(3);  // "---" while the count is unlimited
        edit->setFrame(false);
        edit->setAlignment(Qt::AlignRight);
        edit->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]{0,2}"), edit));
        interval_widgets_.push_back(edit);
        return edit;
    };
    minutes_ = make_edit(122);
    seconds_ = make_edit(201);
    count_ = make_edit(302);
    Write(minutes_, "00");
    Write(seconds_, "00");
    Write(count_, "02");
    // textEdited is the user's typing only; the panel's own writes (a camera
    // report, a clamp) never come back as a send.
    connect(minutes_, &QLineEdit::textEdited, this, &CDialogCamera::MinutesEdited);
    connect(seconds_, &QLineEdit::textEdited, this, &CDialogCamera::SecondsEdited);
    connect(count_, &QLineEdit::textEdited, this, &CDialogCamera::CountEdited);
    for (QLineEdit* e : {minutes_, seconds_, count_})
        connect(e, &QLineEdit::editingFinished, this, [this, e] { EditFinished(e); });
    interval_labels_ = {AddLabel(21011, QRect(154, 327, 40, 14)),
                        AddLabel(21012, QRect(233, 327, 40, 14)),
                        AddLabel(21013, QRect(334, 327, 40, 14))};
    unlimited_ = AddCheckButton(0, QRect(298, 349, 60, 13));
    unlimited_->setText(QStringLiteral(" \u221E"));
    connect(unlimited_, &CGdipButton::clicked, this, [this] {
        SetUnlimited(!unlimited_on_);
        SendIntervalTimer();
    });
    interval_widgets_.push_back(unlimited_);
    interval_widgets_.push_back(interval_frame_);
    interval_frame_->lower();
    drive_mode_ = Camera().DataGroupByte(2, VARNO::dg2::kDriveMode);
    EnablePanel(false);
}

void CDialogCamera::RegisterWith(VARNO::CSettingDispatcher& dispatcher) {
    dispatcher.SetCameraPanel(this);
}

void CDialogCamera::Write(QLineEdit* edit, const QString& text) {
    edit->setText(text);
    edit->setModified(false);
}

CDialogCamera::IntervalLimits CDialogCamera::Limits() const {
    using VARNO::SettableField;
    IntervalLimits l{0, 99 * 60 + 59, 99};
    if (!Camera().CanSetInfoReceived(3)) return l;
    l.min_seconds =
        static_cast<int>(Camera().SettableOf(3, SettableField::IntervalMin).value_or(0));
    const int max =
        static_cast<int>(Camera().SettableOf(3, SettableField::IntervalMax).value_or(0));
    if (max > 0) l.max_seconds = std::max(max, l.min_seconds);
    const int count =
        static_cast<int>(Camera().SettableOf(3, SettableField::IntervalMaxCount).value_or(0));
    if (count >= 2) l.max_count = std::min(count, 99);
    return l;
}

// ---- lists ----

void CDialogCamera::FillMeteringList(uint32_t mask) {
    const bool had = has_options_[kMetering];
    has_options_[kMetering] = FillSelector(combos_[kMetering], VARNO::ValueTable::Metering, mask,
                                           Camera().DataGroupByte(2, VARNO::dg2::kMetering));
    if (had != has_options_[kMetering]) ApplyEnable();
}

void CDialogCamera::FillAfModeList(uint32_t mask) {
    const bool had = has_options_[kAfMode];
    has_options_[kAfMode] =
        FillSelector(combos_[kAfMode], VARNO::ValueTable::AfMode, mask & kAfModeOffered,
                     Camera().DataGroupByte(2, VARNO::dg2::kAfMode) & 3);
    if (had != has_options_[kAfMode]) ApplyEnable();
}

void CDialogCamera::FillDrive(uint32_t mask) {
    const bool had = has_options_[kDrive];
    has_options_[kDrive] = FillSelector(combos_[kDrive], VARNO::ValueTable::DriveMode,
                                        mask & kDriveOffered, drive_mode_);
    if (had != has_options_[kDrive]) ApplyEnable();
}

void CDialogCamera::FillDriveModeList(uint32_t mask) {
    FillDrive(qmd_ ? (mask & kQmdDriveMask) : mask);
}

uint32_t CDialogCamera::DriveMaskInForce() const {
    if (qmd_ || !PanelEnabled()) return kQmdDriveMask;
    return Camera().Settable(VARNO::SettableField::DriveModeMask).value_or(0xFF);
}

void CDialogCamera::ShowMeteringMode(uint8_t code) {
    if (code <= 4) ShowCode(combos_[kMetering], code);
}

void CDialogCamera::ShowAfMode(uint8_t code) {
    ShowCode(combos_[kAfMode], code & 3);
}

void CDialogCamera::ShowDriveMode(uint8_t code) {
    if (code > 7) return;
    drive_mode_ = code;
    FillDrive(DriveMaskInForce());
    ShowInterval(code == kIntervalDrive && PanelEnabled());
}

void CDialogCamera::ApplyQmdMode(bool on) {
    qmd_ = on;
    FillDrive(DriveMaskInForce());
}

// ---- focus frame ----

void CDialogCamera::SendFocusFrame() {
    int size = combos_[kFrameSize]->SelectedCode();
    if (size < 1 || size > 3) size = area_->FrameSizeIndex() + 1;
    if (free_move_on_) {
        const QPoint p = area_->FreePoint();
        Queue(VARNO::MakeFocusFrameCommand(2, static_cast<uint8_t>((p.x() + 1) / 3),
                                           static_cast<uint8_t>((p.y() + 1) / 3),
                                           static_cast<uint8_t>(size)));
        return;
    }
    // A fixed point needs a selected cell; with none there is nothing to send.
    const QPoint cell = area_->SelectedCell();
    if (cell.x() < 0 || cell.y() < 0) return;
    Queue(VARNO::MakeFocusFrameCommand(1, kColumns[cell.x()], kRowsPos[cell.y()],
                                       static_cast<uint8_t>(size)));
}

void CDialogCamera::ShowFocusFrame(const uint8_t frame[4]) {
    if (frame[0] == 1 || frame[0] == 2) {
        free_move_on_ = frame[0] == 2;
        SetChecked(free_move_, free_move_on_);
        area_->SetFreeMove(free_move_on_);
    }
    const int size = frame[3] == 1   ? CStaticAFarea2::kLarge
                     : frame[3] == 2 ? CStaticAFarea2::kRegular
                                     : CStaticAFarea2::kSpot;
    area_->SetFrameSize(size);
    ShowCode(combos_[kFrameSize], size + 1);
    if (frame[0] == 1) {
        area_->SelectCell(CellOf(frame[1], 18, 32), CellOf(frame[2], 12, 21));
    } else {
        area_->SetFreePoint(3 * frame[1], 3 * frame[2]);
        const QPoint p = area_->FreePoint();
        area_->SelectNearestCell(p.x(), p.y());
    }
}

void CDialogCamera::ShowFaceDetection(uint8_t value, uint8_t state) {
    face_on_ = value == 1;
    SetChecked(face_, face_on_);
    area_->SetFaceMode(value == 1 && state == 2);
}

void CDialogCamera::Pick(Selector s, int index) {
    const uint8_t code = combos_[s]->Code(index);
    using VARNO::Setting;
    switch (s) {
        case kFrameSize:
            if (code < 1 || code > 3) return;
            area_->SetFrameSize(code - 1);
            SendFocusFrame();
            return;
        case kMetering:
            if (code != 0) Queue(VARNO::MakeSettingCommand(Setting::Metering, code));
            return;
        case kAfMode:
            if (code != 0) Queue(VARNO::MakeSettingCommand(Setting::AfMode, code));
            return;
        case kDrive:
            if (code != 0) Queue(VARNO::MakeSettingCommand(Setting::DriveMode, code));
            return;
        case kCount:
            return;
    }
}

// ---- interval timer ----

void CDialogCamera::ShowIntervalTimer(uint16_t interval_seconds, uint8_t count) {
    const QString m = QString::asprintf("%02d", interval_seconds / 60);
    const QString s = QString::asprintf("%02d", interval_seconds % 60);
    if (minutes_->text().toInt() != interval_seconds / 60 || minutes_->text().isEmpty())
        Write(minutes_, m);
    if (seconds_->text().toInt() != interval_seconds % 60 || seconds_->text().isEmpty())
        Write(seconds_, s);
    unlimited_on_ = count == 0;
    SetChecked(unlimited_, unlimited_on_);
    count_->setEnabled(!unlimited_on_ && IntervalShown());
    Write(count_, unlimited_on_ ? QStringLiteral("---") : QString::asprintf("%02d", count));
}

void CDialogCamera::SendIntervalTimer() {
    const IntervalLimits l = Limits();
    int interval = minutes_->text().toInt() * 60 + std::min(seconds_->text().toInt(), 59);
    interval = std::clamp(interval, l.min_seconds, l.max_seconds);
    const int count = unlimited_on_ ? 0 : std::clamp(count_->text().toInt(), 2, 99);
    Queue(VARNO::MakeIntervalTimerCommand(static_cast<uint16_t>(interval),
                                          static_cast<uint8_t>(count)));
    for (QLineEdit* e : {minutes_, seconds_, count_}) e->setModified(false);
}

void CDialogCamera::MinutesEdited() {
    const QString text = minutes_->text();
    int minutes = text.toInt();
    // A single small digit may be the first of two: wait for the second.
    if (text.size() < 2 && minutes < 7) return;
    const IntervalLimits l = Limits();
    if (minutes * 60 >= l.max_seconds) {
        minutes = l.max_seconds / 60;
        Write(seconds_, QString::asprintf("%02d", l.max_seconds % 60));
    }
    if (minutes == 0 && seconds_->text().toInt() < l.min_seconds)
        Write(seconds_, QString::asprintf("%02d", std::min(l.min_seconds, 59)));
    Write(minutes_, QString::asprintf("%02d", minutes));
    SendIntervalTimer();
}

void CDialogCamera::SecondsEdited() {
    if (seconds_->text().size() < 2) return;
    const IntervalLimits l = Limits();
    int seconds = std::min(seconds_->text().toInt(), 59);
    if (minutes_->text().toInt() * 60 >= l.max_seconds) seconds = l.max_seconds % 60;
    if (minutes_->text().toInt() == 0) seconds = std::max(seconds, std::min(l.min_seconds, 59));
    Write(seconds_, QString::asprintf("%02d", seconds));
    SendIntervalTimer();
}

void CDialogCamera::CountEdited() {
    if (count_->text().size() < 2) return;
    const int count = std::clamp(count_->text().toInt(), 2, Limits().max_count);
    Write(count_, QString::asprintf("%02d", count));
    SendIntervalTimer();
}

void CDialogCamera::EditFinished(QLineEdit* edit) {
    // Only what the user typed and has not been sent yet goes out on leaving.
    if (!edit->isModified()) return;
    const IntervalLimits l = Limits();
    if (edit == minutes_) {
        Write(minutes_,
              QString::asprintf("%02d", std::min(minutes_->text().toInt(), l.max_seconds / 60)));
    } else if (edit == seconds_) {
        int seconds = std::min(seconds_->text().toInt(), 59);
        if (minutes_->text().toInt() == 0) seconds = std::max(seconds, std::min(l.min_seconds, 59));
        Write(seconds_, QString::asprintf("%02d", seconds));
    } else {
        if (unlimited_on_) {
            Write(count_, QStringLiteral("---"));
        } else {
            Write(count_,
                  QString::asprintf("%02d", std::clamp(count_->text().toInt(), 2, l.max_count)));
        }
    }
    SendIntervalTimer();
}

void CDialogCamera::SetUnlimited(bool on) {
    unlimited_on_ = on;
    SetChecked(unlimited_, on);
    count_->setEnabled(!on && IntervalShown());
    Write(count_, on ? QStringLiteral("---") : QStringLiteral("02"));
}

bool CDialogCamera::IntervalShown() const {
    return !minutes_->isHidden();
}

void CDialogCamera::ShowInterval(bool shown) {
    for (QWidget* w : interval_widgets_) w->setVisible(shown);
    for (QLabel* l : interval_labels_) l->setVisible(shown);
    count_->setEnabled(shown && !unlimited_on_);
}

// ---- enabling ----

void CDialogCamera::EnablePanel(bool enable) {
    SetPanelEnabled(enable);
    // The drive list offers the camera's modes only while the panel is live.
    FillDrive(DriveMaskInForce());
    ApplyEnable();
    ShowInterval(drive_mode_ == kIntervalDrive && enable);
}

void CDialogCamera::ApplyEnable() {
    const bool on = PanelEnabled();
    area_->Enable(on);
    EnableControl(free_move_, on);
    EnableControl(face_, on);
    EnableControl(combos_[kFrameSize], on);
    for (Selector s : {kAfMode, kMetering, kDrive})
        EnableControl(combos_[s], on && has_options_[s]);
    for (QLineEdit* e : {minutes_, seconds_}) e->setEnabled(on);
    EnableControl(unlimited_, on);
}
