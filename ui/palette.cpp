#include "ui/palette.h"

namespace ui {

std::vector<std::pair<std::string, std::string>> &ComponentPalette() {
    static std::vector<std::pair<std::string, std::string>> palette;
    return palette;
}

void RegisterComponent(const std::string &page, const std::string &className) {
    for (const auto &entry : ComponentPalette())
        if (entry.second == className) return;
    ComponentPalette().emplace_back(page, className);
}

} // namespace ui
