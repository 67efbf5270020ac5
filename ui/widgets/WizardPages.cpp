#include "widgets/WizardPages.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "widgets/Wizard.h"

namespace tunrax {

TWizard* FillWithWizard(QWidget* form) {
    auto* layout = new QVBoxLayout(form);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* wizard = Named(new TWizard(form), "velWizard1");
    layout->addWidget(wizard);
    return wizard;
}

TWizardPage* AddColumnPage(TWizard* wizard, const char* name, QVBoxLayout*& column) {
    auto* page = Named(new TWizardPage(wizard), name);
    column = new QVBoxLayout(page);
    return page;
}

TWizardPage* AddFormPage(TWizard* wizard, const char* name, QFormLayout*& form) {
    auto* page = Named(new TWizardPage(wizard), name);
    form = new QFormLayout(page);
    return page;
}

QLineEdit* AddField(QFormLayout* form, const QString& label, const char* name, bool readOnly) {
    QWidget* page = form->parentWidget();
    auto* field = Named(new QLineEdit(page), name);
    if (readOnly) {
        field->setReadOnly(true);
        field->setFocusPolicy(Qt::ClickFocus);
    }
    form->addRow(new QLabel(label, page), field);
    return field;
}

}  // namespace tunrax
