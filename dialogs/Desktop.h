// Message boxes, help pages and programs started on the desktop, shared by the main window
// and the dialogs.
#pragma once

#include <QStringList>

#include <functional>
#include <string>

class QFileDialog;

// Message boxes and questions go through these when they are set, so that tests can answer
// them. Empty: the toolkit's boxes.
extern std::function<void(const std::string& text)> MessageBoxHook;
extern std::function<bool(const std::string& text)> QuestionHook; // true = OK

void ShowMessage(const std::string& text); // information box
void ShowError(const std::string& text);   // error box
bool AskOkCancel(const std::string& text);

// Starts an external program in the background without a shell: the program text is split
// into program and arguments (quotes respected) and the argument is passed as one word.
// Returns false when it could not be started.
bool RunCommand(const std::string& program, const std::string& argument);
// Opens a help page ("index.html", "setdlg.html", ...) of the program in exeDir with the
// given browser, or with the desktop's default handler when the browser cannot be started.
// When neither opens it, or the page is missing, a message names the page's path.
void OpenHelpPage(const std::string& page, const std::string& browser, const std::string& exeDir);
// The desktop's default handler, given the page's URL; its exit status tells whether a page
// was shown. When it fails, the message names the page's path.
inline constexpr const char* DesktopOpener = "xdg-open";
// Replaces the desktop's default URL handler (tests); returns whether the URL was opened.
extern std::function<bool(const std::string& url)> OpenUrlHook;
// Sets a file dialog's name filters; an "All(*.*)" entry keeps that caption but matches
// every file, names without a dot included.
void SetFileFilters(QFileDialog& dlg, const QStringList& filters);
