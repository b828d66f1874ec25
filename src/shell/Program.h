#pragma once
// The program's life: the windows created once each, in order, the message
// loop, and the shutdown that destroys them in reverse order. UI thread.
class TForm1;
class TForm2;
class TForm3;
class TFormFindStations;
class TFormHistory;

class Program {
public:
    // Creates TForm1 (which runs the start-up), then TForm2, TForm3, the
    // "Song history" window and the "Find stations" window.
    // When the start-up aborted (an engine of another version), nothing more
    // is created: Aborted() is then true and Shutdown() writes nothing.
    Program();
    ~Program();

    bool Aborted() const;
    // Shows the main window and runs the message loop until it is closed.
    int Run();
    // Destroys the find window, the song history window, TForm3, TForm2 and
    // TForm1, each hidden, its destruction event run, then its geometry
    // written. A geometry file that cannot be written is reported on
    // standard error; the shutdown completes.
    void Shutdown();

    // The whole run once the application and its prompts exist: the windows,
    // the loop, the shutdown, with SIGTERM, SIGINT, SIGHUP and the session's
    // end closing Quorane as the user's Exit does, except that what fails
    // then is told on standard error, not in a box that would hold the end
    // up. Returns the exit code.
    static int Main();

    TForm1 *Form1 = nullptr;
    TForm2 *Form2 = nullptr;
    TForm3 *Form3 = nullptr;
    TFormHistory *FormHistory = nullptr;
    // The "Find stations" window, created last and destroyed first.
    TFormFindStations *FormFind = nullptr;
};
