#include "app/FavoritesBar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QToolBar>

#include "app/FavoritesChooser.h"
#include "app/MainActions.h"

namespace tunrax {

TFavoritesBar::TFavoritesBar(const TMainActions& actions, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Panel1"));
    setMinimumHeight(28);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 0, 4, 0);
    auto* label = new QLabel(QStringLiteral("Favoriten"), this);
    label->setObjectName(QStringLiteral("Label1"));
    FChooser = new TFavoritesChooser(this);
    label->setBuddy(FChooser);
    auto* toolBar = new QToolBar(this);
    toolBar->setObjectName(QStringLiteral("atMain"));
    toolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    toolBar->setIconSize(QSize(16, 16));
    actions.FillToolBar(toolBar);
    row->addWidget(label);
    row->addWidget(FChooser);
    row->addWidget(toolBar);
    row->addStretch(1);
}

}  // namespace tunrax
