// kvx-control-gallery OUTDIR: renders every custom control in each of its
// states, the six readouts with sample texts over the window background, and
// a sheet of every generated picture, into PNG files for a person to judge.
#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QEnterEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QSaveFile>
#include <cstdio>
#include <functional>

#include "digital_panel.h"
#include "gdip_button.h"
#include "gdip_hold_button.h"
#include "gdip_slider.h"
#include "gdip_toggle_button_ex.h"
#include "resource_images.h"

namespace {

const QColor kPanelColour(0x2C, 0x2C, 0x2C);
const QColor kWindowColour(62, 60, 58);

bool Save(const QImage& image, const QString& path) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !image.save(&file, "PNG") || !file.commit()) {
        std::fprintf(stderr, "kvx-control-gallery: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

QWidget* Canvas(QSize size, QColor colour) {
    auto* w = new QWidget;
    w->resize(size);
    w->setAutoFillBackground(true);
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, colour);
    pal.setColor(QPalette::WindowText, Qt::white);
    w->setPalette(pal);
    return w;
}

void Caption(QWidget* parent, int x, int y, const QString& text, int width = 120) {
    auto* label = new QLabel(text, parent);
    label->setGeometry(x, y, width, 16);
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, QColor(200, 198, 194));
    label->setPalette(pal);
}

void Hover(QWidget* w) {
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
    QCoreApplication::sendEvent(w, &enter);
}

// The five looks of a button: normal, hover, pressed, disabled, and the
// owner's alternate state (toggled / checked / selected) when it has one.
enum class Look { kNormal, kHover, kPressed, kDisabled, kToggled };
const Look kLooks[] = {Look::kNormal, Look::kHover, Look::kPressed, Look::kDisabled,
                       Look::kToggled};
const char* const kLookNames[] = {"normal", "hover", "pressed", "disabled", "toggled"};

template <typename Button>
void Apply(Button* b, Look look, int toggled_state) {
    switch (look) {
        case Look::kNormal:
            break;
        case Look::kHover:
            Hover(b);
            break;
        case Look::kPressed:
            b->setDown(true);
            break;
        case Look::kDisabled:
            b->SetDisabledLook(true);
            b->setEnabled(false);
            break;
        case Look::kToggled:
            b->SetState(toggled_state);
            break;
    }
}

