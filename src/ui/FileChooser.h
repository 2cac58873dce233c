#pragma once

#include <QString>

class QWidget;

namespace trawl::ui {

// One open or save file dialog as the commands ask for it.
struct FileRequest {
    bool save = false;
    QString title;
    QString filterDescription; // "All CSV files (*.csv)"
    QString initialFolder;
    QString initialName;   // "NAME.csv"
    QString defaultSuffix; // "csv", added when the chosen name has none
};

// The file dialogs, behind a seam so tests can answer them. Returns the chosen path, or an empty
// text when the dialog was cancelled.
class FileChooser {
public:
    virtual ~FileChooser() = default;
    virtual QString Choose(QWidget* owner, const FileRequest& request) = 0;
};

// The desktop's dialogs: an open dialog wants a file that exists; a save dialog asks before it
// replaces a file and before it creates a new one.
class QtFileChooser final : public FileChooser {
public:
    QString Choose(QWidget* owner, const FileRequest& request) override;
};

} // namespace trawl::ui
