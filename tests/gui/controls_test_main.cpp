// One program for the widget tests: each group runs in turn; any failure
// fails the whole run.
#include <QApplication>

int RunButtonLookTests(int argc, char** argv);
int RunHoldButtonTests(int argc, char** argv);
int RunSliderTests(int argc, char** argv);
int RunDigitalPanelTests(int argc, char** argv);

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    int failed = 0;
    failed |= RunButtonLookTests(argc, argv);
    failed |= RunHoldButtonTests(argc, argv);
    failed |= RunSliderTests(argc, argv);
    failed |= RunDigitalPanelTests(argc, argv);
    return failed ? 1 : 0;
}