QImage ControlsSheet() {
    std::unique_ptr<QWidget> canvas(Canvas({930, 560}, kPanelColour));
    QWidget* c = canvas.get();
    const int col0 = 150, step = 130;
    for (int i = 0; i < 5; ++i) Caption(c, col0 + i * step, 6, kLookNames[i]);

    struct Row {
        const char* name;
        int kind, n, h, p, d, alt, mark;
        QSize size;
        QString text;
        int toggled;
    };
    const Row rows[] = {
        {"AF Capture 159", 0, 159, 160, 161, 162, 0, 0, {50, 50}, {}, -1},
        {"Capture 163", 0, 163, 164, 165, 166, 0, 0, {50, 50}, {}, -1},
        {"AF 167", 0, 167, 168, 169, 170, 0, 0, {50, 50}, {}, -1},
        {"AB Setting 155", 0, 155, 156, 157, 158, 0, 0, {40, 40}, {}, -1},
        {"AE/AF lock 172", 0, 172, 172, 173, 171, 173, 0, {17, 17}, {}, 1},
        {"OK 217", 0, 217, 219, 218, 220, 0, 0, {109, 22}, "OK", -1},
        {"check box 175", 3, 175, 176, 176, 177, 0, 174, {110, 13}, "ISO Auto", 2},
        {"radio 179", 2, 179, 179, 179, 179, 178, 0, {110, 13}, "Rename", 1},
    };
    int y = 28;
    for (const Row& r : rows) {
        Caption(c, 8, y + r.size.height() / 2 - 8, r.name, 140);
        for (int i = 0; i < 5; ++i) {
            if (kLooks[i] == Look::kToggled && r.toggled < 0) continue;
            auto* b = new CGdipButton(c);
            b->SetImages(r.kind, r.n, r.h, r.p, r.d, r.alt, r.mark);
            b->setGeometry(col0 + i * step, y, r.size.width(), r.size.height());
            if (!r.text.isEmpty()) {
                b->setText(r.text);
                b->SetWithText(true);
                b->SetCentredText(true);
            }
            Apply(b, kLooks[i], r.toggled);
        }
        y += r.size.height() + 12;
    }
    // Hold buttons: left, right, minus, plus.
    Caption(c, 8, y, "hold 2104..2119", 140);
    for (int i = 0; i < 4; ++i) {
        for (int a = 0; a < 4; ++a) {
            auto* b = new CGdipHoldButton(c);
            const int first = 2104 + a * 4;
            b->SetImages(0, first, first + 1, first + 2, first + 3);
            b->setGeometry(col0 + i * step + a * 22, y, 17, 18);
            Apply(b, kLooks[i], 0);
        }
    }
    y += 30;
    // Live view toggle and a panel header.
    Caption(c, 8, y + 12, "Live View 268", 140);
    for (int i = 0; i < 5; ++i) {
        auto* t = new CGdipToggleButtonEx(c);
        t->SetImages(0, 268, 269, 270, 271, 272);
        t->setGeometry(col0 + i * step, y, 40, 40);
        Apply(t, kLooks[i], 1);
    }
    y += 52;
    const char* header_looks[] = {"closed", "closed, hover", "open", "disabled"};
    for (int i = 0; i < 4; ++i) {
        auto* t = new CGdipToggleButtonEx(c);
        t->SetImages(0, 2123, 2123, 2122, 2123, 2122);
        t->setText(i == 2 ? "Camera Setting" : "Exposure Setting ");
        t->setGeometry(150, y + i * 24, 393, 21);
        if (i == 1) Hover(t);
        if (i == 2) t->SetState(1);
        if (i == 3) t->SetDisabledLook(true);
        Caption(c, 8, y + i * 24 + 2, QString("header, ") + header_looks[i], 140);
    }
    y += 4 * 24 + 8;
    // The value selector's parts as a selector shows them: closed field in
    // each state, and an open list under it with one row highlighted.
    {
        struct State {
            const char* name;
            int body, button;
            bool grey;
        };
        const State states[] = {{"selector", 195, 190, false},
                                {"hover", 194, 189, false},
                                {"open", 194, 188, false},
                                {"disabled", 196, 191, true}};
        QImage strip(4 * 230, 22 + 3 * 18 + 4, QImage::Format_RGB32);
        strip.fill(kPanelColour);
        QPainter p(&strip);
        QFont font("Verdana");
        font.setPixelSize(11);
        p.setFont(font);
        for (int i = 0; i < 4; ++i) {
            const int x = i * 230;
            p.drawImage(x, 0, kvx::res::LoadPicture(states[i].body));
            p.drawImage(x + 192, 0, kvx::res::LoadPicture(states[i].button));
            p.setPen(states[i].grey ? QColor(0x96, 0x96, 0x96) : Qt::white);
            p.drawText(QRect(x + 6, 4, 186, 18), Qt::AlignLeft | Qt::AlignTop, "Evaluative");
            if (i != 2) continue;
            const char* rows[] = {"Evaluative", "Center-weighted", "Spot"};
            for (int r = 0; r < 3; ++r) {
                const bool hot = r == 1;
                p.drawImage(x + 1, 22 + r * 18, kvx::res::LoadPicture(hot ? 192 : 193), 0, 0, 216,
                            18);
                p.setPen(hot ? kPanelColour : Qt::white);
                p.drawText(QRect(x + 7, 22 + r * 18 + 2, 200, 16), Qt::AlignLeft, rows[r]);
            }
        }
        p.end();
        auto* label = new QLabel(c);
        label->setPixmap(QPixmap::fromImage(strip));
        label->setGeometry(8, y, strip.width(), strip.height());
        y += strip.height() + 10;
    }
    // Sliders: normal, thumb under the pointer, dragging, disabled; plain
    // and centred channels.
    const char* slider_looks[] = {"normal", "hot", "pressed", "disabled"};
    for (int i = 0; i < 4; ++i) {
        for (int ch = 0; ch < 2; ++ch) {
            auto* s = new CGdipSlider(c);
            s->LoadImages(2120 + ch);
            s->setRange(0, 30);
            s->setValue(ch ? 15 : 9 + i * 5);
            s->setGeometry(150 + ch * 200, y, 176, 18);
            const QPoint on_thumb = s->ThumbRect().center();
            if (i == 1) {
                QMouseEvent move(QEvent::MouseMove, on_thumb, s->mapToGlobal(on_thumb),
                                 Qt::NoButton, Qt::NoButton, Qt::NoModifier);
                QCoreApplication::sendEvent(s, &move);
            } else if (i == 2) {
                s->setSliderDown(true);
            } else if (i == 3) {
                s->setEnabled(false);
            }
        }
        Caption(c, 8, y + 1, QString("slider, ") + slider_looks[i], 140);
        y += 26;
    }
    canvas->resize(930, y + 8);
    return canvas->grab().toImage();
}

