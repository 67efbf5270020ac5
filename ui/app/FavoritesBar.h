// The bar above the pages of the main window ("Panel1"): the label
// "Favoriten" ("Label1"), the chooser of the favourite list (TFavoritesChooser)
// and the tool bar of the list commands ("atMain"). Nothing here throws.
#pragma once

#include <QWidget>

namespace tunrax {

class TFavoritesChooser;
class TMainActions;

class TFavoritesBar : public QWidget {
public:
    TFavoritesBar(const TMainActions& actions, QWidget* parent);

    TFavoritesChooser* Chooser() const { return FChooser; }

private:
    TFavoritesChooser* FChooser;
};

}  // namespace tunrax
