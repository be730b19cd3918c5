// Small layout helpers shared by the tool dialogs.
#pragma once

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QString>

#include <new>
#include <string>
#include <vector>

// The idle steps of the check and the volume calculation last about this long, so clicks and
// repaints get through between them.
inline constexpr double IdleSliceSeconds = 0.015;

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

// A tool's output lines as the text of its output list.
inline QString JoinLines(const std::vector<std::string>& lines) {
    QString text;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) text += '\n';
        text += QString::fromStdString(lines[i]);
    }
    return text;
}

// Runs one piece of a tool's work (a start, an idle step, a picture). When memory runs out
// in it, on this thread or on a worker, `stop` ends the work and gives back what it held,
// then `report` tells the user: the program goes on. False when memory ran out.
template <class Work, class Stop, class Report>
bool WithinMemory(Work&& work, Stop&& stop, Report&& report) {
    try {
        work();
        return true;
    } catch (const std::bad_alloc&) {
    }
    try {
        stop();
    } catch (const std::bad_alloc&) {
        // what is left to give back is given back on the next run
    }
    report();
    return false;
}
