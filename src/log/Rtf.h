// The rich-text log in memory and on disk: a flat list of text runs, each
// with a colour and an underline flag, some of which end a paragraph. The
// writer produces RTF with a Windows-1252 code page and a Courier New font;
// the reader takes that back and also copes with the RTF that word
// processors write (it keeps the text, the paragraphs, the colours and the
// underlines and drops everything else).
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <cstdint>
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
  // Adds a whole paragraph, ending an unfinished one first.
  void AddParagraph(QStringView text, const TRtfStyle& style = {});

  const std::vector<TRtfRun>& Runs() const { return runs_; }
  // The text with a '\n' at every paragraph end.
  QString PlainText() const;

  friend bool operator==(const TRtfDocument&, const TRtfDocument&) = default;

 private:
  std::vector<TRtfRun> runs_;
};

// The document as RTF.
QByteArray WriteRtf(const TRtfDocument& document);

// Reads RTF into `document` (replacing its content). Fails, with a reason in
// `error`, only when the data does not start like an RTF document; any
// damage after that start is read as far as it makes sense.
bool ReadRtf(QByteArrayView data, TRtfDocument& document, QString* error = nullptr);

}  // namespace klv
