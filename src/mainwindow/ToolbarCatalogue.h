#pragma once

#include <QIcon>
#include <QString>
#include <QStyle>

#include <optional>
#include <span>
#include <utility>
#include <vector>

class ISettingsManager;

// The toolbar's fixed catalogue of buttons and separators, in its default
// order, and how a user's arrangement of it is stored: per user on every
// computer, in the section "Toolbar buttons", the identifier holding the
// visible flag and the identifier followed by " order" the position. The
// toolbar and the preferences window's toolbar page share both.
struct TToolbarCatalogueRow {
    const char* identifier;   // nullptr for a separator ("(Separator)n", n counted from 1)
    const char* command;      // object name of the main window's command the button runs
    const char* description;
    const char* bitmap;       // resource name of the picture
    bool shown;               // visible in the default layout
    QStyle::StandardPixmap fallback;   // the style's picture when the resource has none
};

namespace ToolbarCatalogue {

inline constexpr const char* Section = "Toolbar buttons";
inline constexpr const char* SeparatorIdentifier = "(Separator)";
inline constexpr const char* OrderSuffix = " order";

std::span<const TToolbarCatalogueRow> Rows();
// The identifier of each row: the button's, or "(Separator)n" for the n-th separator.
std::vector<QString> Identifiers();

// The picture of a button, the same on the toolbar and in the preferences:
// its resource picture, or else the style's picture the catalogue names.
// Null for a separator or an unknown identifier.
QIcon ButtonIcon(const QString& identifier);

// The stored arrangement: for each row of the catalogue its position and
// visible flag. Nothing when any position is missing, not a number, out of
// range or repeated: such an order would drop a button or show one twice,
// and the default layout is the one sound answer then. The caller selects
// the scope of the settings.
struct TStoredButton {
    int position;
    bool visible;
};
std::optional<std::vector<TStoredButton>> ReadOrder(ISettingsManager& settings);
// Writes the arrangement: identifiers in display order with their flags.
void WriteOrder(ISettingsManager& settings, const std::vector<std::pair<QString, bool>>& display);

} // namespace ToolbarCatalogue
