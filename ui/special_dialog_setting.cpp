#include "ui/special_dialog_setting.h"

#include <QKeyEvent>

#include "gdip_button.h"
#include "gdip_toggle_button_ex.h"
#include "model/camera.h"
#include "model/record_layout.h"
#include "model/window_messages.h"
#include "ui/dialog_look.h"
#include "ui/special_dialog_ab.h"
#include "ui/special_dialog_color.h"
#include "ui/special_dialog_wb.h"

namespace kvx::ui {

using namespace VARNO::window_messages;

namespace {

constexpr int kHeaderHeight = 21;
constexpr int kPageHeight = 436;
constexpr int kColumnWidth = 394;

// Row 1..5 colour mode and parameter offsets in DataGroup6.
constexpr size_t kRowModeOffset[6] = {0, 7, 13, 19, 25, 31};

}  // namespace

CDialogSpecialSetting::CDialogSpecialSetting(ICommandSink& sink, const VARNO::CCamera& camera,
                                             const Handover& h, QWidget* parent)
    : QDialog(parent), camera_(camera), connected_(h.connected) {
    setWindowTitle(CDialogLook::Text(25000));
    CDialogLook::SetBackground(this, 1303);
    using VARNO::SettableField;
    auto byte = [&](int g, size_t at) { return camera.DataGroupByte(g, at); };

    CDialogSpecialAB::Start ab;
    ab.amount = h.amount;
    ab.setting = h.setting;
    ab.qmd = h.qmd;
    ab.available = h.autoBracketAvailable;
    ab.protocolMajor = h.protocolMajor;
    ab.bracketMask = camera.Settable(SettableField::BracketMask).value_or(0x03);
    ab_ = new CDialogSpecialAB(sink, ab, this);

    // The bracketing kind's own availability comes from the settable info
    // in force (CanSetInfo3 or 4).
    CDialogSpecialWB::Start wb;
    wb.kind = byte(6, VARNO::dg6::kBracketKind);
    wb.whiteBalance = byte(2, VARNO::dg2::kWhiteBalance);
    wb.count = byte(6, VARNO::dg6::kWbBracketCount);
    wb.axis = byte(6, VARNO::dg6::kWbBracketAxis);
    wb.step = byte(6, VARNO::dg6::kWbBracketAmount);
    wb.adjustBlueAmber = int8_t(byte(5, VARNO::dg5::kWbAdjust));
    wb.adjustGreenMagenta = int8_t(byte(5, VARNO::dg5::kWbAdjust + 1));
    wb.available = h.wbBracketAvailable;
    wb.qmd = h.qmd;
    wb.thirdSettableInfo = camera.CanSetInfoReceived(3) || camera.CanSetInfoReceived(4);
    wb_ = new CDialogSpecialWB(sink, wb, this);

    CDialogSpecialColor::Start color;
    color.kind = wb.kind;
    color.modes[0] = byte(3, VARNO::dg3::kColorMode);
    color.params[0] = {byte(3, VARNO::dg3::kContrast), byte(3, VARNO::dg3::kSharpness),
                       byte(3, VARNO::dg3::kSaturation), byte(5, VARNO::dg5::kFilterEffect),
                       byte(5, VARNO::dg5::kToningEffect)};
    for (int row = 1; row <= 5; ++row) {
        color.modes[size_t(row)] = byte(6, kRowModeOffset[row]);
        for (size_t i = 0; i < 5; ++i)
            color.params[size_t(row)][i] = byte(6, kRowModeOffset[row] + 1 + i);
    }
    color.available = h.colorBracketAvailable;
    color.qmd = h.qmd;
    color_ = new CDialogSpecialColor(sink, color, this);

    const uint32_t titles[3] = {25001, 25002, 25003};
    for (int i = 0; i < 3; ++i) {
        auto* t = new CGdipToggleButtonEx(this);
        t->SetImages(0, 2123, 2123, 2122, 2123, 2122);
        t->setText(CDialogLook::Text(titles[i]));
        headers_[size_t(i)] = t;
        connect(t, &CGdipToggleButtonEx::clicked, this, [this, i] { OpenPage(i); });
    }
    ok_ = CDialogLook::TextButton(this, 30003, QPoint(78, 509));
    cancel_ = CDialogLook::TextButton(this, 30004, QPoint(208, 509));
    connect(ok_, &CGdipButton::clicked, this, &QDialog::accept);
    connect(cancel_, &CGdipButton::clicked, this, &QDialog::reject);
    SetConnected(h.connected);
    OpenPage(0);
    // Keys belong to the dialog (arrows to the grid), never to a child that
    // happens to hold the focus.
    for (QWidget* w : findChildren<QWidget*>()) w->setFocusPolicy(Qt::NoFocus);
    setFocusPolicy(Qt::StrongFocus);
}

CDialogSpecialSetting::~CDialogSpecialSetting() = default;

void CDialogSpecialSetting::OpenPage(int page) {
    if (page < 0 || page > 2) return;
    QWidget* pages[3] = {ab_, wb_, color_};
    int y = 0;
    for (int i = 0; i < 3; ++i) {
        headers_[size_t(i)]->setGeometry(0, y, 393, kHeaderHeight);
        headers_[size_t(i)]->SetState(i == page ? 1 : 0);
        y += kHeaderHeight;
        if (i == page) {
            pages[i]->setGeometry(0, y, kColumnWidth, kPageHeight);
            pages[i]->show();
            y += kPageHeight;
        } else {
            pages[i]->hide();
        }
    }
    open_ = page;
}

void CDialogSpecialSetting::SetConnected(bool connected) {
    connected_ = connected;
    ok_->setEnabled(connected);
    ok_->SetDisabledLook(!connected);
}

bool CDialogSpecialSetting::HandlePageMessage(int target, uint32_t message, uintptr_t wParam) {
    if (message != kMsgFunctionAvailable && message != kMsgFunctionUnavailable) return false;
    const bool available = message == kMsgFunctionAvailable;
    switch (target) {
        case kTargetSpecialAB:
            ab_->Availability(available, wParam != 0);
            break;
        case kTargetSpecialWB:
            wb_->Availability(available);
            break;
        case kTargetSpecialColor:
            color_->Availability(available);
            break;
        default:
            return false;
    }
    // Every page's enabling re-applies the OK rule.
    SetConnected(connected_);
    return true;
}

int8_t CDialogSpecialSetting::Amount() const {
    return ab_->KeptAmount();
}
uint8_t CDialogSpecialSetting::Setting() const {
    return ab_->SettingCode();
}

void CDialogSpecialSetting::keyPressEvent(QKeyEvent* event) {
    // Arrow keys move the white-balance page's grid point while that page is
    // open; no key reaches the dialog's own handling, so Enter and Escape
    // never close it.
    int dx = 0, dy = 0;
    switch (event->key()) {
        case Qt::Key_Left:
            dx = -1;
            break;
        case Qt::Key_Right:
            dx = 1;
            break;
        case Qt::Key_Up:
            dy = -1;
            break;
        case Qt::Key_Down:
            dy = 1;
            break;
        default:
            break;
    }
    if ((dx || dy) && open_ == 1) wb_->StepGrid(dx, dy);
    event->accept();
}

// ---- VARNO::ISpecialSettingsDialog -----------------------------------------

void CDialogSpecialSetting::SetBracketValues(int8_t, uint8_t) {
    // The page keeps its own camera amount and setting from the Show calls.
}
void CDialogSpecialSetting::ShowBracketAmount(int8_t amount) {
    ab_->ShowBracketAmount(amount);
}
void CDialogSpecialSetting::ShowBracketSetting(uint8_t setting) {
    ab_->ShowBracketSetting(setting);
}
void CDialogSpecialSetting::FillBracketLists(uint32_t mask) {
    ab_->FillBracketLists(mask);
}
void CDialogSpecialSetting::ShowQmdMode(uint8_t value) {
    ab_->ShowQmdMode(value);
    wb_->SetQmd(value == 1);
    color_->SetQmd(value == 1);
}
void CDialogSpecialSetting::ShowWhiteBalance(uint8_t code) {
    wb_->SetThirdSettableInfo(camera_.CanSetInfoReceived(3) || camera_.CanSetInfoReceived(4));
    wb_->ShowWhiteBalance(code);
}
void CDialogSpecialSetting::ShowAdjustValue(int8_t blueAmber, int8_t greenMagenta) {
    wb_->ShowAdjustValue(blueAmber, greenMagenta);
}
void CDialogSpecialSetting::ShowColorMode(uint8_t code) {
    color_->ShowColorMode(code);
}
int CDialogSpecialSetting::ShownColorRow() const {
    return color_->ShownRow();
}
void CDialogSpecialSetting::ShowBaseParameter(VARNO::ColorParam param, uint8_t value) {
    color_->ShowBaseParameter(param, value);
}
void CDialogSpecialSetting::SetWbBracketAvailable(bool available) {
    wb_->SetAvailable(available);
}
void CDialogSpecialSetting::SetColorBracketAvailable(bool available) {
    color_->SetAvailable(available);
}
void CDialogSpecialSetting::ShowWbBracketActive(uint8_t kind) {
    wb_->ShowWbBracketActive(kind);
}
void CDialogSpecialSetting::ShowColorBracketActive(uint8_t kind) {
    color_->ShowColorBracketActive(kind);
}
void CDialogSpecialSetting::ShowWbBracketCount(uint8_t count) {
    wb_->ShowWbBracketCount(count);
}
void CDialogSpecialSetting::ShowWbBracketAmount(uint8_t code) {
    wb_->ShowWbBracketAmount(code);
}
void CDialogSpecialSetting::ShowWbBracketAxis(uint8_t code) {
    wb_->ShowWbBracketAxis(code);
}
void CDialogSpecialSetting::ShowRowColorMode(int row, uint8_t code) {
    color_->ShowRowColorMode(row, code);
}
void CDialogSpecialSetting::ShowRowParameters(int row, const uint8_t params[5]) {
    color_->ShowRowParameters(row, params);
}

}  // namespace kvx::ui
