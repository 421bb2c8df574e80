// One program for the preferences and folder picker widget tests: each group
// runs in turn; any failure fails the whole run.
#include <QApplication>

int RunPreferenceDialogTests(int argc, char** argv);
int RunFolderPickerTests(int argc, char** argv);

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    int failed = 0;
    failed |= RunPreferenceDialogTests(argc, argv);
    failed |= RunFolderPickerTests(argc, argv);
    return failed ? 1 : 0;
}
