#include "Desktop.h"

#include "dialogs/ViewerHost.h"
#include "input/AppPaths.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QProcess>

#include <sys/stat.h>

std::function<void(const std::string&)> MessageBoxHook;
std::function<bool(const std::string&)> QuestionHook;

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

bool FileExists(const std::string& path) {
    struct stat st;
    return !path.empty() && stat(path.c_str(), &st) == 0;
}

} // namespace

void ShowMessage(const std::string& text) {
    if (MessageBoxHook) {
        MessageBoxHook(text);
        return;
    }
    QMessageBox::information(QApplication::activeWindow(), "TRAZON", Q(text));
}

void ShowError(const std::string& text) {
    if (MessageBoxHook) {
        MessageBoxHook(text);
        return;
    }
    QMessageBox::critical(QApplication::activeWindow(), "TRAZON", Q(text));
}

bool AskOkCancel(const std::string& text) {
    if (QuestionHook) return QuestionHook(text);
    return QMessageBox::question(QApplication::activeWindow(), "TRAZON", Q(text),
                                 QMessageBox::Ok | QMessageBox::Cancel,
                                 QMessageBox::Cancel) == QMessageBox::Ok;
}

bool RunCommand(const std::string& program, const std::string& argument) {
    QStringList words = QProcess::splitCommand(Q(program).trimmed());
    if (words.isEmpty()) return false;
    QString prog = words.takeFirst();
    QString arg = Q(argument).trimmed();
    if (!arg.isEmpty()) words << Q(argument);
    return QProcess::startDetached(prog, words);
}

std::function<bool(const std::string& url)> OpenUrlHook;

void OpenHelpPage(const std::string& page, const std::string& browser, const std::string& exeDir) {
    const std::string path = HelpPagePath(exeDir, page);
    if (!FileExists(path)) {
        ShowMessage("The help page " + path + " was not found.");
        return;
    }
    const std::string url = HelpPageUrl(exeDir, page);
    if (RunCommand(browser, url)) return;
    auto noBrowser = [path] {
        ShowMessage("No browser could be started to show the help page " + path +
                    ".\nSet the browser in Environment > Environment for display, or open the page by hand.");
    };
    if (OpenUrlHook) {
        if (!OpenUrlHook(url)) noBrowser();
        return;
    }
    // The desktop's opener is run to its end: it reports whether a page was shown only by its
    // exit status (xdg-open: 3 when no program takes the page), long after it has started.
    auto* opener = new QProcess(qApp);
    QObject::connect(opener, &QProcess::finished, opener,
                     [opener, noBrowser](int code, QProcess::ExitStatus status) {
                         opener->deleteLater();
                         if (status != QProcess::NormalExit || code != 0) noBrowser();
                     });
    QObject::connect(opener, &QProcess::errorOccurred, opener,
                     [opener, noBrowser](QProcess::ProcessError error) {
                         if (error != QProcess::FailedToStart) return;
                         opener->deleteLater();
                         noBrowser();
                     });
    opener->start(DesktopOpener, {Q(url)});
}

void SetFileFilters(QFileDialog& dlg, const QStringList& filters) {
    // The dialog takes the patterns from the last parentheses, so "All(*.*) (*)" matches
    // everything; its combo box entry is then shown under the plain caption again.
    const QString all = "All(*.*)", allEverything = "All(*.*) (*)";
    QStringList list = filters;
    for (QString& f : list)
        if (f == all) f = allEverything;
    dlg.setNameFilters(list);
    if (auto* combo = dlg.findChild<QComboBox*>("fileTypeCombo"))
        for (int i = 0; i < combo->count(); ++i)
            if (combo->itemText(i) == allEverything) combo->setItemText(i, all);
}



void ShowMessage(TViewerHost* host, const std::string& text) {
    if (host)
        host->ShowMessage(text);
    else
        ShowMessage(text);
}

void OpenHelp(TViewerHost* host, const std::string& page) {
    if (host)
        host->OpenHelp(page);
    else
        OpenHelpPage(page, std::string(), ExecutableDir());
}
