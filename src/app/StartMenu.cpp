#include "app/StartMenu.h"

#include "app/AtomicFile.h"

#include <cstdlib>
#include <sys/stat.h>

namespace trawl {

void OfferStartMenuShortcut(Settings& settings, Prompts& prompts, const std::string& executablePath,
                            const std::string& programDirectory, const ShortcutCreator& create)
{
    if (settings.StartMenu == "done") {
        return;
    }
    switch (prompts.Show(PromptKind::ThreeWay, kStartMenuCaption, kStartMenuQuestion)) {
    case PromptAnswer::Yes:
        if (create) {
            create({kShortcutLinkName, executablePath, programDirectory, kShortcutDescription});
        }
        settings.StartMenu = "done";
        break;
    case PromptAnswer::No:
        settings.StartMenu = "done";
        break;
    default:
        settings.StartMenu = "later";
        break;
    }
}

std::string ApplicationsFolder(const std::string& xdgDataHome, const std::string& home)
{
    auto withSlash = [](std::string folder) {
        if (folder.back() != '/') {
            folder.push_back('/');
        }
        return folder;
    };
    if (!xdgDataHome.empty() && xdgDataHome.front() == '/') {
        return withSlash(xdgDataHome) + "applications/";
    }
    if (!home.empty() && home.front() == '/') {
        return withSlash(home) + ".local/share/applications/";
    }
    return {};
}

namespace {

// A value of a desktop entry: backslashes doubled (the entry's own escaping).
std::string EntryValue(const std::string& text)
{
    std::string out;
    for (const char c : text) {
        if (c == '\\') {
            out.append("\\\\");
        } else {
            out.push_back(c);
        }
    }
    return out;
}

// The program as one quoted argument of Exec: inside the quotes ", `, $ and \ take a backslash, and a
// percent sign is doubled so it is not read as a field code.
std::string ExecArgument(const std::string& path)
{
    std::string quoted = "\"";
    for (const char c : path) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') {
            quoted.push_back('\\');
        } else if (c == '%') {
            quoted.push_back('%');
        }
        quoted.push_back(c);
    }
    quoted.push_back('"');
    return EntryValue(quoted);
}

bool HasLineBreak(const std::string& text)
{
    return text.find_first_of("\r\n") != std::string::npos;
}

void MakeFolders(const std::string& folder)
{
    for (std::size_t slash = folder.find('/', 1); slash != std::string::npos; slash = folder.find('/', slash + 1)) {
        ::mkdir(folder.substr(0, slash).c_str(), 0755);
    }
}

} // namespace

std::string DesktopEntryText(const ShortcutRequest& request)
{
    std::string text = "[Desktop Entry]\n"
                       "Type=Application\n"
                       "Name=Trawlkit\n"
                       "GenericName=Classified Ad Harvester\n"
                       "Comment=" +
                       EntryValue(request.description) + "\nExec=" + ExecArgument(request.target) + "\n";
    if (!request.workingDirectory.empty()) {
        text += "Path=" + EntryValue(request.workingDirectory) + "\n";
    }
    return text + "Icon=" + kIconName +
           "\n"
           "Terminal=false\n"
           "Categories=Network;\n"
           "Keywords=classifieds;ads;craigslist;kijiji;search;\n";
}

ShortcutRequest InstalledShortcut()
{
    return {kShortcutLinkName, "trawlkit", "", kShortcutDescription};
}

bool CreateStartMenuShortcut(const std::string& folder, const ShortcutRequest& request)
{
    // A line break cannot be written into an entry; such a request makes no entry at all.
    if (folder.empty() || request.linkName.empty() || request.linkName.find('/') != std::string::npos ||
        HasLineBreak(request.target) || HasLineBreak(request.workingDirectory) || HasLineBreak(request.description) ||
        request.target.empty()) {
        return false;
    }
    const std::string withSlash = folder.back() == '/' ? folder : folder + "/";
    MakeFolders(withSlash);
    return WriteFileAtomically(withSlash + request.linkName, DesktopEntryText(request)).ok();
}

bool CreateStartMenuShortcut(const ShortcutRequest& request)
{
    const char* xdg = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    return CreateStartMenuShortcut(ApplicationsFolder(xdg ? xdg : "", home ? home : ""), request);
}

} // namespace trawl
