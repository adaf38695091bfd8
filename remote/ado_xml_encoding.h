#pragma once
// Byte-level handling of persisted-recordset documents before they are parsed: the encoding
// (BOM, UTF-16 detection, declared single-byte encodings) and the XML 1.0 character rules
// that the parser itself does not check. Internal to remote/; pure functions.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zentro::ado_xml {

struct DecodedText {
  std::string owned;      // set when the bytes had to be converted
  std::string_view text;  // UTF-8 without BOM: a view of `owned` or of the input bytes
};

// Turns document bytes into UTF-8. A BOM (EF BB BF, FF FE, FE FF) decides; else 3C 00 means
// UTF-16LE and 00 3C UTF-16BE; else the bytes are 8-bit and, with honourDeclaration, read in
// the encoding the XML declaration names (UTF-8, ISO-8859-1, windows-1252, US-ASCII; a UTF-16
// declaration on 8-bit bytes is ignored, as for text that was decoded already).
// Throws RuntimeError(kErrXml) for broken UTF-16 and for encodings it cannot read.
// The returned view refers to `bytes` when no conversion was needed.
DecodedText decodeDocument(std::string_view bytes, bool honourDeclaration);

// Checks what the XML parser lets through: well-formed UTF-8, no characters outside XML 1.0
// (C0 controls other than TAB, CR, LF; U+FFFE, U+FFFF), entity references limited to the five
// predefined ones, character references to legal characters, no document type declaration.
// Throws RuntimeError(kErrXml) naming the problem with its line and column.
void checkCharacters(std::string_view text);

// Whether XML 1.0 allows the character (TAB, LF, CR, and from U+0020 on except surrogates,
// U+FFFE and U+FFFF).
bool isXmlChar(std::uint32_t cp);

// Length (2 to 4) of the UTF-8 sequence at text[i], a byte from 0x80 up, when it is
// well-formed UTF-8 of a character XML allows; 0 when it is not.
std::size_t xmlCharLength(std::string_view text, std::size_t i);

// "line 3, column 14" of a byte offset (columns count characters, from 1).
std::string positionOf(std::string_view text, std::size_t offset);

}  // namespace zentro::ado_xml
