#include "log/Rtf.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <iterator>
#include <limits>
#include <optional>
#include <string_view>

#include "common/Cp1252.h"

namespace klv {

// ---------------------------------------------------------------- document

void TRtfDocument::AppendText(QStringView text, const TRtfStyle& style) {
  if (text.isEmpty())
    return;
  if (!runs_.empty() && !runs_.back().paragraphEnd && runs_.back().style == style) {
    runs_.back().text.append(text);
    return;
  }
  runs_.push_back({text.toString(), style, false});
}

void TRtfDocument::EndParagraph() {
  if (!runs_.empty() && !runs_.back().paragraphEnd) {
    runs_.back().paragraphEnd = true;
    return;
  }
  runs_.push_back({QString(), TRtfStyle{}, true});
}

void TRtfDocument::AppendRun(const TRtfRun& run) {
  AppendText(run.text, run.style);
  if (run.paragraphEnd)
    EndParagraph();
}

void TRtfDocument::AddParagraph(QStringView text, const TRtfStyle& style) {
  if (!runs_.empty() && !runs_.back().paragraphEnd)
    EndParagraph();
  AppendText(text, style);
  EndParagraph();
}

QString TRtfDocument::PlainText() const {
  QString text;
  for (const TRtfRun& run : runs_) {
    text += run.text;
    if (run.paragraphEnd)
      text += QLatin1Char('\n');
  }
  return text;
}

namespace {

// The Windows-1252 byte of a character, if it has one.
std::optional<std::uint8_t> Cp1252Byte(char16_t ch) {
  if (ch < 0x80 || (ch >= 0xA0 && ch <= 0xFF))
    return static_cast<std::uint8_t>(ch);
  for (unsigned byte = 0x80; byte <= 0x9F; ++byte) {
    if (Cp1252ToUnicode(static_cast<unsigned char>(byte)).unicode() == ch)
      return static_cast<std::uint8_t>(byte);
  }
  return std::nullopt;
}

// ------------------------------------------------------------------ writer

// Every document starts with this, up to the two colours of the log's own
// styles, which come first in every colour table so pieces written without
// the document at hand can name them.
constexpr QByteArrayView kHead =
    "{\\rtf1\\ansi\\ansicpg1252\\deff0\r\n{\\fonttbl{\\f0\\fmodern Courier New;}}\r\n"
    "{\\colortbl;\\red0\\green0\\blue0;\\red0\\green0\\blue255;";
// The end of the head, after the colour table; a document with no text ends
// with this right before its closing brace.
constexpr QByteArrayView kHeadEnd = "}\r\n\\f0\\fs16";
// What the writer puts after every paragraph.
constexpr QByteArrayView kParagraphEnd = "\\par\r\n";

class TRtfWriter {
 public:
  QByteArray Write(const TRtfDocument& document) {
    for (const TRtfRun& run : document.Runs()) {
      if (!run.text.isEmpty() &&
          std::find(colors_.begin(), colors_.end(), run.style.color) == colors_.end())
        colors_.push_back(run.style.color);
    }
    out_.reserve(256 + static_cast<qsizetype>(document.Runs().size()) * 16);
    out_ += kHead;
    for (auto c = colors_.begin() + 2; c != colors_.end(); ++c) {
      out_ += "\\red" + QByteArray::number(c->red) + "\\green" + QByteArray::number(c->green) +
              "\\blue" + QByteArray::number(c->blue) + ';';
    }
    out_ += kHeadEnd;
    WriteRuns(document.Runs());
    out_ += kRtfEnd;
    return out_;
  }

  // Runs after the head or as a piece. The style is set before the first
  // text of every paragraph, as nothing is known about what comes before.
  QByteArray WriteRuns(std::span<const TRtfRun> runs) {
    needDelimiter_ = true;
    for (const TRtfRun& run : runs) {
      if (!run.text.isEmpty()) {
        SetStyle(run.style);
        for (QChar ch : run.text)
          AppendChar(ch.unicode());
      }
      if (run.paragraphEnd) {
        out_ += kParagraphEnd;
        needDelimiter_ = false;
        colorIndex_ = -1;
        underlineKnown_ = false;
      }
    }
    return out_;
  }

