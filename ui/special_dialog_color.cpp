#include "ui/special_dialog_color.h"

#include <QLabel>
#include <algorithm>

#include "gdip_button.h"
#include "gdip_hold_button.h"
#include "gdip_slider.h"
#include "model/setting_commands.h"
#include "model/value_tables.h"
#include "static_combo.h"
#include "ui/dialog_look.h"

namespace kvx::ui {

namespace {

constexpr uint8_t kBw = 2;
constexpr VARNO::Setting kBaseParam[3] = {VARNO::Setting::Contrast, VARNO::Setting::Sharpness,
                                          VARNO::Setting::Saturation};

int PositionOf(uint8_t value) {
    return std::clamp((int(int8_t(value)) + 10) / 2, 0, 10);
}

QString ParamString(int position) {
    return QString::asprintf("%+2.1f", (2 * position - 10) / 10.0);
}

}  // namespace

CDialogSpecialColor::CDialogSpecialColor(ICommandSink& sink, const Start& start, QWidget* parent)
    : QWidget(parent), sink_(sink) {
    CDialogLook::SetPanelBackground(this);
    toggle_ = CDialogLook::Toggle(this, 25100, QPoint(10, 15));
    for (int row = 0; row < 6; ++row) {
        const int y = row == 0 ? 40 : 72 + 32 * (row - 1);
        rowLabels_[size_t(row)] = CDialogLook::Label(
            this, row == 0 ? 22007u : uint32_t(31300 + row), QRect(10, y, 118, 14));
        CStaticCombo* sel = CDialogLook::Selector(this, QPoint(138, y - 3));
        // "---" for a frame means "not used", so the frames offer it.
        CDialogLook::FillTable(sel, VARNO::ValueTable::ColorMode, row != 0);
        modes_[size_t(row)] = sel;
        CGdipButton* b = CDialogLook::RowButton(this, QPoint(362, y - 1));
        rowButtons_[size_t(row)] = b;
        connect(sel, &CStaticCombo::picked, this, [this, row] { PickMode(row); });
        connect(b, &CGdipButton::clicked, this, [this, row] { SelectRow(row); });
    }
    for (int i = 0; i < 3; ++i) {
        const int y = 245 + 35 * i;
        paramLabels_[size_t(i)] =
            CDialogLook::Label(this, uint32_t(22003 + i), QRect(90, y - 16, 130, 14));
        minus_[size_t(i)] = CDialogLook::StepButton(this, QPoint(68, y), false);
        sliders_[size_t(i)] = CDialogLook::Slider(this, QPoint(86, y), 10);
        plus_[size_t(i)] = CDialogLook::StepButton(this, QPoint(262, y), true);
        paramValues_[size_t(i)] = CDialogLook::Label(this, QString(), QRect(292, y + 1, 60, 14));
        connect(minus_[size_t(i)], &CGdipHoldButton::stepped, this,
                [this, i] { ParamPosition(i, sliders_[size_t(i)]->value() - 1); });
        connect(plus_[size_t(i)], &CGdipHoldButton::stepped, this,
                [this, i] { ParamPosition(i, sliders_[size_t(i)]->value() + 1); });
        connect(sliders_[size_t(i)], &CGdipSlider::userChanged, this,
                [this, i](int p) { ParamPosition(i, p); });
    }
    const auto right = Qt::AlignRight | Qt::AlignVCenter;
    filterLabel_ = CDialogLook::Label(this, 31306, QRect(10, 353, 130, 14), right);
    filter_ = CDialogLook::Selector(this, QPoint(150, 350));
    CDialogLook::FillTable(filter_, VARNO::ValueTable::FilterEffect);
    toningLabel_ = CDialogLook::Label(this, 31307, QRect(10, 385, 130, 14), right);
    toning_ = CDialogLook::Selector(this, QPoint(150, 382));
    CDialogLook::FillTable(toning_, VARNO::ValueTable::ToningEffect);
    connect(filter_, &CStaticCombo::picked, this, [this] {
        const int code = CDialogLook::SelectedCode(filter_);
        if (code > 0) SendParam(3, uint8_t(code));
    });
    connect(toning_, &CStaticCombo::picked, this, [this] {
        const int code = CDialogLook::SelectedCode(toning_);
        if (code > 0) SendParam(4, uint8_t(code));
    });
    connect(toggle_, &CGdipButton::clicked, this, &CDialogSpecialColor::ToggleActive);

    rowModes_ = start.modes;
    params_ = start.params;
    qmd_ = start.qmd;
    available_ = start.available;
    for (int row = 0; row < 6; ++row)
        if (row == 0)
            ShowColorMode(rowModes_[0]);
        else
            ShowRowColorMode(row, rowModes_[size_t(row)]);
    SelectRow(0);
    ShowColorBracketActive(start.kind);
}

QString CDialogSpecialColor::ParamText(int i) const {
    return paramValues_[size_t(i)]->text();
}

void CDialogSpecialColor::ShowColorBracketActive(uint8_t kind) {
    kind_ = kind;
    const bool available = !qmd_ && available_;
    Apply(enabled_, available, available && kind == 2);
}

void CDialogSpecialColor::Availability(bool available) {
    // The message says whether the main window finds the function available;
    // like the other pages, the page itself still asks the settable mask
    // (and QMD) before it offers activation.
    if (!available) {
        Apply(false, false, false);
        return;
    }
    const bool offered = !qmd_ && available_;
    Apply(true, offered, offered && kind_ == 2);
}

void CDialogSpecialColor::Apply(bool enabled, bool available, bool active) {
    enabled_ = enabled;
    active_ = active;
    const bool on = enabled && active;
    for (CStaticCombo* c : modes_) c->Enable(on);
    for (CGdipButton* b : rowButtons_) {
        b->setEnabled(on);
        b->SetDisabledLook(!on);
    }
    for (int i = 0; i < 2; ++i) sliders_[size_t(i)]->setEnabled(on);
    for (int i = 0; i < 3; ++i)
        for (CGdipHoldButton* b : {minus_[size_t(i)], plus_[size_t(i)]}) {
            b->setEnabled(on);
            b->SetDisabledLook(!on);
        }
    toggle_->setEnabled(enabled && available);
    toggle_->SetDisabledLook(!(enabled && available));
    toggle_->SetState(active ? CGdipButton::kStateChecked : CGdipButton::kStateNormal);
    for (QLabel* l : rowLabels_) CDialogLook::SetGrey(l, !on);
    for (int i = 0; i < 3; ++i) {
        CDialogLook::SetGrey(paramLabels_[size_t(i)], !on);
        CDialogLook::SetGrey(paramValues_[size_t(i)], !on);
    }
    ApplyBwRule();
}

void CDialogSpecialColor::ApplyBwRule() {
    const bool on = enabled_ && active_;
    const bool bw = rowModes_[size_t(shown_)] == kBw;
    filter_->Enable(bw && on);
    toning_->Enable(bw && on);
    sliders_[2]->setEnabled(!bw && on);
    for (CGdipHoldButton* b : {minus_[2], plus_[2]}) {
        b->setEnabled(!bw && on);
        b->SetDisabledLook(!(!bw && on));
    }
    CDialogLook::SetGrey(paramLabels_[2], bw || !on);
    CDialogLook::SetGrey(paramValues_[2], bw || !on);
    CDialogLook::SetGrey(filterLabel_, !bw || !on);
    CDialogLook::SetGrey(toningLabel_, !bw || !on);
}

void CDialogSpecialColor::SelectRow(int row) {
    if (row < 0 || row > 5) return;
    shown_ = row;
    for (int r = 0; r < 6; ++r)
        rowButtons_[size_t(r)]->SetState(r == row ? CGdipButton::kStateAlternate
                                                  : CGdipButton::kStateNormal);
    ShowParams();
    ApplyBwRule();
}

void CDialogSpecialColor::ShowParams() {
    const auto& p = params_[size_t(shown_)];
    for (int i = 0; i < 3; ++i) {
        const int pos = PositionOf(p[size_t(i)]);
        sliders_[size_t(i)]->setValue(pos);
        paramValues_[size_t(i)]->setText(ParamString(pos));
    }
    if (p[3] < 7) CDialogLook::SelectCode(filter_, p[3]);
    if (p[4] <= 10) CDialogLook::SelectCode(toning_, p[4]);
}

void CDialogSpecialColor::ParamPosition(int i, int position) {
    CGdipSlider* s = sliders_[size_t(i)];
    position = std::clamp(position, 0, 10);
    if (s->value() != position) s->setValue(position);
    paramValues_[size_t(i)]->setText(ParamString(position));
    if (s->isSliderDown()) return;  // sent when the drag ends
    const uint8_t value = uint8_t(int8_t(2 * position - 10));
    if (value == params_[size_t(shown_)][size_t(i)]) return;
    SendParam(i, value);
}

void CDialogSpecialColor::SendParam(int i, uint8_t value) {
    if (shown_ == 0) {
        const VARNO::Setting base = i < 3    ? kBaseParam[i]
                                    : i == 3 ? VARNO::Setting::FilterEffect
                                             : VARNO::Setting::ToningEffect;
        sink_.QueueCommand(VARNO::MakeSettingCommand(base, int8_t(value)));
        return;
    }
    // A frame's five parameters travel together: the others as the camera
    // last reported them.
    std::array<uint8_t, 5> p = params_[size_t(shown_)];
    p[size_t(i)] = value;
    if (auto cmd = VARNO::MakeColorBracketParamsCommand(shown_, p.data())) sink_.QueueCommand(*cmd);
}

void CDialogSpecialColor::PickMode(int row) {
    const int code = CDialogLook::SelectedCode(modes_[size_t(row)]);
    if (row == 0) {
        if (code > 0)
            sink_.QueueCommand(VARNO::MakeSettingCommand(VARNO::Setting::ColorMode, code));
        return;
    }
    // "---" for a frame means the frame is not used: sent as 0.
    if (auto cmd = VARNO::MakeColorBracketModeCommand(row, uint8_t(std::max(code, 0))))
        sink_.QueueCommand(*cmd);
}

void CDialogSpecialColor::ToggleActive() {
    const bool on = !active_;
    sink_.QueueCommand(VARNO::MakeSettingCommand(VARNO::Setting::BracketKind, on ? 2 : 0));
    Apply(enabled_, true, on);
}

void CDialogSpecialColor::ShowColorMode(uint8_t code) {
    if (CDialogLook::SelectCode(modes_[0], code)) rowModes_[0] = code;
    if (shown_ == 0) ApplyBwRule();
}

void CDialogSpecialColor::ShowBaseParameter(VARNO::ColorParam param, uint8_t value) {
    params_[0][size_t(param)] = value;
    if (shown_ == 0) ShowParams();
}

void CDialogSpecialColor::ShowRowColorMode(int row, uint8_t code) {
    if (row < 1 || row > 5) return;
    if (code >= 13) code = 0;
    rowModes_[size_t(row)] = code;
    CDialogLook::SelectCode(modes_[size_t(row)], code);
    if (shown_ == row) ApplyBwRule();
}

void CDialogSpecialColor::ShowRowParameters(int row, const uint8_t params[5]) {
    if (row < 1 || row > 5 || params == nullptr) return;
    std::copy(params, params + 5, params_[size_t(row)].begin());
    if (shown_ == row) ShowParams();
}

}  // namespace kvx::ui
