// CDialogSpecialColor: the "Color Mode BKT" page: activation, the camera's
// own colour mode and the colour modes of the five bracket frames, and the
// contrast, sharpness, saturation, filter and toning of the row shown (the
// camera's own settings, or one frame's). Every change is queued at once and
// the page shows what the camera reports back.
#pragma once

#include <QWidget>
#include <array>
#include <cstdint>

#include "model/dispatch_interfaces.h"
#include "ui/command_sink.h"

class CGdipButton;
class CGdipHoldButton;
class CGdipSlider;
class CStaticCombo;
class QLabel;

namespace kvx::ui {

class CDialogSpecialColor : public QWidget {
    Q_OBJECT
public:
    // Row 0: the camera's own colour mode and parameters; rows 1..5: BKT1..5.
    // Parameters: contrast, sharpness, saturation (signed), filter, toning.
    struct Start {
        uint8_t kind = 0;
        std::array<uint8_t, 6> modes{};
        std::array<std::array<uint8_t, 5>, 6> params{};
        bool available = false;
        bool qmd = false;
    };
    CDialogSpecialColor(ICommandSink& sink, const Start& start, QWidget* parent = nullptr);

    void ShowColorBracketActive(uint8_t kind);
    void SetAvailable(bool available) { available_ = available; }
    void SetQmd(bool on) { qmd_ = on; }
    void Availability(bool available);
    void ShowColorMode(uint8_t code);
    void ShowBaseParameter(VARNO::ColorParam param, uint8_t value);
    void ShowRowColorMode(int row, uint8_t code);
    void ShowRowParameters(int row, const uint8_t params[5]);
    // The row shown: 0 the camera's settings, 1..5 a frame.
    int ShownRow() const { return shown_; }
    void SelectRow(int row);

    bool Active() const { return active_; }
    CStaticCombo* ModeSelector(int row) const { return modes_[size_t(row)]; }
    CGdipButton* RowButton(int row) const { return rowButtons_[size_t(row)]; }
    CGdipSlider* ParamSlider(int i) const { return sliders_[size_t(i)]; }
    CGdipHoldButton* ParamPlus(int i) const { return plus_[size_t(i)]; }
    CStaticCombo* FilterSelector() const { return filter_; }
    CStaticCombo* ToningSelector() const { return toning_; }
    CGdipButton* ActivateToggle() const { return toggle_; }
    QString ParamText(int i) const;

private:
    void Apply(bool enabled, bool available, bool active);
    void ApplyBwRule();
    void ShowParams();
    void ParamPosition(int i, int position);
    void SendParam(int i, uint8_t value);
    void PickMode(int row);
    void ToggleActive();

    ICommandSink& sink_;
    CGdipButton* toggle_ = nullptr;
    std::array<CStaticCombo*, 6> modes_{};
    std::array<CGdipButton*, 6> rowButtons_{};
    std::array<QLabel*, 6> rowLabels_{};
    std::array<CGdipSlider*, 3> sliders_{};
    std::array<CGdipHoldButton*, 3> minus_{};
    std::array<CGdipHoldButton*, 3> plus_{};
    std::array<QLabel*, 3> paramLabels_{};
    std::array<QLabel*, 3> paramValues_{};
    CStaticCombo* filter_ = nullptr;
    CStaticCombo* toning_ = nullptr;
    QLabel* filterLabel_ = nullptr;
    QLabel* toningLabel_ = nullptr;

    std::array<uint8_t, 6> rowModes_{};
    std::array<std::array<uint8_t, 5>, 6> params_{};
    int shown_ = 0;
    bool enabled_ = true;
    bool available_ = false;
    bool active_ = false;
    bool qmd_ = false;
    uint8_t kind_ = 0;
};

}  // namespace kvx::ui