 private:
  void ControlWord(const QByteArray& word) {
    out_ += word;
    needDelimiter_ = true;
  }

  void SetStyle(const TRtfStyle& style) {
    const auto color = std::find(colors_.begin(), colors_.end(), style.color);
    // Table entries count from 1; 0 is the default colour.
    const int index = color == colors_.end() ? 0 : static_cast<int>(color - colors_.begin()) + 1;
    if (index != colorIndex_) {
      ControlWord("\\cf" + QByteArray::number(index));
      colorIndex_ = index;
    }
    if (!underlineKnown_ || style.underline != underline_) {
      ControlWord(style.underline ? "\\ul" : "\\ulnone");
      underline_ = style.underline;
      underlineKnown_ = true;
    }
  }

  void HexEscape(std::uint8_t byte) {
    static constexpr char kHex[] = "0123456789abcdef";
    out_ += "\\'";
    out_ += kHex[byte >> 4];
    out_ += kHex[byte & 0x0F];
    needDelimiter_ = false;
  }

  void AppendChar(char16_t ch) {
    if (ch == u'\\' || ch == u'{' || ch == u'}') {
      out_ += '\\';
      out_ += static_cast<char>(ch);
      needDelimiter_ = false;
      return;
    }
    if (ch == u'\t') {
      ControlWord("\\tab");
      return;
    }
    if (ch < 0x20 || ch == 0x7F) {
      HexEscape(static_cast<std::uint8_t>(ch));
      return;
    }
    if (ch < 0x7F) {
      if (needDelimiter_)
        out_ += ' ';
      out_ += static_cast<char>(ch);
      needDelimiter_ = false;
      return;
    }
    if (const std::optional<std::uint8_t> byte = Cp1252Byte(ch)) {
      HexEscape(*byte);
      return;
    }
    // \u takes a signed 16-bit number; '?' is the stand-in for readers
    // without Unicode (\uc1, the default, tells them to skip one character).
    const int value = ch >= 0x8000 ? static_cast<int>(ch) - 0x10000 : static_cast<int>(ch);
    out_ += "\\u" + QByteArray::number(value) + '?';
    needDelimiter_ = false;
  }

