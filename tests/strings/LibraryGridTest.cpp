// The library grid's operations on three entries: 001 a script with bytes
// and a name, 002 a name without bytes, 003 empty.
#include <gtest/gtest.h>

#include <QStringList>

#include "strings/LibraryGrid.h"

namespace klv {
namespace {

// Steps "<op><entry>[><entry>]<result>": X cut, C copy, V paste, D delete,
// M move, F forget the clipboard; result = done, n not empty, o nothing to
// paste, x no entry. Then each entry as bytes/name, syntax, cursor, modes.
const char* const kCases[][2] = {
    {"X0= V2= V2n V1n", "/ s4 c1 m11|/N s0 c1 m11|AB/Poll s4 c3 m00"},
    {"C0= V2= D0= V0=", "AB/Poll s4 c3 m00|/N s0 c1 m11|AB/Poll s4 c3 m00"},
    {"V2o C0= F0= V2o", "AB/Poll s4 c3 m00|/N s0 c1 m11|/ s3 c2 m00"},
    {"M0>2= M0>1n M2>2n M1>1n M0>100x M-1>2x D100x X-1x",
     "/ s4 c1 m11|/N s0 c1 m11|AB/Poll s4 c3 m00"},
};

TEST(LibraryGrid, OperationsOverwriteNoStringOrName) {
  using R = TLibraryGrid::TResult;
  for (const auto& [script, expected] : kCases) {
    SCOPED_TRACE(script);
    TStrngs library;
    SetLibraryDefaults(library);
    TLibString* e = library.Strings.data();
    e[0].Str.assign("AB"), e[0].Name.assign("Poll"), e[0].Syntax = 4, e[0].CursorPos = 3;
    e[1].Name.assign("N");
    e[2].Syntax = 3, e[2].CursorPos = 2,
    e[2].InputMode = e[2].EditMode = e[0].InputMode = e[0].EditMode = 0;
    TLibraryGrid grid(library);
    for (const QString& step : QString::fromLatin1(script).split(' ')) {
      const QStringList at = step.mid(1, step.size() - 2).split('>');
      const int a = at[0].toInt(), b = at.value(1).toInt();
      const char op = step[0].toLatin1();
      const R got = op == 'X'   ? grid.Cut(a)
                    : op == 'C' ? grid.Copy(a)
                    : op == 'V' ? grid.Paste(a)
                    : op == 'D' ? grid.Delete(a)
                    : op == 'M' ? grid.Move(a, b)
                                : (grid.ForgetClip(), R::Done);
      EXPECT_EQ(QString("=onx")[static_cast<int>(got)], step.back()) << step.toStdString();
    }
    QStringList shown;
    for (int i = 0; i < 3; ++i)
      shown << QStringLiteral("%1/%2 s%3 c%4 m%5%6")
                   .arg(QString::fromLatin1(e[i].Str.view()), QString::fromLatin1(e[i].Name.view()))
                   .arg(e[i].Syntax)
                   .arg(e[i].CursorPos.get())
                   .arg(e[i].InputMode)
                   .arg(e[i].EditMode);
    EXPECT_EQ(shown.join('|'), expected);
    // Numbers run down the columns.
    EXPECT_EQ(grid.CellText(TLibraryGrid::Index(2, 3)) + grid.CellText(1), "054:002:N");
  }
}

}  // namespace
}  // namespace klv
