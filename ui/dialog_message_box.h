// CDialogMessageBox: the timed notice box. A caption, a message and an OK
// button; it closes by itself after its auto-close time (0 = only by OK).
// Opened window-modal with open(), never with a nested event loop, so the
// caller's window keeps running while it shows; finished() tells when it has
// closed.
#pragma once

#include <QDialog>
#include <QTimer>

class QLabel;

namespace kvx::ui {

class CDialogMessageBox : public QDialog {
    Q_OBJECT
public:
    // Centred over `centreOver` (global coordinates) when it is valid.
    CDialogMessageBox(const QString& caption, const QString& message, int autoCloseMs,
                      QWidget* parent = nullptr, const QRect& centreOver = {});

    QString Message() const;
    int AutoCloseMs() const { return autoCloseMs_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLabel* text_ = nullptr;
    QTimer timer_;
    int autoCloseMs_ = 0;
    QRect centreOver_;
};

}  // namespace kvx::ui
