#include "dialog_exposure.h"

#include <algorithm>

#include "gdip_button.h"
#include "gdip_hold_button.h"
#include "gdip_slider.h"
#include "log/write_log.h"
#include "model/record_layout.h"
#include "model/setting_commands.h"
#include "model/setting_dispatcher.h"
#include "static_combo.h"

namespace {
constexpr int kRowY[] = {76, 113, 147, 217};
constexpr int kLabelY[] = {60, 96, 131, 201};
constexpr uint32_t kLabels[] = {20001, 20002, 20003, 20005};
constexpr VARNO::Setting kSettings[] = {VARNO::Setting::ShutterSpeed, VARNO::Setting::Aperture,
                                        VARNO::Setting::Iso, VARNO::Setting::ExposureComp};
constexpr uint8_t kQmdModeMask = 0x7A;  // P and S are not offered in QMD mode
constexpr uint8_t kAutoBracketDrive = 6;
constexpr uint8_t kIsoAutoReportedAs800 = 56;
constexpr uint32_t kIsoWholeStepDefault = 0x80FE;
}  // namespace

CDialogExposure::CDialogExposure(QWidget* parent, VARNO::CCamera& camera,
                                 kvx::ui::ICommandSink& sink)
    : CDialogPanel(parent, camera, sink) {
    AddLabel(20000, QRect(10, 30, 130, 14));
    mode_ = AddSelector(150, 26);
    FillSelector(mode_, VARNO::ValueTable::ExposureMode, 0xFFFF, -1);
    connect(mode_, &CStaticCombo::picked, this, [this](int index) {
        const uint8_t code = mode_->Code(index);
        if (code != 0) Queue(VARNO::MakeSettingCommand(VARNO::Setting::ExposureMode, code));
    });
    for (int q = 0; q < kQuantityCount; ++q) {
        Row& row = rows_[q];
        AddLabel(kLabels[q], QRect(88, kLabelY[q], 216, 14));
        row.minus = AddStepButton(false, {69, kRowY[q]});
        row.slider = AddSlider({86, kRowY[q]}, 0, 0);
        row.plus = AddStepButton(true, {262, kRowY[q]});
        row.value = AddValueText({291, kRowY[q] + 1});
        const auto quantity = static_cast<Quantity>(q);
        connect(row.minus, &CGdipHoldButton::stepped, this,
                [this, quantity] { Step(quantity, -1); });
        connect(row.plus, &CGdipHoldButton::stepped, this,
                [this, quantity] { Step(quantity, +1); });
        connect(row.slider, &CGdipSlider::userChanged, this,
                [this, quantity](int) { Step(quantity, 0); });
    }
    AddLabel(20006, QRect(38, 253, 150, 14), Qt::AlignRight | Qt::AlignVCenter);
    shift_down_ = AddStepButton(false, {200, 252});
    shift_up_ = AddStepButton(true, {230, 252});
    shift_value_ = AddValueText({291, 254}, "0");
    connect(shift_down_, &CGdipHoldButton::stepped, this,
            [this] { Queue(VARNO::MakeSettingCommand(VARNO::Setting::ProgramShift, -1)); });
    connect(shift_up_, &CGdipHoldButton::stepped, this,
            [this] { Queue(VARNO::MakeSettingCommand(VARNO::Setting::ProgramShift, +1)); });
    iso_auto_ = AddCheckButton(20004, QRect(70, 176, 140, 13));
    connect(iso_auto_, &CGdipButton::clicked, this, [this] {
        iso_auto_on_ = !iso_auto_on_;
        SetChecked(iso_auto_, iso_auto_on_);
        Queue(VARNO::MakeSettingCommand(VARNO::Setting::IsoAuto, iso_auto_on_ ? 1 : 0));
    });

    // Slider ranges: whole lists; exposure compensation between its -5.0 and
    // +5.0 entries (the list's own ends when it has none).
    SetRange(kShutter, 0, ListSize(kShutter) - 1);
    SetRange(kAperture, 0, ListSize(kAperture) - 1);
    SetRange(kIso, 0, ListSize(kIso) - 1);
    SetRange(kExpComp, 0, ListSize(kExpComp) - 1);
    // Until the camera says otherwise, the model's default exposure flags
    // decide whether Bulb and Sync can be reached.
    const int sync = Camera().ShutterSyncIndex();
    const uint32_t flags =
        Camera().SettableOf(1, VARNO::SettableField::ExposureFlags).value_or(0x01);
    const int base = sync >= 0 ? sync - 1 : ListSize(kShutter) - 1;
    shutter_lowest_ = (flags & 0x01) ? 0 : 1;
    shutter_highest_ = base + ((sync >= 0 && (flags & 0x10)) ? 1 : 0);
    for (int q = 0; q < kQuantityCount; ++q) {
        if (q != kExpComp) ShowAt(static_cast<Quantity>(q), 0);
    }
    ShowExposureMode(Camera().DataGroupByte(2, VARNO::dg2::kExposureMode));
    EnablePanel(false);
}

