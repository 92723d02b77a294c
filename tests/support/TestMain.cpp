#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Dates and times in tests are local; keep them the same on every machine.
  if (qEnvironmentVariableIsEmpty("TZ")) qputenv("TZ", "UTC");
  QApplication app(argc, argv);
  app.setQuitOnLastWindowClosed(false);
  ::testing::InitGoogleMock(&argc, argv);
  return RUN_ALL_TESTS();
}
