#include "batch/OutputNames.h"

#include "results/Dates.h"
#include "results/SearchFile.h"

namespace trawl {

namespace {

std::string_view FolderPart(std::string_view path)
{
    const auto slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string_view() : path.substr(0, slash + 1);
}

} // namespace

std::string SearchBaseName(std::string_view searchPath)
{
    std::string_view name = searchPath.substr(FolderPart(searchPath).size());
    if (name.ends_with(kSearchFileExtension)) {
        name.remove_suffix(kSearchFileExtension.size());
    }
    return std::string(name);
}

std::string OutputPath(std::string_view searchPath, std::string_view extension, bool dateName, const LocalDate& today)
{
    std::string path(FolderPart(searchPath));
    path += SearchBaseName(searchPath);
    if (dateName) {
        path += "-" + FormatStoredDate(today.year, today.month, today.day);
    }
    path += extension;
    return path;
}

} // namespace trawl
