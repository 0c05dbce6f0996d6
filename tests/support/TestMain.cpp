// Test entry point: a Qt application object for the whole run, on the
// offscreen platform unless the caller chose one, so tests (and test
// discovery at build time) run on machines without a display.
#include <gtest/gtest.h>

#include <QtGlobal>
#include <memory>

#ifdef KLV_TEST_GUI
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  testing::InitGoogleTest(&argc, argv);
  TestApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
