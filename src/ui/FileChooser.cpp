#include "ui/FileChooser.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace trawl::ui {

QString QtFileChooser::Choose(QWidget* owner, const FileRequest& request)
{
    QFileDialog dialog(owner, request.title, request.initialFolder, request.filterDescription);
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(request.defaultSuffix);
    dialog.selectFile(request.initialName);
    while (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        const QString path = dialog.selectedFiles().constFirst();
        if (!request.save || QFileInfo::exists(path)) {
            return path; // replacing a file was confirmed by the dialog itself
        }
        const QString question =
            QStringLiteral("%1 does not exist.\nDo you want to create it?").arg(QFileInfo(path).fileName());
        if (QMessageBox::question(&dialog, request.title, question) == QMessageBox::Yes) {
            return path;
        }
    }
    return {};
}

} // namespace trawl::ui
