#include "widgets/WizardPages.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "widgets/velWizard.h"

namespace tunrax {

TvelWizard* FillWithWizard(QWidget* form) {
    auto* layout = new QVBoxLayout(form);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* wizard = Named(new TvelWizard(form), "velWizard1");
    layout->addWidget(wizard);
    return wizard;
}

TvelWizardPage* AddColumnPage(TvelWizard* wizard, const char* name, QVBoxLayout*& column) {
    auto* page = Named(new TvelWizardPage(wizard), name);
    column = new QVBoxLayout(page);
    return page;
}

TvelWizardPage* AddFormPage(TvelWizard* wizard, const char* name, QFormLayout*& form) {
    auto* page = Named(new TvelWizardPage(wizard), name);
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
