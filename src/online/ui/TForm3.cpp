#include "online/ui/TForm3.h"

TForm3::TForm3(QWidget *parent) : TFormINI(parent) {
    setWindowTitle(QStringLiteral("Add a new station"));
    setFixedSize(433, 276);
}
