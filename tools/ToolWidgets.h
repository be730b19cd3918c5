// Small layout helpers shared by the tool dialogs.
#pragma once

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

// One "label lo - hi" row of a range grid; the edits get their object names for the tests.
inline void AddRangeRow(QGridLayout* grid, int row, QLabel* label, QLineEdit*& lo, QLineEdit*& hi,
                        const char* loText, const char* hiText, const char* loName,
                        const char* hiName) {
    lo = new QLineEdit(loText);
    hi = new QLineEdit(hiText);
    lo->setObjectName(loName);
    hi->setObjectName(hiName);
    grid->addWidget(label, row, 0);
    grid->addWidget(lo, row, 1);
    grid->addWidget(new QLabel("-"), row, 2);
    grid->addWidget(hi, row, 3);
}
