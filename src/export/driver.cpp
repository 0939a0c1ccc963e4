#include "export/driver.h"

#include <algorithm>
#include <cstring>

#include "export/writer.h"
#include "output/log.h"
#include "platform/codepage.h"
#include "platform/system.h"
#include "source/filter.h"
#include "source/order.h"
#include "source/paradox_file.h"
#include "source/paradox_table.h"

namespace quorv {

namespace {

void selectColumns(ExportRun &run) {
    SourceTable &table = run.table;
    int positions = table.fieldCount;
    if (writesRss(run.settings))
        positions = std::min(positions, 3);
    for (int p = 0; p < positions; ++p) {
        if (table.fieldExcluded[static_cast<size_t>(p)])
            continue;
        run.columns.push_back(table.fieldOrder[static_cast<size_t>(p)]);
        run.lastSelected = p;
    }
    run.selectedCount = static_cast<int>(run.columns.size());
    if (run.settings.sortField == -1 && !run.columns.empty())
        run.settings.sortField = run.columns.front();
}

// Puts record position r of the run's order into the table's record buffer.
bool fetchRecord(ExportRun &run, int r) {
    SourceTable &table = run.table;
    if (!table.sortedRecords.empty() || run.settings.sortEnabled) {
        const RecordCopy &copy = table.sortedRecords[static_cast<size_t>(r)];
        std::memcpy(table.recordBuffer.data(), copy.bytes, table.recordBuffer.size());
        return true;
    }
    return readRecord(table, r);
}

bool hasHighBytes(const char *text, size_t size) {
    return std::any_of(text, text + size, [](char c) { return static_cast<unsigned char>(c) > 127; });
}

// Text of a table whose header names a DOS code page is probably DOS text when a field name or a Char
// value of a written record holds a byte above 127: read as Windows text, those bytes come out wrong.
class DosTextCheck {
public:
    explicit DosTextCheck(const ExportRun &run)
        : active_(!run.settings.oemText() && platform::isDosCodePage(run.table.headerCodePage)) {
        for (int field : run.columns) {
            const FieldInfo &info = run.table.fields[static_cast<size_t>(field)];
            if (info.type == PxChar)
                charFields_.push_back(field);
            if (active_ && hasHighBytes(info.name.data(), info.name.size()))
                found_ = true;
        }
    }
    void checkRecord(const SourceTable &table) {
        if (!active_ || found_)
            return;
        for (int field : charFields_) {
            const FieldInfo &info = table.fields[static_cast<size_t>(field)];
            if (hasHighBytes(reinterpret_cast<const char *>(table.recordBuffer.data()) + info.offset,
                             static_cast<size_t>(info.size))) {
                found_ = true;
                return;
            }
        }
    }
    void warn(ExportRun &run) const {
        if (!active_ || !found_)
            return;
        run.warn(run.table.path + ": the table's code page is the DOS code page " +
                 std::to_string(run.table.headerCodePage) +
                 " and its text holds characters above 127: it is probably DOS text, which " +
                 (run.settings.commandLineMode ? "\"/oem\"" : "the OEM charset option") + " converts");
    }

private:
    bool active_;
    bool found_ = false;
    std::vector<int> charFields_;
};

// The file a write failure belongs to: the output, or the page file an HTML export writes now.
std::string outputName(const ExportRun &run) {
    return run.output.path().empty() ? run.settings.outputPath : run.output.path();
}

// A header that counts more records than the table's blocks hold: the others are lost, so the output
// is kept but the run fails. Fewer counted than held is only noted.
void checkRecordCount(ExportRun &run) {
    const ParadoxFile *file = run.table.file.get();
    if (!file || !file->recordCountMismatch())
        return;
    const auto counted = static_cast<uint32_t>(file->header().recordCount);
    const auto held = static_cast<uint32_t>(file->recordCount());
    const std::string what = run.table.path + ": the header counts " + std::to_string(counted) +
                             " records, its blocks hold " + std::to_string(held);
    if (counted > held) {
        run.incomplete = true;
        run.warn(what + "; those are exported, the others are lost");
    } else {
        run.warn(what + "; all of them are exported");
    }
}

void reportAll(ExportRun &run, ExportResult &result) {
    for (const std::string &problem : run.table.problems)
        run.problems.insert(run.problems.begin(), problem);
    run.table.problems.clear();
    if (run.unreadable > 0)
        run.problems.push_back(run.table.path + ": " + std::to_string(run.unreadable) +
                               " records could not be read and were skipped");
    for (const std::string &problem : run.problems)
        reportProblem(run.settings.logFile, problem);
    result.problems = run.problems;
}

} // namespace

ExportResult runExport(SourceTable &table, ExportSettings &settings, const ProgressCallback &progress) {
    ExportResult result;
    ExportRun run(table, settings);

    if (settings.separator == "tab")
        settings.separator = "\t";
    else if (settings.separator == "space")
        settings.separator = " ";
    if (settings.outputType == OutputType::Sql)
        settings.separator = ",";

    std::unique_ptr<FormatWriter> writer = makeWriter(settings.outputType, settings);
    if (!writer) {
        run.fail(settings.outputPath + ": output type " + outputFormat(settings.outputType).description +
                 " is not available in this build");
        reportAll(run, result);
        return result;
    }
    selectColumns(run);

    if (writer->usesOutputFile()) {
        std::string error;
        if (!run.output.open(settings.outputPath, settings.appendMode && writer->appends(), &error)) {
            run.fail(settings.outputPath + ": " + error);
            reportAll(run, result);
            return result;
        }
        if (settings.utf8 && writer->writesByteOrderMark() && run.output.startSize() == 0)
            run.output.writeByteOrderMark();
    }

    bool ok = writer->head(run);
    const bool records = writer->takesRecords();
    if (ok && records && settings.sortEnabled)
        run.unreadable += loadSortedRecords(table, settings);
    else
        table.sortedRecords.clear();
    run.loopCount = !records                ? 0
                    : settings.sortEnabled ? static_cast<int>(table.sortedRecords.size())
                                           : table.recordCount;

    const int filterPositions = writesRss(settings) ? 3 : -1;
    DosTextCheck dosText(run);
    for (run.position = 0; ok && run.position < run.loopCount; ++run.position) {
        int r = settings.reverseOrder ? reversePosition(run.position, run.loopCount) : run.position;
        if (progress && !progress(run.position, run.loopCount)) {
            result.cancelled = true;
            break;
        }
        if (!fetchRecord(run, r)) {
            ++run.unreadable;
            continue;
        }
        if (recordFailsFilter(table, settings, filterPositions))
            continue;
        if (!writer->record(run)) {
            ok = false;
            break;
        }
        ++run.written;
        dosText.checkRecord(table);
        if (run.output.failed())
            break;
    }
    if (ok)
        ok = writer->trailer(run);
    dosText.warn(run);

    if (!ok || run.failed || run.output.failed()) {
        if (run.output.failed())
            run.fail(outputName(run) + ": " + run.output.errorText());
        run.failed = true;
        run.output.discard();
        writer->abandon(run);
    } else if (run.output.isOpen()) {
        std::string error;
        if (!run.output.close(&error)) {
            run.fail(outputName(run) + ": " + error);
            run.output.discard();
            writer->abandon(run);
        }
    }
    checkRecordCount(run);
    table.sortedRecords.clear();
    table.sortedBytes.clear();
    table.sortedBytes.shrink_to_fit();

    // Skipped records make the run fail, but the records that were read are kept in the output;
    // likewise data a writer had to leave out (a DBF memo file that could not be created).
    result.ok = !run.failed && !run.incomplete && run.unreadable == 0;
    result.written = run.written;
    result.unreadable = run.unreadable;
    reportAll(run, result);
    if (!run.failed && settings.viewAfterExport)
        platform::openWithDesktop(settings.outputPath);
    return result;
}

} // namespace quorv