// The status column as the main window shows it: background picture 149,
// six readouts, sample texts.
QImage ReadoutSheet() {
    struct Sample {
        const char* title;
        std::function<void(CDigitalPanel* const (&)[6])> fill;
    };
    auto connected = [](CDigitalPanel* const(&r)[6]) {
        for (int i = 1; i < 5; ++i) r[i]->SetGlyph(i == 1 ? 5 : i == 2 ? 6 : i == 3 ? 3 : 10, 0);
    };
    const Sample samples[] = {
        {"disconnected", [](CDigitalPanel* const(&)[6]) {}},
        {"1/125 F5.6 9999",
         [&](CDigitalPanel* const(&r)[6]) {
             connected(r);
             r[0]->WriteText(1, 4, u"9999");
             r[0]->SetGlyph(0, 1);
             r[0]->SetGlyph(5, 2);
             r[0]->WriteText(6, 4, u" 125");
             r[0]->WriteText(10, 1, u"5");
             r[0]->SetGlyph(11, 0);
             r[0]->WriteText(12, 1, u"6");
             r[0]->SetGlyph(13, 1);
             r[1]->SetGlyph(0, 6);
             r[1]->SetGlyph(1, 1);
             r[1]->WriteText(2, 1, u"0");
             r[1]->SetGlyph(3, 0);
             r[1]->WriteText(4, 1, u"7");
             r[2]->SetGlyph(0, 1);
             r[2]->WriteText(1, 5, u"  400");
             r[3]->SetGlyph(0, 2);
             r[4]->SetGlyph(2, 0);
             r[5]->SetGlyph(2, 1);
             r[5]->SetGlyph(4, 1);
         }},
        {"FULL, F11, M, low battery",
         [&](CDigitalPanel* const(&r)[6]) {
             connected(r);
             r[0]->WriteText(1, 4, u"FULL");
             r[0]->SetGlyph(0, 1);
             r[0]->SetGlyph(5, 2);
             r[0]->WriteText(6, 4, u"  30");
             r[0]->WriteText(10, 2, u"1");
             r[0]->WriteText(12, 1, u"1");
             r[0]->SetGlyph(13, 6);
             r[0]->SetGlyph(14, 1);
             r[0]->SetGlyph(15, 3);
             r[0]->SetGlyph(16, 5);
             r[2]->SetGlyph(0, 2);
             r[2]->WriteText(1, 5, u" 6400");
             r[3]->SetGlyph(2, 3);
             r[4]->SetGlyph(0, 1);
             r[4]->SetGlyph(8, 1);
             r[4]->SetGlyph(9, 2);
             r[5]->SetGlyph(6, 5);
             r[5]->SetGlyph(7, 6);
             r[5]->SetGlyph(5, 4);
         }},
        {" Err, bulb, interval",
         [&](CDigitalPanel* const(&r)[6]) {
             connected(r);
             r[0]->WriteText(1, 4, u" Err");
             r[0]->SetGlyph(0, 1);
             r[0]->SetGlyph(5, 2);
             r[0]->WriteText(6, 4, u"bulb");
             r[0]->WriteText(10, 1, u"-");
             r[0]->WriteText(12, 1, u"-");
             r[0]->SetGlyph(13, 8);
             r[1]->SetGlyph(1, 2);
             r[1]->WriteText(2, 1, u"1");
             r[1]->SetGlyph(3, 0);
             r[1]->WriteText(4, 1, u"3");
             r[4]->SetGlyph(3, 2);
             r[4]->SetGlyph(4, 1);
             r[4]->SetGlyph(5, 1);
             r[5]->WriteText(9, 4, u"0125");
             r[5]->SetGlyph(13, 1);
             r[5]->SetGlyph(14, 1);
             r[5]->WriteText(15, 4, u"0310");
             r[5]->SetGlyph(19, 1);
             r[5]->SetCellVisible(20, false);
             r[5]->SetGlyph(3, 1);
             r[5]->SetGlyph(0, 1);
             r[5]->SetGlyph(1, 1);
             r[5]->SetGlyph(8, 1);
         }},
        {"----, Ab-3, all off",
         [&](CDigitalPanel* const(&r)[6]) {
             r[0]->WriteText(1, 4, u"Ab-3");
             r[0]->WriteText(6, 4, u"----");
             r[0]->SetGlyph(13, 7);
             r[5]->SetGlyph(6, 3);
             r[5]->SetGlyph(7, 2);
             r[5]->SetGlyph(20, 1);
         }},
    };
    const QImage background = kvx::res::LoadPicture(149);
    const QRect column(396, 6, 132, 520);
    const int n = static_cast<int>(std::size(samples));
    QImage sheet(column.width() * n * 2 + 10 * (n - 1), column.height() * 2 + 30,
                 QImage::Format_RGB32);
    sheet.fill(kPanelColour);
    QPainter out(&sheet);
    for (int i = 0; i < n; ++i) {
        // A window stand-in that paints the background picture beneath the
        // readouts and the buttons, as the main window does.
        class Back : public QWidget {
        public:
            explicit Back(const QImage& img) : img_(img) { resize(img.size()); }

        protected:
            void paintEvent(QPaintEvent*) override { QPainter(this).drawImage(0, 0, img_); }

        private:
            QImage img_;
        } window(background);
        CDigitalPanel* readouts[6];
        const int ys[6] = {16, 103, 136, 173, 202, 254};
        for (int k = 0; k < 6; ++k) {
            readouts[k] = new CDigitalPanel(&window);
            readouts[k]->LoadStrips();
            readouts[k]->LayOut(k + 1);
            readouts[k]->move(406, ys[k]);
        }
        samples[i].fill(readouts);
        struct {
            int first, x, y, size;
        } const buttons[] = {{172, 436, 331, 17}, {172, 474, 331, 17}, {159, 440, 360, 50},
                             {163, 412, 419, 50}, {167, 468, 419, 50}, {155, 417, 480, 40}};
        for (const auto& b : buttons) {
            auto* button = new CGdipButton(&window);
            button->SetImages(0, b.first, b.first == 172 ? 172 : b.first + 1,
                              b.first == 172 ? 173 : b.first + 2,
                              b.first == 172 ? 171 : b.first + 3);
            button->setGeometry(b.x, b.y, b.size, b.size);
            if (i == 0) button->SetDisabledLook(true);
            if (i == 2 && b.x == 436) button->SetState(1), button->setDown(true);
        }
        auto* live = new CGdipToggleButtonEx(&window);
        live->SetImages(0, 268, 269, 270, 271, 272);
        live->setGeometry(473, 480, 40, 40);
        live->SetDisabledLook(i == 0);
        live->SetState(i == 3 ? 1 : 0);
        const QImage shot = window.grab(column).toImage();
        const int x = i * (column.width() * 2 + 10);
        out.drawImage(QRect(x, 0, column.width() * 2, column.height() * 2), shot);
        out.setPen(QColor(200, 198, 194));
        out.drawText(QRect(x, column.height() * 2 + 4, column.width() * 2, 22), Qt::AlignCenter,
                     samples[i].title);
    }
    return sheet;
}

