#include "shell/StationListView.h"

#include <QKeyEvent>
#include <QMouseEvent>

StationListView::StationListView(QWidget *parent) : QTableView(parent) {}

void StationListView::keyboardSearch(const QString &) {}

void StationListView::keyPressEvent(QKeyEvent *event) {
    char16_t key = 0;
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        key = 13;
        break;
    case Qt::Key_Escape:
        key = 27;
        break;
    default:
        break;
    }
    if (key == 0) {
        QTableView::keyPressEvent(event);
        return;
    }
    // The window plays or closes; the view must not treat Enter as "activate".
    event->accept();
    Q_EMIT CharacterKey(key);
}

void StationListView::keyReleaseEvent(QKeyEvent *event) {
    QTableView::keyReleaseEvent(event);
    if (!event->isAutoRepeat())
        Q_EMIT KeyReleased(event->key(), event->modifiers());
}

void StationListView::mouseDoubleClickEvent(QMouseEvent *event) {
    // The base class turns a double-click beside the rows into a press, which
    // clears the selection as a click there would.
    QTableView::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton)
        Q_EMIT DoubleClicked();
}
