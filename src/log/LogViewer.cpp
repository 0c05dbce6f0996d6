#include "log/LogViewer.h"

#include <QProcess>
#include <QStandardPaths>

namespace klv {
namespace {

TViewerCandidate Writer(const QString& program) {
  return {program, {QStringLiteral("--writer")}};
}

}  // namespace

std::vector<TViewerCandidate> ViewerCandidates(int choice) {
  std::vector<TViewerCandidate> list;
  switch (choice) {
    case 1:  // a rich-text editor
      list = {{QStringLiteral("abiword"), {}},   {QStringLiteral("ted"), {}},
              {QStringLiteral("lowriter"), {}},  Writer(QStringLiteral("libreoffice")),
              Writer(QStringLiteral("soffice")), {QStringLiteral("calligrawords"), {}}};
      break;
    case 2:  // a word processor
      list = {{QStringLiteral("lowriter"), {}},
              Writer(QStringLiteral("libreoffice")),
              Writer(QStringLiteral("soffice")),
              {QStringLiteral("calligrawords"), {}},
              {QStringLiteral("abiword"), {}}};
      break;
    default:  // a plain-text editor
      for (const char* editor : {"mousepad", "gedit", "gnome-text-editor", "kate", "kwrite", "xed",
                                 "pluma", "featherpad", "leafpad", "l3afpad", "geany"})
        list.push_back({QString::fromLatin1(editor), {}});
      break;
  }
  list.push_back({QStringLiteral("xdg-open"), {}});
  return list;
}

TLogViewer::TLogViewer()
    : FindProgram([](const QString& program) { return QStandardPaths::findExecutable(program); }),
      StartProgram([](const QString& program, const QStringList& arguments) {
        return QProcess::startDetached(program, arguments);
      }) {}

bool TLogViewer::View(int choice, const QString& fileName) const {
  for (const TViewerCandidate& candidate : ViewerCandidates(choice)) {
    const QString path = FindProgram(candidate.program);
    if (path.isEmpty())
      continue;
    QStringList arguments = candidate.options;
    arguments.append(fileName);
    if (StartProgram(path, arguments))
      return true;
  }
  return false;
}

}  // namespace klv
