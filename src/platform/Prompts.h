#pragma once
// Everything that asks or tells the user through a box, a file dialog or the
// desktop's browser goes through this interface. The player installs the Qt
// implementation; tests install ScriptedPrompts and pre-set the answers, so
// they drive the real windows without blocking on a modal box.
#include <QString>

class QWidget;

class Prompts {
public:
    enum class Icon { None, Information, Question, Warning, Error };

    virtual ~Prompts() = default;
    // A Yes/No question with a question icon; true only for Yes.
    virtual bool AskYesNo(QWidget *owner, const QString &title, const QString &text) = 0;
    // A box with an OK button only; without an owner it stands over the
    // active window.
    virtual void Message(QWidget *owner, const QString &title, const QString &text, Icon icon) = 0;
    // File dialogs; an empty result means the user cancelled. `filter` is a
    // name pattern such as "*.txt".
    virtual QString OpenFileName(QWidget *owner, const QString &startDir,
                                 const QString &filter) = 0;
    virtual QString SaveFileName(QWidget *owner, const QString &startDir,
                                 const QString &filter) = 0;
    // Asks the desktop to open a web address; whether it worked is not reported.
    virtual void OpenUrl(const QString &url) = 0;

    // The implementation in use (UI thread only).
    static Prompts &Current();
    // Installs `p` (not owned); nullptr restores the default.
    static void Install(Prompts *p);
    // What Install put in place, or nullptr.
    static Prompts *Installed();
    // Installed by the program at start; the default until then.
    static void SetDefault(Prompts *p);
};
