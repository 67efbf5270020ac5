// Building blocks of the wizards' pages, so that a wizard says only what its
// pages hold. Every control made here gets the object name given, by which
// tests and assistive tools find it; the wizard owns every page made.
#pragma once

#include <QString>

class QFormLayout;
class QLineEdit;
class QVBoxLayout;
class QWidget;

namespace tunrax {

class TWizard;
class TWizardPage;

// widget, with the object name name.
template <class Widget>
Widget* Named(Widget* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

// The wizard "velWizard1" that fills form, edge to edge; owned by form.
TWizard* FillWithWizard(QWidget* form);
// A page added to wizard whose controls stand one under the other in column.
TWizardPage* AddColumnPage(TWizard* wizard, const char* name, QVBoxLayout*& column);
// A page added to wizard whose rows in form are a label and a field.
TWizardPage* AddFormPage(TWizard* wizard, const char* name, QFormLayout*& form);
// A row of a form page: the label and a one-line field; a read-only field is
// passed by Tab.
QLineEdit* AddField(QFormLayout* form, const QString& label, const char* name,
                    bool readOnly = false);

}  // namespace tunrax
