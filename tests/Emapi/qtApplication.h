// The application object of tests that show windows: it lives from before
// the first test to after the last, and is gone before the process ends.
#pragma once

#include <QApplication>
#include <gtest/gtest.h>

namespace quorvel::test {

class ApplicationEnvironment : public testing::Environment {
public:
  void SetUp() override { app_ = new QApplication(argc_, argv_); }
  void TearDown() override { delete app_; }

private:
  int argc_ = 1;
  char name_[10] = "mail-test";
  char* argv_[2] = {name_, nullptr};
  QApplication* app_ = nullptr;
};

} // namespace quorvel::test