void CDialogExposure::RegisterWith(VARNO::CSettingDispatcher& dispatcher) {
    dispatcher.SetExposurePanel(this);
}

int CDialogExposure::ListSize(Quantity q) const {
    switch (q) {
        case kShutter:
            return static_cast<int>(Camera().ShutterList().size());
        case kAperture:
            return static_cast<int>(Camera().ApertureList().size());
        case kIso:
            return static_cast<int>(Camera().IsoList().size());
        case kExpComp:
            return std::max(0, Camera().ExpCompTop() - Camera().ExpCompBase() + 1);
        default:
            return 0;
    }
}

int CDialogExposure::CodeAt(Quantity q, int p) const {
    switch (q) {
        case kShutter:
            return Camera().ShutterCodeAt(p);
        case kAperture:
            return Camera().ApertureCodeAt(p);
        case kIso:
            return Camera().IsoCodeAt(p);
        case kExpComp:
            return p >= 0 && p < ListSize(kExpComp) ? Camera().ExpCodeAt(p + Camera().ExpCompBase())
                                                    : -1;
        default:
            return -1;
    }
}

void CDialogExposure::SetRange(Quantity q, int lower, int upper) {
    Row& row = rows_[q];
    row.slider->setRange(0, std::max(0, ListSize(q) - 1));
    row.lower = std::clamp(std::min(lower, upper), 0, row.slider->maximum());
    row.upper = std::clamp(std::max(lower, upper), 0, row.slider->maximum());
}

// Value text and readout of the entry at a slider position.
void CDialogExposure::ShowAt(Quantity q, int p) {
    Row& row = rows_[q];
    switch (q) {
        case kShutter: {
            if (p < 0 || p >= ListSize(q)) return;
            const auto& e = *Camera().ShutterList()[p];
            row.value->setText(QString::fromStdString(e.text));
            emit shutterReadout(QString::fromLatin1(e.readout), e.value == 0);
            return;
        }
        case kAperture: {
            if (p < 0 || p >= ListSize(q)) return;
            const auto& e = *Camera().ApertureList()[p];
            row.value->setText(QString::fromStdString(e.text));
            emit apertureReadout(static_cast<int>(e.code));
            return;
        }
        case kIso: {
            if (p < 0 || p >= ListSize(q)) return;
            const auto& e = *Camera().IsoList()[p];
            row.value->setText(QString::fromStdString(e.text));
            emit isoReadout(e.value);
            return;
        }
        case kExpComp: {
            const int index = p + Camera().ExpCompBase();
            if (p < 0 || p >= ListSize(q)) return;
            const auto& e = *Camera().ExpList()[index];
            row.value->setText(QString::fromStdString(e.text));
            if (Camera().DataGroupByte(1, VARNO::dg1::kBracketFrameCounter) == 0)
                emit exposureReadout(static_cast<int>(e.code));
            return;
        }
        default:
            return;
    }
}

