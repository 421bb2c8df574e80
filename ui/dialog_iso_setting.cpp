#include "ui/dialog_iso_setting.h"

#include <QLabel>

#include "gdip_button.h"
#include "model/camera.h"
#include "model/record_layout.h"
#include "model/setting_commands.h"
#include "model/window_messages.h"
#include "static_combo.h"
#include "ui/dialog_look.h"

namespace kvx::ui {

using namespace VARNO::window_messages;

CDialogIsoSetting::CDialogIsoSetting(ICommandSink& sink, const VARNO::CCamera& camera,
                                     QWidget* parent)
    : QDialog(parent), sink_(sink), camera_(camera) {
    setWindowTitle(CDialogLook::Text(35000));
    CDialogLook::SetBackground(this, 262);
    labels_[0] = CDialogLook::Label(this, 35001, QRect(14, 6, 390, 14));
    labels_[1] = CDialogLook::Label(this, 35003, QRect(10, 44, 110, 14), Qt::AlignRight);
    labels_[2] = CDialogLook::Label(this, 35002, QRect(10, 76, 110, 14), Qt::AlignRight);
    labels_[3] = CDialogLook::Label(this, 35004, QRect(14, 115, 390, 14));
    lowerSel_ = CDialogLook::Selector(this, QPoint(150, 41));
    upperSel_ = CDialogLook::Selector(this, QPoint(150, 73));
    stepSel_ = CDialogLook::Selector(this, QPoint(150, 156));
    stepSel_->AddItem(CDialogLook::Text(35005), 0, 1);
    stepSel_->AddItem(CDialogLook::Text(35006), 1, 2);
    ok_ = CDialogLook::TextButton(this, 30003, QPoint(78, 210));
    cancel_ = CDialogLook::TextButton(this, 30004, QPoint(208, 210));
    connect(lowerSel_, &CStaticCombo::picked, this, &CDialogIsoSetting::PickLower);
    connect(upperSel_, &CStaticCombo::picked, this, &CDialogIsoSetting::PickUpper);
    connect(stepSel_, &CStaticCombo::picked, this, &CDialogIsoSetting::PickStep);
    connect(ok_, &CGdipButton::clicked, this, &CDialogIsoSetting::Ok);
    connect(cancel_, &CGdipButton::clicked, this, &QDialog::reject);
    step_ = camera_.DataGroupByte(4, VARNO::dg4::kIsoStep);
    upper_ = camera_.DataGroupByte(4, VARNO::dg4::kIsoAutoUpper);
    lower_ = camera_.DataGroupByte(4, VARNO::dg4::kIsoAutoLower);
    BuildLists();
}

bool CDialogIsoSetting::WholeSteps() const {
    return camera_.DataGroupByte(4, VARNO::dg4::kIsoStep) == 1;
}

void CDialogIsoSetting::FillLimits(CStaticCombo* selector, const IsoLimitList& list,
                                   bool keepWhenAbsent) {
    const int previous = CDialogLook::SelectedCode(selector);
    selector->Clear();
    for (size_t i = 0; i < list.codes.size(); ++i)
        selector->AddItem(QString::fromStdString(IsoLimitText(list.codes[i])), uint8_t(i),
                          list.codes[i]);
    if (list.selection >= 0)
        selector->Select(list.selection);
    else if (!(keepWhenAbsent && previous >= 0 && CDialogLook::SelectCode(selector, previous)))
        selector->Select(-1);
}

void CDialogIsoSetting::BuildLists() {
    const uint8_t s = camera_.DataGroupByte(4, VARNO::dg4::kIsoStep);
    const uint8_t upper = camera_.DataGroupByte(4, VARNO::dg4::kIsoAutoUpper);
    const uint8_t lower = camera_.DataGroupByte(4, VARNO::dg4::kIsoAutoLower);
    stepSel_->Select(s == 1 ? 0 : 1);
    const IsoAutoRange range = IsoAutoRangeOf(camera_);
    // A value the lists do not hold leaves the previous selection.
    FillLimits(lowerSel_, IsoLowerLimitList(s == 1, range, upper, lower), true);
    FillLimits(upperSel_, IsoUpperLimitList(s == 1, range, lower, upper), true);
}

void CDialogIsoSetting::PickLower(int index) {
    if (index < 0 || index >= lowerSel_->Count()) return;
    const uint8_t l = uint8_t(lowerSel_->Code(index));
    const int previousUpper = CDialogLook::SelectedCode(upperSel_);
    FillLimits(upperSel_,
               IsoUpperLimitList(WholeSteps(), IsoAutoRangeOf(camera_), l,
                                 uint8_t(previousUpper < 0 ? 0 : previousUpper)),
               false);
    sink_.QueueCommand(VARNO::MakeSettingCommand(VARNO::Setting::IsoAutoLower, l));
    lower_ = l;
}

void CDialogIsoSetting::PickUpper(int index) {
    if (index < 0 || index >= upperSel_->Count()) return;
    const uint8_t u = uint8_t(upperSel_->Code(index));
    const int previousLower = CDialogLook::SelectedCode(lowerSel_);
    FillLimits(lowerSel_,
               IsoLowerLimitList(WholeSteps(), IsoAutoRangeOf(camera_), u,
                                 uint8_t(previousLower < 0 ? 0 : previousLower)),
               false);
    sink_.QueueCommand(VARNO::MakeSettingCommand(VARNO::Setting::IsoAutoUpper, u));
    upper_ = u;
}

void CDialogIsoSetting::PickStep(int index) {
    if (index < 0 || index > 1) return;
    // The lists change when the camera reports the new step.
    sink_.QueueCommand(VARNO::MakeSettingCommand(VARNO::Setting::IsoStep, index + 1));
}

bool CDialogIsoSetting::HandleMessage(uint32_t message, uintptr_t, intptr_t) {
    if (message == kMsgIsoDataGroup4Changed)
        BuildLists();
    else if (message == kMsgIsoDialogEnable || message == kMsgIsoDialogDisable)
        Enable(message == kMsgIsoDialogEnable);
    else
        return false;
    return true;
}

void CDialogIsoSetting::Enable(bool on) {
    for (QLabel* l : labels_)
        if (l) CDialogLook::SetGrey(l, !on);
    for (CStaticCombo* c : {lowerSel_, upperSel_, stepSel_}) c->Enable(on);
    ok_->setEnabled(on);
    ok_->SetDisabledLook(!on);
}

void CDialogIsoSetting::Ok() {
    // A selector left without a selection keeps the last value chosen or
    // reported rather than reading a row that is not there.
    if (stepSel_->Selected() >= 0) step_ = uint8_t(stepSel_->Selected() + 1);
    if (int u = CDialogLook::SelectedCode(upperSel_); u >= 0) upper_ = uint8_t(u);
    if (int l = CDialogLook::SelectedCode(lowerSel_); l >= 0) lower_ = uint8_t(l);
    accept();
}

}  // namespace kvx::ui
