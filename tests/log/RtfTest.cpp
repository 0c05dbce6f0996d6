#include "log/Rtf.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <string>

#include "common/Cp1252.h"

namespace klv {
namespace {

constexpr TRtfStyle kBlack{};
constexpr TRtfStyle kRed{{255, 0, 0}, false};

TRtfDocument Read(QByteArrayView rtf) {
  TRtfDocument document;
  QString error;
  EXPECT_TRUE(ReadRtf(rtf, document, &error)) << error.toStdString();
  return document;
}

QString AllCp1252Characters() {
  std::string bytes;
  for (int b = 1; b < 256; ++b)
    bytes.push_back(static_cast<char>(b));
  return Cp1252ToQString(bytes);
}

// ---------------------------------------------------------------- model

TEST(RtfDocument, JoinsTextOfOneStyleAndKeepsParagraphs) {
  TRtfDocument document;
  document.AppendText(u"ab", kBlack);
  document.AppendText(u"cd", kBlack);
  document.AppendText(u"ef", kChannel2RtfStyle);
  document.EndParagraph();
  document.EndParagraph();
  document.AppendText(u"gh", kBlack);
  // AddParagraph ends the unfinished "gh" paragraph first.
  document.AddParagraph(u"line", kBlack);
  document.AppendText(u"", kRed);  // nothing to add

  const std::vector<TRtfRun> expected = {
      {QStringLiteral("abcd"), kBlack, false},
      {QStringLiteral("ef"), kChannel2RtfStyle, true},
      {QString(), kBlack, true},
      {QStringLiteral("gh"), kBlack, true},
      {QStringLiteral("line"), kBlack, true},
  };
  EXPECT_EQ(document.Runs(), expected);
  EXPECT_EQ(document.PlainText(), QStringLiteral("abcdef\n\ngh\nline\n"));
}

// ---------------------------------------------------------------- writer and reader

TEST(RtfRoundTrip, EveryCharacterStyleAndParagraphComesBack) {
  TRtfDocument document;
  document.AddParagraph(u"", kBlack);
  document.AppendText(u"plain {braces} and \\backslashes\\ ", kBlack);
  document.AppendText(u"channel two", kChannel2RtfStyle);
  document.EndParagraph();
  document.AppendText(AllCp1252Characters(), kBlack);
  document.EndParagraph();
  document.AppendText(AllCp1252Characters(), kChannel2RtfStyle);
  document.EndParagraph();
  // Outside Windows-1252: CJK, a character needing a surrogate pair, and
  // the C1 codes the code page has no byte for.
  document.AppendText(QStringLiteral("\u4E00\u0100 \U0001F600 \u0080\u009F ?"), kRed);
  document.AppendText(u" starts with a blank, 123 digits, -dash", kBlack);
  document.EndParagraph();
  document.AppendText(u"\tunfinished last paragraph", kBlack);

  const QByteArray rtf = WriteRtf(document);
  EXPECT_EQ(Read(rtf), document) << rtf.toStdString();
  // Everything outside plain ASCII is escaped.
  for (char c : rtf)
    ASSERT_LT(static_cast<unsigned char>(c), 0x80) << rtf.toStdString();
}

TEST(RtfWriter, WritesTheLogFormat) {
  TRtfDocument document;
  document.AppendText(u"black", kBlack);
  document.AppendText(u"blue\u00E9", kChannel2RtfStyle);
  document.AppendText(u"{x}\u4E00", kBlack);
  document.EndParagraph();
  const QByteArray rtf = WriteRtf(document);

  EXPECT_TRUE(rtf.startsWith("{\\rtf1\\ansi\\ansicpg1252\\deff0")) << rtf.toStdString();
  EXPECT_TRUE(rtf.contains("{\\fonttbl{\\f0\\fmodern Courier New;}}"));
  EXPECT_TRUE(rtf.contains("{\\colortbl;\\red0\\green0\\blue0;\\red0\\green0\\blue255;}"));
  EXPECT_TRUE(rtf.contains("\\f0\\fs16"));
  EXPECT_TRUE(
      rtf.contains("\\cf1\\ulnone black\\cf2\\ul blue\\'e9\\cf1\\ulnone\\{x\\}\\u19968?\\par"))
      << rtf.toStdString();
  EXPECT_TRUE(rtf.trimmed().endsWith('}'));
}

TEST(RtfWriter, AddsColoursOfALoadedDocumentToTheTable) {
  TRtfDocument document;
  document.AppendText(u"red", kRed);
  document.AppendText(u"blue", kChannel2RtfStyle);
  const QByteArray rtf = WriteRtf(document);
  EXPECT_TRUE(rtf.contains(
      "{\\colortbl;\\red0\\green0\\blue0;\\red0\\green0\\blue255;\\red255\\green0\\blue0;}"));
  EXPECT_TRUE(rtf.contains("\\cf3\\ulnone red\\cf2\\ul blue"));
  EXPECT_EQ(Read(rtf), document);
}

// ---------------------------------------------------------------- reader

TEST(RtfReader, ReadsWordProcessorRtf) {
  // The kind of file WordPad and word processors write, with the
  // destinations and controls the log does not keep.
  const QByteArray rtf =
      "{\\rtf1\\ansi\\ansicpg1252\\deff0\\nouicompat\\deflang1031"
      "{\\fonttbl{\\f0\\fnil\\fcharset0 Calibri;}{\\f1\\fmodern Courier New;}}\r\n"
      "{\\colortbl ;\\red0\\green0\\blue255;\\red255\\green0\\blue0;}\r\n"
      "{\\stylesheet{\\s0 Normal;}}"
      "{\\info{\\author Someone}{\\title A title}}"
      "{\\*\\generator Riched20 10.0.19041}\\viewkind4\\uc1 \r\n"
      "\\pard\\sa200\\sl276\\slmult1\\f0\\fs22\\lang7 Plain \\cf1\\ul blue under\\ulnone  "
      "\\cf2 red\\cf0  auto\\par\r\n"
      "{\\b bold} \\ldblquote q\\rdblquote  \\u8364?euro \\'80 cp\\tab tab\\line next\\par\r\n"
      "{\\field{\\*\\fldinst HYPERLINK \"http://x\"}{\\fldrslt link}} "
      "{\\pict\\pngblip 89504e470d0a}\\bin3 {}yx "
      "\\uc2\\u20013\\'3f\\'3fafter \\uc0\\u20014 none\\par\r\n"
      "{\\ul grouped}ungrouped\\ul  on\\ul0  off\\plain\\par\r\n"
      "}\r\n trailing text is not read";
  const TRtfDocument document = Read(rtf);
  const TRtfStyle blueUnderlined{{0, 0, 255}, true};
  const TRtfStyle blue{{0, 0, 255}, false};
  const TRtfStyle red{{255, 0, 0}, false};
  const TRtfStyle underlined{{0, 0, 0}, true};
  const std::vector<TRtfRun> expected = {
      {QStringLiteral("Plain "), kBlack, false},
      {QStringLiteral("blue under"), blueUnderlined, false},
      {QStringLiteral(" "), blue, false},
      {QStringLiteral("red"), red, false},
      {QStringLiteral(" auto"), kBlack, true},
      {QStringLiteral("bold \u201Cq\u201D \u20ACeuro \u20AC cp\ttab"), kBlack, true},
      {QStringLiteral("next"), kBlack, true},
      {QStringLiteral("link x \u4E2Dafter \u4E2Enone"), kBlack, true},
      {QStringLiteral("grouped"), underlined, false},
      {QStringLiteral("ungrouped"), kBlack, false},
      {QStringLiteral(" on"), underlined, false},
      {QStringLiteral(" off"), kBlack, true},
  };
  EXPECT_EQ(document.Runs(), expected) << document.PlainText().toStdString();
}

TEST(RtfReader, RefusesWhatIsNotRtf) {
  for (const QByteArray& data :
       {QByteArray(), QByteArray("plain words"), QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"),
        QByteArray("{\\rt"), QByteArray("{ \\rtf1 x}")}) {
    TRtfDocument document;
    document.AppendText(u"old");
    QString error;
    EXPECT_FALSE(ReadRtf(data, document, &error)) << data.toStdString();
    EXPECT_FALSE(error.isEmpty());
  }
  // Leading blanks and a byte order mark are allowed.
  EXPECT_EQ(Read("\xEF\xBB\xBF \r\n{\\rtf1 ok}").PlainText(), QStringLiteral("ok"));
}

TEST(RtfReader, SurvivesMalformedInput) {
  struct Case {
    QByteArray rtf;
    QString text;
  };
  const QByteArray deepOpen(100000, '{');
  const QByteArray deepClose(100000, '}');
  const std::vector<Case> cases = {
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
      {"{\\rtf1 " + QByteArray(5000, 'a').prepend('\\') + " x}", "x"},
      {"{\\rtf1 " + QByteArray(3000, '\\') + "}", QString(1500, QLatin1Char('\\'))},
      {"{\\rtf1 \\*", ""},
      {QByteArray("{\\rtf1 a\0b\\'00c}", 16), QStringLiteral("ab") + QChar(0) + 'c'},
      {"{\\rtf1 " + deepOpen + "deep" + deepClose + "}", "deep"},
      {"{\\rtf1 " + deepOpen + "unclosed", "unclosed"},
      {"{\\rtf1 x}}}}} y", "x"},
  };
  for (const Case& c : cases) {
    TRtfDocument document;
    ASSERT_TRUE(ReadRtf(c.rtf, document)) << c.rtf.left(60).toStdString();
    EXPECT_EQ(document.PlainText(), c.text) << c.rtf.left(60).toStdString();
  }
}

// ---------------------------------------------------------------- another reader

class RtfWithUnrtf : public testing::Test {
 protected:
  void SetUp() override {
    unrtf_ = QStandardPaths::findExecutable(QStringLiteral("unrtf"));
    if (unrtf_.isEmpty())
      GTEST_SKIP() << "unrtf is not installed";
    ASSERT_TRUE(dir_.isValid());
  }

