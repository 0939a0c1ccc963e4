#include "export/rtf/rtf_writer.h"

#include <charconv>

#include "output/output_file.h"
#include "platform/codepage.h"

namespace quorv {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

void appendNumber(std::string &out, int value) {
    char digits[16];
    auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(digits, end);
}

// A control word followed by its number: "\paperw12240".
void word(std::string &out, std::string_view name, int value) {
    out += name;
    appendNumber(out, value);
}

std::string_view pick(std::initializer_list<std::string_view> words, int index) {
    return index >= 0 && static_cast<size_t>(index) < words.size() ? words.begin()[index] : std::string_view();
}

std::string_view onOff(bool on, std::string_view set, std::string_view clear) { return on ? set : clear; }

// The items of a list separated by ";", in order.
template <class F> void eachItem(std::string_view list, F &&f) {
    while (!list.empty()) {
        const size_t end = list.find(';');
        f(list.substr(0, end));
        list = end == std::string_view::npos ? std::string_view() : list.substr(end + 1);
    }
}

void appendBorder(std::string &out, std::string_view side, const RtfBorder &border) {
    if (!border.on)
        return;
    out += side;
    out += borderStyleWord(border.style);
    word(out, "\\brdrw", border.width);
    word(out, "\\brsp", border.spacing);
    word(out, "\\brdrcf", border.colour);
}

} // namespace

std::string_view borderStyleWord(int style) {
    return pick({"\\brdrs", "\\brdrth", "\\brdrsh", "\\brdrdb", "\\brdrdot", "\\brdrdash", "\\brdrhair", "\\brdrinset",
                 "\\brdrdashsm", "\\brdrdashd", "\\brdrdashdd", "\\brdroutset", "\\brdrtriple", "\\brdrwavy",
                 "\\brdrwavydb", "\\brdrdashdotstr", "\\brdremboss", "\\brdrengrave"},
                style);
}

std::string_view underlineWord(int kind) {
    return pick({"\\ulnone", "\\ul", "\\uld", "\\uldash", "\\uldashd", "\\uldashdd", "\\uldb", "\\ulhwave", "\\ulldash",
                 "\\ulth", "\\ulthd", "\\ulthdash", "\\ulthdashd", "\\ulthdashdd", "\\ulthldash", "\\ululdbwave", "\\ulw",
                 "\\ulwave"},
                kind);
}

std::string_view shadingPatternName(int pattern) {
    return pick({"", "horiz", "vert", "fdiag", "bdiag", "cross", "dcross", "dkhoriz", "dkvert", "dkfdiag", "dkbdiag",
                 "dkcross", "dkdcross"},
                pattern);
}

int rtfCharacterSet(int codePage) {
    switch (codePage) {
    case 874: return 222;
    case 932: return 128;
    case 936: return 134;
    case 949: return 129;
    case 950: return 136;
    case 1250: return 238;
    case 1251: return 204;
    case 1253: return 161;
    case 1254: return 162;
    case 1255: return 177;
    case 1256: return 178;
    case 1257: return 186;
    case 1258: return 163;
    default: return 0;
    }
}

void appendRtfText(std::string &out, std::string_view text, int codePage) {
    static constexpr char kHex[] = "0123456789abcdef";
    // Double-byte code pages keep their byte pairs; only the single-byte Windows pages are known byte by byte.
    const bool singleByte = platform::isWindowsCodePage(codePage);
    for (char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '\\' || c == '{' || c == '}') {
            out.push_back('\\');
            out.push_back(c);
        } else if (c == '\r' || c == '\n') {
            out.push_back(' '); // a line break cannot stand inside one paragraph of the table
        } else if (b >= 0x20 && b < 0x7F) {
            out.push_back(c);
        } else {
            const bool hasCharacter = b == '\t' || (b >= 0x80 && (!singleByte || platform::byteHasCharacter(codePage, b)));
            if (!hasCharacter)
                word(out, "\\u", b); // the character of the byte's number; \'hh is the fallback
            out += "\\'";
            out.push_back(kHex[b >> 4]);
            out.push_back(kHex[b & 15]);
        }
    }
}

void RtfWriter::write(std::string_view text) { output_->writeText(text); }

void RtfWriter::buildFontTable(std::string_view fontList) {
    fonts_.clear();
    std::string charset = "\\fcharset" + std::to_string(rtfCharacterSet(codePage_)) + "\\cpg" + std::to_string(codePage_);
    int n = 0;
    eachItem(fontList, [&](std::string_view name) {
        if (name.empty())
            return;
        word(fonts_, "{\\f", n++);
        fonts_ += "\\fnil" + charset + " ";
        appendRtfText(fonts_, name, codePage_);
        fonts_ += "}";
    });
    if (n > 0)
        return;
    const std::pair<const char *, const char *> defaults[] = {
        {"\\froman", "Times New Roman"}, {"\\fswiss", "Arial"},   {"\\fmodern", "Courier New"}, {"\\fscript", "Cursive"},
        {"\\fdecor", "Old English"},     {"\\ftech", "Symbol"}, {"\\fbidi", "Miriam"}};
    for (const auto &[family, name] : defaults) {
        word(fonts_, "{\\f", n++);
        fonts_ += family + charset + " " + name + "}";
    }
}

