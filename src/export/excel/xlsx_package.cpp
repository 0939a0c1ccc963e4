#include "export/excel/xlsx_package.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>
#include <set>
#include <string_view>

#include <minizip/unzip.h>
#include <minizip/zip.h>
#include <pugixml.hpp>
#include <zlib.h>

namespace quorv::xlsx {

namespace {

constexpr size_t kMaxPartSize = 64u << 20; // the XML lists read whole; larger ones are not plausible
constexpr const char *kRelationshipBase = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
constexpr const char *kWorksheetContentType =
    "application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml";
constexpr const char *kStylesContentType = "application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml";

std::string lower(std::string_view s) {
    std::string out(s);
    for (char &c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool endsWith(std::string_view s, std::string_view tail) {
    return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

std::string folderOf(const std::string &part) {
    size_t slash = part.rfind('/');
    return slash == std::string::npos ? std::string() : part.substr(0, slash + 1);
}

// A relationship target, relative to the folder of the part that holds the relationships, as a zip
// entry name (no leading "/", "." and ".." resolved).
std::string resolveTarget(const std::string &folder, std::string_view target) {
    std::string joined = !target.empty() && target[0] == '/' ? std::string(target.substr(1)) : folder + std::string(target);
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= joined.size()) {
        size_t slash = joined.find('/', start);
        if (slash == std::string::npos)
            slash = joined.size();
        std::string piece = joined.substr(start, slash - start);
        if (piece == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!piece.empty() && piece != ".") {
            parts.push_back(piece);
        }
        start = slash + 1;
    }
    std::string out;
    for (const std::string &p : parts)
        out += (out.empty() ? "" : "/") + p;
    return out;
}

std::string escapeAttribute(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string_view localName(std::string_view qname) {
    size_t colon = qname.find(':');
    return colon == std::string_view::npos ? qname : qname.substr(colon + 1);
}
// "x:" for "x:sheet", "" for "sheet".
std::string prefixOf(std::string_view qname) {
    size_t colon = qname.find(':');
    return colon == std::string_view::npos ? std::string() : std::string(qname.substr(0, colon + 1));
}

// ---------------------------------------------------------------------------------------------
// Zip archives

struct ZipEntry {
    std::string name;
    unz64_file_pos position{};
    unz_file_info64 info{};
};

class ZipIn {
public:
    ~ZipIn() {
        if (file_)
            unzClose(file_);
    }

    bool open(const std::string &path, std::string *error) {
        file_ = unzOpen64(path.c_str());
        if (!file_) {
            *error = "not an .xlsx workbook (it is no zip archive)";
            return false;
        }
        for (int rc = unzGoToFirstFile(file_); rc == UNZ_OK; rc = unzGoToNextFile(file_)) {
            ZipEntry entry;
            char name[1024];
            if (unzGetCurrentFileInfo64(file_, &entry.info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK ||
                unzGetFilePos64(file_, &entry.position) != UNZ_OK) {
                *error = "the zip archive's directory is damaged";
                return false;
            }
            entry.name.assign(name, std::min<size_t>(entry.info.size_filename, sizeof name - 1));
            if (entry.info.flag & 1) {
                *error = "the package holds encrypted entries";
                return false;
            }
            entries_.push_back(std::move(entry));
        }
        return true;
    }

    const std::vector<ZipEntry> &entries() const { return entries_; }

    // Part names compare ignoring case.
    const ZipEntry *find(std::string_view name) const {
        const std::string wanted = lower(name);
        for (const ZipEntry &e : entries_)
            if (lower(e.name) == wanted)
                return &e;
        return nullptr;
    }

    bool openEntry(const ZipEntry &entry, bool raw, std::string *error) {
        ZipEntry &e = const_cast<ZipEntry &>(entry);
        int method = 0, level = 0;
        if (unzGoToFilePos64(file_, &e.position) != UNZ_OK ||
            unzOpenCurrentFile2(file_, &method, &level, raw ? 1 : 0) != UNZ_OK) {
            *error = "cannot read " + entry.name + " in the package";
            return false;
        }
        if (!raw && method != 0 && method != Z_DEFLATED) {
            unzCloseCurrentFile(file_);
            *error = entry.name + " is compressed with a method zip readers rarely know";
            return false;
        }
        return true;
    }
    // Bytes read, 0 at the end, below 0 on failure.
    int readSome(char *buffer, unsigned size) { return unzReadCurrentFile(file_, buffer, size); }
    bool closeEntry(const ZipEntry &entry, std::string *error) {
        if (unzCloseCurrentFile(file_) != UNZ_OK) {
            *error = entry.name + " in the package is damaged (checksum)";
            return false;
        }
        return true;
    }

    // The whole uncompressed entry.
    bool read(const ZipEntry &entry, std::string *out, std::string *error) {
        if (entry.info.uncompressed_size > kMaxPartSize) {
            *error = entry.name + " is too large for a package part of its kind";
            return false;
        }
        if (!openEntry(entry, false, error))
            return false;
        out->clear();
        char buffer[65536];
        int n;
        while ((n = readSome(buffer, sizeof buffer)) > 0) {
            out->append(buffer, static_cast<size_t>(n));
            if (out->size() > kMaxPartSize) {
                unzCloseCurrentFile(file_);
                *error = entry.name + " is too large for a package part of its kind";
                return false;
            }
        }
        if (n < 0) {
            unzCloseCurrentFile(file_);
            *error = entry.name + " in the package is damaged";
            return false;
        }
        return closeEntry(entry, error);
    }

private:
    unzFile file_ = nullptr;
    std::vector<ZipEntry> entries_;
};

class ZipOut {
public:
    ~ZipOut() {
        if (file_)
            zipClose(file_, nullptr);
    }
    bool open(const std::string &path, std::string *error) {
        file_ = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
        if (!file_) {
            *error = "cannot create " + path;
            return false;
        }
        return true;
    }
    // A new entry, compressed here.
    bool begin(const std::string &name, uint64_t sizeHint, std::string *error) {
        zip_fileinfo info{};
        info.dosDate = 0x00210000; // 1980-01-01, as libxlsxwriter writes its parts
        return check(zipOpenNewFileInZip4_64(file_, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                             Z_DEFAULT_COMPRESSION, 0, -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY,
                                             nullptr, 0, 0, 0, sizeHint >= 0xFFFFFFFFu ? 1 : 0),
                     name, error);
    }
    // An entry whose compressed bytes are copied as they are.
    bool beginRaw(const ZipEntry &entry, std::string *error) {
        zip_fileinfo info{};
        info.dosDate = entry.info.dosDate;
        info.internal_fa = entry.info.internal_fa;
        info.external_fa = entry.info.external_fa;
        return check(zipOpenNewFileInZip4_64(file_, entry.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                             static_cast<int>(entry.info.compression_method), Z_DEFAULT_COMPRESSION, 1,
                                             -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr, 0,
                                             entry.info.version, entry.info.flag & 0x0800u,
                                             entry.info.uncompressed_size >= 0xFFFFFFFFu ? 1 : 0),
                     entry.name, error);
    }
    bool write(const char *data, size_t size, const std::string &name, std::string *error) {
        while (size > 0) {
            const unsigned chunk = static_cast<unsigned>(std::min<size_t>(size, 1u << 30));
            if (!check(zipWriteInFileInZip(file_, data, chunk), name, error))
                return false;
            data += chunk;
            size -= chunk;
        }
        return true;
    }
    bool end(const std::string &name, std::string *error) { return check(zipCloseFileInZip(file_), name, error); }
    bool endRaw(const ZipEntry &entry, std::string *error) {
        return check(zipCloseFileInZipRaw64(file_, entry.info.uncompressed_size, entry.info.crc), entry.name, error);
    }
    bool close(std::string *error) {
        int rc = zipClose(file_, nullptr);
        file_ = nullptr;
        return check(rc, "the package directory", error);
    }

private:
    bool check(int rc, const std::string &what, std::string *error) {
        if (rc == ZIP_OK)
            return true;
        *error = "writing " + what + " failed" + (rc == ZIP_ERRNO ? std::string(": ") + std::strerror(errno) : "");
        return false;
    }
    zipFile file_ = nullptr;
};

// ---------------------------------------------------------------------------------------------
// The markup of an XML part, for inserting elements into its text without touching anything else.

struct Tag {
    size_t begin = 0, end = 0; // '<' .. one past '>'
    std::string_view name;     // qualified name
    enum Kind { Start, End, Empty } kind = Start;
};

// The tags outside comments, CDATA sections, processing instructions and declarations.
bool scanTags(std::string_view xml, std::vector<Tag> &tags) {
    tags.clear();
    size_t i = 0;
    while ((i = xml.find('<', i)) != std::string_view::npos) {
        auto skipTo = [&](std::string_view from, std::string_view to) {
            if (xml.compare(i, from.size(), from) != 0)
                return false;
            size_t e = xml.find(to, i + from.size());
            i = e == std::string_view::npos ? xml.size() + 1 : e + to.size();
            return true;
        };
        if (skipTo("<!--", "-->") || skipTo("<![CDATA[", "]]>") || skipTo("<?", "?>") || skipTo("<!", ">")) {
            if (i > xml.size())
                return false;
            continue;
        }
        Tag tag;
        tag.begin = i;
        const bool endTag = i + 1 < xml.size() && xml[i + 1] == '/';
        size_t p = i + (endTag ? 2 : 1);
        const size_t nameStart = p;
        while (p < xml.size() && !std::isspace(static_cast<unsigned char>(xml[p])) && xml[p] != '>' && xml[p] != '/')
            ++p;
        if (p == nameStart)
            return false;
        tag.name = xml.substr(nameStart, p - nameStart);
        char quote = 0;
        for (; p < xml.size(); ++p) {
            const char c = xml[p];
            if (quote) {
                if (c == quote)
                    quote = 0;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '>') {
                break;
            }
        }
        if (p >= xml.size())
            return false;
        tag.end = p + 1;
        tag.kind = endTag ? Tag::End : (xml[p - 1] == '/' ? Tag::Empty : Tag::Start);
        tags.push_back(tag);
        i = tag.end;
    }
    return true;
}

// The one element with this local name: its start tag and, unless it is empty, its end tag.
struct Element {
    const Tag *start = nullptr;
    const Tag *end = nullptr;
};

bool findElement(const std::vector<Tag> &tags, std::string_view local, Element &out) {
    int found = 0;
    for (size_t t = 0; t < tags.size(); ++t) {
        if (tags[t].kind == Tag::End || localName(tags[t].name) != local)
            continue;
        ++found;
        out.start = &tags[t];
        out.end = nullptr;
        if (tags[t].kind == Tag::Empty)
            continue;
        int depth = 0;
        for (size_t u = t + 1; u < tags.size(); ++u) {
            if (tags[u].name != tags[t].name)
                continue;
            if (tags[u].kind == Tag::Start)
                ++depth;
            else if (tags[u].kind == Tag::End && depth-- == 0) {
                out.end = &tags[u];
                break;
            }
        }
        if (!out.end)
            return false;
    }
    return found == 1;
}

// Inserts children at the end of an element found by findElement; with a count attribute, the element's
// count becomes newCount.
void appendChildren(std::string &xml, const Element &element, const std::string &children, int newCount = -1) {
    std::string start(xml, element.start->begin, element.start->end - element.start->begin);
    if (newCount >= 0) {
        for (const char *attr : {" count=", "\tcount=", "\ncount=", "\rcount="}) {
            const size_t at = start.find(attr);
            if (at == std::string::npos || at + 8 >= start.size())
                continue;
            const char quote = start[at + 7];
            const size_t close = start.find(quote, at + 8);
            if (close != std::string::npos)
                start.replace(at + 8, close - at - 8, std::to_string(newCount));
            break;
        }
    }
    if (element.end) {
        xml.insert(element.end->begin, children); // after the start tag, so its offsets stay
    } else {
        // <name .../> becomes <name ...>children</name>
        start.erase(start.size() - 2);
        start += ">" + children + "</" + std::string(element.start->name) + ">";
    }
    xml.replace(element.start->begin, element.start->end - element.start->begin, start);
}

// The one element of a part with this local name; false when the part has none, or several.
bool locate(const std::string &xml, std::string_view local, std::vector<Tag> &tags, Element &element) {
    return scanTags(xml, tags) && findElement(tags, local, element);
}

// ---------------------------------------------------------------------------------------------
// The existing package

bool parseXml(const std::string &text, const std::string &part, pugi::xml_document &doc, std::string *error) {
    pugi::xml_parse_result result = doc.load_buffer(text.data(), text.size(), pugi::parse_default, pugi::encoding_utf8);
    if (!result) {
        *error = part + " is not well-formed XML (" + result.description() + ")";
        return false;
    }
    return true;
}

pugi::xml_node child(pugi::xml_node node, std::string_view local) {
    for (pugi::xml_node c : node.children())
        if (c.type() == pugi::node_element && localName(c.name()) == local)
            return c;
    return {};
}

std::string_view attribute(pugi::xml_node node, std::string_view local) {
    for (pugi::xml_attribute a : node.attributes())
        if (localName(a.name()) == local && std::string_view(a.name()).substr(0, 6) != "xmlns:")
            return a.value();
    return {};
}

struct Relationship {
    std::string id, type, target;
};

struct Existing {
    ZipIn zip;
    const ZipEntry *contentTypesEntry = nullptr, *workbookEntry = nullptr, *relsEntry = nullptr,
                   *stylesEntry = nullptr;
    std::string contentTypes, workbook, rels, styles;
    std::string workbookPart; // entry name
    std::vector<std::string> sheetNames;
    unsigned maxSheetId = 0;
    std::string idAttribute; // qualified name of the relationship id on <sheet>
    std::string idNamespace; // its namespace declaration, when the existing <sheet> elements make it themselves
    std::set<std::string> relIds;
    std::set<std::string> usedParts; // lower case, entries and content-type overrides
    bool date1904 = false;
    int dateXf = -1;      // a plain cell format with the date format 14 in the styles, if any
    int xfCount = 0;      // cell formats in the styles
    bool xfIdUsable = false;
};

bool readXmlPart(Existing &ex, const ZipEntry *entry, std::string &text, pugi::xml_document &doc,
                 std::string *error) {
    if (!ex.zip.read(*entry, &text, error))
        return false;
    if (text.size() >= 2 && (static_cast<unsigned char>(text[0]) == 0xFE || static_cast<unsigned char>(text[0]) == 0xFF)) {
        *error = entry->name + " is UTF-16 text, which this program does not extend";
        return false;
    }
    return parseXml(text, entry->name, doc, error);
}

bool readExisting(const std::string &path, Existing &ex, std::string *error) {
    if (!ex.zip.open(path, error))
        return false;
    for (const ZipEntry &e : ex.zip.entries())
        ex.usedParts.insert(lower(e.name));

    ex.contentTypesEntry = ex.zip.find("[Content_Types].xml");
    const ZipEntry *packageRels = ex.zip.find("_rels/.rels");
    if (!ex.contentTypesEntry || !packageRels) {
        *error = "not an .xlsx workbook (no content types or package relationships)";
        return false;
    }
    pugi::xml_document doc;
    if (!readXmlPart(ex, ex.contentTypesEntry, ex.contentTypes, doc, error))
        return false;
    for (pugi::xml_node o : doc.document_element().children())
        if (localName(o.name()) == "Override")
            ex.usedParts.insert(lower(resolveTarget("", attribute(o, "PartName"))));

    std::string text;
    if (!readXmlPart(ex, packageRels, text, doc, error))
        return false;
    for (pugi::xml_node r : doc.document_element().children())
        if (endsWith(attribute(r, "Type"), "/officeDocument"))
            ex.workbookPart = resolveTarget("", attribute(r, "Target"));
    ex.workbookEntry = ex.workbookPart.empty() ? nullptr : ex.zip.find(ex.workbookPart);
    if (!ex.workbookEntry) {
        *error = "not an .xlsx workbook (no workbook part)";
        return false;
    }
    ex.workbookPart = ex.workbookEntry->name;
    const std::string folder = folderOf(ex.workbookPart);

    if (!readXmlPart(ex, ex.workbookEntry, ex.workbook, doc, error))
        return false;
    pugi::xml_node book = doc.document_element();
    if (localName(book.name()) != "workbook") {
        *error = "not an .xlsx workbook (its main part is no spreadsheet)";
        return false;
    }
    for (pugi::xml_attribute a : book.attributes())
        if (std::string_view(a.value()).find("purl.oclc.org/ooxml") != std::string_view::npos) {
            *error = "the workbook is saved as Strict Open XML, to which this program adds no sheets";
            return false;
        }
    const std::string_view date1904 = attribute(child(book, "workbookPr"), "date1904");
    ex.date1904 = date1904 == "1" || date1904 == "true";
    pugi::xml_node sheets = child(book, "sheets");
    for (pugi::xml_node s : sheets.children()) {
        if (localName(s.name()) != "sheet")
            continue;
        ex.sheetNames.emplace_back(attribute(s, "name"));
        ex.maxSheetId = std::max(ex.maxSheetId, static_cast<unsigned>(std::strtoul(std::string(attribute(s, "sheetId")).c_str(), nullptr, 10)));
        for (pugi::xml_attribute a : s.attributes()) {
            if (localName(a.name()) != "id" || std::string_view(a.name()).find(':') == std::string_view::npos)
                continue;
            ex.idAttribute = a.name();
            const std::string declaration = "xmlns:" + std::string(prefixOf(a.name()), 0, prefixOf(a.name()).size() - 1);
            if (!book.attribute(declaration.c_str()) && !sheets.attribute(declaration.c_str()) &&
                s.attribute(declaration.c_str()))
                ex.idNamespace = " " + declaration + "=\"" + escapeAttribute(s.attribute(declaration.c_str()).value()) + "\"";
        }
    }
    if (ex.sheetNames.empty() || ex.idAttribute.empty()) {
        *error = "the workbook lists no sheets";
        return false;
    }

    const std::string relsPart = folder + "_rels/" + ex.workbookPart.substr(folder.size()) + ".rels";
    ex.relsEntry = ex.zip.find(relsPart);
    if (!ex.relsEntry) {
        *error = "the workbook has no relationships part";
        return false;
    }
    if (!readXmlPart(ex, ex.relsEntry, ex.rels, doc, error))
        return false;
    std::string stylesPart;
    for (pugi::xml_node r : doc.document_element().children()) {
        if (localName(r.name()) != "Relationship")
            continue;
        ex.relIds.emplace(attribute(r, "Id"));
        if (attribute(r, "TargetMode") != "External")
            ex.usedParts.insert(lower(resolveTarget(folder, attribute(r, "Target"))));
        if (endsWith(attribute(r, "Type"), "/styles"))
            stylesPart = resolveTarget(folder, attribute(r, "Target"));
    }

    if (!stylesPart.empty()) {
        ex.stylesEntry = ex.zip.find(stylesPart);
        if (!ex.stylesEntry) {
            *error = "the workbook's styles part " + stylesPart + " is missing";
            return false;
        }
        if (!readXmlPart(ex, ex.stylesEntry, ex.styles, doc, error))
            return false;
        pugi::xml_node sheet = doc.document_element();
        pugi::xml_node xfs = child(sheet, "cellXfs");
        auto hasChildren = [&](std::string_view name) {
            return child(child(sheet, name), name.substr(0, name.size() - 1)) ? true : false;
        };
        if (!xfs || !hasChildren("fonts") || !hasChildren("fills") || !hasChildren("borders")) {
            *error = "the workbook's styles have no cell formats to build a date format on";
            return false;
        }
        ex.xfIdUsable = child(child(sheet, "cellStyleXfs"), "xf") ? true : false;
        auto zeroOrNone = [](std::string_view v) { return v.empty() || v == "0"; };
        for (pugi::xml_node xf : xfs.children()) {
            if (localName(xf.name()) != "xf")
                continue;
            if (ex.dateXf < 0 && attribute(xf, "numFmtId") == "14" && zeroOrNone(attribute(xf, "fontId")) &&
                zeroOrNone(attribute(xf, "fillId")) && zeroOrNone(attribute(xf, "borderId")) && !xf.first_child())
                ex.dateXf = ex.xfCount;
            ++ex.xfCount;
        }
    }

    // Check that the texts can take the insertions.
    std::vector<Tag> tags;
    Element element;
    if (!locate(ex.contentTypes, "Types", tags, element) || !locate(ex.rels, "Relationships", tags, element) ||
        !locate(ex.workbook, "sheets", tags, element) ||
        (ex.stylesEntry && !locate(ex.styles, "cellXfs", tags, element))) {
        *error = "the workbook's parts are laid out in a way this program cannot extend";
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// The added package (libxlsxwriter's)

bool readAdded(ZipIn &zip, size_t sheetCount, std::vector<const ZipEntry *> &sheets, std::vector<int> &dateXfs,
               std::string *error) {
    std::string text;
    pugi::xml_document doc, rels;
    const ZipEntry *book = zip.find("xl/workbook.xml"), *bookRels = zip.find("xl/_rels/workbook.xml.rels"),
                   *styles = zip.find("xl/styles.xml");
    if (!book || !bookRels || !styles) {
        *error = "the new sheets' workbook is incomplete";
        return false;
    }
    if (!zip.read(*bookRels, &text, error) || !parseXml(text, bookRels->name, rels, error) ||
        !zip.read(*book, &text, error) || !parseXml(text, book->name, doc, error))
        return false;
    for (pugi::xml_node s : child(doc.document_element(), "sheets").children()) {
        const std::string_view id = attribute(s, "id");
        for (pugi::xml_node r : rels.document_element().children())
            if (attribute(r, "Id") == id)
                sheets.push_back(zip.find(resolveTarget("xl/", attribute(r, "Target"))));
    }
    if (sheets.size() != sheetCount || std::count(sheets.begin(), sheets.end(), nullptr) > 0) {
        *error = "the new sheets' workbook does not hold the sheets written";
        return false;
    }
    if (!zip.read(*styles, &text, error) || !parseXml(text, styles->name, doc, error))
        return false;
    int index = 0;
    for (pugi::xml_node xf : child(doc.document_element(), "cellXfs").children()) {
        if (attribute(xf, "numFmtId") == "14")
            dateXfs.push_back(index);
        ++index;
    }
    return true;
}

// Copies one worksheet of libxlsxwriter's into the merged package: cell format numbers are mapped to
// the existing styles, and the sheet is not selected (the existing book keeps its selected tab).
class SheetRewriter {
public:
    SheetRewriter(std::vector<int> dateXfs, int targetDateXf) : dateXfs_(std::move(dateXfs)), target_(targetDateXf) {}

    void feed(const char *data, size_t size, std::string &out) {
        for (size_t i = 0; i < size;) {
            if (!inTag_) {
                const char *lt = static_cast<const char *>(std::memchr(data + i, '<', size - i));
                const size_t stop = lt ? static_cast<size_t>(lt - data) : size;
                out.append(data + i, stop - i);
                i = stop;
                if (lt) {
                    inTag_ = true;
                    tag_.assign(1, '<');
                    ++i;
                }
                continue;
            }
            const char c = data[i++];
            tag_.push_back(c);
            if (quote_) {
                if (c == quote_)
                    quote_ = 0;
            } else if (c == '"' || c == '\'') {
                quote_ = c;
            } else if (c == '>') {
                rewrite(tag_);
                out += tag_;
                inTag_ = false;
            }
        }
    }
    bool finished() const { return !inTag_; }

private:
    void rewrite(std::string &tag) {
        if (tag.compare(0, 3, "<c ") == 0) {
            const size_t s = tag.find(" s=\"");
            if (s == std::string::npos)
                return;
            const size_t value = s + 4, close = tag.find('"', value);
            const int xf = std::atoi(tag.substr(value, close - value).c_str());
            const bool date = std::find(dateXfs_.begin(), dateXfs_.end(), xf) != dateXfs_.end();
            tag.replace(value, close - value, std::to_string(date ? target_ : 0));
        } else if (tag.compare(0, 11, "<sheetView ") == 0) {
            const size_t at = tag.find(" tabSelected=\"1\"");
            if (at != std::string::npos)
                tag.erase(at, 16);
        }
    }

    std::vector<int> dateXfs_;
    int target_;
    bool inTag_ = false;
    char quote_ = 0;
    std::string tag_;
};

bool copyRaw(ZipIn &in, const ZipEntry &entry, ZipOut &out, std::string *error) {
    if (!in.openEntry(entry, true, error))
        return false;
    if (!out.beginRaw(entry, error))
        return false;
    std::vector<char> buffer(1 << 16);
    int n;
    while ((n = in.readSome(buffer.data(), static_cast<unsigned>(buffer.size()))) > 0)
        if (!out.write(buffer.data(), static_cast<size_t>(n), entry.name, error))
            return false;
    if (n < 0) {
        *error = entry.name + " in the package is damaged";
        return false;
    }
    std::string ignored;
    in.closeEntry(entry, &ignored); // a raw read has no checksum to check
    return out.endRaw(entry, error);
}

bool writeWhole(ZipOut &out, const std::string &name, const std::string &text, std::string *error) {
    return out.begin(name, text.size(), error) && out.write(text.data(), text.size(), name, error) &&
           out.end(name, error);
}

std::string freeName(const std::set<std::string> &used, const std::string &stem, int from) {
    for (int n = from;; ++n) {
        std::string name = stem + std::to_string(n);
        if (!used.count(lower(name)) && !used.count(lower(name + ".xml")))
            return name;
    }
}

} // namespace

namespace {

bool readPackageInner(const std::string &path, PackageInfo *info, std::string *error) {
    Existing ex;
    if (!readExisting(path, ex, error))
        return false;
    info->sheetNames = ex.sheetNames;
    info->date1904 = ex.date1904;
    return true;
}

bool mergePackagesInner(const std::string &existingPath, const std::string &addedPath,
                        const std::vector<std::string> &sheetNames, const std::string &outPath, std::string *error) {
    Existing ex;
    if (!readExisting(existingPath, ex, error))
        return false;
    ZipIn added;
    std::vector<const ZipEntry *> addedSheets;
    std::vector<int> addedDateXfs;
    if (!added.open(addedPath, error) || !readAdded(added, sheetNames.size(), addedSheets, addedDateXfs, error))
        return false;

    const std::string folder = folderOf(ex.workbookPart);
    std::string contentTypes = ex.contentTypes, rels = ex.rels, workbook = ex.workbook, styles = ex.styles;
    // Each text keeps its own tags: an Element points into them.
    std::vector<Tag> typeTags, relTags, bookTags, styleTags;
    Element types, relationships, sheets, cellXfs;
    locate(contentTypes, "Types", typeTags, types);
    const std::string typePrefix = prefixOf(types.start->name);
    locate(rels, "Relationships", relTags, relationships);
    const std::string relPrefix = prefixOf(relationships.start->name);
    locate(workbook, "sheets", bookTags, sheets);
    const std::string sheetPrefix = prefixOf(sheets.start->name);

    // New parts, relationships and sheet entries.
    std::string typeText, relText, sheetText;
    std::vector<std::string> newParts;
    std::set<std::string> relIds;
    for (const std::string &id : ex.relIds)
        relIds.insert(lower(id));
    auto addRelationship = [&](const std::string &type, const std::string &part) {
        std::string id = freeName(relIds, "rId", 1);
        relIds.insert(lower(id));
        relText += "<" + relPrefix + "Relationship Id=\"" + id + "\" Type=\"" + kRelationshipBase + type +
                   "\" Target=\"" + escapeAttribute(part.substr(folder.size())) + "\"/>";
        return id;
    };
    auto addContentType = [&](const std::string &part, const char *type) {
        typeText += "<" + typePrefix + "Override PartName=\"/" + escapeAttribute(part) + "\" ContentType=\"" + type +
                    "\"/>";
    };
    unsigned sheetId = ex.maxSheetId;
    for (const std::string &name : sheetNames) {
        const std::string part =
            freeName(ex.usedParts, folder + "worksheets/sheet", static_cast<int>(ex.sheetNames.size()) + 1) + ".xml";
        ex.usedParts.insert(lower(part));
        newParts.push_back(part);
        addContentType(part, kWorksheetContentType);
        const std::string id = addRelationship("worksheet", part);
        sheetText += "<" + sheetPrefix + "sheet name=\"" + escapeAttribute(name) + "\" sheetId=\"" +
                     std::to_string(++sheetId) + "\" " + ex.idAttribute + "=\"" + id + "\"" + ex.idNamespace + "/>";
    }

    // The date cell format: an existing plain one, one more in the existing styles, or new styles.
    int dateXf = std::max(ex.dateXf, 0);
    std::string newStylesPart, newStyles;
    if (!addedDateXfs.empty() && !ex.stylesEntry) {
        newStylesPart = freeName(ex.usedParts, folder + "styles", 1) + ".xml";
        dateXf = 1;
        newStyles =
            "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
            "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
            "<fonts count=\"1\"><font><sz val=\"11\"/><name val=\"Calibri\"/><family val=\"2\"/></font></fonts>"
            "<fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill>"
            "<fill><patternFill patternType=\"gray125\"/></fill></fills>"
            "<borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border></borders>"
            "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/></cellStyleXfs>"
            "<cellXfs count=\"2\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/>"
            "<xf numFmtId=\"14\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\" applyNumberFormat=\"1\"/>"
            "</cellXfs><cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" builtinId=\"0\"/></cellStyles>"
            "</styleSheet>";
        addContentType(newStylesPart, kStylesContentType);
        addRelationship("styles", newStylesPart);
    } else if (!addedDateXfs.empty() && ex.dateXf < 0) {
        locate(styles, "cellXfs", styleTags, cellXfs);
        dateXf = ex.xfCount;
        appendChildren(styles, cellXfs,
                       "<" + prefixOf(cellXfs.start->name) + "xf numFmtId=\"14\" fontId=\"0\" fillId=\"0\" borderId=\"0\"" +
                           (ex.xfIdUsable ? " xfId=\"0\"" : "") + " applyNumberFormat=\"1\"/>",
                       ex.xfCount + 1);
    }
    appendChildren(contentTypes, types, typeText);
    appendChildren(rels, relationships, relText);
    appendChildren(workbook, sheets, sheetText);

    ZipOut out;
    if (!out.open(outPath, error))
        return false;
    for (const ZipEntry &entry : ex.zip.entries()) {
        bool ok;
        if (&entry == ex.contentTypesEntry)
            ok = writeWhole(out, entry.name, contentTypes, error);
        else if (&entry == ex.relsEntry)
            ok = writeWhole(out, entry.name, rels, error);
        else if (&entry == ex.workbookEntry)
            ok = writeWhole(out, entry.name, workbook, error);
        else if (&entry == ex.stylesEntry && styles != ex.styles)
            ok = writeWhole(out, entry.name, styles, error);
        else
            ok = copyRaw(ex.zip, entry, out, error);
        if (!ok)
            return false;
    }
    for (size_t i = 0; i < newParts.size(); ++i) {
        const ZipEntry &source = *addedSheets[i];
        SheetRewriter rewriter(addedDateXfs, dateXf);
        if (!added.openEntry(source, false, error) || !out.begin(newParts[i], source.info.uncompressed_size, error))
            return false;
        std::vector<char> buffer(1 << 16);
        std::string rewritten;
        int n;
        while ((n = added.readSome(buffer.data(), static_cast<unsigned>(buffer.size()))) > 0) {
            rewritten.clear();
            rewriter.feed(buffer.data(), static_cast<size_t>(n), rewritten);
            if (!out.write(rewritten.data(), rewritten.size(), newParts[i], error))
                return false;
        }
        if (n < 0 || !rewriter.finished()) {
            *error = "the new sheet's data could not be read back";
            return false;
        }
        if (!added.closeEntry(source, error) || !out.end(newParts[i], error))
            return false;
    }
    if (!newStylesPart.empty() && !writeWhole(out, newStylesPart, newStyles, error))
        return false;
    return out.close(error);
}

bool worksheetsCompleteInner(const std::string &path, std::string *error) {
    ZipIn zip;
    if (!zip.open(path, error))
        return false;
    for (const ZipEntry &entry : zip.entries()) {
        const std::string name = lower(entry.name);
        if (name.rfind("xl/worksheets/", 0) != 0 || !endsWith(name, ".xml"))
            continue;
        if (!zip.openEntry(entry, false, error))
            return false;
        std::vector<char> buffer(1 << 18);
        std::string tail;
        int n;
        while ((n = zip.readSome(buffer.data(), static_cast<unsigned>(buffer.size()))) > 0) {
            tail.append(buffer.data(), static_cast<size_t>(n));
            if (tail.size() > 64)
                tail.erase(0, tail.size() - 64);
        }
        while (!tail.empty() && std::isspace(static_cast<unsigned char>(tail.back())))
            tail.pop_back();
        if (n < 0 || !zip.closeEntry(entry, error) || !endsWith(tail, "</worksheet>")) {
            *error = "the sheet data in " + entry.name + " is incomplete (was the disk full?)";
            return false;
        }
    }
    return true;
}

} // namespace

// Damaged packages must give a message, never end the program: anything thrown becomes a failure.
template <class F> bool guarded(std::string *error, F work) {
    try {
        return work();
    } catch (const std::exception &e) {
        *error = std::string("the package cannot be processed (") + e.what() + ")";
        return false;
    }
}

bool readPackage(const std::string &path, PackageInfo *info, std::string *error) {
    return guarded(error, [&] { return readPackageInner(path, info, error); });
}

bool mergePackages(const std::string &existingPath, const std::string &addedPath,
                   const std::vector<std::string> &sheetNames, const std::string &outPath, std::string *error) {
    return guarded(error, [&] { return mergePackagesInner(existingPath, addedPath, sheetNames, outPath, error); });
}

bool worksheetsComplete(const std::string &path, std::string *error) {
    return guarded(error, [&] { return worksheetsCompleteInner(path, error); });
}

} // namespace quorv::xlsx
