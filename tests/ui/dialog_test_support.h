// What the dialog tests share: a command sink that records, the commands a
// user's step is expected to queue, and mouse clicks sent straight to a
// widget.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QMouseEvent>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "model/cam_command.h"
#include "model/setting_commands.h"
#include "static_combo.h"
#include "ui/command_sink.h"
#include "vcam/virtual_camera.h"

namespace dialogtest {

class RecordingSink final : public kvx::ui::ICommandSink {
public:
    bool QueueCommand(const tag_CAM_COMMAND& command) override {
        commands.push_back(command);
        return true;
    }
    std::vector<tag_CAM_COMMAND> Take() {
        std::vector<tag_CAM_COMMAND> out;
        out.swap(commands);
        return out;
    }
    std::vector<tag_CAM_COMMAND> commands;
};

// A readable form of a command, so a mismatch shows what was queued.
inline std::string Describe(const tag_CAM_COMMAND& c) {
    char buf[160];
    if (c.command == kCmdClockAdjust || c.command == kCmdSnap) {
        const uint8_t* b = c.command == kCmdClockAdjust ? c.payload.clock : c.payload.shutter;
        const int n = c.command == kCmdClockAdjust ? 8 : 4;
        std::string s = c.command == kCmdClockAdjust ? "clock" : "release";
        for (int i = 0; i < n; ++i) s += " " + std::to_string(b[i]);
        return s;
    }
    std::snprintf(buf, sizeof buf, "0x%X F1=0x%02X F2=0x%02X %s=%d", unsigned(c.command),
                  c.payload.setting.Field1, c.payload.setting.Field2, c.extended ? "ext" : "val",
                  int(c.payload.setting.value));
    std::string s = buf;
    if (c.extended)
        for (int i = 0; i < c.payload.setting.value && i < 32; ++i)
            s += " " + std::to_string(c.payload.setting.data[i]);
    return s;
}

inline std::vector<std::string> Describe(const std::vector<tag_CAM_COMMAND>& v) {
    std::vector<std::string> out;
    for (const auto& c : v) out.push_back(Describe(c));
    return out;
}

inline void Click(QAbstractButton* b) {
    const QPoint at = b->rect().center();
    QMouseEvent press(QEvent::MouseButtonPress, at, b->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, at, b->mapToGlobal(at), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(b, &press);
    QCoreApplication::sendEvent(b, &release);
}

// The user picks the row with `code` in a selector (as a pick, not a set).
// Only offered rows can be picked, as in the drop list.
inline void Pick(CStaticCombo* c, int code) {
    const int i = c->IndexOfOfferedCode(uint8_t(code));
    ASSERT_GE(i, 0) << "no offered row with code " << code;
    c->Select(i);
    emit c->picked(i);
}

inline std::vector<int> Codes(const CStaticCombo* c) {
    std::vector<int> out;
    for (int i = 0; i < c->Count(); ++i) out.push_back(c->Code(i));
    return out;
}

// The camera's clock as a local time of the computer.
inline std::time_t LocalTimeOf(const kvx::vcam::CameraClockTime& c) {
    std::tm t{};
    t.tm_year = c.year - 1900;
    t.tm_mon = c.month - 1;
    t.tm_mday = c.day;
    t.tm_hour = c.hour;
    t.tm_min = c.minute;
    t.tm_sec = c.second;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

}  // namespace dialogtest
