// CPictureDialog: what the preferences dialog, the folder picker and the new
// folder dialog share: a background picture that sets the client size,
// white labels on it, the program's text buttons, and one place through
// which every notice to the user goes (tests read it there instead of
// waiting on a message box).
#pragma once

#include <QDialog>
#include <QImage>
#include <QString>
#include <functional>

class CGdipButton;
class QLabel;
class QLineEdit;

namespace kvx::prefs {

class CPictureDialog : public QDialog {
    Q_OBJECT
public:
    // Shows a notice (title, text) to the user. The default is a warning
    // box over the dialog.
    using NoticeFunction = std::function<void(const QString& title, const QString& text)>;
    void SetNoticeFunction(NoticeFunction notice) { notice_ = std::move(notice); }
    // The last notice shown, empty when none.
    const QString& LastNotice() const { return lastNotice_; }

    // Colour behind the bottom button bar of the backgrounds.
    static QColor ButtonBarColour() { return {34, 34, 34}; }
    static QColor PanelColour() { return {44, 44, 44}; }

protected:
    // picture: the number of the background; the client area takes its size.
    CPictureDialog(QWidget* parent, int picture, const QString& title);

    QLabel* AddLabel(int id, const QString& text, const QRect& where);
    // A text button on the pictures 217..220 with the given background.
    CGdipButton* AddTextButton(int id, const QString& text, const QRect& where,
                               const QColor& background);
    // An edit box: black text on white.
    QLineEdit* AddEdit(int id, const QRect& where);

    void Notice(const QString& text);
    void paintEvent(QPaintEvent* event) override;

private:
    QImage background_;
    NoticeFunction notice_;
    QString lastNotice_;
};

}  // namespace kvx::prefs
