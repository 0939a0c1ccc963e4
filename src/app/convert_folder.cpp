#include "app/convert_folder.h"

#include <strings.h>

#include "export/driver.h"
#include "platform/system.h"
#include "source/paradox_table.h"

namespace quorv {

namespace {

std::string withSlash(std::string folder) {
    if (!folder.empty() && folder.back() != '/')
        folder.push_back('/');
    return folder;
}

bool endsWithDb(const std::string &name) {
    return name.size() >= 3 && strcasecmp(name.c_str() + name.size() - 3, ".db") == 0;
}

} // namespace

bool isThumbsDb(const std::string &name) {
    return strcasecmp(name.c_str(), "Thumbs.db") == 0;
}

std::vector<std::string> findSourceTables(const std::string &folder, const std::string &pattern) {
    std::vector<std::string> names = platform::findFiles(withSlash(folder.empty() ? "./" : folder), pattern);
    std::erase_if(names, isThumbsDb);
    return names;
}

std::string folderOutputPath(const std::string &outputFolder, const std::string &name, OutputType type) {
    std::string base = endsWithDb(name) ? name.substr(0, name.size() - 3) : name;
    return withSlash(outputFolder) + base + outputFormat(type).extension;
}

FolderResult convertFolder(const FolderBatch &batch, ExportSettings &settings,
                           const FolderProgress &progress) {
    FolderResult result;
    const OutputType chosenType = settings.outputType;
    const bool chosenRss = settings.rssFormat;
    const bool viewFolder = settings.viewAfterExport;
    const std::string chosenSeparator = settings.separator;
    const int chosenSortField = settings.sortField;
    settings.viewAfterExport = false;

    for (size_t i = 0; i < batch.names.size() && !result.cancelled; ++i) {
        const std::string &name = batch.names[i];
        if (isThumbsDb(name))
            continue;
        settings.outputType = chosenType == OutputType::Rss ? OutputType::Xml : chosenType;
        settings.rssFormat = chosenType == OutputType::Rss || chosenRss;
        settings.separator = chosenSeparator;
        settings.sortField = chosenSortField;
        settings.outputPath = folderOutputPath(batch.outputFolder, name, chosenType);

        SourceTable table;
        table.path = withSlash(batch.sourceFolder) + name;
        std::string error;
        if (!openSourceTable(table, settings, &error)) {
            result.problems.push_back(table.path + ": " + error);
            ++result.failed;
            continue;
        }
        ProgressCallback perRecord;
        if (progress)
            perRecord = [&](int position, int loopCount) {
                if (progress(static_cast<int>(i), position, loopCount))
                    return true;
                result.cancelled = true;
                return false;
            };
        ExportResult exported = runExport(table, settings, perRecord);
        closeSourceTable(table);
        result.problems.insert(result.problems.end(), exported.problems.begin(), exported.problems.end());
        if (exported.ok)
            ++result.converted;
        else
            ++result.failed;
    }

    settings.outputType = chosenType;
    settings.rssFormat = chosenRss;
    settings.viewAfterExport = viewFolder;
    if (viewFolder && result.converted > 0)
        platform::openWithDesktop(batch.outputFolder);
    return result;
}

} // namespace quorv
