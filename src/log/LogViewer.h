// Opening the log file in the viewer program the user chose. The three
// choices keep their order: 0 a plain-text editor, 1 a rich-text editor,
// 2 a word processor (any other value works as 0). Each choice has a list of
// programs, tried in order; the first one found on PATH that starts is used,
// and xdg-open, the desktop's own choice for the file, comes last.
//
// The program is started directly with an argument list, never through a
// shell: the log file's full path is one argument, exactly as it is, however
// many blanks, quotes or shell characters it holds.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

namespace klv {

// A program to try, and the arguments that go before the file name.
struct TViewerCandidate {
  QString program;
  QStringList options;
  friend bool operator==(const TViewerCandidate&, const TViewerCandidate&) = default;
};

// The programs to try for a viewer choice, best first, xdg-open last.
std::vector<TViewerCandidate> ViewerCandidates(int choice);

class TLogViewer {
 public:
  TLogViewer();

  // Starts the viewer of `choice` on `fileName` (passed on unchanged, as the
  // last argument). False when no program of the list could be started.
  bool View(int choice, const QString& fileName) const;

  // The full path of a program found on PATH, or empty. Looks at PATH as it
  // is at the call.
  std::function<QString(const QString& program)> FindProgram;
  // Starts `program` with `arguments`, detached; false when it could not be
  // started.
  std::function<bool(const QString& program, const QStringList& arguments)> StartProgram;
};

}  // namespace klv
