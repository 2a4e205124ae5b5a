// The application object a test program's windows, fonts and pictures need: one for the whole
// program, on the offscreen platform unless QT_QPA_PLATFORM names another, made before the first
// test and removed after the last one; and a complaint of the test's scripted modals as a failure.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QString>
#include <QtGlobal>

#include <memory>
#include <string>

namespace testing_qt {

// Application is QGuiApplication for drawing alone, QApplication where widgets are made.
template <class Application>
class QtEnvironment : public ::testing::Environment {
 public:
  explicit QtEnvironment(std::string programName) : name_(std::move(programName)) {}

  void SetUp() override {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    argv_[0] = name_.data();
    if (!QCoreApplication::instance()) app_ = std::make_unique<Application>(argc_, argv_);
  }
  void TearDown() override { app_.reset(); }

 private:
  std::string name_;
  int argc_ = 1;  // the application keeps a reference to it
  char* argv_[2] = {nullptr, nullptr};
  std::unique_ptr<Application> app_;
};

// Registers the environment; one source file of the test program holds
//   [[maybe_unused]] auto* const environment = testing_qt::AddQtEnvironment<QApplication>("name");
template <class Application>
::testing::Environment* AddQtEnvironment(const char* programName) {
  return ::testing::AddGlobalTestEnvironment(new QtEnvironment<Application>(programName));
}

// What a scripted modal reports (a call no answer was queued for, an answer left over): a
// failure of the running test. Hand it to forms::ScriptedForms.
inline void FailTest(const QString& message) { ADD_FAILURE() << message.toStdString(); }

}  // namespace testing_qt
