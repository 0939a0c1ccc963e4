#include "export/prg/prg_writer.h"

#include "source/paradox_table.h"

namespace quorv {

namespace {

struct Delimiters {
    char open, close;
};
constexpr Delimiters kDelimiters[] = {{'"', '"'}, {'\'', '\''}, {'[', ']'}};

bool isControl(char c) { return static_cast<unsigned char>(c) < 0x20; }

// The first delimiter pair whose closing character the text does not hold, or nullptr.
const Delimiters *delimitersFor(std::string_view text) {
    for (const Delimiters &d : kDelimiters)
        if (text.find(d.close) == std::string_view::npos)
            return &d;
    return nullptr;
}

void appendPiece(std::string &out, std::string_view piece, const Delimiters &d) {
    if (!out.empty())
        out += "+";
    out += d.open;
    out += piece;
    out += d.close;
}

std::string tableTitle(const std::string &path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

std::string prgStringLiteral(std::string_view text) {
    bool controls = false;
    for (char c : text)
        controls = controls || isControl(c);
    if (!controls)
        if (const Delimiters *d = delimitersFor(text))
            return std::string(1, d->open) + std::string(text) + d->close;

    // Pieces as long as one delimiter pair can still enclose them; control characters as CHR(n).
    std::string out;
    size_t start = 0;
    auto flush = [&](size_t end) {
        if (end > start) {
            std::string_view piece = text.substr(start, end - start);
            appendPiece(out, piece, *delimitersFor(piece));
        }
        start = end;
    };
    for (size_t i = 0; i < text.size(); ++i) {
        if (isControl(text[i])) {
            flush(i);
            out += out.empty() ? "" : "+";
            out += "CHR(" + std::to_string(static_cast<unsigned char>(text[i])) + ")";
            start = i + 1;
        } else if (!delimitersFor(text.substr(start, i + 1 - start))) {
            flush(i);
        }
    }
    flush(text.size());
    return out.empty() ? "\"\"" : out;
}

void writePrgScript(ExportRun &run) {
    std::string &t = run.lineBuffer;
    t = " DBCREATE (" + prgStringLiteral(tableTitle(run.table.path)) + ", {;\r\n";
    run.output.writeText(t);
    for (size_t k = 0; k < run.columns.size(); ++k) {
        const std::string name = fieldName(run.table, run.columns[k]);
        t = "{" + prgStringLiteral(name) + ",  ";
        t.append(name.size() < 31 ? 31 - name.size() : 0, ' ');
        t += "\"C\",  255,  0  },; \r\n";
        if (k + 1 == run.columns.size())
            t += "\r\n })";
        run.output.writeText(t);
    }
}

bool PrgWriter::head(ExportRun &run) {
    writePrgScript(run);
    return true;
}

} // namespace quorv