  QString Convert(const QByteArray& rtf, const QString& mode) {
    const QString path = dir_.filePath(QStringLiteral("log.rtf"));
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(rtf);
    file.close();
    QProcess process;
    process.start(unrtf_, {mode, path});
    EXPECT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    return QString::fromUtf8(process.readAllStandardOutput());
  }

  QString unrtf_;
  QTemporaryDir dir_;
};

TEST_F(RtfWithUnrtf, ReadsTextAndChannelAppearance) {
  TRtfDocument document;
  document.AddParagraph(u"channel one text", kBlack);
  document.AppendText(u"before ", kBlack);
  document.AppendText(u"channel two text", kChannel2RtfStyle);
  document.AppendText(u" after", kBlack);
  document.EndParagraph();
  document.AddParagraph(u"braces {x} backslash \\ e-acute \u00E9", kBlack);
  const QByteArray rtf = WriteRtf(document);

  const QString text = Convert(rtf, QStringLiteral("--text"));
  EXPECT_TRUE(text.contains(QStringLiteral("channel one text\n"))) << text.toStdString();
  EXPECT_TRUE(text.contains(QStringLiteral("before channel two text after\n")))
      << text.toStdString();
  EXPECT_TRUE(text.contains(QStringLiteral("braces {x} backslash \\ e-acute")))
      << text.toStdString();

  const QString html = Convert(rtf, QStringLiteral("--html"));
  EXPECT_TRUE(html.contains(QStringLiteral("<font color=\"#0000ff\"><u>channel two text</u>")))
      << html.toStdString();
  EXPECT_TRUE(html.contains(QStringLiteral("e-acute &eacute;"))) << html.toStdString();
  // Channel 1 text is neither blue nor underlined.
  const QRegularExpression plainBlack(
      QStringLiteral("<font color=\"#000000\">channel one text<br>"));
  EXPECT_TRUE(plainBlack.match(html).hasMatch()) << html.toStdString();
  EXPECT_FALSE(html.contains(QStringLiteral("<u>channel one")));
  EXPECT_FALSE(html.contains(QStringLiteral("<u>before")));
}

}  // namespace
}  // namespace klv
