#include "chrome/DialogHost.h"

#include <QDialog>
#include <QLineEdit>
#include <QPointer>

namespace dunmoss {

namespace {

// The open modal dialog of `parent` shown last: children are listed in the order they were made.
QDialog* openModalChild(QWidget* parent) {
    const QList<QDialog*> dialogs = parent->findChildren<QDialog*>(Qt::FindDirectChildrenOnly);
    for (auto it = dialogs.rbegin(); it != dialogs.rend(); ++it)
        if ((*it)->isVisible() && (*it)->windowModality() != Qt::NonModal)
            return *it;
    return nullptr;
}

} // namespace

QWidget* dialogHost(QWidget* window) {
    QWidget* host = window;
    while (host)
        if (QDialog* dialog = openModalChild(host))
            host = dialog;
        else
            break;
    return host;
}

void returnKeyboardTo(QWidget* host) {
    auto* dialog = qobject_cast<QDialog*>(host);
    if (!dialog || !dialog->isVisible())
        return;
    dialog->activateWindow();
    dialog->raise();
    // The alert was most likely about what the sheet's field holds (a button pressed with the
    // mouse would keep the keyboard otherwise): it is selected, to be typed again.
    for (QLineEdit* field : dialog->findChildren<QLineEdit*>())
        if (field->isVisible() && field->isEnabled() && !field->isReadOnly()) {
            field->setFocus(Qt::OtherFocusReason);
            field->selectAll();
            return;
        }
}

} // namespace dunmoss
