#include "resource_images.h"

#include <mutex>

// The resource object lives in a static library: without an explicit call
// from code the program uses, the linker would drop it.
static void InitKvxResources() {
    Q_INIT_RESOURCE(kvx_resources);
}

namespace kvx::res {

void InitResources() {
    static std::once_flag once;
    std::call_once(once, InitKvxResources);
}

QString ResourcePath(int number) {
    return QStringLiteral(":/res/%1.png").arg(number);
}

QImage LoadPicture(int number) {
    InitResources();
    return QImage(ResourcePath(number));
}

QIcon ProgramIcon() {
    InitResources();
    QIcon icon;
    for (const char* size : {"_16", "_32", "_48", ""})
        icon.addFile(QStringLiteral(":/res/128%1.png").arg(QLatin1String(size)));
    return icon;
}

}  // namespace kvx::res
