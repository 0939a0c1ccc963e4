#include "export/dbf/dbf_writer.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <set>
#include <unistd.h>

#include "platform/codepage.h"
#include "source/format.h"
#include "source/paradox_table.h"

namespace quorv {

namespace {

constexpr int kNameLength = 10;
constexpr size_t kDescriptorSize = 32;

void putLittle16(char *p, unsigned v) {
    p[0] = static_cast<char>(v & 0xFF);
    p[1] = static_cast<char>((v >> 8) & 0xFF);
}

void putLittle32(char *p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

uint32_t getLittle32(const char *p) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = v << 8 | static_cast<uint8_t>(p[i]);
    return v;
}

unsigned getLittle16(const char *p) {
    return static_cast<uint8_t>(p[0]) | static_cast<unsigned>(static_cast<uint8_t>(p[1])) << 8;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The widest text of a BCD value with this many decimals: sign, integer digits (at least one),
// point and decimals.
int bcdTextWidth(int decimals) {
    decimals = std::clamp(decimals, 0, 32);
    return 1 + std::max(32 - decimals, 1) + (decimals > 0 ? decimals + 1 : 0);
}

// Letter, length and decimals of one source field.
void mapField(const FieldInfo &f, bool foxPro, DbfColumn &c) {
    const FieldTypeRow *row = fieldTypeRow(f.type);
    c.letter = row ? row->dbfType : 'C';
    c.decimals = 0;
    // clang-format off
    switch (f.type) {
    case PxDate: c.length = 8; break;
    case PxShort: c.length = 10; break;
    case PxLong:
    case PxAutoInc: c.length = 11; break;          // -2147483648
    case PxCurrency:
    case PxNumber: c.length = 19, c.decimals = 2; break;
    case PxLogical: c.length = 1; break;
    case PxTime: c.length = 12; break;             // 10:05:03.500
    case PxTimestamp: c.length = 19; break;        // 07.03.2024 13:04:05 in every date order
    case PxBcd: c.length = bcdTextWidth(f.decimals); break;
    case PxMemoBlob:
    case PxFmtMemoBlob:
    case PxBlob:
    case PxGraphic: c.length = foxPro ? 4 : 10; break;
    default: c.length = f.size % 256; break;       // Char, OLE, Bytes and unknown types
    }
    // clang-format on
    if (c.length == 0)
        c.length = 1;
    c.memoText = f.type == PxMemoBlob || f.type == PxFmtMemoBlob;
}

DbfLayout planLayout(const ExportRun &run, uint8_t version, int codePage) {
    DbfLayout layout;
    layout.foxPro = version == kDbfFoxPro;
    layout.codePageMark = dbfCodePageMark(codePage);
    std::vector<std::string> names;
    for (int field : run.columns) {
        const FieldInfo &f = run.table.fields[static_cast<size_t>(field)];
        DbfColumn c;
        c.field = field;
        // With OEM text the names stay in the table's own bytes, like the Char values.
        const std::string name = run.table.oemText ? f.name : fieldName(run.table, field);
        c.name = uniqueDbfName(name, names, codePage);
        if (c.name.empty())
            c.name = uniqueDbfName("FIELD" + std::to_string(layout.columns.size() + 1), names, codePage);
        names.push_back(c.name);
        mapField(f, layout.foxPro, c);
        c.offset = layout.recordLength;
        layout.recordLength += c.length;
        layout.hasMemo = layout.hasMemo || c.letter == 'M';
        layout.columns.push_back(std::move(c));
    }
    layout.version = version;
    if (layout.hasMemo && !layout.foxPro)
        layout.version = kDbfWithMemo;
    layout.headerLength = 32 + static_cast<int>(kDescriptorSize * layout.columns.size()) + 1 +
                          (layout.foxPro ? kDbfBacklinkSize : 0);
    return layout;
}

std::string describe(const char *descriptor) {
    std::string name(descriptor, strnlen(descriptor, 11));
    std::string text =
        "\"" + name + "\" " + descriptor[11] + "(" + std::to_string(static_cast<uint8_t>(descriptor[16]));
    if (descriptor[17])
        text += "," + std::to_string(static_cast<uint8_t>(descriptor[17]));
    return text + ")";
}

std::string hexByte(uint8_t b) {
    char text[8];
    snprintf(text, sizeof text, "0x%02X", b);
    return text;
}

} // namespace

uint8_t requestedDbfVersion(const ExportSettings &settings) {
    if (settings.commandLineMode)
        return settings.dbfVersion;
    switch (settings.outputType) {
    case OutputType::DbaseIV:
        return kDbfDBaseIV;
    case OutputType::VisualFoxPro:
        return kDbfFoxPro;
    default:
        return kDbfDBaseIII;
    }
}

uint8_t dbfCodePageMark(int codePage) {
    struct Mark {
        int codePage;
        uint8_t mark;
    };
    static const Mark kMarks[] = {
        {437, 0x01},  {850, 0x02},  {1252, 0x03}, {10000, 0x04}, {852, 0x64},  {866, 0x65},
        {865, 0x66},  {861, 0x67},  {737, 0x6A},  {857, 0x6B},   {863, 0x1C},  {860, 0x24},
        {950, 0x78},  {949, 0x79},  {936, 0x7A},  {932, 0x7B},   {874, 0x7C},  {1255, 0x7D},
        {1256, 0x7E}, {1250, 0xC8}, {1251, 0xC9}, {1254, 0xCA},  {1253, 0xCB}, {1257, 0xCC},
    };
    for (const Mark &m : kMarks)
        if (m.codePage == codePage)
            return m.mark;
    return 0;
}

std::string uniqueDbfName(std::string_view fieldName, const std::vector<std::string> &taken, int codePage) {
    std::string name(fieldName.substr(0, std::min<size_t>(fieldName.size(), kNameLength)));
    name.resize(strnlen(name.c_str(), name.size()));
    while (!name.empty() && name.back() == ' ')
        name.pop_back();
    if (name.empty())
        return name;
    std::set<std::string> takenUpper;
    for (std::string t : taken) {
        platform::upperCase(t, codePage);
        takenUpper.insert(t);
    }
    auto isTaken = [&](const std::string &candidate) {
        std::string upper = candidate;
        platform::upperCase(upper, codePage);
        return takenUpper.count(upper) > 0;
    };
    std::set<std::string> tried;
    std::string candidate = name;
    while (isTaken(candidate)) {
        if (!tried.insert(candidate).second) {
            // Every last byte the rule offers is taken: number the name instead.
            for (int n = 1;; ++n) {
                std::string digits = std::to_string(n);
                candidate = name.substr(0, std::min(name.size(), kNameLength - digits.size())) + digits;
                if (!isTaken(candidate))
                    return candidate;
            }
        }
        if (candidate.size() < kNameLength)
            candidate.push_back('1');
        else if (isDigit(candidate.back()))
            ++candidate.back(); // "9" becomes ":"
        else
            candidate.back() = '1';
    }
    return candidate;
}

bool fitDbfNumber(std::string_view text, int length, int decimals, char *field) {
    std::memset(field, ' ', static_cast<size_t>(length));
    if (text.empty())
        return true;
    size_t i = text[0] == '-' ? 1 : 0;
    size_t digits = 0;
    while (i < text.size() && isDigit(text[i]))
        ++i, ++digits;
    if (digits == 0)
        return false; // "nan", "inf" and the like
    size_t end = i;
    if (i < text.size() && text[i] == '.') {
        size_t point = i++;
        while (i < text.size() && isDigit(text[i]))
            ++i;
        end = decimals == 0 ? point : std::min(i, point + 1 + static_cast<size_t>(decimals));
    }
    if (i != text.size())
        return false;
    if (end > static_cast<size_t>(length))
        return false;
    std::memcpy(field + length - end, text.data(), end);
    return true;
}

std::string buildDbfHead(const DbfLayout &layout, uint32_t records, int year, int month, int day) {
    std::string head(32, '\0');
    head[0] = static_cast<char>(layout.version);
    head[1] = static_cast<char>((year - 1900) & 0xFF);
    head[2] = static_cast<char>(month);
    head[3] = static_cast<char>(day);
    putLittle32(&head[4], records);
    putLittle16(&head[8], static_cast<unsigned>(layout.headerLength));
    putLittle16(&head[10], static_cast<unsigned>(layout.recordLength));
    head[28] = static_cast<char>(layout.foxPro && layout.hasMemo ? 0x02 : 0x00);
    head[29] = static_cast<char>(layout.codePageMark);
    for (const DbfColumn &c : layout.columns) {
        char d[kDescriptorSize] = {};
        std::memcpy(d, c.name.data(), std::min<size_t>(c.name.size(), kNameLength));
        d[11] = c.letter;
        if (layout.foxPro)
            putLittle32(d + 12, static_cast<uint32_t>(c.offset)); // FoxPro readers locate fields by it
        d[16] = static_cast<char>(c.length);
        d[17] = static_cast<char>(c.decimals);
        head.append(d, sizeof d);
    }
    head.push_back('\x0D');
    if (layout.foxPro)
        head.append(kDbfBacklinkSize, '\0');
    return head;
}

bool DbfWriter::head(ExportRun &run) {
    SourceTable &table = run.table;
    const int codePage = table.oemText ? table.oemCodePage : table.ansiCodePage;
    layout_ = planLayout(run, requestedDbfVersion(run.settings), codePage);
    recordBuffer_.assign(static_cast<size_t>(layout_.recordLength), ' ');
    misfits_.assign(layout_.columns.size(), Misfit{});

    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    year_ = local.tm_year + 1900, month_ = local.tm_mon + 1, day_ = local.tm_mday;

    if (run.settings.appendMode && run.output.startSize() > 0)
        return startAppend(run);
    run.output.writeBytes(buildDbfHead(layout_, 0, year_, month_, day_).data(),
                          static_cast<size_t>(layout_.headerLength));
    if (layout_.hasMemo)
        openMemo(run);
    return true;
}

// Appending: the existing table must have exactly the descriptors this export would write. The new
// records replace its end-of-file byte; nothing is written when it does not match.
bool DbfWriter::startAppend(ExportRun &run) {
    const std::string &path = run.settings.outputPath;
    const std::string refused = path + ": not appended, the file is left as it was: ";
    const int64_t size = run.output.startSize();
    std::ifstream in(path, std::ios::binary);
    std::string head(32, '\0');
    in.read(head.data(), 32);
    if (in.gcount() < 32) {
        run.fail(refused + "it is not a DBF table");
        return false;
    }
    const unsigned headerLength = getLittle16(&head[8]);
    head.resize(std::max(headerLength, 32u));
    in.read(&head[32], static_cast<std::streamsize>(head.size() - 32));
    if (in.gcount() != static_cast<std::streamsize>(head.size() - 32)) {
        run.fail(refused + "it is not a DBF table (its header is cut short)");
        return false;
    }
    size_t fields = 0;
    while (32 + (fields + 1) * kDescriptorSize <= head.size() &&
           head[32 + fields * kDescriptorSize] != '\x0D')
        ++fields;

    // Same fields (name, type, length, decimals) in the same order, and the same lengths.
    const std::string ours = buildDbfHead(layout_, 0, year_, month_, day_);
    std::string difference;
    if (fields != layout_.columns.size())
        difference = "it has " + std::to_string(fields) + " fields, this export " +
                     std::to_string(layout_.columns.size());
    for (size_t i = 0; difference.empty() && i < fields; ++i) {
        const char *theirs = &head[32 + i * kDescriptorSize];
        const char *mine = &ours[32 + i * kDescriptorSize];
        if (strncmp(theirs, mine, 11) != 0 || theirs[11] != mine[11] || theirs[16] != mine[16] ||
            theirs[17] != mine[17])
            difference = "field " + std::to_string(i + 1) + " is " + describe(theirs) + " there and " +
                         describe(mine) + " in this export";
    }
    if (!difference.empty()) {
        run.fail(refused + "its fields differ from this export's (" + difference + ")");
        return false;
    }
    const uint8_t version = static_cast<uint8_t>(head[0]);
    if (version != layout_.version) {
        run.fail(refused + "it is a DBF table of version " + hexByte(version) + ", this export writes " +
                 hexByte(layout_.version));
        return false;
    }
    if (static_cast<uint8_t>(head[29]) != layout_.codePageMark) {
        run.fail(refused + "its text is in another code page (mark " +
                 hexByte(static_cast<uint8_t>(head[29])) + ", this export writes " +
                 hexByte(layout_.codePageMark) + ")");
        return false;
    }
    if (headerLength != static_cast<unsigned>(layout_.headerLength) ||
        getLittle16(&head[10]) != static_cast<unsigned>(layout_.recordLength)) {
        run.fail(refused + "its header or record length differs from this export's");
        return false;
    }

    baseCount_ = getLittle32(&head[4]);
    dataEnd_ = layout_.headerLength + static_cast<int64_t>(baseCount_) * layout_.recordLength;
    std::string tail;
    if (size >= dataEnd_ && size <= dataEnd_ + 1) {
        tail.resize(static_cast<size_t>(size - dataEnd_));
        in.seekg(dataEnd_);
        in.read(tail.data(), static_cast<std::streamsize>(tail.size()));
    }
    if (size < dataEnd_ || size > dataEnd_ + 1 || (tail.size() == 1 && tail[0] != '\x1A') || !in) {
        run.fail(refused + "its size (" + std::to_string(size) + " bytes) does not match its " +
                 std::to_string(baseCount_) + " records");
        return false;
    }
    if (layout_.hasMemo) {
        const MemoForm form = layout_.foxPro ? MemoForm::FoxPro : MemoForm::DBase;
        const std::string memoPath = MemoFile::pathFor(path, form);
        std::string error;
        if (!memo_.openExisting(memoPath, form, &error)) {
            run.fail(refused + "its memo file " + memoPath + " cannot be used: " + error);
            return false;
        }
        memoUsable_ = true;
    }
    oldHeader_ = head.substr(0, 32);
    oldTail_ = tail;
    appending_ = true;
    return run.output.seek(dataEnd_) == dataEnd_;
}

void DbfWriter::openMemo(ExportRun &run) {
    const MemoForm form = layout_.foxPro ? MemoForm::FoxPro : MemoForm::DBase;
    const std::string memoPath = MemoFile::pathFor(run.settings.outputPath, form);
    std::string error;
    memoUsable_ = memo_.create(memoPath, form, &error);
    if (!memoUsable_) {
        // The table is still written; its memo fields point nowhere.
        run.warn(memoPath + ": the memo file cannot be created (" + error +
                 "); the memo texts are left out of " + run.settings.outputPath);
        run.incomplete = true;
    }
}

void DbfWriter::noteMisfit(ExportRun &run, size_t column) {
    Misfit &m = misfits_[column];
    if (m.count++ == 0)
        m.firstRecord = run.written + 1;
}

void DbfWriter::reportMisfits(ExportRun &run) {
    for (size_t i = 0; i < misfits_.size(); ++i) {
        const Misfit &m = misfits_[i];
        if (m.count == 0)
            continue;
        const DbfColumn &c = layout_.columns[i];
        std::string what = c.letter == 'N' ? "too wide for the field, written as asterisks"
                           : c.letter == 'D'
                               ? "not a date of the years 1 to 9999, left empty"
                               : "longer than the field, cut to " + std::to_string(c.length) + " bytes";
        std::string type = std::string(1, c.letter) + "(" + std::to_string(c.length) +
                           (c.decimals ? "," + std::to_string(c.decimals) : std::string()) + ")";
        run.warn(run.settings.outputPath + ": field " + c.name + " " + type + ": " + std::to_string(m.count) +
                 (m.count == 1 ? " value " : " values ") + what + " (the first in record " +
                 std::to_string(m.firstRecord) + ")");
    }
}

bool DbfWriter::record(ExportRun &run) {
    SourceTable &table = run.table;
    const uint8_t *source = table.recordBuffer.data();
    std::fill(recordBuffer_.begin(), recordBuffer_.end(), ' ');
    std::string &value = run.scratch;
    for (size_t i = 0; i < layout_.columns.size(); ++i) {
        const DbfColumn &c = layout_.columns[i];
        char *field = &recordBuffer_[static_cast<size_t>(c.offset)];
        const size_t length = static_cast<size_t>(c.length);
        const FieldInfo &f = table.fields[static_cast<size_t>(c.field)];
        switch (c.letter) {
        case 'N':
            formatFieldValue(value, table, run.settings, source, c.field);
            if (!fitDbfNumber(value, c.length, c.decimals, field)) {
                std::memset(field, '*', length);
                noteMisfit(run, i);
            }
            break;
        case 'L':
            formatFieldValue(value, table, run.settings, source, c.field);
            if (!value.empty())
                field[0] = value[0] == '0' ? 'F' : 'T';
            break;
        case 'D': {
            DateParts d;
            if (!readDateParts(table, source, c.field, d))
                break;
            if (d.year < 1 || d.year > 9999) {
                noteMisfit(run, i);
                break;
            }
            char digits[16];
            snprintf(digits, sizeof digits, "%04d%02d%02d", d.year, d.month, d.day);
            std::memcpy(field, digits, 8);
            break;
        }
        case 'M': {
            uint32_t block = 0;
            if (c.memoText && memoUsable_ && readMemo(table, source, c.field, value) && !value.empty()) {
                block = memo_.append(value);
                if (memo_.failed()) {
                    run.fail(memo_.path() + ": " + memo_.errorText());
                    return false;
                }
            }
            if (layout_.foxPro) {
                putLittle32(field, block);
            } else if (block != 0) {
                char digits[16];
                snprintf(digits, sizeof digits, "%10u", block);
                std::memcpy(field, digits, 10);
            }
            break;
        }
        default:
            if (f.type == PxChar && table.oemText) {
                // The table's own OEM bytes; a round trip through the ANSI code page could change them.
                const char *bytes = reinterpret_cast<const char *>(source + f.offset);
                value.assign(bytes, strnlen(bytes, static_cast<size_t>(f.size)));
            } else {
                formatFieldValue(value, table, run.settings, source, c.field);
            }
            if (value.size() > length)
                noteMisfit(run, i);
            std::memcpy(field, value.data(), std::min(value.size(), length));
            break;
        }
    }
    run.output.writeBytes(recordBuffer_.data(), recordBuffer_.size());
    return true;
}

bool DbfWriter::trailer(ExportRun &run) {
    if (memo_.isOpen()) {
        std::string error;
        if (!memo_.close(&error)) {
            run.fail(memo_.path() + ": " + error);
            return false;
        }
    }
    run.output.writeBytes("\x1A", 1);
    const uint32_t records = baseCount_ + static_cast<uint32_t>(run.written);
    std::string header;
    if (appending_) {
        header = oldHeader_;
        header[1] = static_cast<char>((year_ - 1900) & 0xFF);
        header[2] = static_cast<char>(month_);
        header[3] = static_cast<char>(day_);
        putLittle32(&header[4], records);
    } else {
        header = buildDbfHead(layout_, records, year_, month_, day_).substr(0, 32);
    }
    if (run.output.seek(0) != 0)
        return true; // the driver reports the output's failure
    run.output.writeBytes(header.data(), header.size());
    reportMisfits(run);
    return true;
}

void DbfWriter::abandon(ExportRun &run) {
    memo_.discard();
    if (!appending_)
        return;
    // The driver has cut the table back to its old length; put back the bytes this run overwrote.
    int fd = ::open(run.settings.outputPath.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return;
    bool ok = pwrite(fd, oldHeader_.data(), oldHeader_.size(), 0) == static_cast<ssize_t>(oldHeader_.size());
    if (ok && !oldTail_.empty())
        ok = pwrite(fd, oldTail_.data(), oldTail_.size(), dataEnd_) == static_cast<ssize_t>(oldTail_.size());
    (void)ok;
    ::close(fd);
}

} // namespace quorv
