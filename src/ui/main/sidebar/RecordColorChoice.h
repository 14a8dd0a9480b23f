#pragma once
// The thirteen record colours whose ids the library stores for a record. Plain data, no Qt: the
// rows, the colour menus and the bulk bar's grid all read this one table.
#include <array>
#include <string>
#include <string_view>
#include <vector>

struct RecordColorChoice {
    std::string id;
    // The Japanese display name.
    std::string name;
    // sRGB components, 0 to 1.
    std::array<double, 3> rgb;

    // The row tint's opacity: fainter for light colours than for dark ones.
    double tintOpacity() const { return tintOpacity(rgb); }
    static double tintOpacity(const std::array<double, 3>& rgb);

    // In menu order.
    static const std::vector<RecordColorChoice>& palette();
    // The entry with this id, or none for an id the palette does not hold.
    static const RecordColorChoice* find(std::string_view id);
};