// Every generated picture, three times enlarged, with its number.
QImage PictureSheet() {
    kvx::res::InitResources();
    QList<int> numbers;
    for (QDirIterator it(":/res"); it.hasNext();) {
        bool ok = false;
        const int n = QFileInfo(it.next()).completeBaseName().toInt(&ok);
        if (ok) numbers << n;
    }
    std::sort(numbers.begin(), numbers.end());
    const int width = 1700, zoom = 3;
    QImage sheet(width, 4000, QImage::Format_RGB32);
    sheet.fill(kPanelColour);
    QPainter p(&sheet);
    int x = 8, y = 8, row_h = 0;
    for (int n : numbers) {
        const QImage img = kvx::res::LoadPicture(n);
        const QSize sz = img.size() * zoom;
        const int cell_w = std::max(sz.width(), 40) + 12;
        if (x + cell_w > width) x = 8, y += row_h + 8, row_h = 0;
        if (n == 149 || n == 128)
            p.drawImage(QRect(QPoint(x, y + 14), img.size()), img);
        else
            p.drawImage(QRect(QPoint(x, y + 14), sz), img);
        p.setPen(QColor(200, 198, 194));
        p.drawText(x, y + 10, QString::number(n));
        const QSize shown = (n == 149 || n == 128) ? img.size() : sz;
        x += std::max(shown.width(), 40) + 12;
        row_h = std::max(row_h, shown.height() + 16);
    }
    p.end();
    return sheet.copy(0, 0, width, y + row_h + 8);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: kvx-control-gallery OUTDIR\n");
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    QDir().mkpath(dir.path());
    bool ok = Save(ControlsSheet(), dir.filePath("controls.png"));
    ok = Save(ReadoutSheet(), dir.filePath("readouts.png")) && ok;
    ok = Save(PictureSheet(), dir.filePath("pictures.png")) && ok;
    return ok ? 0 : 1;
}
