// The one QApplication of a widget test executable. It is never destroyed: at exit its
// destructor would run after Qt's thread-local storage is gone and crash the process.
#pragma once

#include <QApplication>
#include <QElapsedTimer>

inline QApplication* TestApp() {
    static int argc = 1;
    static char name[] = "trazon_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return app;
}

// Lets the event loop run for the given time.
inline void Pump(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
}