void RtfWriter::buildColourTable(std::string_view colourList) {
    colours_.clear();
    const char *component[] = {"\\red", "\\green", "\\blue"};
    int k = 0;
    eachItem(colourList, [&](std::string_view item) {
        colours_ += component[k];
        colours_ += item;
        k = (k + 1) % 3;
        if (k == 0)
            colours_ += ";";
    });
    if (k != 0)
        colours_ += ";"; // a last colour without its green or blue still ends its entry
    if (!colours_.empty())
        return;
    const int defaults[15][3] = {{0, 0, 0},     {255, 0, 0},   {0, 255, 0},   {0, 0, 255},   {255, 255, 0},
                                 {255, 0, 255}, {0, 255, 255}, {255, 255, 255}, {128, 0, 0}, {0, 128, 0},
                                 {0, 0, 128},   {128, 128, 0}, {128, 0, 128}, {0, 128, 128}, {128, 128, 128}};
    for (const auto &rgb : defaults) {
        word(colours_, "\\red", rgb[0]);
        word(colours_, "\\green", rgb[1]);
        word(colours_, "\\blue", rgb[2]);
        colours_ += ";";
    }
}

void RtfWriter::openDocument(OutputFile &output, std::string_view fontList, std::string_view colourList, int codePage) {
    output_ = &output;
    codePage_ = codePage;
    document_ = {};
    section_ = {};
    paragraph_ = {};
    row_ = {};
    cell_ = {};
    cellRendered_ = paragraphRendered_ = false;
    buildFontTable(fontList);
    buildColourTable(colourList);

    std::string &t = text_;
    t = "{\\rtf1\\ansi";
    word(t, "\\ansicpg", codePage_);
    t += "\\deff0{\\fonttbl" + fonts_ + "}{\\colortbl" + colours_ + "}{\\*\\generator Quorvane;}";
    t += kLineEnd;
    t += "{\\info}";

    const RtfDocumentFormat &d = document_;
    word(t, "\\viewkind", d.viewKind);
    word(t, "\\viewscale", d.viewScale);
    word(t, "\\paperw", d.paperWidth);
    word(t, "\\paperh", d.paperHeight);
    word(t, "\\margl", d.marginLeft);
    word(t, "\\margr", d.marginRight);
    word(t, "\\margt", d.marginTop);
    word(t, "\\margb", d.marginBottom);
    word(t, "\\gutter", d.gutter);
    t += onOff(d.facingPages, "\\facingp", "");
    t += onOff(d.annotationProtection, "\\annotprot", "");

    const RtfSectionFormat &s = section_;
    t += kLineEnd;
    t += onOff(s.newSection, "\\sect", "");
    t += onOff(s.defaultSection, "\\sectd", "");
    if (s.pageNumberPosition) {
        word(t, "\\pgnx", s.pageNumberX);
        word(t, "\\pgny", s.pageNumberY);
    }
    t += pick({"\\sbknone", "\\sbkcol", "\\sbkpage", "\\sbkeven", "\\sbkodd"}, s.breakKind);
    if (s.columns) {
        word(t, "\\cols", s.columnCount);
        word(t, "\\colsx", s.columnSpacing);
        t += onOff(s.lineBetweenColumns, "\\linebetcol", "");
    }
    word(t, "\\pgwsxn", s.pageWidth);
    word(t, "\\pghsxn", s.pageHeight);
    word(t, "\\marglsxn", s.marginLeft);
    word(t, "\\margrsxn", s.marginRight);
    word(t, "\\margtsxn", s.marginTop);
    word(t, "\\margbsxn", s.marginBottom);
    word(t, "\\guttersxn", s.gutter);
    word(t, "\\headery", s.headerDistance);
    word(t, "\\footery", s.footerDistance);
    write(t);
}

void RtfWriter::startRow() {
    const RtfRowFormat &r = row_;
    std::string &t = text_;
    t = kLineEnd;
    t += "\\trowd\\trgaph115";
    t += pick({"\\trql", "\\trqc", "\\trqr"}, r.alignment);
    word(t, "\\trleft", r.left);
    word(t, "\\trrh", r.height);
    word(t, "\\trpaddb", r.paddingBottom);
    t += "\\trpaddfb3";
    word(t, "\\trpaddl", r.paddingLeft);
    t += "\\trpaddfl3";
    word(t, "\\trpaddr", r.paddingRight);
    t += "\\trpaddfr3";
    word(t, "\\trpaddt", r.paddingTop);
    t += "\\trpaddft3";
    write(t);
}

