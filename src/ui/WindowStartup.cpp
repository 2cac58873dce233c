#include "ui/WindowStartup.h"

#include "app/AtomicFile.h"
#include "app/CommandLine.h"
#include "app/ProgramDirectory.h"
#include "app/StartMenu.h"
#include "app/Startup.h"
#include "batch/Demo.h"
#include "net/ByteCounter.h"
#include "net/HttpClient.h"
#include "refdata/ListFiles.h"
#include "ui/SetupDialog.h"

namespace trawl::ui {

WindowStartup::WindowStartup(WindowStartupInputs inputs, WindowSeams seams)
    : m_inputs(std::move(inputs)), m_seams(seams)
{
}

std::unique_ptr<MainWindow> WindowStartup::OpenWindow()
{
    const std::string& folder = m_inputs.folder;
    Prompts& prompts = m_seams.prompts;
    StartupHooks hooks;
    hooks.loadLists = [&] {
        m_tables = LoadReferenceLists(folder);
        return ReferenceListsComplete(m_tables);
    };
    hooks.loadSettings = [&] {
        const std::string path = folder + kSettingsFileName;
        const bool firstDemo = m_inputs.demo && !FileExists(path);
        m_settings = LoadSettings(path);
        if (firstDemo) {
            m_settings.CurrentSearchName = kDemoSearchName;
        }
    };
    hooks.instanceCheck = [&] {
        m_instance = std::make_unique<InstanceLock>(m_inputs.instanceLockPath);
        const CommandLine commandLine = ExamineArguments(m_inputs.arguments, folder, prompts);
        if (!PassesInstanceRule(m_instance->alreadyRunning(), commandLine.searchFileCount, m_settings, prompts)) {
            m_instance->Release();
            return false;
        }
        return true;
    };
    hooks.runSetup = [&] {
        ByteCounter uncounted;
        HttpClient http(HttpOptions{m_settings.UserAgent}, m_seams.connector, uncounted);
        SetupDialog dialog(http, m_seams.clock, folder);
        dialog.exec();
        return dialog.DownloadResult();
    };
    hooks.offerStartMenu = [&] {
        OfferStartMenuShortcut(m_settings, prompts, ExecutablePath(), folder,
                               [](const ShortcutRequest& request) { return CreateStartMenuShortcut(request); });
    };
    if (StartupSequence(hooks).Run() != StartupOutcome::Ready) {
        return nullptr;
    }
    if (m_inputs.demo) {
        EnsureDemoSearch(folder, m_tables);
    }
    return std::make_unique<MainWindow>(WindowServices(m_settings, folder, m_tables, m_seams));
}

} // namespace trawl::ui
