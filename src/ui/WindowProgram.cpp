#include "ui/WindowProgram.h"

#include "app/Clock.h"
#include "app/InstanceLock.h"
#include "app/ProgramDirectory.h"
#include "batch/Demo.h"
#include "net/Connector.h"
#include "ui/DbusNotifier.h"
#include "ui/FileChooser.h"
#include "ui/Images.h"
#include "ui/QtPrompts.h"
#include "ui/QtShell.h"
#include "ui/WindowStartup.h"

#include <QApplication>
#include <memory>

namespace trawl::ui {

namespace {

// Where the program runs: its folder and how it reaches the sites. The demo brings its own sample
// sites up inside the process and sends every connection to them.
struct Surroundings {
    std::string folder;
    std::unique_ptr<DemoSites> demoSites;
    std::unique_ptr<SocketConnector> connector;
};

bool Prepare(const BatchOptions& options, Clock& clock, Prompts& prompts, Surroundings& where)
{
    if (!options.demo) {
        where.folder = ProgramDirectory();
        if (const Status status = SocketConnector::FromEnvironment(where.connector); !status) {
            prompts.Show(PromptKind::Error, "Error", status.message());
            return false;
        }
        return true;
    }
    where.folder = DemoProgramFolder();
    where.demoSites = std::make_unique<DemoSites>();
    const Status started = where.folder.empty() ? Status::Failure("no folder for the demo could be made")
                                                : where.demoSites->Start(clock.Today(), where.folder);
    if (!started) {
        prompts.Show(PromptKind::Error, "Error", "The demo could not start: " + started.message());
        return false;
    }
    where.connector = std::make_unique<SocketConnector>(where.demoSites->ConnectRules());
    return true;
}

} // namespace

int RunWindowProgram(int argc, char** argv, const BatchOptions& options)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Trawlkit"));
    QApplication::setWindowIcon(ProgramIcon());

    SystemClock clock;
    QtPrompts prompts;
    QtShell shell;
    QtFileChooser files;
    DbusNotifier notifier;
    Surroundings where;
    if (!Prepare(options, clock, prompts, where)) {
        return 2;
    }
    WindowStartupInputs inputs;
    inputs.folder = where.folder;
    inputs.arguments.assign(argv + (argc > 0 ? 1 : 0), argv + argc);
    inputs.instanceLockPath = DefaultInstanceLockPath();
    inputs.demo = options.demo;
    WindowStartup startup(inputs, WindowSeams{prompts, shell, clock, *where.connector, files, &prompts, &notifier});
    std::unique_ptr<MainWindow> window = startup.OpenWindow();
    if (!window) {
        return 0;
    }
    window->show();
    QApplication::exec();
    return 0;
}

} // namespace trawl::ui
