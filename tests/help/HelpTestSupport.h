// Modal windows opened and closed without blocking, and PDF files read back
// with poppler's tools.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <vector>

namespace klv::test {

// Runs `action`, which is to open a modal dialog; while it is open `inspect`
// sees it, and then it is closed (rejected, unless `inspect` closed it).
// Returns whether a modal dialog was seen.
inline bool WhileModal(const std::function<void()>& action,
                       const std::function<void(QDialog*)>& inspect) {
  QWidget* const before = QApplication::activeModalWidget();
  bool seen = false;
  QTimer timer;
  timer.setInterval(5);
  QObject::connect(&timer, &QTimer::timeout, [&] {
    auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (modal == nullptr || modal == before || seen)
      return;
    seen = true;
    timer.stop();
    inspect(modal);
    if (modal->isVisible())
      modal->reject();
  });
  timer.start();
  action();
  timer.stop();
  return seen;
}

inline bool HavePoppler() {
  return !QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty() &&
         !QStandardPaths::findExecutable(QStringLiteral("pdfimages")).isEmpty();
}

inline QString RunTool(const QString& tool, const QStringList& arguments) {
  QProcess process;
  process.start(tool, arguments);
  const bool ran = process.waitForFinished(60000) && process.exitCode() == 0;
  return ran ? QString::fromUtf8(process.readAllStandardOutput()) : QString();
}

// The text lines of a PDF, blanks simplified, empty lines left out.
inline QStringList PdfLines(const QString& path) {
  const QString text =
      RunTool(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
  QStringList lines;
  for (const QString& line : text.split(QRegularExpression(QStringLiteral("[\\n\\f]")))) {
    if (!line.simplified().isEmpty())
      lines << line.simplified();
  }
  return lines;
}

inline int PdfPageCount(const QString& path) {
  const QString info = RunTool(QStringLiteral("pdfinfo"), {path});
  const QRegularExpressionMatch m =
      QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(info);
  return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// A word as pdftotext -bbox places it, in points from the page's top left.
struct TPdfWord {
  QString text;
  double xMin, yMin, xMax, yMax;
};

inline std::vector<TPdfWord> PdfWords(const QString& path) {
  const QString html =
      RunTool(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), path, QStringLiteral("-")});
  static const QRegularExpression word(QStringLiteral(
      "<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" yMax=\"([\\d.]+)\">([^<]*)"
      "</word>"));
  std::vector<TPdfWord> words;
  for (auto it = word.globalMatch(html); it.hasNext();) {
    const QRegularExpressionMatch m = it.next();
    words.push_back({m.captured(5), m.captured(1).toDouble(), m.captured(2).toDouble(),
                     m.captured(3).toDouble(), m.captured(4).toDouble()});
  }
  return words;
}

// The images of a PDF as pdfimages -list gives them: width and height in pixels.
inline std::vector<QSize> PdfImages(const QString& path) {
  const QString list = RunTool(QStringLiteral("pdfimages"), {QStringLiteral("-list"), path});
  std::vector<QSize> images;
  // page num type width height ...; the two header lines do not start with a number.
  static const QRegularExpression row(
      QStringLiteral("^\\s*\\d+\\s+\\d+\\s+image\\s+(\\d+)\\s+(\\d+)"),
      QRegularExpression::MultilineOption);
  for (auto it = row.globalMatch(list); it.hasNext();) {
    const QRegularExpressionMatch m = it.next();
    images.emplace_back(m.captured(1).toInt(), m.captured(2).toInt());
  }
  return images;
}

}  // namespace klv::test
