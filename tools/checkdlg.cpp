#include "checkdlg.h"

TFmCheckDlg::TFmCheckDlg(QWidget* parent) : QDialog(parent) { setWindowTitle("Geometry Check"); }
