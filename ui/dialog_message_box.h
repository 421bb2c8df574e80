// CDialogMessageBox: the timed notice box. Its user sets the caption, the
// message, the owner's rectangle and an auto-close time (0 = none), then
// shows it. When the time runs out the box closes, unless pictures are
// still waiting in the camera: then it stays open without its timer until
// its user (or the end of the transfers) closes it.
//
// The box never runs a nested event loop of its own: it is shown with
// open(), so the window thread keeps its loop; finished() tells its user
// that it closed and how.
#pragma once

#include <QDialog>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QRect>
#include <QTimer>
#include <functional>

namespace kvx::ui {

class CDialogMessageBox final : public QDialog {
    Q_OBJECT
public:
    explicit CDialogMessageBox(QWidget* parent = nullptr);

    // Longest caption and message kept; longer ones are cut here, not by the layout.
    static constexpr int kMaxText = 256;

    void SetCaption(const QString& caption);
    // "\r\n" in the message breaks the line.
    void SetMessage(const QString& message);
    void SetOwnerRect(const QRect& rect) { owner_ = rect; }
    void SetAutoCloseMs(uint32_t ms) { autoCloseMs_ = ms; }
    uint32_t AutoCloseMs() const { return autoCloseMs_; }
    // How many pictures are still waiting when the time runs out (default: none).
    void SetPendingPictures(std::function<int()> pending) { pending_ = std::move(pending); }

    // Shows the box centred on the owner's rectangle (window-modal, non-blocking).
    void Open();

    QString Message() const { return message_->text(); }
    bool TimerRunning() const { return timer_.isActive(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void OnTimer();
    void LayOut();

    QImage background_;
    QLabel* message_;
    QPushButton* ok_;
    QTimer timer_;
    QRect owner_;
    uint32_t autoCloseMs_ = 0;
    std::function<int()> pending_;
};

}  // namespace kvx::ui
