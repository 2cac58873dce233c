#pragma once

// What the window tests share: a program folder with lists made by a real download from the sample
// sites, the sample sites themselves, recording doubles for the boxes, the desktop and the file
// dialogs, and screenshots of what a person would see.

#include "app/Clock.h"
#include "app/Settings.h"
#include "net/Connector.h"
#include "refdata/ReferenceTables.h"
#include "sitesim/DemoSites.h"
#include "support/Doubles.h"
#include "ui/FileChooser.h"
#include "ui/MainWindow.h"
#include "ui/QtPrompts.h"

#include <QString>
#include <QTreeWidget>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace trawl::gui {

// Answers file dialogs from a queue (an empty answer is a cancelled dialog) and keeps every request.
class ScriptedFiles final : public ui::FileChooser {
public:
    QString Choose(QWidget* owner, const ui::FileRequest& request) override;
    void Answer(const std::string& path) { m_answers.push_back(QString::fromStdString(path)); }
    std::vector<ui::FileRequest> requests;

private:
    std::deque<QString> m_answers;
};

// Writes the five list files of the sample sites into `folder` (downloaded once per test process).
void WriteSampleLists(const std::string& folder, int serverPort);

// A window over a fresh program folder and the sample sites.
class WindowHarness {
public:
    // `settingsLines` ("Key: value") go into trawlkit.ini before the window opens; the update check is
    // off unless a line turns it on.
    explicit WindowHarness(std::vector<std::string> settingsLines = {}, bool lists = true);
    ~WindowHarness();

    // Reads lists and settings as the start-up does, builds and shows the window and waits until its
    // first load has ended.
    ui::MainWindow& Open();
    // Closes the window as the user does; unsaved results are given up.
    void Close();

    std::map<std::string, std::string> Env() const;

    test::TempDir home;
    sitesim::DemoWorldOptions world;
    sitesim::SampleSiteServer server;
    std::unique_ptr<SocketConnector> connector;
    test::RecordingPrompts prompts;
    // When set before Open, the window shows real message boxes instead of recording them.
    std::unique_ptr<ui::QtPrompts> boxes;
    test::RecordingShell shell;
    test::RecordingNotifier notifier;
    ScriptedFiles files;
    SystemClock systemClock;
    Clock* clock = &systemClock;
    Settings settings;
    ReferenceTables tables;
    std::unique_ptr<ui::MainWindow> window;
};

// One record line of a search file.
struct StoredAd {
    std::string date;
    std::string title;
    std::string city;
    std::string section;
    std::string link;
    std::string fullText;
};
// Writes NAME.trawl into `folder`: a search over the sample sites' Toronto and Ottawa bikes sections
// with these records.
void WriteSearchFile(const std::string& folder, const std::string& name, const std::vector<StoredAd>& ads,
                     const std::string& terms = "bike");

// Saves a PNG of `widget` as NAME.png in the build's screenshots folder.
void SaveScreenshot(QWidget& widget, const QString& name);

// The item whose labels from the top level down are `path`; null when there is none.
QTreeWidgetItem* FindItem(QTreeWidget& tree, const QStringList& path);
// Ticks or unticks an item as a click on its check box does.
void Tick(QTreeWidget& tree, const QStringList& path, bool checked = true);

// Waits, with the event loop running, until `condition` holds; false after `timeoutMs`.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 30000);

// Runs a search with these terms over whatever is ticked, and waits until it has ended.
bool RunSearch(ui::MainWindow& window, const QString& terms);

// The texts of a list row's five cells.
QStringList RowTexts(ui::MainWindow& window, int row);

} // namespace trawl::gui
