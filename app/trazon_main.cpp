// The viewer executable.
#include "app/main.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("TRAZON");
    TDocument document; // what the program shows: the window and its dialogs work on it
    TFmMain* main = new TFmMain(document);
    main->CreateDialogs();
    main->show();
    // A data file named on the command line is opened as with the open command.
    QStringList args = QApplication::arguments();
    if (args.size() > 1) main->OpenDataFile(args.at(1).toStdString());
    int rc = app.exec();
    delete main;
    return rc;
}