void CDialogExposure::Step(Quantity q, int delta) {
    Row& row = rows_[q];
    const int before = row.slider->value();
    int p = std::clamp(before + delta, row.slider->minimum(), row.slider->maximum());
    if (q == kShutter) {
        p = std::clamp(p, std::min(shutter_lowest_, shutter_highest_), shutter_highest_);
        const int sync = Camera().ShutterSyncIndex();
        const bool sync_offered = sync >= 0 && shutter_highest_ >= sync;
        if (p > row.upper)
            p = (sync_offered && delta > 0) ? sync : row.upper;
        else if (p < row.lower)
            p = row.lower;
    } else {
        p = std::clamp(p, row.lower, row.upper);
    }
    if (q == kIso && Camera().CanSetInfoReceived(1)) {
        const uint32_t mask = Camera()
                                  .SettableOf(1, VARNO::SettableField::IsoWholeStepMask)
                                  .value_or(kIsoWholeStepDefault);
        if (mask != kIsoWholeStepDefault && p >= 0 && p < ListSize(kIso)) {
            static constexpr int kWhole[] = {50, 100, 200, 400, 800, 1600, 3200, 6400};
            const int value = Camera().IsoList()[p]->value;
            for (int i = 0; i < 8; ++i)
                if (kWhole[i] == value && !(mask & (1u << i))) p = last_valid_iso_;
        }
    }
    const int code = CodeAt(q, p);
    if (code < 0) return;
    // A step button at the end of its range moves nothing and sends nothing.
    if (delta != 0 && p == before) return;
    if (p != before) row.slider->setValue(p);
    if (q == kIso) last_valid_iso_ = p;
    if (code != row.last_sent && !row.slider->isSliderDown()) {
        Queue(VARNO::MakeSettingCommand(kSettings[q], code));
        row.last_sent = code;
        if (q == kExpComp)
            WriteLog(
                5, "--- EXP Comp. = %s, val=0x%x, slider pos=%d @ CDialogExposure::SetExposureComp",
                Camera().ExpList()[p + Camera().ExpCompBase()]->text.c_str(), code, p);
    }
    ShowAt(q, p);
}

void CDialogExposure::SetExposureComp() {
    Row& row = rows_[kExpComp];
    const int code = CodeAt(kExpComp, row.slider->value());
    if (code < 0) return;
    Queue(VARNO::MakeSettingCommand(kSettings[kExpComp], code));
    row.last_sent = code;
}

// ---- camera reports ----

void CDialogExposure::ShowShutterSpeed(uint8_t code) {
    const int index = Camera().ShutterIndex(VARNO::ShutterLookupCode(code));
    if (index < 0) return;
    rows_[kShutter].slider->setValue(index);
    rows_[kShutter].last_sent = static_cast<int>(Camera().ShutterList()[index]->code);
    ShowAt(kShutter, index);
}

void CDialogExposure::ShowAperture(uint8_t code) {
    const int index = Camera().ApertureIndex(code);
    if (index < 0) {
        emit apertureReadout(-1);
        return;
    }
    rows_[kAperture].slider->setValue(index);
    rows_[kAperture].last_sent = code;
    ShowAt(kAperture, index);
}

void CDialogExposure::ShowIso(uint8_t code) {
    const uint8_t looked = (code == 0 && iso_auto_on_) ? kIsoAutoReportedAs800 : code;
    const int index = Camera().IsoIndex(looked);
    if (index < 0) return;
    rows_[kIso].slider->setValue(index);
    rows_[kIso].last_sent = looked;
    last_valid_iso_ = index;
    ShowAt(kIso, index);
}

void CDialogExposure::UpdateExposureComp(uint8_t code, int caller) {
    const int index = Camera().ExpIndex(code);
    if (index < 0) return;
    const int p = index - Camera().ExpCompBase();
    if (p < 0 || p >= ListSize(kExpComp)) return;
    rows_[kExpComp].slider->setValue(p);
    rows_[kExpComp].last_sent = code;
    rows_[kExpComp].value->setText(QString::fromStdString(Camera().ExpList()[index]->text));
    WriteLog(5, "--- EXP Comp. = %s, val=0x%x, caller=%d @ CDialogExposure::UpdateExposureComp",
             Camera().ExpList()[index]->text.c_str(), code, caller);
}

void CDialogExposure::ShowProgramShift(int8_t shift) {
    shift_value_->setText(QString::number(shift));
}

void CDialogExposure::ShowIsoAuto(uint8_t value) {
    iso_auto_on_ = value == 1;
    SetChecked(iso_auto_, iso_auto_on_);
    Refill();
    ApplyEnable();
}

