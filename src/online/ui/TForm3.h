#pragma once
// TForm3: the dialog that adds a new station to the list. UI thread.
#include "shell/TFormINI.h"

class TForm3 : public TFormINI {
    Q_OBJECT
public:
    explicit TForm3(QWidget *parent = nullptr);
};
