// The main window's list-server commands: download the station list and
// check for a newer version.
#include "shell/TForm1.h"

void TForm1::Downloadlistfromserver1Click() {
    // Replaces the station file and the list with the list server's list.
}

void TForm1::Update1Click() {
    // Asks the list server whether a newer version exists.
}