  QByteArray out_;
  std::vector<TRtfColor> colors_{TRtfColor{0, 0, 0}, TRtfColor{0, 0, 255}};
  int colorIndex_ = -1;
  bool underline_ = false;
  bool underlineKnown_ = false;
  bool needDelimiter_ = false;
};

// ------------------------------------------------------------------ reader

// Groups nested deeper than this share the state of the deepest kept one;
// it bounds the memory a hostile file can make the reader use.
constexpr std::size_t kMaxKeptDepth = 512;
// Control word names are at most 32 letters; longer ones are unknown words.
constexpr std::size_t kMaxWordLength = 32;

struct TGroupState {
  int colorIndex = 0;
  bool underline = false;
  bool skip = false;        // text of this group is not part of the document
  bool colorTable = false;  // inside {\colortbl ...}
  int unicodeSkip = 1;      // \ucN: stand-in characters after each \uN
};

bool IsLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

int HexValue(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

bool IsSkippedDestination(std::string_view word) {
  static constexpr std::string_view kSkipped[] = {"fonttbl",
                                                  "stylesheet",
                                                  "info",
                                                  "pict",
                                                  "object",
                                                  "header",
                                                  "headerl",
                                                  "headerr",
                                                  "headerf",
                                                  "footer",
                                                  "footerl",
                                                  "footerr",
                                                  "footerf",
                                                  "footnote",
                                                  "fldinst",
                                                  "listtable",
                                                  "listoverridetable",
                                                  "rsidtbl",
                                                  "generator",
                                                  "themedata",
                                                  "colorschememapping",
                                                  "latentstyles",
                                                  "datastore",
                                                  "xmlnstbl",
                                                  "filetbl",
                                                  "revtbl",
                                                  "pgdsctbl",
                                                  "mmathPr",
                                                  "annotation",
                                                  "atnid",
                                                  "atnauthor",
                                                  "private",
                                                  "userprops",
                                                  "nonshppict",
                                                  "shpinst",
                                                  "sp",
                                                  "sn",
                                                  "sv",
                                                  "bkmkstart",
                                                  "bkmkend",
                                                  "txe",
                                                  "xe",
                                                  "tc",
                                                  "author",
                                                  "operator",
                                                  "title"};
  return std::find(std::begin(kSkipped), std::end(kSkipped), word) != std::end(kSkipped);
}

bool IsUnderlineOn(std::string_view word) {
  static constexpr std::string_view kUnderlines[] = {
      "ul",         "uld",       "uldash",     "uldashd", "uldashdd", "uldb",
      "ulhwave",    "ulldash",   "ulth",       "ulthd",   "ulthdash", "ulthdashd",
      "ulthdashdd", "ulthldash", "ululdbwave", "ulw",     "ulwave"};
  return std::find(std::begin(kUnderlines), std::end(kUnderlines), word) != std::end(kUnderlines);
}

class TRtfReader {
 public:
  TRtfReader(QByteArrayView data, TRtfDocument& document) : data_(data), document_(document) {}

  bool Read(QString* error) {
    document_.Clear();
    qsizetype pos = 0;
    if (data_.size() >= 3 && static_cast<unsigned char>(data_[0]) == 0xEF &&
        static_cast<unsigned char>(data_[1]) == 0xBB &&
        static_cast<unsigned char>(data_[2]) == 0xBF)
      pos = 3;
    while (pos < data_.size() &&
           (data_[pos] == ' ' || data_[pos] == '\t' || data_[pos] == '\r' || data_[pos] == '\n'))
      ++pos;
    if (!data_.sliced(pos).startsWith(QByteArrayView("{\\rtf"))) {
      if (error)
        *error = QStringLiteral("The file is not in the RTF format");
      return false;
    }
    pos_ = pos;
    Parse();
    FlushText();
    return true;
  }

 private:
  void Parse() {
    while (pos_ < data_.size() && !done_) {
      const char c = data_[pos_++];
      switch (c) {
        case '{':
          pendingSkip_ = 0;
          OpenGroup();
          break;
        case '}':
          pendingSkip_ = 0;
          CloseGroup();
          break;
        case '\\':
          ParseControl();
          break;
        case '\r':
        case '\n':
          break;
        default:
          PlainChar(static_cast<unsigned char>(c));
          break;
      }
    }
  }

  void OpenGroup() {
    if (stack_.size() < kMaxKeptDepth)
      stack_.push_back(state_);
    else
      ++extraDepth_;
  }

  void CloseGroup() {
    if (extraDepth_ > 0) {
      --extraDepth_;
      return;
    }
    if (stack_.empty()) {
      done_ = true;
      return;
    }
    state_ = stack_.back();
    stack_.pop_back();
    // The end of the outermost group is the end of the document; anything
    // after it is not read.
    if (stack_.empty())
      done_ = true;
  }

  // A stand-in character after \uN is dropped instead of being read.
  bool TakeStandIn() {
    if (pendingSkip_ <= 0)
      return false;
    --pendingSkip_;
    return true;
  }

  void PlainChar(unsigned char byte) {
    if (TakeStandIn())
      return;
    if (state_.colorTable) {
      if (byte == ';')
        EndColorEntry();
      return;
    }
    if (byte == '\t') {
      AddChar(u'\t');
      return;
    }
    if (byte < 0x20)
      return;
    AddChar(Cp1252ToUnicode(byte).unicode());
  }

  void ParseControl() {
    if (pos_ >= data_.size())
      return;
    const char first = data_[pos_];
    if (!IsLetter(first)) {
      ++pos_;
      ControlSymbol(first);
      return;
    }
    std::array<char, kMaxWordLength> name{};
    std::size_t length = 0;
    bool tooLong = false;
    while (pos_ < data_.size() && IsLetter(data_[pos_])) {
      if (length < name.size())
        name[length++] = data_[pos_];
      else
        tooLong = true;
      ++pos_;
    }
    bool hasParam = false;
    bool negative = false;
    std::int64_t value = 0;
    if (pos_ < data_.size() && data_[pos_] == '-' && pos_ + 1 < data_.size() &&
        IsDigit(data_[pos_ + 1])) {
      negative = true;
      ++pos_;
    }
    while (pos_ < data_.size() && IsDigit(data_[pos_])) {
      hasParam = true;
      // Saturates far beyond any sensible number, so huge ones stay huge.
      if (value < 100'000'000'000LL)
        value = value * 10 + (data_[pos_] - '0');
      ++pos_;
    }
    if (pos_ < data_.size() && data_[pos_] == ' ')
      ++pos_;
    value = std::clamp<std::int64_t>(negative ? -value : value,
                                     std::numeric_limits<std::int32_t>::min(),
                                     std::numeric_limits<std::int32_t>::max());
    if (tooLong)
      return;
    ControlWord(std::string_view(name.data(), length), hasParam, static_cast<int>(value));
  }

  void ControlSymbol(char symbol) {
    if (symbol == '\'') {
      int byte = 0;
      for (int i = 0; i < 2; ++i) {
        const int digit = pos_ < data_.size() ? HexValue(data_[pos_]) : -1;
        if (digit < 0)
          return;  // a cut-off escape is dropped
        byte = byte * 16 + digit;
        ++pos_;
      }
      if (TakeStandIn() || state_.colorTable)
        return;
      AddChar(Cp1252ToUnicode(static_cast<unsigned char>(byte)).unicode());
      return;
    }
    if (symbol == '*') {
      // An optional destination: this reader knows none worth keeping.
      state_.skip = true;
      return;
    }
    if (TakeStandIn())
      return;
    switch (symbol) {
      case '\\':
      case '{':
      case '}':
        if (!state_.colorTable)
          AddChar(static_cast<char16_t>(symbol));
        break;
      case '~':
        AddChar(u'\u00A0');
        break;
      case '_':
        AddChar(u'\u2011');
        break;
      case '\r':
      case '\n':
        EndParagraph();
        break;
      default:  // \- optional hyphen, \| \: formula and index marks
        break;
    }
  }

  void ControlWord(std::string_view word, bool hasParam, int value) {
    if (word == "bin") {
      // Binary data follows, whatever the group; it is never text.
      if (hasParam && value > 0)
        pos_ += std::min<qsizetype>(value, data_.size() - pos_);
      return;
    }
    if (TakeStandIn())
      return;
    if (state_.colorTable) {
      const int component = std::clamp(value, 0, 255);
      if (word == "red")
        color_.red = static_cast<std::uint8_t>(component);
      else if (word == "green")
        color_.green = static_cast<std::uint8_t>(component);
      else if (word == "blue")
        color_.blue = static_cast<std::uint8_t>(component);
      else
        return;
      colorGiven_ = true;
      return;
    }
    if (word == "colortbl") {
      state_.skip = true;
      state_.colorTable = true;
      colors_.clear();
      color_ = {};
      colorGiven_ = false;
      return;
    }
    if (IsSkippedDestination(word)) {
      state_.skip = true;
      return;
    }
    if (word == "uc") {
      state_.unicodeSkip = hasParam ? std::clamp(value, 0, 255) : 1;
      return;
    }
    if (word == "u") {
      if (!hasParam)
        return;
      const int code = value < 0 ? value + 0x10000 : value;
      if (code >= 0 && code <= 0xFFFF)
        AddChar(static_cast<char16_t>(code));
      pendingSkip_ = state_.unicodeSkip;
      return;
    }
    if (word == "par" || word == "line" || word == "sect" || word == "page" || word == "row") {
      EndParagraph();
      return;
    }
    if (word == "tab" || word == "cell") {
      AddChar(u'\t');
      return;
    }
    if (word == "cf") {
      state_.colorIndex = hasParam ? value : 0;
      return;
    }
    if (word == "ulnone") {
      state_.underline = false;
      return;
    }
    if (IsUnderlineOn(word)) {
      state_.underline = !(hasParam && value == 0);
      return;
    }
    if (word == "plain") {
      state_.colorIndex = 0;
      state_.underline = false;
      return;
    }
    static constexpr std::array<std::pair<std::string_view, char16_t>, 10> kSpecials = {{
        {"emdash", u'\u2014'},
        {"endash", u'\u2013'},
        {"emspace", u'\u2003'},
        {"enspace", u'\u2002'},
        {"qmspace", u'\u2005'},
        {"bullet", u'\u2022'},
        {"lquote", u'\u2018'},
        {"rquote", u'\u2019'},
        {"ldblquote", u'\u201C'},
        {"rdblquote", u'\u201D'},
    }};
    for (const auto& [name, ch] : kSpecials) {
      if (word == name) {
        AddChar(ch);
        return;
      }
    }
  }

  void EndColorEntry() {
    colors_.push_back(colorGiven_ ? std::optional<TRtfColor>(color_) : std::nullopt);
    color_ = {};
    colorGiven_ = false;
  }

  TRtfStyle CurrentStyle() const {
    TRtfStyle style;
    style.underline = state_.underline;
    const int index = state_.colorIndex;
    if (index >= 0 && static_cast<std::size_t>(index) < colors_.size() &&
        colors_[static_cast<std::size_t>(index)])
      style.color = *colors_[static_cast<std::size_t>(index)];
    return style;
  }

  void AddChar(char16_t ch) {
    if (state_.skip)
      return;
    const TRtfStyle style = CurrentStyle();
    if (!text_.isEmpty() && style != textStyle_)
      FlushText();
    textStyle_ = style;
    text_.append(QChar(ch));
  }

  void FlushText() {
    document_.AppendText(text_, textStyle_);
    text_.clear();
  }

  void EndParagraph() {
    if (state_.skip)
      return;
    FlushText();
    document_.EndParagraph();
  }

  QByteArrayView data_;
  TRtfDocument& document_;
  qsizetype pos_ = 0;
  bool done_ = false;
  std::vector<TGroupState> stack_;
  std::size_t extraDepth_ = 0;
  TGroupState state_;
  int pendingSkip_ = 0;
  std::vector<std::optional<TRtfColor>> colors_;
  TRtfColor color_;
  bool colorGiven_ = false;
  QString text_;
  TRtfStyle textStyle_;
};

}  // namespace

QByteArray WriteRtf(const TRtfDocument& document) {
  return TRtfWriter().Write(document);
}

QByteArray WriteRtfPiece(std::span<const TRtfRun> runs) {
  return TRtfWriter().WriteRuns(runs);
}

qsizetype RtfHeadSize() {
  return kHead.size();
}

bool IsRtfWriterHead(QByteArrayView head) {
  return head == kHead;
}

std::optional<TRtfContinuation> FindRtfContinuation(QByteArrayView tail, qsizetype tailOffset) {
  qsizetype end = tail.size();
  while (end > 0 && (tail[end - 1] == '\r' || tail[end - 1] == '\n' || tail[end - 1] == ' ' ||
                     tail[end - 1] == '\t'))
    --end;
  if (end == 0 || tail[end - 1] != '}')
    return std::nullopt;
  const qsizetype brace = end - 1;
  // A brace after an odd number of backslashes is text: the file was cut.
  qsizetype backslashes = 0;
  while (backslashes < brace && tail[brace - 1 - backslashes] == '\\')
    ++backslashes;
  if (backslashes % 2 != 0)
    return std::nullopt;
  // The writer puts a raw line end only after a paragraph and in the head,
  // so these two endings cannot come from text.
  const QByteArrayView body = tail.first(brace);
  const bool closed = body.endsWith(kParagraphEnd) || body.endsWith(kHeadEnd);
  return TRtfContinuation{tailOffset + brace, !closed};
}

bool ReadRtf(QByteArrayView data, TRtfDocument& document, QString* error) {
  return TRtfReader(data, document).Read(error);
}

}  // namespace klv