void RtfWriter::renderCellStart() {
    const RtfCellFormat &c = cell_;
    std::string &t = cellStart_;
    t = kLineEnd;
    t += "\\tcelld";
    t += pick({"\\clvertalt", "\\clvertalc", "\\clvertalb"}, c.verticalAlignment);
    t += pick({"\\cltxlrtb", "\\cltxtbrl", "\\cltxbtlr", "\\cltxlrtbv", "\\cltxtbrlv"}, c.textDirection);
    appendBorder(t, "\\clbrdrb", c.bottom);
    appendBorder(t, "\\clbrdrl", c.left);
    appendBorder(t, "\\clbrdrr", c.right);
    appendBorder(t, "\\clbrdrt", c.top);
    if (c.shading.on) {
        if (std::string_view name = shadingPatternName(c.shading.pattern); !name.empty())
            t += "\\clbg" + std::string(name);
        word(t, "\\clshdng", c.shading.intensity);
        word(t, "\\clcfpat", c.shading.foreground);
        word(t, "\\clcbpat", c.shading.background);
    }
    t += "\\cellx";
    renderedCell_ = c;
    cellRendered_ = true;
}

void RtfWriter::startCell(int rightBoundary) {
    if (!cellRendered_ || !(renderedCell_ == cell_))
        renderCellStart();
    text_ = cellStart_;
    appendNumber(text_, rightBoundary);
    write(text_);
}

void RtfWriter::renderParagraphStart() {
    const RtfParagraphFormat &p = paragraph_;
    std::string &t = paragraphStart_;
    t = kLineEnd;
    t += onOff(p.newParagraph, "\\par", "");
    t += onOff(p.defaultParagraph, "\\pard", "");
    t += onOff(p.inTable, "\\intbl", "\\plain");
    t += pick({"", "\\page", "\\column", "\\line"}, p.breakKind);
    t += pick({"\\ql", "\\qc", "\\qr", "\\qj"}, p.alignment);
    if (p.tab) {
        t += pick({"", "\\tqc", "\\tqr", "\\tqdec"}, p.tabKind);
        t += pick({"", "\\tldot", "\\tlmdot", "\\tlhyph", "\\tlul", "\\tlth", "\\tleq"}, p.tabLeader);
        word(t, "\\tx", p.tabPosition);
    }
    if (p.numbering) {
        word(t, "{\\*\\pn\\pnlvl", p.numberingLevel);
        word(t, "\\pnsp", p.numberingSpacing);
        t += "\\pntxtb ";
        t.push_back(static_cast<char>(p.numberingCharacter));
        t += "}";
    }
    if (p.border) {
        t += pick({"", "\\brdrt", "\\brdrb", "\\brdrl", "\\brdrr", "\\box"}, p.borderSide);
        t += borderStyleWord(p.borderStyle);
        word(t, "\\brdrw", p.borderWidth);
        word(t, "\\brsp", p.borderSpacing);
        word(t, "\\brdrcf", p.borderColour);
    }
    if (p.shading.on) {
        word(t, "\\shading", p.shading.intensity);
        if (std::string_view name = shadingPatternName(p.shading.pattern); !name.empty())
            t += "\\bg" + std::string(name);
        word(t, "\\cfpat", p.shading.foreground);
        word(t, "\\cbpat", p.shading.background);
    }
    word(t, "\\fi", p.firstLineIndent);
    word(t, "\\li", p.leftIndent);
    word(t, "\\ri", p.rightIndent);
    word(t, "\\sb", p.spaceBefore);
    word(t, "\\sa", p.spaceAfter);
    word(t, "\\sl", p.lineSpacing);
    word(t, "\\animtext", p.animation);
    word(t, "\\expndtw", p.expansion);
    word(t, "\\kerning", p.kerning);
    word(t, "\\charscalex", p.horizontalScale);
    word(t, "\\f", p.font);
    word(t, "\\fs", p.fontSize);
    word(t, "\\cf", p.colour);
    t += onOff(p.bold, "\\b", "\\b0");
    t += onOff(p.capitals, "\\caps", "\\caps0");
    t += onOff(p.doubleStrike, "\\striked1", "\\striked0");
    t += onOff(p.emboss, "\\embo", "");
    t += onOff(p.engrave, "\\impr", "");
    t += onOff(p.italic, "\\i", "\\i0");
    t += onOff(p.outline, "\\outl", "\\outl0");
    t += onOff(p.shadow, "\\shad", "\\shad0");
    t += onOff(p.smallCapitals, "\\scaps", "\\scaps0");
    t += onOff(p.strike, "\\strike", "\\strike0");
    t += onOff(p.subscript, "\\sub", "");
    t += onOff(p.superscript, "\\super", "");
    t += underlineWord(p.underline);
    t += " ";
    renderedParagraph_ = p;
    paragraphRendered_ = true;
}

void RtfWriter::writeParagraph(std::string_view text, bool newParagraph) {
    paragraph_.newParagraph = newParagraph;
    if (paragraph_.tabOnly) {
        text_ = "\\tab ";
    } else {
        if (!paragraphRendered_ || !(renderedParagraph_ == paragraph_))
            renderParagraphStart();
        text_ = paragraphStart_;
    }
    appendRtfText(text_, text, codePage_);
    write(text_);
}

void RtfWriter::endCell() {
    write("\r\n\\cell ");
}

void RtfWriter::endRow() {
    write("\r\n\\trgaph115\\row\\pard");
}

void RtfWriter::closeDocument() {
    write("\r\n\\par}");
}

} // namespace quorv
