// Rich text (RTF) into a QTextDocument, for read-only previews: the text with its character formats
// (bold, italic, underline, strike-out, size, font, colours) and paragraph formats (alignment, indents).
// The bytes are untrusted: nothing in them makes reading fail, and reading stays linear in their size.
#pragma once

#include <QByteArray>

class QTextDocument;

// Replaces the content of Document with the text of Rtf. Control words it does not know are ignored;
// destinations that hold no text (tables of styles, pictures, headers, "\*" groups...) are skipped.
void ReadRtf(const QByteArray& Rtf, QTextDocument& Document);
