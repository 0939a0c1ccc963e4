#include "export/excel/workbook.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <sys/stat.h>
#include <unistd.h>

#include <xlsxwriter.h>

#include "export/excel/xls/biff_book.h"
#include "export/excel/xlsx_package.h"
#include "platform/system.h"

namespace quorv {

namespace {

// Days from 1 March of year 0 in the proleptic Gregorian calendar, shifted so that 1970-01-01 is 0.
long daysFromCivil(long y, long m, long d) {
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yoe = y - era * 400;
    const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

// Excel's column width dialog counts characters of the default font's digit width; the files store
// the width with the cell padding included (7-pixel digits, 5 pixels of padding for the default fonts),
// cut to 1/256 of a character. libxlsxwriter does this for .xlsx; .xls gets the same here.
double storedColumnWidth(double width) {
    if (width <= 0)
        return 0;
    constexpr double kDigit = 7, kPadding = 5;
    const double pixels = width < 1 ? std::floor(width * (kDigit + kPadding) + 0.5)
                                    : std::floor(width * kDigit + 0.5) + kPadding;
    return std::floor(pixels / kDigit * 256) / 256;
}

// A hidden temporary file in the folder, named after the target; empty with errno set on failure.
std::string makeTempFile(const std::string &folder, const std::string &stem) {
    std::string pattern = folder + "." + stem.substr(0, 200) + ".XXXXXX"; // within NAME_MAX
    int fd = mkstemp(pattern.data());
    if (fd < 0)
        return {};
    close(fd);
    return pattern;
}

std::string folderOf(const std::string &path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string fileNameOf(const std::string &path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Moves a finished temporary file to its target. The file gets the target's permissions, or those of a
// newly created file (mkstemp made it readable for its owner only).
bool moveInto(const std::string &temp, const std::string &path, std::string *error) {
    struct stat st {};
    mode_t mode;
    if (::stat(path.c_str(), &st) == 0) {
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::chmod(temp.c_str(), mode);
    if (std::rename(temp.c_str(), path.c_str()) == 0)
        return true;
    *error = platform::systemMessage(errno);
    std::remove(temp.c_str());
    return false;
}

// One UTF-8 sequence starting at s[i]: its length and code point. A byte that starts no valid sequence
// (stray, cut short, overlong, a surrogate, beyond U+10FFFF) has length 1 and the code point U+FFFD.
size_t decodeOne(std::string_view s, size_t i, char32_t &cp) {
    const auto b = static_cast<unsigned char>(s[i]);
    if (b < 0x80) {
        cp = b;
        return 1;
    }
    const size_t n = (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
    cp = 0xFFFD;
    if (n == 0 || i + n > s.size())
        return 1;
    char32_t value = b & (0x7F >> n);
    for (size_t k = 1; k < n; ++k) {
        const auto c = static_cast<unsigned char>(s[i + k]);
        if ((c & 0xC0) != 0x80)
            return 1;
        value = (value << 6) | (c & 0x3F);
    }
    static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < kSmallest[n] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 1;
    cp = value;
    return n;
}

// Makes text valid UTF-8, so that the package stays well-formed XML: a byte that starts no valid
// sequence becomes the Latin-1 character of the same number.
void repairUtf8(std::string &text) {
    size_t i = 0;
    char32_t cp = 0;
    while (i < text.size()) {
        const size_t n = decodeOne(text, i, cp);
        if (cp == 0xFFFD && n == 1)
            break;
        i += n;
    }
    if (i == text.size())
        return;
    std::string out(text, 0, i);
    while (i < text.size()) {
        const size_t n = decodeOne(text, i, cp);
        const auto b = static_cast<unsigned char>(text[i]);
        if (cp == 0xFFFD && n == 1) {
            out.push_back(static_cast<char>(0xC0 | (b >> 6)));
            out.push_back(static_cast<char>(0x80 | (b & 0x3F)));
        } else {
            out.append(text, i, n);
        }
        i += n;
    }
    text.swap(out);
}

// Sheet names compare ignoring case (letters outside ASCII as far as the C library's locale knows them).
std::u32string foldCase(std::string_view utf8) {
    std::u32string folded;
    for (size_t i = 0; i < utf8.size();) {
        char32_t cp = 0;
        i += decodeOne(utf8, i, cp);
        folded.push_back(cp < 0x80 ? static_cast<char32_t>(std::tolower(static_cast<int>(cp)))
                                   : static_cast<char32_t>(std::towlower(static_cast<wint_t>(cp))));
    }
    return folded;
}

// ---------------------------------------------------------------------------------------------
// .xls: the whole book in memory, written on saving.

class ClassicBook final : public Workbook {
public:

    BookKind kind() const override { return BookKind::Classic; }
    int maxRows() const override { return xls::XlsBook::kMaxRows; }
    int maxColumns() const override { return xls::XlsBook::kMaxColumns; }

    bool load(const std::string &path, std::string *error) override {
        try {
            return book_.load(path, error);
        } catch (const std::exception &e) {
            *error = std::string("the workbook cannot be read (") + e.what() + ")";
            return false;
        }
    }
    int sheetCount() const override { return book_.sheetCount(); }
    std::vector<std::string> sheetNames() const override {
        std::vector<std::string> names;
        for (int i = 0; i < book_.sheetCount(); ++i)
            names.push_back(book_.sheetName(i));
        return names;
    }
    int addSheet(const std::string &name, std::string *) override { return book_.addSheet(name); }
    CellFormat addFormat(int builtinNumberFormat) override { return builtinNumberFormat == 14 ? kDate : 0; }

    void writeText(int sheet, int row, int col, std::string_view utf8) override {
        guarded([&] { book_.writeText(sheet, row, col, std::string(cutToUtf16Units(utf8, kMaxTextLength))); });
    }
    void writeNumber(int sheet, int row, int col, double value, CellFormat format) override {
        guarded([&] {
            if (format == kDate)
                book_.writeDate(sheet, row, col, value);
            else
                book_.writeNumber(sheet, row, col, value);
        });
    }
    void writeLogical(int sheet, int row, int col, bool value) override {
        guarded([&] { book_.writeLogical(sheet, row, col, value); });
    }
    void setColumnWidth(int sheet, int firstCol, int lastCol, double width) override {
        guarded([&] { book_.setColumnWidth(sheet, firstCol, lastCol, storedColumnWidth(width)); });
    }
    void freezeFirstRow(int sheet) override {
        guarded([&] { book_.freezeFirstRow(sheet); });
    }

    bool save(const std::string &path, std::string *error) override {
        if (!error_.empty()) {
            *error = error_;
            return false;
        }
        std::string temp = makeTempFile(folderOf(path), fileNameOf(path));
        if (temp.empty()) {
            *error = platform::systemMessage(errno);
            return false;
        }
        bool saved = false;
        try {
            saved = book_.save(temp, error);
        } catch (const std::exception &e) {
            *error = e.what();
        }
        if (!saved) {
            std::remove(temp.c_str());
            return false;
        }
        return moveInto(temp, path, error);
    }

private:
    static constexpr CellFormat kDate = 1;

    template <class F> void guarded(F write) {
        try {
            write();
        } catch (const std::out_of_range &e) {
            if (error_.empty())
                error_ = e.what();
        }
    }

    xls::XlsBook book_;
    std::string error_; // the first failed cell write
};

// ---------------------------------------------------------------------------------------------
// .xlsx: libxlsxwriter in constant-memory mode; a loaded package is merged in on saving.

// "_xHHHH_" in a cell text stands for the character HHHH; a literal one is written with its
// underscore escaped, so that it reads back as written.
bool hasEscapeLookalike(std::string_view text) {
    for (size_t i = text.find("_x"); i != std::string_view::npos; i = text.find("_x", i + 1)) {
        if (i + 7 > text.size() || text[i + 6] != '_')
            continue;
        if (std::all_of(text.begin() + static_cast<long>(i) + 2, text.begin() + static_cast<long>(i) + 6,
                        [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }))
            return true;
    }
    return false;
}

void escapeLookalikes(std::string &text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, 2, "_x") == 0 && hasEscapeLookalike(std::string_view(text).substr(i, 7)))
            out += "_x005F";
        out += text[i];
    }
    text.swap(out);
}

class XmlBook final : public Workbook {
public:
    explicit XmlBook(std::string workFolder) : folder_(std::move(workFolder)) {
        tmpdir_ = folder_.empty() ? std::string(".") : folder_;
    }
    ~XmlBook() override {
        if (book_)
            lxw_workbook_free(book_);
        if (!tempPath_.empty())
            std::remove(tempPath_.c_str());
    }

    BookKind kind() const override { return BookKind::Xml; }
    int maxRows() const override { return LXW_ROW_MAX; }
    int maxColumns() const override { return LXW_COL_MAX; }

    bool load(const std::string &path, std::string *error) override {
        xlsx::PackageInfo info;
        if (!xlsx::readPackage(path, &info, error))
            return false;
        loadedPath_ = path;
        loadedNames_ = info.sheetNames;
        date1904_ = info.date1904;
        return true;
    }
    int sheetCount() const override { return static_cast<int>(loadedNames_.size() + newNames_.size()); }
    std::vector<std::string> sheetNames() const override {
        std::vector<std::string> names = loadedNames_;
        names.insert(names.end(), newNames_.begin(), newNames_.end());
        return names;
    }

    int addSheet(const std::string &name, std::string *error) override {
        if (!begin(error))
            return -1;
        errno = 0;
        lxw_worksheet *sheet = workbook_add_worksheet(book_, name.c_str());
        if (!sheet) {
            *error = "cannot add the sheet \"" + name + "\"";
            if (errno != 0)
                *error += ": " + platform::systemMessage(errno);
            return -1;
        }
        sheets_.push_back(sheet);
        newNames_.push_back(name);
        return sheetCount() - 1;
    }

    CellFormat addFormat(int builtinNumberFormat) override {
        std::string error;
        if (!begin(&error)) {
            note(error);
            return 0;
        }
        lxw_format *format = workbook_add_format(book_);
        format_set_num_format_index(format, static_cast<uint8_t>(builtinNumberFormat));
        formats_.push_back(format);
        return static_cast<CellFormat>(formats_.size());
    }

    void writeText(int sheet, int row, int col, std::string_view utf8) override {
        if (lxw_worksheet *s = sheetAt(sheet)) {
            text_.assign(utf8);
            repairUtf8(text_); // the package must stay well-formed XML
            text_.resize(cutToUtf16Units(text_, kMaxTextLength).size());
            if (hasEscapeLookalike(text_))
                escapeLookalikes(text_);
            check(worksheet_write_string(s, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(col),
                                         text_.c_str(), nullptr));
        }
    }
    void writeNumber(int sheet, int row, int col, double value, CellFormat format) override {
        if (lxw_worksheet *s = sheetAt(sheet))
            check(worksheet_write_number(s, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(col), value,
                                         formatAt(format)));
    }
    void writeLogical(int sheet, int row, int col, bool value) override {
        if (lxw_worksheet *s = sheetAt(sheet))
            check(worksheet_write_boolean(s, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(col),
                                          value ? 1 : 0, nullptr));
    }
    void setColumnWidth(int sheet, int firstCol, int lastCol, double width) override {
        if (lxw_worksheet *s = sheetAt(sheet))
            check(worksheet_set_column(s, static_cast<lxw_col_t>(firstCol), static_cast<lxw_col_t>(lastCol), width,
                                       nullptr));
    }
    void freezeFirstRow(int sheet) override {
        if (lxw_worksheet *s = sheetAt(sheet))
            worksheet_freeze_panes(s, 1, 0);
    }

    bool save(const std::string &path, std::string *error) override {
        if (!error_.empty()) {
            *error = error_;
            return false;
        }
        if (!book_ && !begin(error))
            return false;
        saved_ = true;
        // libxlsxwriter does not look at the results of writing its temporary files.
        for (lxw_worksheet *sheet : sheets_) {
            if (sheet->file && (std::fflush(sheet->file) != 0 || std::ferror(sheet->file))) {
                *error = "writing the sheet data to a temporary file failed (" + platform::systemMessage(errno) + ")";
                return false;
            }
        }
        errno = 0;
        lxw_error result = workbook_close(book_);
        book_ = nullptr;
        if (result != LXW_NO_ERROR) {
            *error = lxw_strerror(result);
            if (errno != 0)
                *error += " (" + platform::systemMessage(errno) + ")";
            return false;
        }
        if (!xlsx::worksheetsComplete(tempPath_, error))
            return false;
        if (!loadedPath_.empty()) {
            std::string merged = makeTempFile(folderOf(path), fileNameOf(path));
            if (merged.empty()) {
                *error = platform::systemMessage(errno);
                return false;
            }
            const bool ok = xlsx::mergePackages(loadedPath_, tempPath_, newNames_, merged, error);
            std::remove(tempPath_.c_str());
            tempPath_ = merged;
            if (!ok)
                return false;
        }
        bool moved = moveInto(tempPath_, path, error);
        tempPath_.clear();
        return moved;
    }

private:
    // Creates the libxlsxwriter book on first use; it writes to a temporary file in the work folder.
    bool begin(std::string *error) {
        if (book_)
            return true;
        if (saved_) {
            *error = "the workbook has been saved already";
            return false;
        }
        tempPath_ = makeTempFile(folder_, "quorv-book.xlsx");
        if (tempPath_.empty()) {
            *error = platform::systemMessage(errno);
            return false;
        }
        lxw_workbook_options options{};
        options.constant_memory = LXW_TRUE;
        options.tmpdir = tmpdir_.data();
        book_ = workbook_new_opt(tempPath_.c_str(), &options);
        if (!book_) {
            *error = "cannot start an .xlsx workbook";
            return false;
        }
        return true;
    }

    lxw_worksheet *sheetAt(int sheet) {
        const int index = sheet - static_cast<int>(loadedNames_.size());
        if (!book_ || index < 0 || index >= static_cast<int>(sheets_.size())) {
            note("no sheet " + std::to_string(sheet) + " to write into");
            return nullptr;
        }
        return sheets_[static_cast<size_t>(index)];
    }
    lxw_format *formatAt(CellFormat format) const {
        return format > 0 && format <= static_cast<int>(formats_.size()) ? formats_[static_cast<size_t>(format - 1)]
                                                                          : nullptr;
    }
    void check(lxw_error result) {
        if (result != LXW_NO_ERROR)
            note(lxw_strerror(result));
    }
    void note(const std::string &message) {
        if (error_.empty())
            error_ = message;
    }

    std::string folder_;
    std::string tmpdir_;
    lxw_workbook *book_ = nullptr;
    std::vector<lxw_worksheet *> sheets_;
    std::vector<lxw_format *> formats_;
    std::vector<std::string> newNames_;
    std::vector<std::string> loadedNames_;
    std::string loadedPath_;
    std::string tempPath_;
    std::string text_;
    std::string error_;
    bool saved_ = false;
};

} // namespace

std::unique_ptr<Workbook> Workbook::create(BookKind kind, const std::string &workFolder) {
    std::string folder = workFolder;
    if (!folder.empty() && folder.back() != '/')
        folder.push_back('/');
    if (kind == BookKind::Classic)
        return std::make_unique<ClassicBook>(); // saving goes through a temporary file beside the target
    return std::make_unique<XmlBook>(folder);
}

bool Workbook::datePack(int year, int month, int day, double &serial) const {
    if (year > 9999 || month < 1 || month > 12 || day < 1 || day > 31)
        return false;
    const long days = daysFromCivil(year, month, day);
    if (date1904_) {
        const long value = days - daysFromCivil(1904, 1, 1);
        if (value < 0)
            return false;
        serial = static_cast<double>(value);
        return true;
    }
    // Day 1 is 1 January 1900, and Excel counts a 29 February 1900 that never was, so 1 March 1900 is
    // day 61. LibreOffice counts the days before that one lower than Excel does (and xlrd refuses
    // them), so no serial number shows those 59 days alike everywhere: they are left to text too.
    long value = days - daysFromCivil(1899, 12, 31) + 1;
    if (value < 61)
        return false;
    serial = static_cast<double>(value);
    return true;
}

size_t utf16Length(std::string_view utf8) {
    size_t units = 0;
    for (size_t i = 0; i < utf8.size();) {
        char32_t cp = 0;
        i += decodeOne(utf8, i, cp);
        units += cp > 0xFFFF ? 2 : 1;
    }
    return units;
}

std::string_view cutToUtf16Units(std::string_view utf8, size_t maxUnits) {
    if (utf8.size() <= maxUnits)
        return utf8; // UTF-16 never needs more units than UTF-8 has bytes
    size_t units = 0;
    for (size_t i = 0; i < utf8.size();) {
        char32_t cp = 0;
        const size_t n = decodeOne(utf8, i, cp);
        const size_t add = cp > 0xFFFF ? 2 : 1;
        if (units + add > maxUnits)
            return utf8.substr(0, i);
        units += add;
        i += n;
    }
    return utf8;
}

std::string validSheetName(std::string_view utf8) {
    std::string name;
    for (size_t i = 0; i < utf8.size();) {
        char32_t cp = 0;
        const size_t n = decodeOne(utf8, i, cp);
        if (cp < 0x20 || cp == 0xFFFD || (cp < 0x80 && std::strchr("[]:*?/\\", static_cast<int>(cp))))
            name.push_back('_');
        else
            name.append(utf8.substr(i, n));
        i += n;
    }
    while (!name.empty() && name.front() == '\'')
        name.erase(0, 1);
    name = std::string(cutToUtf16Units(name, Workbook::kMaxSheetNameLength));
    while (!name.empty() && name.back() == '\'')
        name.pop_back();
    return name.empty() ? std::string("Sheet1") : name;
}

std::string uniqueSheetName(const std::string &name, const std::vector<std::string> &existing) {
    auto taken = [&](const std::string &candidate) {
        const std::u32string folded = foldCase(candidate);
        for (const std::string &e : existing)
            if (foldCase(e) == folded)
                return true;
        return false;
    };
    if (!taken(name))
        return name;
    for (int n = 2;; ++n) {
        const std::string suffix = " (" + std::to_string(n) + ")";
        std::string candidate(cutToUtf16Units(name, Workbook::kMaxSheetNameLength - suffix.size()));
        candidate += suffix;
        if (!taken(candidate))
            return candidate;
    }
}

} // namespace quorv