void CDialogExposure::ShowExposureMode(uint8_t mode) {
    bool shutter = false, aperture = false, shift = false, comp = false, iso_auto = false;
    switch (mode & 0x0F) {
        case 1:
            shift = comp = iso_auto = true;
            break;
        case 2:
            aperture = comp = iso_auto = true;
            break;
        case 3:
            shutter = comp = iso_auto = true;
            break;
        case 4:
            shutter = aperture = true;
            break;
        default:
            return;  // not a mode this panel knows: nothing changes
    }
    mode_known_ = true;
    shutter_allowed_ = shutter;
    aperture_allowed_ = aperture;
    shift_allowed_ = shift;
    comp_allowed_ = comp;
    iso_auto_allowed_ = iso_auto;
    ShowCode(mode_, (mode & 0xF0) ? (mode & 0xF0) : (mode & 0x0F));
    ApplyEnable();
    Row& s = rows_[kShutter];
    if (s.slider->isEnabled()) {
        const int v = s.slider->value();
        if (v < shutter_lowest_ || v > shutter_highest_)
            s.slider->setValue(std::clamp(v, shutter_lowest_, shutter_highest_));
        else
            ShowShutterSpeed(Camera().DataGroupByte(1, VARNO::dg1::kShutter));
    }
    if (rows_[kExpComp].slider->isEnabled()) {
        emit exposureReadout(-1);
        UpdateExposureComp(Camera().DataGroupByte(1, VARNO::dg1::kExposureLevel), 0);
    }
}

void CDialogExposure::FillExposureModeList(uint32_t mask) {
    if (qmd_) mask &= kQmdModeMask;
    const uint8_t m = Camera().DataGroupByte(2, VARNO::dg2::kExposureMode);
    mode_has_options_ = FillSelector(mode_, VARNO::ValueTable::ExposureMode, mask,
                                     (m & 0xF0) ? (m & 0xF0) : (m & 0x0F));
    ApplyEnable();
}

void CDialogExposure::Refill() {
    const int version = Camera().CanSetInfoReceived(4) ? 4 : 3;
    if (!Camera().CanSetInfoReceived(version)) return;
    FillExposureModeList(
        Camera().SettableOf(version, VARNO::SettableField::ExposureModeMask).value_or(0));
}

void CDialogExposure::EnableProgramShift(uint8_t settable) {
    shift_available_ = settable & 0x01;
    ApplyEnable();
}

void CDialogExposure::SetIsoAutoAvailable(bool available) {
    iso_auto_available_ = available;
    ApplyEnable();
}

void CDialogExposure::ResetIsoSlider() {
    SetRange(kIso, 0, ListSize(kIso) - 1);
    last_valid_iso_ = 0;
    rows_[kIso].last_sent = -1;
    ShowIso(Camera().DataGroupByte(1, VARNO::dg1::kIso));
}

void CDialogExposure::SetShutterLimits(int lowest, int highest) {
    shutter_lowest_ = std::max(0, lowest);
    shutter_highest_ = std::clamp(highest, shutter_lowest_, std::max(0, ListSize(kShutter) - 1));
}

void CDialogExposure::SetShutterRange(int lower, int upper) {
    SetRange(kShutter, lower, upper);
}
void CDialogExposure::SetApertureRange(int lower, int upper) {
    SetRange(kAperture, lower, upper);
}
void CDialogExposure::SetIsoRange(int lower, int upper) {
    SetRange(kIso, lower, upper);
}
void CDialogExposure::SetExposureCompRange(int lower, int upper) {
    SetRange(kExpComp, lower, upper);
}

void CDialogExposure::ApplyQmdMode(bool on) {
    qmd_ = on;
    Refill();
    ApplyEnable();
}

bool CDialogExposure::Bracketing() const {
    return Camera().DataGroupByte(2, VARNO::dg2::kDriveMode) == kAutoBracketDrive;
}

void CDialogExposure::EnablePanel(bool enable) {
    SetPanelEnabled(enable);
    ApplyEnable();
}

// One place decides what is adjustable: the panel's state, the exposure mode,
// the availability the camera reports, auto bracketing and QMD mode.
void CDialogExposure::ApplyEnable() {
    const bool on = PanelEnabled();
    const bool free = on && mode_known_ && !Bracketing();
    const bool info = Camera().CanSetInfoReceived(3) || Camera().CanSetInfoReceived(4);
    EnableControl(mode_, on && info && mode_has_options_);
    auto enable_row = [](const Row& row, bool enable) {
        EnableControl(row.slider, enable);
        EnableControl(row.minus, enable);
        EnableControl(row.plus, enable);
    };
    enable_row(rows_[kShutter], free && shutter_allowed_);
    enable_row(rows_[kAperture], free && aperture_allowed_);
    enable_row(rows_[kExpComp], free && comp_allowed_);
    enable_row(rows_[kIso], on && !qmd_);
    const bool shift = free && shift_allowed_ && shift_available_;
    EnableControl(shift_down_, shift);
    EnableControl(shift_up_, shift);
    EnableControl(iso_auto_, free && iso_auto_allowed_ && iso_auto_available_);
}
