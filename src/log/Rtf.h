// The rich-text log in memory and on disk: a flat list of text runs, each
// with a colour and an underline flag, some of which end a paragraph. The
// writer produces RTF with a Windows-1252 code page and a Courier New font,
// as a whole document or as pieces that continue one in place; the reader
// takes that back and also copes with the RTF that word processors write (it
// keeps the text, the paragraphs, the colours and the underlines and drops
// everything else).
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace klv {

struct TRtfColor {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
  friend bool operator==(const TRtfColor&, const TRtfColor&) = default;
};

struct TRtfStyle {
  TRtfColor color;
  bool underline = false;
  friend bool operator==(const TRtfStyle&, const TRtfStyle&) = default;
};

// Channel 2 in the rich-text log: blue and underlined. Channel 1 uses the
// default style, black and plain.
inline constexpr TRtfStyle kChannel2RtfStyle{{0, 0, 255}, true};

// A piece of text in one style. A run with paragraphEnd ends its paragraph
// after its text; an empty paragraph is an empty run with paragraphEnd and
// the default style. Paragraph breaks are only these flags: a CR or LF in
// the text is an ordinary character.
struct TRtfRun {
  QString text;
  TRtfStyle style;
  bool paragraphEnd = false;
  friend bool operator==(const TRtfRun&, const TRtfRun&) = default;
};

class TRtfDocument {
 public:
  void Clear() { runs_.clear(); }
  bool IsEmpty() const { return runs_.empty(); }

  // Appends text to the paragraph at the end of the document.
  void AppendText(QStringView text, const TRtfStyle& style = {});
  // Ends the paragraph at the end of the document (an empty one if nothing
  // was appended since the last end).
  void EndParagraph();
  // Appends the run's text, then ends the paragraph if the run does.
  void AppendRun(const TRtfRun& run);
  // Adds a whole paragraph, ending an unfinished one first.
  void AddParagraph(QStringView text, const TRtfStyle& style = {});

  const std::vector<TRtfRun>& Runs() const { return runs_; }
  // The text with a '\n' at every paragraph end.
  QString PlainText() const;

  friend bool operator==(const TRtfDocument&, const TRtfDocument&) = default;

 private:
  std::vector<TRtfRun> runs_;
};

// The document as RTF. It ends with kRtfEnd; its colour table starts with
// black and blue, whatever other colours the document has.
QByteArray WriteRtf(const TRtfDocument& document);

// The closing brace and line end every document WriteRtf makes ends with.
inline constexpr QByteArrayView kRtfEnd = "}\r\n";

// `runs` as RTF that continues a document WriteRtf made: it goes where that
// document's closing brace was, and kRtfEnd after it. The piece sets its
// colour and underlining itself, so pieces can follow each other in any
// order; a paragraph end in it ends whatever paragraph the document ends
// with. Colours other than black and blue are written as the default colour.
// Every paragraph sets its style anew, so a document continued by pieces cut
// at paragraph ends is the same, byte for byte, as the one written whole.
QByteArray WriteRtfPiece(std::span<const TRtfRun> runs);

// Where a document WriteRtf made can be continued with WriteRtfPiece.
struct TRtfContinuation {
  qsizetype brace = 0;         // offset of the closing brace
  bool openParagraph = false;  // the last paragraph has no end yet
};
// The number of bytes a file must start with to be one WriteRtf made.
qsizetype RtfHeadSize();
// Whether `head`, the first RtfHeadSize() bytes of a file, is the start of a
// document WriteRtf made.
bool IsRtfWriterHead(QByteArrayView head);
// Finds the closing brace in `tail`, the last bytes (at least 64, or the
// whole file) of a document WriteRtf made, with the offset of `tail` in the
// file as `tailOffset`. Nothing when it does not end like one, for example
// when it was cut short.
std::optional<TRtfContinuation> FindRtfContinuation(QByteArrayView tail, qsizetype tailOffset);

// Reads RTF into `document` (replacing its content). Fails, with a reason in
// `error`, only when the data does not start like an RTF document; any
// damage after that start is read as far as it makes sense.
bool ReadRtf(QByteArrayView data, TRtfDocument& document, QString* error = nullptr);

}  // namespace klv
