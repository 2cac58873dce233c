// Writes the files that `cmake --install` and the package put beside the program:
//   FOLDER/trawlkit.desktop                      the entry the start-menu offer writes, for the program
//                                                on the PATH
//   FOLDER/icons/hicolor/NxN/apps/trawlkit.png   the program icon, painted as the window paints it
// Usage: trawl_install_files FOLDER

#include "app/AtomicFile.h"
#include "app/StartMenu.h"
#include "ui/Images.h"

#include <QApplication>
#include <QDir>
#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: trawl_install_files FOLDER\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen"); // pictures only: no display is needed
    QApplication application(argc, argv);
    const std::string folder = std::string(argv[1]) + "/";
    if (!QDir().mkpath(QString::fromStdString(folder))) {
        std::fprintf(stderr, "trawl_install_files: cannot make %s\n", folder.c_str());
        return 1;
    }
    const std::string entry = trawl::DesktopEntryText(trawl::InstalledShortcut());
    if (const trawl::Status written = trawl::WriteFileAtomically(folder + trawl::kShortcutLinkName, entry); !written) {
        std::fprintf(stderr, "trawl_install_files: %s\n", written.message().c_str());
        return 1;
    }
    const QIcon icon = trawl::ui::ProgramIcon();
    for (const int size : trawl::ui::kProgramIconSizes) {
        const QString sized =
            QStringLiteral("%1icons/hicolor/%2x%2/apps").arg(QString::fromStdString(folder)).arg(size);
        if (!QDir().mkpath(sized) ||
            !icon.pixmap(size, size)
                 .save(sized + QStringLiteral("/") + QLatin1String(trawl::kIconName) + QStringLiteral(".png"))) {
            std::fprintf(stderr, "trawl_install_files: cannot write the %d px icon\n", size);
            return 1;
        }
    }
    return 0;
}
