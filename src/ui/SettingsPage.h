#pragma once

#include "app/Settings.h"
#include "ui/DialogUnits.h"
#include "ui/PageLayout.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>

namespace trawl::ui {

// Page 3, "Trawlkit Settings": a check box for every flag, boxes for the three numbers and the user
// agent, and Apply, Cancel and About... The controls edit copies; only Apply puts them into force.
class SettingsPage final : public LaidOutPage {
    Q_OBJECT

public:
    SettingsPage(const DialogUnits& units, QWidget* parent = nullptr);

    // Shows the settings in force (drops edits not applied).
    void Fill(const Settings& settings);
    // The settings the controls give, applied to `base` with the rules of Apply: flags 0 or 1, one
    // site at least (Craigslist ticked again when both are off), numbers bounded with their boxes
    // rewritten, the user agent as typed but on one line.
    Settings Read(const Settings& base);
    // What a running search disables. `holdDeepScanBox` keeps "Automatically do a deep scan" disabled
    // after a search that ended while a deep scan still ran, until that scan ends too.
    void SetRunning(bool searching, bool holdDeepScanBox);
    void Lay() override;

    struct Flag {
        int Settings::*setting;
        std::unique_ptr<QCheckBox> box;
    };
    QCheckBox& Box(int Settings::*setting);

    QLabel maxResultsLabel;
    QLineEdit maxResults;
    QLabel maxThreadsLabel;
    QLineEdit maxThreads;
    QLabel maxThreads2Label;
    QLineEdit maxThreads2;
    QLabel userAgentLabel;
    QLineEdit userAgent;
    QLabel hostPauseLabel; // beside the thread boxes: the least pause between two requests to a site
    QLineEdit hostPause;
    QLabel watchLabel; // under it: repeat the current search every so many minutes (0: never)
    QLineEdit watch;
    QPushButton apply;
    QPushButton cancel;
    QPushButton about;

private:
    std::vector<Flag> m_flags;
};

} // namespace trawl::ui
