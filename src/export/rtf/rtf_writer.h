// A small Rich Text Format writer: five format records (document, section, paragraph, table row and
// table cell) turned into control words, and text escaped for the document's code page. It writes
// through an OutputFile, which keeps the first failed write for the caller to report.
#pragma once

#include <string>
#include <string_view>

namespace quorv {

class OutputFile;

struct RtfDocumentFormat {
    int viewKind = 1;
    int viewScale = 100;
    int paperWidth = 12240;
    int paperHeight = 15840;
    int marginLeft = 1800;
    int marginRight = 1800;
    int marginTop = 1440;
    int marginBottom = 1440;
    int gutter = 0;
    bool facingPages = false;
    bool annotationProtection = false;
};

struct RtfSectionFormat {
    int breakKind = 0; // 0 none, 1 column, 2 page, 3 even page, 4 odd page
    bool newSection = false;
    bool defaultSection = true;
    int pageWidth = 12240;
    int pageHeight = 15840;
    int marginLeft = 1800;
    int marginRight = 1800;
    int marginTop = 1440;
    int marginBottom = 1440;
    int gutter = 0;
    int headerDistance = 720;
    int footerDistance = 720;
    bool pageNumberPosition = false;
    int pageNumberX = 720;
    int pageNumberY = 720;
    bool columns = false;
    int columnCount = 1;
    int columnSpacing = 720;
    bool lineBetweenColumns = false;
};

struct RtfBorder {
    bool on = false;
    int style = 0; // 0 to 17, see borderStyleWord
    int width = 5;
    int colour = 0;
    int spacing = 0;
    bool operator==(const RtfBorder &) const = default;
};

struct RtfShading {
    bool on = false;
    int intensity = 0;
    int pattern = 0; // 0 none, 1 to 12 horiz ... dkdcross
    int foreground = 0;
    int background = 0;
    bool operator==(const RtfShading &) const = default;
};

struct RtfParagraphFormat {
    int breakKind = 0; // 1 page, 2 column, 3 line
    bool newParagraph = false;
    bool defaultParagraph = true;
    int alignment = 0; // 0 left, 1 centre, 2 right, 3 justified
    int firstLineIndent = 0;
    int leftIndent = 0;
    int rightIndent = 0;
    int spaceBefore = 0;
    int spaceAfter = 0;
    int lineSpacing = 0;
    bool tabOnly = false;
    bool inTable = false;
    bool tab = false;
    int tabPosition = 0;
    int tabKind = 0;   // 1 centre, 2 right, 3 decimal
    int tabLeader = 0; // 1 dot, 2 middle dot, 3 hyphen, 4 underline, 5 thick line, 6 equals
    bool numbering = false;
    int numberingLevel = 11;
    int numberingSpacing = 360;
    int numberingCharacter = 149;
    bool border = false;
    int borderSide = 0; // 1 top, 2 bottom, 3 left, 4 right, 5 box
    int borderStyle = 0;
    int borderWidth = 0;
    int borderColour = 0;
    int borderSpacing = 0;
    RtfShading shading{false, 0, 0, 0, 0};
    int animation = 0;
    int expansion = 0;
    int kerning = 0;
    int horizontalScale = 100;
    int font = 0;
    int fontSize = 20; // half-points
    int colour = 0;
    bool bold = false;
    bool capitals = false;
    bool doubleStrike = false;
    bool emboss = false;
    bool engrave = false;
    bool italic = false;
    bool outline = false;
    bool shadow = false;
    bool smallCapitals = false;
    bool strike = false;
    bool subscript = false;
    bool superscript = false;
    int underline = 0; // 0 to 17, see underlineWord
    bool operator==(const RtfParagraphFormat &) const = default;
};

struct RtfRowFormat {
    int alignment = 0; // 0 left, 1 centre, 2 right
    int height = 0;
    int paddingRight = 0;
    int paddingTop = 0;
    int paddingBottom = 0;
    int paddingLeft = 0;
    int left = 0;
};

struct RtfCellFormat {
    int verticalAlignment = 1; // 0 top, 1 centre, 2 bottom
    int textDirection = 0;     // 0 lrtb, 1 tbrl, 2 btlr, 3 lrtbv, 4 tbrlv
    RtfShading shading;
    RtfBorder left, right, top, bottom;
    bool operator==(const RtfCellFormat &) const = default;
};

// The words of the shared vocabulary; empty for a number outside the list.
std::string_view borderStyleWord(int style);
std::string_view underlineWord(int kind);
// "horiz" ... "dkdcross" for patterns 1 to 12, empty otherwise.
std::string_view shadingPatternName(int pattern);
// The \fcharset number of a Windows code page (0 for 1252 and pages without one).
int rtfCharacterSet(int codePage);
// Appends text as RTF document text in the code page: "\", "{" and "}" are escaped, each CR and LF
// becomes a blank, bytes from 0x80 up are written as \'hh, and a byte the code page leaves undefined
// (or a control character) also as \uN so that readers give it back as the character of its number.
void appendRtfText(std::string &out, std::string_view text, int codePage);

class RtfWriter {
public:
    // Resets every format, builds the font and colour tables (items separated by ";"), and writes
    // the prolog, the document format and the section format to the open output.
    void openDocument(OutputFile &output, std::string_view fontList, std::string_view colourList, int codePage);
    RtfDocumentFormat &documentFormat() { return document_; }
    RtfSectionFormat &sectionFormat() { return section_; }
    RtfRowFormat &rowFormat() { return row_; }
    RtfCellFormat &cellFormat() { return cell_; }
    RtfParagraphFormat &paragraphFormat() { return paragraph_; }

    void startRow();
    void startCell(int rightBoundary);
    void writeParagraph(std::string_view text, bool newParagraph);
    void endCell();
    void endRow();
    // Writes the document end; the caller closes the output.
    void closeDocument();

private:
    void write(std::string_view text);
    void buildFontTable(std::string_view fontList);
    void buildColourTable(std::string_view colourList);
    void renderCellStart();
    void renderParagraphStart();

    OutputFile *output_ = nullptr;
    int codePage_ = 1252;
    std::string fonts_, colours_;
    RtfDocumentFormat document_;
    RtfSectionFormat section_;
    RtfParagraphFormat paragraph_;
    RtfRowFormat row_;
    RtfCellFormat cell_;
    // The control words of a cell start and a paragraph start, rendered again only when the format
    // they came from has changed (a table repeats the same ones for every cell).
    RtfCellFormat renderedCell_;
    RtfParagraphFormat renderedParagraph_;
    bool cellRendered_ = false, paragraphRendered_ = false;
    std::string cellStart_, paragraphStart_;
    std::string text_;
};

} // namespace quorv
