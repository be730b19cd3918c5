// The viewer executable.
#include "app/main.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("TRAZON");
    TFmMain* main = new TFmMain;
    main->CreateDialogs();
    main->show();
    int rc = app.exec();
    delete main;
    return rc;
}
