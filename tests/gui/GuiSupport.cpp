#include "GuiSupport.h"

#include "net/ByteCounter.h"
#include "net/HttpClient.h"
#include "refdata/ListDownload.h"
#include "refdata/ListFiles.h"
#include "ui/ResultsPage.h"
#include "ui/SearchSettingsPage.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTest>
#include <filesystem>
#include <mutex>

namespace trawl::gui {

QString ScriptedFiles::Choose(QWidget*, const ui::FileRequest& request)
{
    requests.push_back(request);
    if (m_answers.empty()) {
        return {};
    }
    QString answer = m_answers.front();
    m_answers.pop_front();
    return answer;
}

namespace {

class NoReports final : public DownloadObserver {
public:
    void AddLogText(const std::string&, bool) override {}
    void SetButton(const std::string&, bool) override {}
    void SetCancelEnabled(bool) override {}
    void SetAnimationSite(int) override {}
    void SetDownloadResult(int) override {}
};

} // namespace

void WriteSampleLists(const std::string& folder, int serverPort)
{
    // One real download per process; every test copies its files.
    static test::TempDir downloaded;
    static std::once_flag once;
    std::call_once(once, [&] {
        SocketConnector connector({ConnectToRule{"*", 80, "127.0.0.1", serverPort}});
        ByteCounter uncounted;
        HttpClient http(HttpOptions{"test"}, connector, uncounted);
        SystemClock clock;
        NoReports reports;
        RunListDownload(http, clock, downloaded.path(), reports);
    });
    for (const ListFile which : kAllListFiles) {
        const std::string name(ListFileName(which));
        std::filesystem::copy_file(downloaded.path() + name, folder + name,
                                   std::filesystem::copy_options::overwrite_existing);
    }
}

WindowHarness::WindowHarness(std::vector<std::string> settingsLines, bool lists)
{
    world.sites.newest = systemClock.Today();
    sitesim::ServeDemoWorld(server, world);
    if (!server.Start().ok()) {
        qFatal("the sample sites did not start");
    }
    connector = std::make_unique<SocketConnector>(
        std::vector<ConnectToRule>{ConnectToRule{"*", 80, "127.0.0.1", server.port()}});
    if (lists) {
        WriteSampleLists(home.path(), server.port());
    }
    std::string ini = "CheckForUpdates: 0\r\nStartMenu: done\r\n";
    for (const std::string& line : settingsLines) {
        ini += line + "\r\n";
    }
    test::WriteFile(home.File(kSettingsFileName), ini);
}

WindowHarness::~WindowHarness()
{
    Close();
}

ui::MainWindow& WindowHarness::Open()
{
    tables = LoadReferenceLists(home.path());
    settings = LoadSettings(home.File(kSettingsFileName));
    Prompts& shown = boxes ? static_cast<Prompts&>(*boxes) : prompts;
    const ui::WindowSeams seams{shown, shell, *clock, *connector, files, boxes.get(), &notifier};
    window = std::make_unique<ui::MainWindow>(ui::WindowServices(settings, home.path(), tables, seams));
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get()) || !WaitUntil([&] { return !window->Rebuilding(); })) {
        qWarning("the window did not come up");
    }
    return *window;
}

void WindowHarness::Close()
{
    if (!window) {
        return;
    }
    prompts.responder = [](const test::ShownPrompt& box) {
        return box.caption == "Really exit?" ? PromptAnswer::Yes : PromptAnswer::Ok;
    };
    window->close();
    window.reset();
}

std::map<std::string, std::string> WindowHarness::Env() const
{
    return {{"TRAWLKIT_HOME", home.path()}, {"TRAWLKIT_CONNECT_TO", "*:80:127.0.0.1:" + std::to_string(server.port())}};
}

void WriteSearchFile(const std::string& folder, const std::string& name, const std::vector<StoredAd>& ads,
                     const std::string& terms)
{
    std::string text = name + "\r\nhttp://toronto.craigslist.ca/\r\nbik\r\n" + terms +
                       "\r\nhttp://ottawa.kijiji.ca/\r\n644\\bikes\r\n";
    for (const StoredAd& ad : ads) {
        text += "\"" + ad.date + "\",\"" + ad.title + "\",\"" + ad.city + "\",\"" + ad.section + "\",\"" + ad.link +
                "\",\"" + ad.fullText + "\"\r\n";
    }
    test::WriteFile(folder + name + ".trawl", text);
}

void SaveScreenshot(QWidget& widget, const QString& name)
{
    QTest::qWait(30); // pending layouts and paints first
    QDir().mkpath(QStringLiteral(TRAWL_SCREENSHOT_DIR));
    const QString path = QStringLiteral(TRAWL_SCREENSHOT_DIR "/") + name + QStringLiteral(".png");
    if (!widget.grab().save(path)) {
        qWarning("could not write %s", qPrintable(path));
    }
}

QTreeWidgetItem* FindItem(QTreeWidget& tree, const QStringList& path)
{
    QTreeWidgetItem* parent = tree.invisibleRootItem();
    for (const QString& label : path) {
        QTreeWidgetItem* found = nullptr;
        for (int i = 0; i < parent->childCount() && found == nullptr; ++i) {
            if (parent->child(i)->text(0) == label) {
                found = parent->child(i);
            }
        }
        if (found == nullptr) {
            return nullptr;
        }
        parent = found;
    }
    return parent == tree.invisibleRootItem() ? nullptr : parent;
}

void Tick(QTreeWidget& tree, const QStringList& path, bool checked)
{
    QTreeWidgetItem* item = FindItem(tree, path);
    if (item == nullptr) {
        qFatal("no tree item %s", qPrintable(path.join(QStringLiteral(" / "))));
    }
    item->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
}

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs) {
            return false;
        }
        QTest::qWait(10);
    }
    return true;
}

bool RunSearch(ui::MainWindow& window, const QString& terms)
{
    window.searchPage().terms.setText(terms);
    QTest::mouseClick(&window.searchPage().go, Qt::LeftButton);
    return WaitUntil([&] {
        return window.flags().SearchRunning.load() == 0 && window.resultsPage().go.text() == QStringLiteral("Go!");
    });
}

QStringList RowTexts(ui::MainWindow& window, int row)
{
    QStringList texts;
    for (int column = 0; column < ui::ResultListModel::ColumnCount; ++column) {
        texts << window.model().index(row, column).data().toString();
    }
    return texts;
}

} // namespace trawl::gui
