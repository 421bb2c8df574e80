// Varno_Kolvex: the tethered-shooting window.
#include <QApplication>
#include <cstdio>
#include <cstring>

#include "app/kolvex_app.h"

namespace {

// --help and --version answer without a display, before Qt starts.
bool AnswerInfoOption(int argc, char** argv, int* exitCode) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("Varno_Kolvex %s\n", KVX_VERSION);
            *exitCode = 0;
            return true;
        }
        if (std::strcmp(argv[i], "--help") == 0) {
            std::printf(
                "Usage: Varno_Kolvex [--help] [--version] [Qt options]\n"
                "Tethered shooting: mirrors and changes the camera's settings, releases the\n"
                "shutter and downloads every picture the camera takes.\n"
                "\n"
                "Only one copy runs at a time; starting it again brings the running copy's\n"
                "window to the front. Settings: $XDG_DATA_HOME/VARNO/Varno_Kolvex/"
                "Varno_Kolvex.ini.\n"
                "\n"
                "  --help     show this text and end\n"
                "  --version  show the program's version and end\n");
            *exitCode = 0;
            return true;
        }
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    int exitCode = 0;
    if (AnswerInfoOption(argc, argv, &exitCode)) return exitCode;
    QApplication qt(argc, argv);  // the graphics system, before anything draws
    kvx::app::CKolvexApp app;
    app.InitInstance();
    return app.ExitInstance();
}
