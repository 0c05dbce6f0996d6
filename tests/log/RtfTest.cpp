#include "log/Rtf.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QProcess>
#include <QStandardPaths>
#include <optional>
#include <span>
#include <string>

#include "common/Cp1252.h"

namespace klv {
namespace {

TEST(Rtf, EveryCharacterStyleAndParagraphComesBack) {
  std::string bytes;
  for (int b = 1; b < 256; ++b)
    bytes.push_back(static_cast<char>(b));
  TRtfDocument document;
  document.AddParagraph(u"");
  document.AppendText(u"plain {braces} and \\backslashes\\ ");
  document.AppendText(u"channel two", kChannel2RtfStyle);
  document.AddParagraph(Cp1252ToQString(bytes));
  document.AddParagraph(Cp1252ToQString(bytes), kChannel2RtfStyle);
  // Outside Windows-1252: CJK, a surrogate pair, the C1 codes the code page
  // has no byte for; and a colour a loaded document brings.
  document.AppendText(QStringLiteral("\u4E00\u0100 \U0001F600 \u0080\u009F ?"), {{255, 0, 0}});
  document.AppendText(u" starts with a blank, 123 digits, -dash");
  document.EndParagraph();
  document.AppendText(u"\tunfinished last paragraph");

  const QByteArray rtf = WriteRtf(document);
  TRtfDocument read;
  ASSERT_TRUE(ReadRtf(rtf, read));
  EXPECT_EQ(read, document) << rtf.toStdString();
  for (char c : rtf)  // everything outside plain ASCII is escaped
    ASSERT_LT(static_cast<unsigned char>(c), 0x80) << rtf.toStdString();
  // A word processor's ways too: underlining ended by \ul0, a style kept within its group.
  ASSERT_TRUE(ReadRtf("{\\rtf1{\\colortbl;\\blue255;}\\ul a\\ul0 b{\\cf1\\ul c}d}", read));
  EXPECT_EQ(read.Runs(), (std::vector<TRtfRun>{
                             {"a", {{}, true}}, {"b", {}}, {"c", kChannel2RtfStyle}, {"d", {}}}));
}

// A document written up to a paragraph end and continued where its closing brace is found, a piece
// per paragraph, has the same bytes as one written whole.
TEST(Rtf, PiecesContinueADocumentByteForByte) {
  TRtfDocument whole;
  whole.AddParagraph(u"red of a loaded document ", {{255, 0, 0}});
  whole.AppendText(u"12 digits after a style");
  whole.AppendText(u"{\\} \\par", kChannel2RtfStyle);
  whole.EndParagraph();
  whole.EndParagraph();
  whole.AppendText(u"\t\u00E9\u4E00 x", kChannel2RtfStyle);
  whole.AppendText(u"-unfinished");
  const std::span<const TRtfRun> runs = whole.Runs();
  for (std::size_t split = 1; split <= runs.size(); ++split) {
    if (!runs[split - 1].paragraphEnd)
      continue;
    TRtfDocument written;
    for (const TRtfRun& run : runs.first(split))
      written.AppendRun(run);
    QByteArray file = WriteRtf(written);
    for (std::size_t i = split, next = split + 1; i < runs.size(); i = next++) {
      while (next < runs.size() && !runs[next - 1].paragraphEnd)
        ++next;
      const auto end = FindRtfContinuation(file.right(64), file.size() - 64);
      ASSERT_TRUE(end && !end->openParagraph) << file.toStdString();
      file =
          file.left(end->brace) + WriteRtfPiece(runs.subspan(i, next - i)) + kRtfEnd.toByteArray();
    }
    EXPECT_EQ(file, WriteRtf(whole)) << split;
  }
  EXPECT_FALSE(FindRtfContinuation("\\f0\\fs16 cut after a brace of the text \\}", 0));
}

// Anything that does not start like RTF is refused (and never overwritten
// by the log); damage after that start is read as far as it makes sense.
TEST(Rtf, ReaderRefusesWhatIsNotRtfAndSurvivesMalformedInput) {
  const QByteArray deepOpen(100000, '{');
  const QByteArray deepClose(100000, '}');
  const std::pair<QByteArray, std::optional<QString>> cases[] = {
      // none: refused
      {"", std::nullopt},
      {"plain words", std::nullopt},
      {"\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", std::nullopt},
      {"{\\rt", std::nullopt},
      {"{ \\rtf1 x}", std::nullopt},
      {"\xEF\xBB\xBF \r\n{\\rtf1 ok}", "ok"},
      {"{\\rtf", ""},
      {"{\\rtf1 a\\", "a"},
      {"{\\rtf1 a\\'", "a"},
      {"{\\rtf1 a\\'4", "a"},
      {"{\\rtf1 a\\'4zb}", "azb"},
      {"{\\rtf1 a\\u", "a"},
      {"{\\rtf1 a\\u-", "a-"},
      {"{\\rtf1 a\\u99999999999999999999999 b}", "a"},
      {"{\\rtf1 a\\u-99999999999999999999999?b}", "ab"},
      {"{\\rtf1 a\\bin99999999999 bcd}", "a"},
      {"{\\rtf1 a\\bin-5 bcd}", "abcd"},
      {"{\\rtf1 a\\uc99999999999\\u66 bcd}", "aB"},
      {"{\\rtf1 a\\uc-3\\u66 bcd}", "aBbcd"},
      {"{\\rtf1 \\cf99999999999 x\\cf-4 y}", "xy"},
      {"{\\rtf1{\\colortbl;\\red999\\green-5\\blue;;}\\cf1 x}", "x"},
      {"{\\rtf1 \\" + QByteArray(5000, 'a') + " x}", "x"},
      {"{\\rtf1 " + QByteArray(3000, '\\') + "}", QString(1500, QLatin1Char('\\'))},
      {"{\\rtf1 \\*", ""},
      {QByteArray("{\\rtf1 a\0b\\'00c}", 16), QStringLiteral("ab") + QChar(0) + 'c'},
      {"{\\rtf1 " + deepOpen + "deep" + deepClose + "}", "deep"},
      {"{\\rtf1 " + deepOpen + "unclosed", "unclosed"},
      {"{\\rtf1 x}}}}} y", "x"},
      // As word processors write it: destinations to skip, \bin data, stand-ins, 1252 escapes.
      {"{\\rtf1{\\fonttbl{\\f0 Calibri;}}{\\info{\\author A}}{\\*\\generator R}{\\pict 89504e}q"
       "{\\field{\\*\\fldinst HYPERLINK x}{\\fldrslt link}}\\bin3 {}yx \\uc2\\u20013\\'3f\\'3f"
       "\\line\\ldblquote\\'80\\tab\\u8364?}\r\n trailing text is not read",
       "qlinkx \u4E2D\n\u201C\u20AC\t\u20AC"},
  };
  for (const auto& [rtf, text] : cases) {
    TRtfDocument document;
    document.AppendText(u"old");
    QString error;
    EXPECT_EQ(ReadRtf(rtf, document, &error), text.has_value()) << rtf.left(60).toStdString();
    EXPECT_EQ(error.isEmpty(), text.has_value());
    EXPECT_TRUE(!text || document.PlainText() == *text)
        << rtf.left(60).toStdString() << " read as " << document.PlainText().toStdString();
  }
}

// Another reader sees channel 2 blue and underlined, channel 1 black and plain.
TEST(Rtf, UnrtfShowsTheTextAndTheChannelsAppearance) {
  const QString unrtf = QStandardPaths::findExecutable(QStringLiteral("unrtf"));
  if (unrtf.isEmpty())
    GTEST_SKIP() << "unrtf is not installed";
  TRtfDocument document;
  document.AddParagraph(u"channel one text");
  document.AppendText(u"before ");
  document.AppendText(u"channel two text", kChannel2RtfStyle);
  document.AppendText(u" after");
  document.AddParagraph(u"braces {x} backslash \\ e-acute \u00E9");
  QProcess process;  // reading the document from its standard input
  process.start(unrtf, {QStringLiteral("--html")});
  process.write(WriteRtf(document));
  process.closeWriteChannel();
  ASSERT_TRUE(process.waitForFinished(30000) && process.exitCode() == 0);
  const std::string html = QString::fromUtf8(process.readAllStandardOutput()).toStdString();
  using testing::HasSubstr;
  EXPECT_THAT(html, HasSubstr("<font color=\"#000000\">channel one text<br>"));
  EXPECT_THAT(html, HasSubstr("<font color=\"#000000\">before </font>"
                              "<font color=\"#0000ff\"><u>channel two text</u>"));
  EXPECT_THAT(html, HasSubstr(" after<br>\n"));
  EXPECT_THAT(html, HasSubstr(">braces {x} backslash \\ e-acute &eacute;<br>"));
  EXPECT_THAT(html, testing::Not(HasSubstr("<u>channel one")));
}

}  // namespace
}  // namespace klv
