// Runs the application's event loop until the window's quit request ends
// it, or fails the test after five seconds should none come.
#pragma once

#include <QCoreApplication>
#include <QTimer>
#include <gtest/gtest.h>

inline int RunUntilQuitRequest() {
  QTimer Guard;
  Guard.setSingleShot(true);
  QObject::connect(&Guard, &QTimer::timeout, [] {
    ADD_FAILURE() << "no quit request";
    QCoreApplication::exit(1);
  });
  Guard.start(5000);
  return QCoreApplication::exec();
}
