#include "app/minimal_main_window.h"

#include <QCloseEvent>
#include <QLayout>
#include <QMenuBar>

#include "app/main_window.h"
#include "model/string_table.h"

namespace kvx::app {

namespace {
constexpr uint32_t kStrProgramName = 103;
}

std::unique_ptr<QWidget> CreateMainWindow(MainWindowHost& host) {
    return std::make_unique<MinimalMainWindow>(host);
}

MinimalMainWindow::MinimalMainWindow(MainWindowHost& host) : host_(host) {
    setWindowTitle(QString::fromUtf8(VARNO::StringText(kStrProgramName)));
    setFont(host_.DialogFont());
    auto* central = new QWidget(this);  // owned by the window
    central->setFixedSize(kMainWindowWidth, kMainWindowHeight);
    central->setAutoFillBackground(true);
    QPalette palette = central->palette();
    palette.setColor(QPalette::Window, QColor(62, 60, 58));
    palette.setColor(QPalette::WindowText, Qt::white);
    central->setPalette(palette);
    setCentralWidget(central);
    QMenu* file = menuBar()->addMenu(tr("&File"));
    file->addAction(tr("E&xit"), this, &QWidget::close);
    QMenu* help = menuBar()->addMenu(tr("&Help"));
    help->addAction(tr("&About"), this, [this] { host_.ShowAbout(this); });
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    move(host_.Settings().windowLeft, host_.Settings().windowTop);
}

void MinimalMainWindow::closeEvent(QCloseEvent* event) {
    event->accept();
    if (closed_) return;
    closed_ = true;
    const QPoint origin = isMinimized() || isMaximized() ? normalGeometry().topLeft() : pos();
    host_.Settings().windowLeft = origin.x();
    host_.Settings().windowTop = origin.y();
    host_.MainWindowClosed(0);
}

}  // namespace kvx::app
