#include "app/CommandLine.h"

#include "app/AtomicFile.h"
#include "app/TextUtil.h"

namespace trawl {

std::vector<std::string> SplitCommandLine(std::string_view text)
{
    std::vector<std::string> arguments;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == ' ') {
            ++i;
            continue;
        }
        if (text[i] == '"') {
            const auto close = text.find('"', i + 1);
            const std::size_t end = close == std::string_view::npos ? text.size() : close;
            arguments.emplace_back(text.substr(i + 1, end - i - 1));
            i = close == std::string_view::npos ? text.size() : close + 1;
            continue;
        }
        const auto space = text.find(' ', i);
        const std::size_t end = space == std::string_view::npos ? text.size() : space;
        arguments.emplace_back(text.substr(i, end - i));
        i = end;
    }
    return arguments;
}

std::string MissingSearchText(const std::string& argument)
{
    return "Error: I could not load the search titled '" + argument + "' because it does not seem to exist.";
}

namespace {

void RecordOption(CommandLine& line, const std::string& word)
{
    const std::string lower = ToLowerAscii(word);
    if (lower == "csv") {
        line.options.csv = true;
    } else if (lower == "html") {
        line.options.html = true;
    } else if (lower == "new") {
        line.options.newOnly = true;
    } else if (lower == "deep") {
        line.options.deep = true;
    } else if (lower == "datename") {
        line.options.dateName = true;
    } else {
        line.unknownOptions.push_back(word);
    }
}

// The arguments one by one, once the command line has been found worth examining.
CommandLine ExamineEach(const std::vector<std::string>& arguments, const std::string& programDirectory,
                        Prompts& prompts, const FileProbe& exists)
{
    CommandLine line;
    const FileProbe probe = exists ? exists : FileProbe([](const std::string& path) { return FileExists(path); });
    for (const auto& argument : arguments) {
        if (!argument.empty() && argument.front() == '-') {
            RecordOption(line, argument.substr(1));
            continue;
        }
        std::string path;
        if (!argument.empty() && probe(argument)) {
            path = argument;
        } else if (!argument.empty() && probe(programDirectory + argument)) {
            path = programDirectory + argument;
        } else {
            prompts.Show(PromptKind::Error, kMissingSearchCaption, MissingSearchText(argument));
            continue;
        }
        ++line.searchFileCount;
        if (line.searchFiles.size() < kMaxCommandLineFiles) {
            line.searchFiles.push_back(std::move(path));
        }
    }
    return line;
}

} // namespace

CommandLine ExamineArguments(const std::vector<std::string>& arguments, const std::string& programDirectory,
                             Prompts& prompts, const FileProbe& exists)
{
    std::string joined;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        joined.append(i == 0 ? "" : " ").append(arguments[i]);
    }
    if (TrimSpaces(joined).size() <= 1) {
        return {};
    }
    return ExamineEach(arguments, programDirectory, prompts, exists);
}

CommandLine ExamineCommandLine(std::string_view text, const std::string& programDirectory, Prompts& prompts,
                               const FileProbe& exists)
{
    if (TrimSpaces(text).size() <= 1) {
        return {};
    }
    return ExamineEach(SplitCommandLine(text), programDirectory, prompts, exists);
}

} // namespace trawl
