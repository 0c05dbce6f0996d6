// The online help: a modal window with one tab per topic, each a read-only
// text from the built-in help pages, opened at the page of the window it was
// called from. "Print" prints the current page as text.
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <array>

class QPlainTextEdit;
class QPrinter;
class QPushButton;
class QTabWidget;

namespace klv {

class TPrintOutput;

inline constexpr int kHelpPages = 7;

// The caption of help page 0..6; empty out of range.
QString HelpPageCaption(int page);
// The text of help page 0..6 from the built-in pages; empty out of range.
QString HelpPageText(int page);
// The header line of a printed help page (page counted from 0).
QString HelpPrintHeader(int page);
// Prints a help page: the header in Courier New 14 pt bold, an empty line,
// then each line in Courier New 10 pt after eight blanks. A line wider than
// the page goes on in the next line, indented the same; full pages are
// turned. False when the printer failed.
bool PrintHelpText(QPrinter& printer, const QString& header, const QStringList& lines);

class TOnlineHelp : public QDialog {
  Q_OBJECT

 public:
  explicit TOnlineHelp(TPrintOutput& output, QWidget* parent = nullptr);

  // Shows the window modally at the page (0..6; any other opens page 0).
  void ShowPage(int page);
  int CurrentPage() const;
  QString PageText(int page) const;

  void btnPrintClick();

  QTabWidget* PageControl;
  std::array<QPlainTextEdit*, kHelpPages> Memo{};  // Memo1..Memo7
  QPushButton* OKBtn;
  QPushButton* btnPrint;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  TPrintOutput& output_;
  int HelpPage = 0;  // the page the window opens at
};

}  // namespace klv
