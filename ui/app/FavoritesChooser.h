// The chooser of the favourite list ("cbFavoriten"): "(keine)" first, then
// the lists by their display names, each item holding the list's name as
// bytes. Changes made here raise no signal of the chooser; a choice of the
// user raises QComboBox::activated.
#pragma once

#include <QComboBox>
#include <string>
#include <vector>

namespace tunrax {

class TNameCollator;

class TFavoritesChooser : public QComboBox {
public:
    explicit TFavoritesChooser(QWidget* parent);

    // Lists "(keine)" and names, in their order, and chooses the item at
    // index (the last one where there are fewer).
    void Fill(const std::vector<std::string>& names, int index);
    // The name of the list chosen; empty for "(keine)".
    std::string ChosenName() const;
    // Chooses the list named name, "(keine)" when there is none.
    void Choose(const std::string& name);
    // Adds a list and chooses it, in its sorted place after "(keine)".
    // Throws tunrax::Error when a list's display name is name's already,
    // whatever its case.
    void AddList(const std::string& name, const TNameCollator& collator);

private:
    std::string NameAt(int index) const;
};

}  // namespace tunrax
